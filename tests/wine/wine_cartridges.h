// Simulated cartridges as the Wine prefix's COM ports, for every Wine test
// that puts one on the line; the links are removed after each test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "simulator.h"
#include "wine_session.h"

// A cartridge with the default identity; tests add their faults to it.
inline sim::Options cartridge_options() {
    sim::Options options;
    options.identity = sim::default_identity();
    return options;
}

class WineCartridges : public ::testing::Test {
protected:
    // A simulated cartridge as COM n (1 or 2).
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
    std::unique_ptr<sim::Simulator> cartridges_[3];
};
