// pATU.exe (around the small package) under Wine where C:\TEXTO2.TXT cannot
// be created, as for a standard user: the record goes to the Documents folder
// without a word, and only when that fails too does one box name both places;
// the update ends as usual either way. A folder of the file's name makes a
// place uncreatable.
#include <chrono>

#include "expected_image.h"
#include "package_generator.h"
#include "wine_update.h"

namespace {

const std::string BOX_CAPTION = "Atualização Cartucho QUILLA";
const std::string MESSAGE_7 = "Atualização concluída com sucesso!!";

std::string expected_record() {
    const ExpectedImage expected =
        expected_image(pkggen::make_package(pkggen::small_shape()), cartridge_options().identity);
    return expected_dump(&expected.pages[0x8000]);
}

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

class WineDumpFile : public WineUpdate {
protected:
    // Wine linked Documents to the HOME it had when it made the prefix: the
    // tests' own home, unless the prefix is older than that.
    void SetUp() override {
        WineUpdate::SetUp();
        std::error_code error;
        for (const auto& user : std::filesystem::directory_iterator(wine::prefix() + "/drive_c/users")) {
            if (user.path().filename() == "Public") continue;
            ASSERT_TRUE(std::filesystem::equivalent(user.path() / "Documents", wine::home(), error))
                << user.path() << "/Documents is not " << wine::home() << ": remove " << wine::prefix();
        }
    }

    // Runs a whole update; the caption of the first report that comes up
    // after it, a plain box or the message dialog, while the program waits.
    std::string update_until_a_report(wine::Process& program) {
        cartridge(1);
        start_attempt("OK");
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(3);
             std::chrono::steady_clock::now() < end && program.running();)
            for (const std::string& line : wine::drive({"sleep", "2000", "--", "list"})) {
                // The application's own window bears the box's caption too.
                if (line.find(" class=#32770 text=\"" + BOX_CAPTION + "\"") != std::string::npos) return BOX_CAPTION;
                if (line.find(" text=\"Mensagem\"") != std::string::npos) return "Mensagem";
            }
        return "";
    }
    void close_message_7(wine::Process& program) {
        expect_message("Mensagem", MESSAGE_7, "OK");
        EXPECT_EQ(program.wait(20000), 0);
    }
};

TEST_F(WineDumpFile, RefusedInCItGoesToDocumentsWithoutABox) {
    std::filesystem::create_directory(record_in_c());
    wine::Process program(wine::small_exe(), {});
    if (update_until_a_report(program) == BOX_CAPTION) FAIL() << wine::drive({"msgbox-text"}).at(0);
    close_message_7(program);
    EXPECT_EQ(file_bytes(record_in_documents()), expected_record());
    EXPECT_TRUE(std::filesystem::is_directory(record_in_c()));
}

TEST_F(WineDumpFile, RefusedInBothPlacesOneBoxNamesThemThenMessage7) {
    std::filesystem::create_directory(record_in_c());
    std::filesystem::create_directory(record_in_documents());
    wine::Process program(wine::small_exe(), {});
    ASSERT_EQ(update_until_a_report(program), BOX_CAPTION);
    // As the driver prints it: line ends and back-slashes escaped.
    const std::string text = wine::drive({"msgbox-text"}).at(0);
    EXPECT_EQ(text.rfind("Não foi possível gravar o registro da atualização (TEXTO2.TXT)\\nem C:\\\\TEXTO2.TXT: ", 0),
              0u)
        << text;
    EXPECT_NE(text.find("\\nnem em C:\\\\users\\\\"), std::string::npos) << text;
    EXPECT_NE(text.find("\\\\Documents\\\\TEXTO2.TXT: "), std::string::npos) << text;
    EXPECT_EQ(count(text, " (erro "), 2u) << text;  // the system's reason for each
    EXPECT_NE(text.find("o cartucho e o resultado da atualização não são afetados."), std::string::npos) << text;
    wine::drive({"click", BOX_CAPTION, "OK"});  // owned by the application's window, so above it
    close_message_7(program);
}
