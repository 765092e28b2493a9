// sbATUClick: one update attempt, from the confirmation to the end of the
// program (or back to Idle when the cartridge could not be reached).
#include "clock.h"
#include "host.h"
#include "pacote.h"
#include "uATU.h"
#include "uSER_KV.h"

bool EM_TENTATIVA = false;

namespace {
// A request made here and taken back at the end of the block, exactly once,
// whichever way the attempt leaves it.
template <typename Pedido>
class Enquanto {
public:
    explicit Enquanto(Pedido pedido) : pedido_(pedido) { pedido_(true); }
    ~Enquanto() { pedido_(false); }
    Enquanto(const Enquanto&) = delete;
    Enquanto& operator=(const Enquanto&) = delete;

private:
    Pedido pedido_;
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
        // The 1 ms system timer until the port is released; the task-bar
        // button shows pbAND until the attempt is over.
        Enquanto temporizador([](bool sim) { plat::fine_system_timer(sim); });
        Enquanto barra_de_tarefas([this](bool sim) {
            ui::taskbar_progress(pbAND, sim ? ui::TaskbarState::Normal : ui::TaskbarState::Off);
        });
        ui::process_messages();
        if (!CONECTA(NUM_COM)) {
            SHOW_MSG(1);
        } else {
            Enquanto acordado([](bool sim) { plat::keep_awake(sim); });  // released after the port
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
        }
    }
    ui::set_cursor(ui::Cursor::Default);
    EM_TENTATIVA = false;
}
