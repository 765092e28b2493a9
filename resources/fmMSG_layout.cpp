// Layout of the message dialog fmMSG: sizes and positions in pixels.
#include "layouts.h"

using namespace ui;

namespace {
const ControlSpec CONTROLS[] = {
    // name, kind, parent, left, top, width, height, text, colour, font colour, font height, flags, tag, result
    {"Button1", Kind::Button, nullptr, 267, 138, 66, 25, "OK", COLOR_BTNFACE, COLOR_TEXT, 0, 0, 0, 1},
    {"Button2", Kind::Button, nullptr, 200, 138, 66, 25, "Cancelar", COLOR_BTNFACE, COLOR_TEXT, 0, 0, 0, 2},
    {"Panel1", Kind::Panel, nullptr, 8, 8, 322, 124, "", COLOR_BTNFACE, COLOR_TEXT, 0, DISABLED, 0, 0},
    {"Memo1", Kind::Memo, "Panel1", 0, 0, 0, 0, "", COLOR_BTNFACE, COLOR_TEXT, 13, FILL_PARENT | ITALIC, 0, 0},
};
}  // namespace

const FormSpec LAYOUT_FMMSG = {
    "fmMSG", "", 338, 168, true, "Arial", 11,
    CONTROLS, static_cast<int>(sizeof CONTROLS / sizeof CONTROLS[0]),
};
