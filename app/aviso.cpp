// What a technician across the workshop sees of an attempt: the task-bar
// button follows pbAND while the attempt runs (tentativa.cpp), turns red while
// a failure is up, and every outcome calls with the system's sound, flashing
// the button while the program is in the background.
#include "uATU.h"

void TfmATU::AVISA_FALHA() {
    ui::taskbar_progress(pbAND, ui::TaskbarState::Error);
    ui::alert(ui::Alert::Error);
}

void TfmATU::AVISA_SUCESSO() { ui::alert(ui::Alert::Information); }

void TfmATU::CAIXA_FALHA(const std::string& texto) {
    AVISA_FALHA();
    ui::message_box(texto);
}
