// SHOW_MSG: one numbered message in the modal dialog.
#include "uATU.h"
#include "uMSG.h"

namespace {
constexpr unsigned MENSAGEM_CONFIRMACAO = 0;
constexpr unsigned MENSAGEM_SUCESSO = 7;
}  // namespace

bool TfmATU::SHOW_MSG(unsigned codigo) {
    ui::set_form_tag(fmMSG->form, static_cast<int>(codigo));
    // A code outside the catalogue is shown with only "Cancelar", so it can
    // never be taken for a confirmation.
    const MensagemCatalogo* m = MENSAGEM(codigo);
    ui::set_caption(fmMSG->form, m ? m->titulo : "Mensagem");
    ui::set_enabled(fmMSG->Button1, m && m->ok_habilitado);
    ui::set_enabled(fmMSG->Button2, !m || m->cancelar_habilitado);
    // The confirmation is answered at once; every other message ends an
    // attempt, which may have run while the technician was away.
    if (codigo == MENSAGEM_SUCESSO)
        AVISA_SUCESSO();
    else if (codigo != MENSAGEM_CONFIRMACAO)
        AVISA_FALHA();
    return ui::show_modal(fmMSG->form) == 1;
}
