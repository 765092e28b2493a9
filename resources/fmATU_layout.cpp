// Layout of the main window fmATU: sizes and positions in pixels.
#include "layouts.h"

using namespace ui;

namespace {
constexpr Color NAVY = rgb(0, 0, 128);
constexpr Color YELLOW = rgb(255, 255, 0);
constexpr Color WHITE = rgb(255, 255, 255);
constexpr Color MEMO_BACKGROUND = 13434879;  // (255, 255, 204)
constexpr uint32_t PORT_PANEL = BORDER | HAND_CURSOR | CLICKABLE;

const ControlSpec CONTROLS[] = {
    // name, kind, parent, left, top, width, height, text, colour, font colour, font height, flags, tag, result
    {"Panel1", Kind::Panel, nullptr, 0, 0, 349, 41, "", NAVY, COLOR_TEXT, 0, BORDER, 0, 0},
    {"Label3", Kind::Label, "Panel1", 10, 4, 0, 0, "Atualização:", COLOR_PARENT, YELLOW, 0, BOLD, 0, 0},
    {"Label4", Kind::Label, "Panel1", 49, 18, 0, 0, "Data:", COLOR_PARENT, YELLOW, 0, BOLD, 0, 0},
    {"lbATU", Kind::Label, "Panel1", 83, 4, 0, 0, "", COLOR_PARENT, WHITE, 0, 0, 0, 0},
    {"lbDATA", Kind::Label, "Panel1", 83, 18, 0, 0, "", COLOR_PARENT, WHITE, 0, 0, 0, 0},
    {"lbMON", Kind::Label, "Panel1", 90, 0, 254, 40, "", COLOR_PARENT, WHITE, 0, WORD_WRAP | HIDDEN, 0, 0},
    {"Panel2", Kind::Panel, nullptr, 0, 41, 349, 368, "", COLOR_BTNFACE, COLOR_TEXT, 0, BORDER, 0, 0},
    {"mmA", Kind::Memo, "Panel2", 0, 0, 0, 0, "", MEMO_BACKGROUND, COLOR_TEXT, 0, FILL_PARENT | VSCROLL | NO_TAB_STOP, 0, 0},
    {"Panel9", Kind::Panel, nullptr, 0, 409, 349, 128, "", COLOR_BTNFACE, COLOR_TEXT, 0, BORDER, 0, 0},
    {"Label1", Kind::Label, "Panel9", 136, 0, 0, 0, "Porta Serial", COLOR_PARENT, COLOR_TEXT, 0, BOLD, 0, 0},
    {"pnCOM1", Kind::Panel, "Panel9", 7, 14, 57, 22, "COM 1", YELLOW, COLOR_TEXT, 11, PORT_PANEL, 1, 0},
    {"pnCOM2", Kind::Panel, "Panel9", 61, 14, 57, 22, "COM 2", WHITE, COLOR_TEXT, 11, PORT_PANEL, 2, 0},
    {"pnCOM3", Kind::Panel, "Panel9", 117, 14, 57, 22, "COM 3", WHITE, COLOR_TEXT, 11, PORT_PANEL, 3, 0},
    {"pnCOM4", Kind::Panel, "Panel9", 173, 14, 57, 22, "COM 4", WHITE, COLOR_TEXT, 11, PORT_PANEL, 4, 0},
    {"pnCOM5", Kind::Panel, "Panel9", 228, 14, 57, 22, "COM 5", WHITE, COLOR_TEXT, 11, PORT_PANEL, 5, 0},
    {"pnCOM6", Kind::Panel, "Panel9", 283, 14, 57, 22, "COM 6", WHITE, COLOR_TEXT, 11, PORT_PANEL, 6, 0},
    {"sbATU", Kind::Button, "Panel9", 7, 42, 334, 24, "Atualiza", COLOR_BTNFACE, COLOR_TEXT, 0, NO_FOCUS, 0, 0},
    {"lbGG", Kind::Label, "Panel9", 10, 69, 0, 0, "Atualização não executada", COLOR_PARENT, COLOR_TEXT, 0, 0, 0, 0},
    {"pbAND", Kind::ProgressBar, "Panel9", 7, 82, 330, 24, "", COLOR_BTNFACE, COLOR_TEXT, 0, 0, 0, 0},
    {"Label2", Kind::Label, "Panel9", 0, 0, 0, 14, "   Revisado em 16/08/07", COLOR_PARENT, COLOR_TEXT, 0, ALIGN_BOTTOM, 0, 0},
};
}  // namespace

const FormSpec LAYOUT_FMATU = {
    "fmATU", "Atualização QUILLA II", 349, 537, false, "Arial", 11,
    CONTROLS, static_cast<int>(sizeof CONTROLS / sizeof CONTROLS[0]),
};
