// The main window: creation, port choice, closing.
#include "layouts.h"
#include "uATU.h"
#include "uMSG.h"

TfmATU* fmATU = nullptr;
int NUM_COM = 1;
std::vector<ui::Control*> LISTA_COM;

namespace {
constexpr ui::Color COR_ESCOLHIDA = ui::rgb(255, 255, 0);
constexpr ui::Color COR_LIVRE = ui::rgb(255, 255, 255);
const char* const TITULO_PROGRAMA = "Atualização Cartucho QUILLA";
}  // namespace

void TfmATU::FormCreate() {
    static const char* const PAINEIS[] = {"pnCOM1", "pnCOM2", "pnCOM3", "pnCOM4", "pnCOM5", "pnCOM6"};
    LISTA_COM.clear();
    for (const char* nome : PAINEIS) LISTA_COM.push_back(ui::find_control(form, nome));
    NUM_COM = 1;
}

void TfmATU::FormShow() { ui::process_messages(); }

void TfmATU::FormClose() {
    // During an attempt the attempt runs on to its end; the program then exits.
    ui::request_end();
}

void TfmATU::pnCOM1Click(ui::Control* Sender) {
    if (EM_TENTATIVA) return;  // the running attempt keeps its port
    for (ui::Control* painel : LISTA_COM) ui::set_color(painel, painel == Sender ? COR_ESCOLHIDA : COR_LIVRE);
    NUM_COM = ui::tag(Sender);
}

void CRIA_JANELAS() {
    ui::app_init();
    ui::app_set_title(TITULO_PROGRAMA);

    static TfmATU janela;
    janela = TfmATU{};
    fmATU = &janela;
    ui::FormHandlers eventos;
    eventos.on_show = [] { fmATU->FormShow(); };
    eventos.on_activate = [] { fmATU->FormActivate(); };
    eventos.on_close = [] { fmATU->FormClose(); };
    eventos.on_click = [](ui::Control* c) {
        if (c == fmATU->sbATU)
            fmATU->sbATUClick();
        else
            fmATU->pnCOM1Click(c);
    };
    TfmATU& f = *fmATU;
    f.form = ui::create_form(LAYOUT_FMATU, eventos);
    f.lbATU = ui::find_control(f.form, "lbATU");
    f.lbDATA = ui::find_control(f.form, "lbDATA");
    f.lbMON = ui::find_control(f.form, "lbMON");
    f.lbGG = ui::find_control(f.form, "lbGG");
    f.mmA = ui::find_control(f.form, "mmA");
    f.pbAND = ui::find_control(f.form, "pbAND");
    f.sbATU = ui::find_control(f.form, "sbATU");
    f.FormCreate();

    CRIA_FMMSG();
}
