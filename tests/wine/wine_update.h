// Set-up shared by the Wine tests of an update attempt: simulated cartridges
// as COM ports, and the steps of an attempt as a user takes them.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "simulator.h"
#include "wine_session.h"

inline const std::string WINDOW = "Atualização QUILLA II";

inline sim::Options cartridge_options() {
    sim::Options options;
    options.identity = sim::default_identity();
    return options;
}

class WineUpdate : public ::testing::Test {
protected:
    // A simulated cartridge as COM n.
    sim::Simulator& cartridge(int n, sim::Options options = cartridge_options()) {
        auto& slot = cartridges_[n];
        slot = std::make_unique<sim::Simulator>(options);
        std::string error;
        EXPECT_TRUE(slot->start(&error)) << error;
        wine::link_com(n, slot->slave_path());
        return *slot;
    }
    void TearDown() override {
        for (int n = 1; n <= 2; ++n) wine::link_com(n, "");
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
    std::unique_ptr<sim::Simulator> cartridges_[3];
};
