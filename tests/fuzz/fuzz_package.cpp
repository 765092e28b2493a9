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
#include "test_helpers.h"
#include "uATU.h"
#include "uSER_KV.h"

namespace {

// One or more upper-case hexadecimal digits and nothing else.
bool hex_digits(const std::string& entry) {
    for (char c : entry)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return !entry.empty();
}

// A data entry that the walk turns into the Page or Block it spells: whole
// bytes, no more than the area holds.
bool is_data(const std::string& entry, size_t max_digits) {
    return hex_digits(entry) && entry.size() <= max_digits && entry.size() % 2 == 0;
}

// An address after "**": the digits HEX_PARA_INT reads, 16 bits at most.
bool is_address(const std::string& entry) { return hex_digits(entry) && entry.size() <= 4; }

// The entry at `j`, which the walk may read only before "FIM".
std::string entry_at(int32_t j, int32_t F) {
    REQUIRE(j >= 0 && j < F);
    return LE_ENTRADA(j);
}

// The update's walk, reading only: six firmware sections from the package
// cursor, then the module area from POS_MODULOS to "FIM". What lies between
// them is never read, but the pass found "**" there, then the addresses it
// erases and the key list, closed before "FIM".
void walk(int32_t F) {
    int32_t j = POS_PACOTE;
    for (int section = 1; section <= 6; ++section, ++j)
        for (std::string e; (e = entry_at(j, F)) != MARCA_SECAO; ++j) REQUIRE(is_data(e, DIGITOS_PAGINA));
    int32_t M = POS_PACOTE;
    while (entry_at(M, F) != MARCA_MODULOS) ++M;
    REQUIRE(M >= j && M + 5 <= POS_MODULOS - 1 && entry_at(POS_MODULOS - 1, F) == MARCA_SECAO);
    for (int32_t a : {M + 3, M + 4}) REQUIRE(is_address(entry_at(a, F)));

    const int K = static_cast<int>(LISTA_MODULOS.size());
    const int taken_before_fim = K == 0 ? 4 : K + 3;
    int sections = 0;
    int32_t blocks = 0;
    for (j = POS_MODULOS;; ++sections, ++j) {
        if (sections >= taken_before_fim) {
            REQUIRE(j <= F);
            if (LE_ENTRADA(j) == MARCA_FIM) break;
        }
        int32_t in_section = 0;
        for (std::string e; (e = entry_at(j, F)) != MARCA_SECAO; ++j, ++in_section) REQUIRE(is_data(e, DIGITOS_BLOCO));
        if (sections == 1) REQUIRE(in_section > 0);  // it also gives the Page at 0x8080
        blocks += in_section;
    }
    REQUIRE(j == F);
    REQUIRE(sections <= MAX_SECOES_MODULO && blocks <= 0xFFFF);
}

void accepted() {
    int32_t F = 0;
    while (LE_ENTRADA(F) != MARCA_FIM) REQUIRE(++F < MAX_ENTRADAS);
    const int32_t S = POS_PACOTE - 8;
    REQUIRE(S >= PRIMEIRA_LINHA && LE_ENTRADA(S) == MARCA_SECAO);
    REQUIRE(POS_PACOTE < POS_MODULOS && POS_MODULOS < F);
    REQUIRE(ui::memo_line_count(fmATU->mmA) == S - PRIMEIRA_LINHA);
    REQUIRE(ui::progress_max(fmATU->pbAND) == F - POS_PACOTE + FOLGA_PROGRESSO);
    REQUIRE(ui::progress_position(fmATU->pbAND) == 0);
    REQUIRE(ENDERECO_3 >= 0 && ENDERECO_3 <= 0xFFFF && ENDERECO_4 >= 0 && ENDERECO_4 <= 0xFFFF);
    uint8_t version = 0;
    REQUIRE(LE_NUM_VERSAO(LE_ENTRADA(3), &version) && version == NUM_VERSAO);
    std::string keys;
    for (size_t i = 0; i < LISTA_MODULOS.size(); ++i) keys += (i == 0 ? "" : ", ") + LISTA_MODULOS[i];
    REQUIRE(ui::text(fmATU->lbMON) == keys);
    REQUIRE(ui::headless::message_boxes().empty());
    walk(F);
}

void refused() {
    REQUIRE(ui::headless::message_boxes().size() == 1);
    REQUIRE(ui::headless::message_boxes()[0].find("danificado") != std::string::npos);
    REQUIRE(!ui::enabled(fmATU->sbATU));
    // Even a press that got through would stop before the confirmation.
    ui::headless::set_modal_answer([](ui::Form*) {
        REQUIRE(false);
        return 2;
    });
    fmATU->sbATUClick();
    REQUIRE(!PORTA_ABERTA);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> package(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            package.emplace_back();
        else
            package.back() += static_cast<char>(data[i]);
    }
    plat::string_table_use(&package);
    ui::headless::reset();
    CRIA_JANELAS();
    ui::app_run(fmATU->form);
    if (PACOTE_VALIDO)
        accepted();
    else
        refused();
    plat::string_table_use(nullptr);
    return 0;
}
