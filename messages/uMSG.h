// uMSG: the modal message dialog fmMSG and the catalogue of numbered messages.
#pragma once
#include <vector>

#include "ui.h"

struct MensagemCatalogo {
    unsigned codigo;
    const char* titulo;
    bool ok_habilitado;
    bool cancelar_habilitado;
    std::vector<const char*> linhas;  // "" is a blank line
};

// The catalogue entry of a code; nullptr for a code it does not hold.
const MensagemCatalogo* MENSAGEM(unsigned codigo);

class TfmMSG {
public:
    void FormActivate();  // fills Memo1 with the lines of the code in the tag

    ui::Form* form = nullptr;
    ui::Control* Button1 = nullptr;  // "OK", result 1
    ui::Control* Button2 = nullptr;  // "Cancelar", result 2
    ui::Control* Memo1 = nullptr;
};

extern TfmMSG* fmMSG;

// Creates the dialog, hidden.
void CRIA_FMMSG();
