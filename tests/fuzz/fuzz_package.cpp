// libFuzzer harness: an arbitrary package, one entry a line, through the
// program's start-up (both windows, the package check and the package pass).
// A package the check refuses is reported and can reach no port. One it
// accepts must hold everything the update's walk relies on, inside "FIM",
// and a whole update of it against the simulated cartridge must write each
// of its Pages and Blocks exactly once, where its author laid it out, and
// send nothing else than the layout prescribes.
#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "clock.h"
#include "headless/ui_headless.h"
#include "pacote.h"
#include "posix/serial_ports.h"
#include "posix/string_table_native.h"
#include "simulator.h"
#include "test_helpers.h"
#include "uATU.h"
#include "uSER_KV.h"

namespace {

using test_helpers::hex4;

// One or more upper-case hexadecimal digits and nothing else.
bool hex_digits(const std::string& entry) {
    for (char c : entry)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return !entry.empty();
}

// A data entry that the walk turns into the Page or Block it spells: no more
// than the area holds (a lone last digit is a byte of its own).
bool is_data(const std::string& entry, size_t max_digits) {
    return hex_digits(entry) && entry.size() <= max_digits;
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

// The package as its author laid it out, read by the markers alone: the six
// firmware sections between the "*" after the bases and "**", the module
// sections between the "*" after the keys and "FIM".
struct Layout {
    std::vector<std::vector<std::string>> firmware, modules;
    unsigned address3 = 0, address4 = 0;
};

// The runs of entries in [from, to) between "*"s; the last one closed by the
// "*" just before `to`.
std::vector<std::vector<std::string>> sections(int32_t from, int32_t to) {
    std::vector<std::vector<std::string>> out(1);
    for (int32_t j = from; j < to; ++j) {
        if (LE_ENTRADA(j) == MARCA_SECAO)
            out.emplace_back();
        else
            out.back().push_back(LE_ENTRADA(j));
    }
    REQUIRE(out.back().empty());  // nothing after the last "*"
    out.pop_back();
    return out;
}

Layout layout_of(int32_t F) {
    Layout layout;
    int32_t S = PRIMEIRA_LINHA;
    while (LE_ENTRADA(S) != MARCA_SECAO) ++S;
    const char* bases[] = {"8C00", "AA00", "B480", "8100", "8C00", "8E00", "*"};
    for (int k = 0; k < 7; ++k) REQUIRE(LE_ENTRADA(S + 1 + k) == bases[k]);
    int32_t M = S + 8;
    while (LE_ENTRADA(M) != MARCA_MODULOS) REQUIRE(++M < F);
    layout.firmware = sections(S + 8, M);
    REQUIRE(layout.firmware.size() == 6);
    layout.address3 = static_cast<unsigned>(std::stoul(LE_ENTRADA(M + 3), nullptr, 16));
    layout.address4 = static_cast<unsigned>(std::stoul(LE_ENTRADA(M + 4), nullptr, 16));
    int32_t C = M + 5;
    while (LE_ENTRADA(C) != MARCA_SECAO) ++C;
    layout.modules = sections(C + 1, F);
    for (const auto& section : layout.firmware) REQUIRE(!section.empty());
    for (const auto& section : layout.modules) REQUIRE(!section.empty());
    return layout;
}

// The bytes a data entry spells: two digits a byte, a lone last digit a byte
// of its own, 0xFF past its end.
template <size_t N>
std::array<uint8_t, N> bytes_of(const std::string& hex) {
    std::array<uint8_t, N> bytes;
    bytes.fill(0xFF);
    for (size_t i = 0; i < N && 2 * i < hex.size(); ++i)
        bytes[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    return bytes;
}

// A frame the cartridge received, as "E 8C00", "W 8C00", "F 14/80", "D 8000", "G".
std::string command_of(const sim::LogEntry& e) {
    if (e.command == 'G') return "G";
    if (e.command == 'F') return "F " + std::to_string(e.address) + (e.half ? "/80" : "/00");
    return std::string(1, e.command) + " " + hex4(e.address);
}

// A whole update of the accepted package against the simulated cartridge.
void update_writes_the_layout(int32_t F) {
    const Layout layout = layout_of(F);
    std::vector<std::string> prescribed = {"D 8000", "D 8000"};  // identification, then the update's read
    std::map<unsigned, std::array<uint8_t, 128>> last_page;      // by address, as written last
    const unsigned bases[] = {0x8C00, 0xAA00, 0xB480, 0x8100, 0x8C00, 0x8E00};
    for (int n = 0; n < 6; ++n) {
        unsigned address = bases[n];
        for (const std::string& page : layout.firmware[n]) {
            REQUIRE(address <= 0xFF80);  // the Page lies inside the cartridge's memory
            prescribed.insert(prescribed.end(), {"E " + hex4(address), "W " + hex4(address)});
            last_page[address] = bytes_of<128>(page);
            address += 0x80;
        }
        if (n == 2) prescribed.push_back("G");
    }
    prescribed.insert(prescribed.end(), {"E " + hex4(layout.address3), "E " + hex4(layout.address4)});
    std::map<uint16_t, std::array<uint8_t, 256>> blocks;
    std::vector<uint16_t> starts;
    uint16_t block = 0;
    for (const auto& section : layout.modules) {
        starts.push_back(block);
        for (const std::string& entry : section) {
            prescribed.insert(prescribed.end(), {"F " + std::to_string(block) + "/00",
                                                 "F " + std::to_string(block) + "/80"});
            blocks[block++] = bytes_of<256>(entry);
        }
    }
    prescribed.insert(prescribed.end(), {"E 8080", "W 8080", "E 8000", "W 8000", "G"});

    sim::Options options;
    options.identity = sim::default_identity();
    sim::Simulator cartridge(options);
    std::string error;
    REQUIRE(cartridge.start(&error));
    plat::serial_set_device_path(1, cartridge.slave_path());
    ui::headless::set_modal_answer([](ui::Form*) { return 1; });  // OK to the confirmation and to message 7
    fmATU->sbATUClick();
    plat::serial_set_device_path(1, "");
    cartridge.stop();

    REQUIRE(ui::headless::message_boxes().empty());  // no failure box
    std::vector<std::string> sent;
    for (const sim::LogEntry& e : cartridge.log()) sent.push_back(command_of(e));
    REQUIRE(sent == prescribed);
    REQUIRE(cartridge.blocks() == blocks);
    const std::array<uint8_t, 65536> memory = cartridge.pages();
    for (const auto& [address, page] : last_page) REQUIRE(std::equal(page.begin(), page.end(), memory.begin() + address));
    const std::array<uint8_t, 128> page_8080 = bytes_of<128>(layout.modules[1][0].substr(0, 256));
    REQUIRE(std::equal(page_8080.begin(), page_8080.end(), memory.begin() + 0x8080));
    starts.push_back(block);
    for (size_t s = 0; s < starts.size(); ++s)
        REQUIRE(memory[0x8000 + 18 + 2 * s] * 256 + memory[0x8000 + 19 + 2 * s] == starts[s]);
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
    update_writes_the_layout(F);
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    plat::set_fast_forward(true);  // the protocol's pauses skipped, its reads real
    ARQUIVO_DUMP = "TEXTO2.TXT";   // in the harness's own folder
    return 0;
}

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
