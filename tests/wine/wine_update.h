// Set-up shared by the Wine tests of an update attempt: the main window and
// the steps of an attempt as a user takes them.
#pragma once
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "wine_cartridges.h"

inline const std::string WINDOW = "Atualização QUILLA II";

// The two places of the identity page's record: C:\TEXTO2.TXT in the prefix,
// and TEXTO2.TXT in the Documents folder, which Wine links to its home.
inline std::string record_in_c() { return wine::prefix() + "/drive_c/TEXTO2.TXT"; }
inline std::string record_in_documents() { return wine::home() + "/TEXTO2.TXT"; }

// A whole file's bytes; empty when there is none.
inline std::string file_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class WineUpdate : public WineCartridges {
protected:
    // Each attempt starts with neither record in place.
    void SetUp() override { remove_records(); }
    void TearDown() override {
        remove_records();
        WineCartridges::TearDown();
    }
    static void remove_records() {
        std::filesystem::remove_all(record_in_c());
        std::filesystem::remove_all(record_in_documents());
    }

    // Presses "Atualiza" and answers the confirmation with `button`.
    void start_attempt(const std::string& button) {
        wine::drive({"wait-window", WINDOW, "30000", "--", "click", WINDOW, "Atualiza", "--", "wait-text",
                     "Mensagem", "Para iniciar a atualização deste cartucho", "20000", "--", "click", "Mensagem",
                     button});
    }
    // Waits for the message dialog with `caption` and a line starting with
    // `line`; closes it with `button`.
    void expect_message(const std::string& caption, const std::string& line, const std::string& button,
                        int timeout_ms = 60000) {
        wine::drive({"wait-text", caption, line, std::to_string(timeout_ms), "--", "click", caption, button,
                     "--", "wait-gone", caption, "10000"},
                    timeout_ms + 30000);
    }
};
