// The package pass: indexes the embedded package when the window first
// becomes active, shows what it brings and sets the state the update walks.
#include "pacote.h"

#include "string_table.h"
#include "uATU.h"
#include "uSER_KV.h"
#include "validacao.h"

int32_t POS_PACOTE = 0;
int32_t BASE_SECAO1 = 0, BASE_SECAO2 = 0, BASE_SECAO3 = 0, BASE_SECAO4 = 0, BASE_SECAO5 = 0, BASE_SECAO6 = 0;
int32_t ENDERECO_3 = 0, ENDERECO_4 = 0;
uint8_t NUM_VERSAO = 0;
std::vector<std::string> LISTA_MODULOS;
int32_t POS_MODULOS = 0;
bool PACOTE_VALIDO = false;

std::string LE_ENTRADA(int32_t indice) { return plat::string_table_entry(indice); }

void TfmATU::FormActivate() {
    std::string defeito = VALIDA_PACOTE();
    PACOTE_VALIDO = defeito.empty();
    ui::set_enabled(sbATU, PACOTE_VALIDO);
    if (!PACOTE_VALIDO) {
        ui::message_box(std::string(TEXTO_PACOTE_DANIFICADO) + "\n\n" + defeito);
        return;
    }

    int32_t F = 0;
    while (LE_ENTRADA(F) != MARCA_FIM) ++F;

    ui::set_text(lbDATA, LE_ENTRADA(1));
    ui::set_text(lbATU, LE_ENTRADA(2));
    LE_NUM_VERSAO(LE_ENTRADA(3), &NUM_VERSAO);

    ui::memo_clear(mmA);
    int32_t S = PRIMEIRA_LINHA;
    for (std::string linha; (linha = LE_ENTRADA(S)) != MARCA_SECAO; ++S) ui::memo_append(mmA, linha);

    BASE_SECAO1 = 0x8C00;
    BASE_SECAO2 = 0xAA00;
    BASE_SECAO3 = 0xB480;
    BASE_SECAO4 = 0x8100;
    BASE_SECAO5 = 0x8C00;
    BASE_SECAO6 = 0x8E00;

    // The six address entries after the first "*" repeat the fixed bases and
    // are passed over by position.
    const int32_t POS_INICIO = S + 8;
    POS_PACOTE = POS_INICIO;

    int32_t M = POS_INICIO;
    while (LE_ENTRADA(M) != MARCA_MODULOS) ++M;
    ENDERECO_3 = static_cast<int32_t>(HEX_PARA_INT(LE_ENTRADA(M + 3)));
    ENDERECO_4 = static_cast<int32_t>(HEX_PARA_INT(LE_ENTRADA(M + 4)));

    LISTA_MODULOS.clear();
    std::string chaves;
    int32_t C = M + 5;
    for (std::string chave; (chave = LE_ENTRADA(C)) != MARCA_SECAO; ++C) {
        if (!LISTA_MODULOS.empty()) chaves += ", ";
        chaves += chave;
        LISTA_MODULOS.push_back(chave);
    }
    ui::set_text(lbMON, chaves);
    POS_MODULOS = C + 1;

    ui::progress_set_max(pbAND, F - POS_INICIO + FOLGA_PROGRESSO);
    ui::progress_step_by(pbAND, -ui::progress_max(pbAND));
    ui::clear_focus(form);
}
