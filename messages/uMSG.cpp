// The message dialog and its catalogue. The line breaks are the catalogue's
// own: lines are never joined or broken anew.
#include "uMSG.h"

#include "layouts.h"

TfmMSG* fmMSG = nullptr;

namespace {

const MensagemCatalogo CATALOGO[] = {
    {0, "Mensagem", true, true,
     {"Para iniciar a atualização deste cartucho, coloque-o",
      "em MODO DE ATUALIZAÇÃO e pressione OK para",
      "iniciar o procedimento.",
      "",
      "MODO DE ATUALIZAÇÃO: ligue o aparelho com as",
      "duas setas pressionadas (<- e ->)."}},
    {1, "Erro de comunicação", false, true,
     {"Não foi possível abrir a porta serial definida para",
      "a comunicação com o aparelho. Verifique se a porta",
      "está correta ou se ela não está sendo utilizada por",
      "outro software."}},
    {3, "Erro de comunicação", false, true,
     {"Não foi possível comunicar com o aparelho.",
      "Verifique:",
      "",
      "1. Se o aparelho está alimentado corretamente",
      "2. Se a conexão com o computador está correta",
      "3. Se a porta serial foi definida corretamente.",
      "4. Se o aparelho está em modo de atualização."}},
    {4, "Incompatibilidade de Versão", false, true,
     {"Esta atualização não pode ser executada neste",
      "aparelho por incompatibilidade de versões."}},
    {7, "Mensagem", true, false, {"Atualização concluída com sucesso!!"}},
};

}  // namespace

const MensagemCatalogo* MENSAGEM(unsigned codigo) {
    for (const MensagemCatalogo& m : CATALOGO)
        if (m.codigo == codigo) return &m;
    return nullptr;
}

void TfmMSG::FormActivate() {
    ui::memo_clear(Memo1);
    if (const MensagemCatalogo* m = MENSAGEM(static_cast<unsigned>(ui::form_tag(form))))
        for (const char* linha : m->linhas) ui::memo_append(Memo1, linha);
}

void CRIA_FMMSG() {
    static TfmMSG dialogo;
    dialogo = TfmMSG{};
    fmMSG = &dialogo;
    ui::FormHandlers eventos;
    eventos.on_activate = [] { fmMSG->FormActivate(); };
    fmMSG->form = ui::create_form(LAYOUT_FMMSG, eventos);
    fmMSG->Button1 = ui::find_control(fmMSG->form, "Button1");
    fmMSG->Button2 = ui::find_control(fmMSG->form, "Button2");
    fmMSG->Memo1 = ui::find_control(fmMSG->form, "Memo1");
}
