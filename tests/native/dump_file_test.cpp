// The record of the identity page (TEXTO2.TXT): the first place when it can
// be created, else the Documents folder (natively, the home folder) without a
// word, and one box naming both places only when neither can be written. The
// update's outcome is the same either way; when the identity page itself
// fails, the failure box names the record, written before it, or asks for the
// identity to be noted.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "app_fixture.h"
#include "expected_image.h"
#include "failure_box.h"
#include "uSER_KV.h"

namespace {

// A folder of the file's name: the file cannot be created in its place.
void make_uncreatable(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

bool exists(const std::string& path) {
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

// The system's reason for a file that is a folder, as the host words it.
std::string reason_of_a_folder() {
    return std::string(std::strerror(EISDIR)) + " (erro " + std::to_string(EISDIR) + ")";
}

}  // namespace

class DumpFile : public AppTest {
protected:
    // A whole update of the small package; `nak` makes it fail at that
    // command.
    void update(sim::CommandSelector nak = {}) {
        start_program(package);
        sim::Options options = default_cartridge();
        options.nak = nak;
        attach_cartridge(options);
        press_update();
        EXPECT_FALSE(PORTA_ABERTA);
        EXPECT_TRUE(ui::end_requested());
    }
    std::string expected_record() {
        const ExpectedImage expected = expected_image(package, default_cartridge().identity);
        return expected_dump(&expected.pages[0x8000]);
    }
    void expect_message_7() {
        ASSERT_EQ(dialogs.size(), 2u);
        EXPECT_EQ(dialogs[1].lines.at(0), "Atualização concluída com sucesso!!");
    }
    // The box when the first place is a folder and the second `where`.
    std::string box_naming(const std::string& where, const std::string& reason) {
        return "Não foi possível gravar o registro da atualização (TEXTO2.TXT)\nem " + dump_path + ": " +
               reason_of_a_folder() + "\nnem " + where + ": " + reason +
               ".\n\nO registro é só uma cópia do que foi enviado ao cartucho: o cartucho e o resultado da "
               "atualização não são afetados.";
    }

    // The W of the identity page refused, after its E erased the page: the
    // one box, which names `record` (empty: none) and the identity.
    void expect_identity_page_box(const std::string& record) {
        EXPECT_EQ(boxes().back(), failure_box::text("falha na gravação da página de identificação 8000",
                                                    failure_box::REFUSED,
                                                    failure_box::identity_maybe_erased(record, IDENTITY)));
        EXPECT_EQ(dialogs.size(), 1u);  // no message 7
        for (int i = 0; i < TAM_PAGINA; ++i) ASSERT_EQ(cartridge->pages()[0x8000 + i], 0xFF) << i;
    }

    // The identity page refused, its record at `record` holding the page
    // sent, and the one box naming it.
    void expect_identity_page_recorded_at(const std::string& record) {
        update(identity_page_write);
        EXPECT_EQ(read_file(record), expected_record());
        ASSERT_EQ(boxes().size(), 1u);
        expect_identity_page_box(record);
    }

    const std::vector<std::string> package = pkggen::make_package(pkggen::small_shape());
    const sim::CommandSelector identity_page_write{'W', 11};
};

TEST_F(DumpFile, GoesToTheFirstPlaceWhenItCanBeCreated) {
    update();
    EXPECT_EQ(read_file(dump_path), expected_record());
    EXPECT_FALSE(exists(home_dump_path));
    EXPECT_TRUE(boxes().empty());
    expect_message_7();
}

TEST_F(DumpFile, GoesToTheDocumentsFolderWithoutABoxWhenTheFirstPlaceRefusesIt) {
    make_uncreatable(dump_path);
    update();
    EXPECT_EQ(read_file(home_dump_path), expected_record());
    EXPECT_TRUE(boxes().empty());
    expect_message_7();
}

TEST_F(DumpFile, NeitherPlaceGivesOneBoxNamingBothThenMessage7) {
    make_uncreatable(dump_path);
    make_uncreatable(home_dump_path);
    update();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], box_naming("em " + home_dump_path, reason_of_a_folder()));
    expect_message_7();
}

TEST_F(DumpFile, NoDocumentsFolderIsNamedAsSuch) {
    make_uncreatable(dump_path);
    unsetenv("HOME");
    update();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0], box_naming("na pasta Documentos", "HOME não está definida"));
    expect_message_7();
}

// A failed final G still leaves its record in the Documents folder, and is
// still reported as the failure it is, with no box about the record.
TEST_F(DumpFile, FailedUpdateKeepsItsRecordAndItsFailureBox) {
    make_uncreatable(dump_path);
    update({'G', 2});
    EXPECT_EQ(read_file(home_dump_path), expected_record());
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_NE(boxes()[0].find("comando G final"), std::string::npos) << boxes()[0];
    EXPECT_EQ(dialogs.size(), 1u);
}

// The identity page refused: the record of the page sent, in the first place,
// is named with the identity it holds, so that it can be kept before a new
// attempt records the erased page.
TEST_F(DumpFile, RefusedIdentityPageNamesTheRecordItWrote) { expect_identity_page_recorded_at(dump_path); }

TEST_F(DumpFile, RefusedIdentityPageNamesTheRecordInTheDocumentsFolder) {
    make_uncreatable(dump_path);
    expect_identity_page_recorded_at(home_dump_path);
}

// Written nowhere: the record's box, then the failure box asks for the
// identity to be noted.
TEST_F(DumpFile, RefusedIdentityPageWithNoRecordAsksToNoteTheIdentity) {
    make_uncreatable(dump_path);
    make_uncreatable(home_dump_path);
    update(identity_page_write);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[0], box_naming("em " + home_dump_path, reason_of_a_folder()));
    expect_identity_page_box("");
}
