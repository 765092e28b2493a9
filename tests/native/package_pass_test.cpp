// The package pass over the shipped package and over packages of other shapes.
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
    start_program(pkggen::make_package(shape));
    ASSERT_TRUE(PACOTE_VALIDO);
    EXPECT_EQ(NUM_VERSAO, 44);  // the low 8 bits of 300
    EXPECT_EQ(ui::text(control("lbMON")), "Só Uma");

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
