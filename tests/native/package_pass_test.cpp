// The package pass over the shipped package and over packages of other shapes.
#include <functional>

#include "app_fixture.h"
#include "pacote.h"
#include "uSER_KV.h"

using PackagePass = AppTest;

TEST_F(PackagePass, ShippedPackageSetsEveryValue) {
    start_program();
    EXPECT_TRUE(PACOTE_VALIDO);
    EXPECT_EQ(LE_ENTRADA(852), "FIM");
    EXPECT_EQ(LE_ENTRADA(68), "*");
    EXPECT_EQ(LE_ENTRADA(181), "**");
    EXPECT_EQ(LE_ENTRADA(204), "*");
    EXPECT_EQ(POS_PACOTE, 76);
    EXPECT_EQ(POS_MODULOS, 205);
    EXPECT_EQ(ui::progress_max(control("pbAND")), 786);
    EXPECT_EQ(ui::progress_position(control("pbAND")), 0);
    EXPECT_EQ(NUM_VERSAO, 22);
    EXPECT_EQ(ENDERECO_3, 0xB600);
    EXPECT_EQ(ENDERECO_4, 0xA700);
    EXPECT_EQ(BASE_SECAO1, 0x8C00);
    EXPECT_EQ(BASE_SECAO2, 0xAA00);
    EXPECT_EQ(BASE_SECAO3, 0xB480);
    EXPECT_EQ(BASE_SECAO4, 0x8100);
    EXPECT_EQ(BASE_SECAO5, 0x8C00);
    EXPECT_EQ(BASE_SECAO6, 0x8E00);
    EXPECT_EQ(ui::text(control("lbDATA")), "08/08/2013");
    EXPECT_EQ(ui::text(control("lbATU")), LE_ENTRADA(2));

    ui::Control* memo = control("mmA");
    ASSERT_EQ(ui::memo_line_count(memo), 64);
    for (int i = 0; i < 30; ++i) EXPECT_FALSE(ui::memo_line(memo, i).empty()) << i;
    for (int i = 30; i < 64; ++i) EXPECT_EQ(ui::memo_line(memo, i), "") << i;

    ASSERT_EQ(LISTA_MODULOS.size(), 18u);
    std::string joined;
    for (const std::string& key : LISTA_MODULOS) joined += (&key == &LISTA_MODULOS.front() ? "" : ", ") + key;
    EXPECT_EQ(ui::text(control("lbMON")), joined);
    EXPECT_EQ(LISTA_MODULOS.front(), LE_ENTRADA(186));
    EXPECT_EQ(LISTA_MODULOS.back(), LE_ENTRADA(203));
}

TEST_F(PackagePass, ShippedPackageIsTheGeneratorsOutput) {
    std::vector<std::string> made = pkggen::make_package(pkggen::shipped_shape());
    std::string expected;
    for (const std::string& entry : made) expected += entry + "\n";
    EXPECT_EQ(read_file(SOURCE_DIR "/resources/pacote.txt"), expected);
}

TEST_F(PackagePass, RepeatedPassLeavesTheSameState) {
    start_program();
    ui::Control* memo = control("mmA");
    const std::string keys = ui::text(control("lbMON"));
    POS_PACOTE = 500;  // as if a walk had moved it
    ui::progress_step_by(control("pbAND"), 40);
    ui::headless::activate(fmATU->form);
    EXPECT_EQ(ui::memo_line_count(memo), 64);
    EXPECT_EQ(LISTA_MODULOS.size(), 18u);
    EXPECT_EQ(ui::text(control("lbMON")), keys);
    EXPECT_EQ(POS_PACOTE, 76);
    EXPECT_EQ(ui::progress_position(control("pbAND")), 0);
}

TEST_F(PackagePass, HeaderAndKeysOfOtherShapes) {
    pkggen::PackageShape shape = pkggen::small_shape();
    shape.version = "300";
    shape.keys = {"Só Uma"};
    shape.section_addresses = {"0000", "1111", "2222", "3333", "4444", "5555"};
    start_program(pkggen::make_package(shape));
    ASSERT_TRUE(PACOTE_VALIDO);
    EXPECT_EQ(NUM_VERSAO, 44);  // the low 8 bits of 300
    EXPECT_EQ(ui::text(control("lbMON")), "Só Uma");
    EXPECT_EQ(BASE_SECAO2, 0xAA00);  // the address entries carry no weight

    shape.keys.clear();
    start_program(pkggen::make_package(shape));
    ASSERT_TRUE(PACOTE_VALIDO);
    EXPECT_EQ(ui::text(control("lbMON")), "");

    // An empty key still takes its place in the list.
    shape.keys = {"", "B"};
    start_program(pkggen::make_package(shape));
    ASSERT_TRUE(PACOTE_VALIDO);
    EXPECT_EQ(LISTA_MODULOS.size(), 2u);
    EXPECT_EQ(ui::text(control("lbMON")), ", B");
}

// One broken property each: the pass refuses the package, names the entry,
// shows nothing of it and leaves "Atualiza" unable to write.
struct Broken {
    const char* what;
    std::function<void(std::vector<std::string>&)> breaks;
    int index;
};
void PrintTo(const Broken& broken, std::ostream* out) { *out << broken.what; }

class BrokenPackage : public AppTest, public ::testing::WithParamInterface<Broken> {};

TEST_P(BrokenPackage, IsRefusedNamingTheEntry) {
    std::vector<std::string> package = pkggen::make_package(pkggen::small_shape());
    GetParam().breaks(package);
    start_program(package);
    EXPECT_FALSE(PACOTE_VALIDO);
    ASSERT_EQ(boxes().size(), 1u);
    const std::string named = GetParam().index < 0 ? "\"FIM\"" : "entrada " + std::to_string(GetParam().index) + ":";
    EXPECT_NE(boxes()[0].find(named), std::string::npos) << boxes()[0];
    EXPECT_EQ(ui::text(control("lbDATA")), "");
    EXPECT_EQ(ui::memo_line_count(control("mmA")), 0);
    EXPECT_FALSE(ui::enabled(control("sbATU")));

    sim::Simulator& cartridge = attach_cartridge();
    fmATU->sbATUClick();
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(cartridge.bytes_received().empty());
}

// The small package: "*" at 36, sections at 37-42, "*" at 43, Pages from 44
// (sections of 1, 2, 1, 2, 1, 2 Pages), "**" at 59, keys at 64-65, "*" at 66,
// module sections of 2, 1, 3, 1, 2 Blocks from 67, "FIM" at 81.
const Broken BROKEN[] = {
    {"no FIM", [](auto& p) { p.pop_back(); }, -1},
    {"version not decimal", [](auto& p) { p[3] = "2x"; }, 3},
    {"section address not hex", [](auto& p) { p[39] = "B4G0"; }, 39},
    {"no star after addresses", [](auto& p) { p[43] = "8E00"; }, 43},
    {"page too long", [](auto& p) { p[46] += "0"; }, 46},
    {"page in lower case", [](auto& p) { p[44][10] = 'a'; }, 44},
    {"marker inside a section", [](auto& p) { p[46] = "**"; }, 46},
    {"no ** after sixth section", [](auto& p) { p[59] = "*"; }, 59},
    {"tail address missing", [](auto& p) { p[62] = "XYZ"; }, 62},
    {"module section 1 empty", [](auto& p) { p.erase(p.begin() + 70); }, 70},
    {"block too long", [](auto& p) { p[67] += "A"; }, 67},
    {"too few module sections", [](auto& p) { p.insert(p.begin() + 64, {"Ford", "GM"}); }, 83},
    {"FIM not after a star", [](auto& p) { p.erase(p.end() - 2); }, 80},
    {"no star after the display lines", [](auto& p) { p = {"", p[1], p[2], p[3], p[4], "FIM"}; }, 5},
    {"key list not closed", [](auto& p) { p.resize(66); p.push_back("FIM"); }, 66},
    {"marker among the keys", [](auto& p) { p[65] = "**"; }, 65},
    {"fewer than four module sections",
     [](auto& p) {
         pkggen::PackageShape shape = pkggen::small_shape();
         shape.keys.clear();  // K + 3 would allow three
         shape.module_blocks = {1, 1, 1};
         p = pkggen::make_package(shape);
     },
     71},
};

INSTANTIATE_TEST_SUITE_P(EachProperty, BrokenPackage, ::testing::ValuesIn(BROKEN),
                         [](const auto& info) {
                             std::string name = info.param.what;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST_F(PackagePass, TooManyModuleSectionsAreRefused) {
    pkggen::PackageShape shape = pkggen::small_shape();
    shape.module_blocks.assign(55, 1);
    start_program(pkggen::make_package(shape));
    EXPECT_FALSE(PACOTE_VALIDO);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("cabem no máximo 54"), std::string::npos) << boxes()[0];

    shape.module_blocks.assign(54, 1);
    boxes().clear();
    start_program(pkggen::make_package(shape));
    EXPECT_TRUE(PACOTE_VALIDO);
}
