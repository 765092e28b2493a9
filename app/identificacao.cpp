// CART_V2: which generation of cartridge answers on the open port, told by
// the sync byte its loader answers.
#include "uATU.h"
#include "uSER_KV.h"

int TfmATU::CART_V2(std::string& texto) {
    ui::set_cursor(ui::Cursor::Hourglass);
    int resultado;
    BYTE_SINC = 0x87;
    if (LE_SERIE(texto)) {
        resultado = CARTUCHO_V2;
    } else {
        ui::process_messages();
        BYTE_SINC = 0x86;
        if (LE_SERIE(texto)) {
            resultado = CARTUCHO_86;
        } else {
            BYTE_SINC = 0x85;
            resultado = LE_SERIE(texto) ? CARTUCHO_85 : SEM_RESPOSTA;
        }
    }
    ui::set_cursor(ui::Cursor::Default);
    ui::process_messages();
    return resultado;
}
