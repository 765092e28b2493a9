// Set-up shared by the Wine tests of an update attempt: the main window and
// the steps of an attempt as a user takes them.
#pragma once
#include <string>

#include "wine_cartridges.h"

inline const std::string WINDOW = "Atualização QUILLA II";

class WineUpdate : public WineCartridges {
protected:
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
