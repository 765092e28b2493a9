// The fixed layouts of the program's two windows.
#pragma once
#include "ui.h"

extern const ui::FormSpec LAYOUT_FMATU;  // main window
extern const ui::FormSpec LAYOUT_FMMSG;  // message dialog
