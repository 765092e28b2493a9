// dist/pATU.exe under Wine, against the simulated cartridge through Wine's
// COM mapping, driven through its windows as a user would.
#include "expected_image.h"
#include "package_generator.h"
#include "wine_update.h"

// COM 1 missing gives message 1; COM 1 then opens on a silent cartridge, for
// message 3: the failed open kept nothing of the port, its mutex included.
// Then a whole update on COM 2.
TEST_F(WineUpdate, MissingThenSilentCom1ThenAFullUpdateOnCom2) {
    wine::link_com(1, "/dev/nonexistent-port");
    sim::Simulator& com2 = cartridge(2);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");
    expect_message("Erro de comunicação", "Não foi possível abrir a porta serial definida para", "Cancelar");

    sim::Options silent = cartridge_options();
    silent.silent = true;
    sim::Simulator& com1 = cartridge(1, silent);
    start_attempt("OK");
    expect_message("Erro de comunicação", "Não foi possível comunicar com o aparelho.", "Cancelar");
    EXPECT_EQ(com1.bytes_received(), (std::vector<uint8_t>{0xAB, 0x87, 0x86, 0x85}));

    wine::drive({"click", WINDOW, "COM 2"});
    start_attempt("OK");
    wine::drive({"wait-text", WINDOW, "Atualização em andamento....3012AB0F", "30000"});
    // The bar advances while the Blocks go out.
    std::vector<std::string> progress;
    for (int i = 0; i < 600; ++i) {
        progress = wine::drive({"sleep", "500", "--", "progress", WINDOW});
        if (std::stoi(progress.at(0)) > 150) break;
    }
    EXPECT_GT(std::stoi(progress.at(0)), 150);
    EXPECT_EQ(progress.at(0).substr(progress.at(0).find(' ')), " 0 786");

    expect_message("Mensagem", "Atualização concluída com sucesso!!", "OK", 400000);
    EXPECT_EQ(program.wait(20000), 0);

    std::vector<std::string> package;
    for (const std::string& line : pkggen::make_package(pkggen::shipped_shape())) package.push_back(line);
    const ExpectedImage expected = expected_image(package, cartridge_options().identity);
    EXPECT_EQ(com2.writes(), expected.writes);
    EXPECT_TRUE(com2.pages() == expected.pages);
    EXPECT_TRUE(com2.blocks() == expected.blocks);
    EXPECT_TRUE(com1.writes().empty());
    // The record goes to C:\ when it can be created there, as here.
    EXPECT_EQ(file_bytes(record_in_c()), expected_dump(&expected.pages[0x8000]));
    EXPECT_FALSE(std::filesystem::exists(record_in_documents()));
}

TEST_F(WineUpdate, CancelReachesNothing) {
    sim::Simulator& com1 = cartridge(1);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("Cancelar");
    wine::drive({"wait-gone", "Mensagem", "10000", "--", "text", WINDOW, "Atualização não executada"});
    EXPECT_TRUE(com1.bytes_received().empty());
    wine::drive({"close", WINDOW, "--", "wait-gone", WINDOW, "10000"});
    EXPECT_EQ(program.wait(10000), 0);
}

TEST_F(WineUpdate, OtherGenerationGivesMessage4) {
    sim::Options options = cartridge_options();
    options.sync_byte = 0x86;
    sim::Simulator& com1 = cartridge(1, options);
    wine::Process program(wine::dist_exe(), {});
    start_attempt("OK");
    expect_message("Incompatibilidade de Versão", "Esta atualização não pode ser executada neste", "Cancelar");
    EXPECT_TRUE(com1.writes().empty());
    wine::drive({"close", WINDOW, "--", "wait-gone", WINDOW, "10000"});
    EXPECT_EQ(program.wait(10000), 0);
}
