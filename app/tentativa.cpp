// sbATUClick: one update attempt, from the confirmation to the end of the
// program (or back to Idle when the cartridge could not be reached).
#include "clock.h"
#include "host.h"
#include "pacote.h"
#include "uATU.h"
#include "uSER_KV.h"

bool EM_TENTATIVA = false;

namespace {
// The 1 ms system timer from the confirmation until the port is released:
// asked for once and given back once, whichever way the attempt ends.
struct TemporizadorFino {
    TemporizadorFino() { plat::fine_system_timer(true); }
    ~TemporizadorFino() { plat::fine_system_timer(false); }
    TemporizadorFino(const TemporizadorFino&) = delete;
    TemporizadorFino& operator=(const TemporizadorFino&) = delete;
};
}  // namespace

void TfmATU::sbATUClick() {
    // Messages are processed during an attempt; a second press must not start
    // another one on top of it.
    if (EM_TENTATIVA) return;
    if (!PACOTE_VALIDO) {
        ui::message_box(TEXTO_PACOTE_DANIFICADO);
        return;
    }
    EM_TENTATIVA = true;
    ui::set_cursor(ui::Cursor::Hourglass);
    ui::progress_step_by(pbAND, -ui::progress_max(pbAND));
    if (SHOW_MSG(0)) {
        TemporizadorFino temporizador;
        ui::process_messages();
        if (!CONECTA(NUM_COM)) {
            SHOW_MSG(1);
        } else {
            plat::keep_awake(true);
            uint32_t escritos = 0;
            ESCREVE_PORTA(&BYTE_DESPERTA, 1, escritos);  // not consulted
            plat::sleep_ms(PAUSA_DESPERTA_MS);
            switch (CART_V2(NUMERO_SERIE)) {
            case CARTUCHO_V2:
                ATUALIZA();
                ui::request_end();
                break;
            case SEM_RESPOSTA:
                SHOW_MSG(3);
                break;
            default:
                SHOW_MSG(4);
                break;
            }
            DESCONECTA();
            plat::keep_awake(false);
        }
    }
    ui::set_cursor(ui::Cursor::Default);
    EM_TENTATIVA = false;
}
