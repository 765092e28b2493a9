// libFuzzer harness: an arbitrary package, one entry a line, through the
// program's start-up (both windows, the package check and the package pass).
// A package the check refuses is reported and can reach no port; one it
// accepts must hold everything the update's walk relies on, inside "FIM".
#include <cstdio>
#include <string>
#include <vector>

#include "headless/ui_headless.h"
#include "pacote.h"
#include "posix/string_table_native.h"
#include "uATU.h"
#include "uSER_KV.h"

namespace {

// A broken expectation names itself before the harness stops, so that the
// fuzzer's log says which one a crashing input broke.
#define exige(condicao) \
    ((condicao) ? (void)0 : (std::fprintf(stderr, "expected: %s (line %d)\n", #condicao, __LINE__), __builtin_trap()))

// A data entry as the walk turns it into a Page or a Block.
bool dados(const std::string& entrada, size_t max_digitos) {
    if (entrada.empty() || entrada.size() > max_digitos) return false;
    for (char c : entrada)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

// The entry at `j`, which the walk may read only before "FIM".
std::string le(int32_t j, int32_t F) {
    exige(j >= 0 && j < F);
    return LE_ENTRADA(j);
}

// The update's walk, reading only: six firmware sections from the package
// cursor, then the module area from POS_MODULOS to "FIM".
void percorre(int32_t F) {
    int32_t j = POS_PACOTE;
    for (int secao = 1; secao <= 6; ++secao, ++j)
        for (std::string e; (e = le(j, F)) != MARCA_SECAO; ++j) exige(dados(e, DIGITOS_PAGINA));
    exige(le(j, F) == MARCA_MODULOS);

    const int K = static_cast<int>(LISTA_MODULOS.size());
    const int sem_teste = K == 0 ? 4 : K + 3;
    int secoes = 0;
    int32_t blocos = 0;
    for (j = POS_MODULOS;; ++secoes, ++j) {
        if (secoes >= sem_teste) {
            exige(j <= F);
            if (LE_ENTRADA(j) == MARCA_FIM) break;
        }
        int32_t na_secao = 0;
        for (std::string e; (e = le(j, F)) != MARCA_SECAO; ++j, ++na_secao) exige(dados(e, DIGITOS_BLOCO));
        if (secoes == 1) exige(na_secao > 0);  // it also gives the Page at 0x8080
        blocos += na_secao;
    }
    exige(j == F);
    exige(secoes <= MAX_SECOES_MODULO && blocos <= 0xFFFF);
}

void aceito() {
    int32_t F = 0;
    while (LE_ENTRADA(F) != MARCA_FIM) exige(++F < MAX_ENTRADAS);
    const int32_t S = POS_PACOTE - 8;
    exige(S >= PRIMEIRA_LINHA && LE_ENTRADA(S) == MARCA_SECAO);
    exige(POS_PACOTE < POS_MODULOS && POS_MODULOS < F);
    exige(ui::memo_line_count(fmATU->mmA) == S - PRIMEIRA_LINHA);
    exige(ui::progress_max(fmATU->pbAND) == F - POS_PACOTE + FOLGA_PROGRESSO);
    exige(ui::progress_position(fmATU->pbAND) == 0);
    exige(ENDERECO_3 >= 0 && ENDERECO_3 <= 0xFFFF && ENDERECO_4 >= 0 && ENDERECO_4 <= 0xFFFF);
    std::string chaves;
    for (size_t i = 0; i < LISTA_MODULOS.size(); ++i) chaves += (i == 0 ? "" : ", ") + LISTA_MODULOS[i];
    exige(ui::text(fmATU->lbMON) == chaves);
    exige(ui::headless::message_boxes().empty());
    percorre(F);
}

void recusado() {
    exige(ui::headless::message_boxes().size() == 1);
    exige(ui::headless::message_boxes()[0].find("danificado") != std::string::npos);
    exige(!ui::enabled(fmATU->sbATU));
    // Even a press that got through would stop before the confirmation.
    ui::headless::set_modal_answer([](ui::Form*) {
        exige(false);
        return 2;
    });
    fmATU->sbATUClick();
    exige(!PORTA_ABERTA);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pacote(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            pacote.emplace_back();
        else
            pacote.back() += static_cast<char>(data[i]);
    }
    plat::string_table_use(&pacote);
    ui::headless::reset();
    CRIA_JANELAS();
    ui::app_run(fmATU->form);
    if (PACOTE_VALIDO)
        aceito();
    else
        recusado();
    plat::string_table_use(nullptr);
    return 0;
}
