// The package check: it refuses, in a sentence naming the entry, a package
// out of step with the layout the update walks by position, or one the
// update would write other than it says; the same sentence stops a build
// that would embed it. What it lets through, the update writes as the walk
// defines.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "app_fixture.h"
#include "expected_image.h"
#include "pacote.h"
#include "uSER_KV.h"

namespace {

const std::string DAMAGED =
    "O pacote de atualização deste programa está danificado e não pode ser gravado no cartucho.\n\n";

using Change = std::function<void(std::vector<std::string>&)>;

// The small package: "*" at 36, section addresses at 37-42, "*" at 43, Pages
// from 44 (sections of 1, 2, 1, 2, 1, 2 Pages: "*" at 45, 48, 50, 53, 55,
// 58), "**" at 59, addresses at 60-63, keys at 64-65, "*" at 66, module
// sections of 2, 1, 3, 1, 2 Blocks from 67 ("*" at 69, 71, 75, 77, 80),
// "FIM" at 81.
std::vector<std::string> small_package(const Change& change) {
    std::vector<std::string> package = pkggen::make_package(pkggen::small_shape());
    change(package);
    return package;
}

std::string test_name(const char* what) {
    std::string name = what;
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

struct Broken {
    const char* what;
    Change breaks;
    const char* defect;  // the box's second paragraph, whole
};
void PrintTo(const Broken& broken, std::ostream* out) { *out << broken.what; }

struct Oddity {
    const char* what;
    Change makes;
};
void PrintTo(const Oddity& oddity, std::ostream* out) { *out << oddity.what; }

}  // namespace

using PackageCheck = AppTest;

class BrokenPackage : public AppTest, public ::testing::WithParamInterface<Broken> {};

// The box names the entry and what is wrong; nothing of the package is shown
// and "Atualiza" cannot write. The build's own check, pkgcheck, refuses it
// with the same text.
TEST_P(BrokenPackage, IsRefusedNamingTheEntryAtStartUpAndAtBuildTime) {
    start_program(small_package(GetParam().breaks));
    EXPECT_FALSE(PACOTE_VALIDO);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], DAMAGED + GetParam().defect);
    EXPECT_EQ(ui::text(control("lbDATA")), "");
    EXPECT_EQ(ui::memo_line_count(control("mmA")), 0);
    EXPECT_FALSE(ui::enabled(control("sbATU")));

    sim::Simulator& cartridge = attach_cartridge();
    fmATU->sbATUClick();
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(cartridge.bytes_received().empty());

    const std::string path = ::testing::TempDir() + "pkgcheck_" + std::to_string(getpid()) + ".txt";
    std::ofstream(path, std::ios::binary) << test_helpers::package_source(small_package(GetParam().breaks));
    const test_helpers::CommandResult check = test_helpers::run_command(PKGCHECK_TOOL " " + path + " 2>&1");
    std::remove(path.c_str());
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, path + ": " + DAMAGED.substr(0, DAMAGED.size() - 1) + GetParam().defect + "\n");
}

const Broken BROKEN[] = {
    // The walk cannot end inside the package.
    {"no FIM", [](auto& p) { p.pop_back(); },
     "Defeito na entrada 80: é a última entrada do pacote, e não há entrada \"FIM\" que o encerre."},
    {"no FIM, empty entries at the end",
     [](auto& p) {
         p.pop_back();
         p.insert(p.end(), {"", ""});
     },
     "Defeito na entrada 80: é a última entrada do pacote, e não há entrada \"FIM\" que o encerre."},
    {"no star after the display lines", [](auto& p) { p = {"", p[1], p[2], p[3], p[4], "FIM"}; },
     "Defeito na entrada 5: o \"FIM\" vem antes do \"*\" que encerra as linhas de texto."},
    {"FIM among the section addresses", [](auto& p) { p[40] = "FIM"; },
     "Defeito na entrada 40: o \"FIM\" vem antes do \"*\" que encerra os endereços das seções de firmware."},
    {"FIM inside a firmware section", [](auto& p) { p[52] = "FIM"; },
     "Defeito na entrada 52: o \"FIM\" vem antes do \"*\" que fecha a seção de firmware 4."},
    {"no ** after the firmware sections", [](auto& p) { p.erase(p.begin() + 59); },
     "Defeito na entrada 59: deve ser a marca \"**\", pois vem logo após o sexto \"*\" das seções de firmware "
     "(entrada 58); um \"*\" a mais dentro de uma seção também leva a isso."},
    {"FIM right after the firmware sections", [](auto& p) { p.resize(59); p.push_back("FIM"); },
     "Defeito na entrada 59: o \"FIM\" vem antes da marca \"**\" que segue as seções de firmware."},
    {"FIM before the addresses after **",
     [](auto& p) {
         p.resize(62);
         p.push_back("FIM");
     },
     "Defeito na entrada 62: o \"FIM\" vem antes dos endereços que seguem a marca \"**\"."},
    {"key list not closed",
     [](auto& p) {
         p.resize(66);
         p.push_back("FIM");
     },
     "Defeito na entrada 66: o \"FIM\" vem antes do \"*\" que encerra a lista de módulos."},
    {"FIM not after a star", [](auto& p) { p.erase(p.end() - 2); },
     "Defeito na entrada 80: o \"FIM\" vem antes do \"*\" que fecha a seção de módulo 4."},
    {"module section 1 empty", [](auto& p) { p.erase(p.begin() + 70); },
     "Defeito na entrada 70: a seção de módulo 1 está vazia: é do seu primeiro bloco que vem a página "
     "gravada em 8080."},
    {"too few module sections", [](auto& p) { p.insert(p.begin() + 64, {"Ford", "GM"}); },
     "Defeito na entrada 83: o pacote tem 5 seções de módulo, e são necessárias pelo menos 7: o número de "
     "chaves de módulo mais três, e no mínimo quatro."},
    {"fewer than four module sections",
     [](auto& p) {
         pkggen::PackageShape shape = pkggen::small_shape();
         shape.keys.clear();  // K + 3 would allow three
         shape.module_blocks = {1, 1, 1};
         p = pkggen::make_package(shape);
     },
     "Defeito na entrada 71: o pacote tem 3 seções de módulo, e são necessárias pelo menos 4: o número de "
     "chaves de módulo mais três, e no mínimo quatro."},
    // Slips of a publisher's hand: the walk goes by position, so each would
    // write firmware elsewhere than its author laid it out.
    {"an extra base entry", [](auto& p) { p.insert(p.begin() + 43, "8E00"); },
     "Defeito na entrada 43: deve ser o \"*\" que encerra os endereços das seções de firmware."},
    {"a base entry missing", [](auto& p) { p.erase(p.begin() + 40); },
     "Defeito na entrada 40: deve ser \"8100\", o endereço em que o programa grava a seção de firmware 4."},
    {"a base entry in lower case", [](auto& p) { p[38] = "aa00"; },
     "Defeito na entrada 38: deve ser \"AA00\", o endereço em que o programa grava a seção de firmware 2."},
    {"a stray star in section 2", [](auto& p) { p.insert(p.begin() + 47, "*"); },
     "Defeito na entrada 57: deve ser a marca \"**\", pois vem logo após o sexto \"*\" das seções de firmware "
     "(entrada 56); um \"*\" a mais dentro de uma seção também leva a isso."},
    {"an empty section 4", [](auto& p) { p.erase(p.begin() + 51, p.begin() + 53); },
     "Defeito na entrada 51: a seção de firmware 4 está vazia: cada seção de firmware precisa de pelo menos uma "
     "página antes do seu \"*\"."},
    {"an empty module section in the middle", [](auto& p) { p.erase(p.begin() + 76); },
     "Defeito na entrada 76: a seção de módulo 3 está vazia: cada seção de módulo precisa de pelo menos um bloco "
     "antes do seu \"*\"."},
    {"an entry between the sixth star and **", [](auto& p) { p.insert(p.begin() + 59, pkggen::random_hex(3, 256)); },
     "Defeito na entrada 59: deve ser a marca \"**\", pois vem logo após o sexto \"*\" das seções de firmware "
     "(entrada 58); um \"*\" a mais dentro de uma seção também leva a isso."},
    {"a section past address FFFF",
     [](auto& p) {
         pkggen::PackageShape shape = pkggen::small_shape();
         shape.firmware_pages[1] = 173;  // from AA00: 172 fit below FFFF
         p = pkggen::make_package(shape);
     },
     "Defeito na entrada 218: a seção de firmware 2 não cabe na memória do cartucho: esta página ficaria depois do "
     "endereço FFFF."},
    {"** before the sixth section closes", [](auto& p) { p.erase(p.begin() + 58); },
     "Defeito na entrada 58: a marca \"**\" vem antes do \"*\" que fecha a seção de firmware 6; o pacote deve ter "
     "seis seções de firmware."},
    // The update would write other than the package says.
    {"version not decimal", [](auto& p) { p[3] = "2x"; },
     "Defeito na entrada 3: o número da versão não é um número inteiro decimal."},
    {"version empty", [](auto& p) { p[3] = ""; },
     "Defeito na entrada 3: o número da versão não é um número inteiro decimal."},
    {"version a sign alone", [](auto& p) { p[3] = "-"; },
     "Defeito na entrada 3: o número da versão não é um número inteiro decimal."},
    {"page too long", [](auto& p) { p[46] += "0"; },
     "Defeito na entrada 46: a entrada de página tem 257 dígitos; cabem no máximo 256."},
    {"page in lower case", [](auto& p) { p[44][10] = 'a'; },
     "Defeito na entrada 44: o caractere 11 da entrada de página não é um dígito hexadecimal (0 a 9, A a F)."},
    {"** inside a module section", [](auto& p) { p[73] = "**"; },
     "Defeito na entrada 73: o caractere 1 da entrada de bloco não é um dígito hexadecimal (0 a 9, A a F)."},
    {"page empty", [](auto& p) { p[47] = ""; }, "Defeito na entrada 47: a entrada de página está vazia."},
    {"address after ** not hex", [](auto& p) { p[62] = "XYZ"; },
     "Defeito na entrada 62: o endereço deve ter de 1 a 4 dígitos hexadecimais (0 a 9, A a F)."},
    {"address after ** too long", [](auto& p) { p[63] = "0A700"; },
     "Defeito na entrada 63: o endereço deve ter de 1 a 4 dígitos hexadecimais (0 a 9, A a F)."},
    {"an erased address on a firmware Page", [](auto& p) { p[62] = "80C0"; },
     "Defeito na entrada 62: o programa apaga a página neste endereço (80C0) depois de gravar as seções de "
     "firmware, e apagaria a página 8100 da seção de firmware 4."},
    {"address after ** empty", [](auto& p) { p[62] = ""; },
     "Defeito na entrada 62: o endereço deve ter de 1 a 4 dígitos hexadecimais (0 a 9, A a F)."},
    {"block too long", [](auto& p) { p[67] += "A"; },
     "Defeito na entrada 67: a entrada de bloco tem 513 dígitos; cabem no máximo 512."},
    {"block empty", [](auto& p) { p[76] = ""; }, "Defeito na entrada 76: a entrada de bloco está vazia."},
    {"block with another letter", [](auto& p) { p[78][511] = 'G'; },
     "Defeito na entrada 78: o caractere 512 da entrada de bloco não é um dígito hexadecimal (0 a 9, A a F)."},
};

INSTANTIATE_TEST_SUITE_P(EachDefect, BrokenPackage, ::testing::ValuesIn(BROKEN),
                         [](const auto& info) { return test_name(info.param.what); });

// A build of an unsound package stops where the package would be embedded,
// with the check's sentence.
TEST(PackageBuild, StopsOnAnUnsoundPackageWithTheSentence) {
    const std::string dir = ::testing::TempDir() + "unsound_build_" + std::to_string(getpid());
    const std::string package = dir + ".txt";
    const Change lower_case_base = [](auto& p) { p[38] = "aa00"; };
    std::ofstream(package, std::ios::binary) << test_helpers::package_source(small_package(lower_case_base));
    const test_helpers::CommandResult build = test_helpers::run_command(
        CMAKE_COMMAND " -S " SOURCE_DIR " -B " + dir + " -G Ninja -DPATU_WINE_TESTS=OFF -DPATU_PACKAGE=" + package +
        " >/dev/null 2>&1 && " CMAKE_COMMAND " --build " + dir + " --target package_table 2>&1");
    std::filesystem::remove_all(dir);
    std::remove(package.c_str());
    EXPECT_NE(build.status, 0);
    EXPECT_NE(build.out.find(package + ": " + DAMAGED.substr(0, DAMAGED.size() - 1) +
                             "Defeito na entrada 38: deve ser \"AA00\", o endereço em que o programa grava a seção "
                             "de firmware 2.\n"),
              std::string::npos)
        << build.out;
}

TEST_F(PackageCheck, MoreModuleSectionsThanTheDirectoryHoldsAreRefused) {
    pkggen::PackageShape shape = pkggen::small_shape();
    shape.module_blocks.assign(55, 1);
    start_program(pkggen::make_package(shape));
    EXPECT_FALSE(PACOTE_VALIDO);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], DAMAGED + "Defeito na entrada 177: o pacote tem 55 seções de módulo; cabem no máximo 54.");

    shape.module_blocks.assign(54, 1);
    boxes().clear();
    start_program(pkggen::make_package(shape));
    EXPECT_TRUE(PACOTE_VALIDO);
}

// Entry 3 as the pass reads it: a decimal integer, of which the low 8 bits count.
TEST(VersionEntry, IsReadAsADecimalIntegerModulo256) {
    const std::pair<const char*, int> read[] = {
        {"22", 22}, {"300", 44}, {"0022", 22}, {"+278", 22}, {"-1", 255}, {"-234", 22},
        {"18446744073709551638", 22},  // 2^64 + 22: more digits than any integer type holds
    };
    for (const auto& [text, value] : read) {
        uint8_t version = 0xEE;
        EXPECT_TRUE(LE_NUM_VERSAO(text, &version)) << text;
        EXPECT_EQ(version, value) << text;
    }
    for (const char* text : {"", "-", "+", "2x", " 22", "22 ", "0x16", "2.0", "+-2"}) {
        uint8_t version = 0xEE;
        EXPECT_FALSE(LE_NUM_VERSAO(text, &version)) << text;
        EXPECT_EQ(version, 0xEE) << text;
    }
}

class OddPackage : public AppTest, public ::testing::WithParamInterface<Oddity> {};

// The package is accepted, and a whole update writes what the walk defines:
// the same writes, Pages and Blocks as the package's layout alone gives.
TEST_P(OddPackage, IsAcceptedAndWrittenAsTheWalkReadsIt) {
    const std::vector<std::string> package = small_package(GetParam().makes);
    start_program(package);
    ASSERT_TRUE(PACOTE_VALIDO) << (boxes().empty() ? "" : boxes()[0]);
    attach_cartridge();
    press_update();

    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].lines, std::vector<std::string>{"Atualização concluída com sucesso!!"});
    const ExpectedImage expected = expected_image(package, default_cartridge().identity);
    EXPECT_EQ(cartridge->writes(), expected.writes);
    EXPECT_TRUE(cartridge->pages() == expected.pages);
    EXPECT_TRUE(cartridge->blocks() == expected.blocks);
}

const Oddity ODDITIES[] = {
    {"** among the display lines", [](auto& p) { p[5] = "**"; }},
    {"the two unused values after ** holding anything",
     [](auto& p) {
         p[60] = "";
         p[61] = "não usado";
     }},
    {"** among the module keys", [](auto& p) { p[65] = "**"; }},
    {"version with a sign", [](auto& p) { p[3] = "-1"; }},  // 255 in the identity page
    {"addresses after ** of fewer digits",
     [](auto& p) {
         p[62] = "B60";
         p[63] = "7";
     }},
    {"a Page of 255 digits and a Block of 511",
     [](auto& p) {
         p[49].pop_back();
         p[72].pop_back();
     }},
    {"data entries shorter than a Page or Block",
     [](auto& p) {
         p[44] = "0A1B";
         p[70] = "12";  // module section 1: also the Page at 0x8080
     }},
};

INSTANTIATE_TEST_SUITE_P(EachOddity, OddPackage, ::testing::ValuesIn(ODDITIES),
                         [](const auto& info) { return test_name(info.param.what); });

// A lone last digit is a byte of its own, 0 to 15: the last byte of the Page
// of section 3 (entry 49, at B480) and of Block 3 (entry 72, the first of
// module section 2).
TEST_F(PackageCheck, AnOddDigitCountEndsInALoneDigitByte) {
    const std::vector<std::string> package = small_package([](auto& p) {
        p[49].pop_back();
        p[49].back() = 'C';
        p[72].pop_back();
        p[72].back() = 'E';
    });
    start_program(package);
    ASSERT_TRUE(PACOTE_VALIDO) << (boxes().empty() ? "" : boxes()[0]);
    attach_cartridge();
    press_update();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(cartridge->pages()[0xB480 + 127], 0x0C);
    EXPECT_EQ(cartridge->blocks().at(3)[255], 0x0E);
}
