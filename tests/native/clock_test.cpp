// The millisecond tick counter: differences across the wrap and fast-forward.
#include <chrono>

#include <gtest/gtest.h>

#include "clock.h"
#include "test_helpers.h"

namespace {

using namespace test_helpers;

TEST(TickArithmetic, ElapsedIsTheDifferenceModulo2To32) {
    EXPECT_EQ(plat::elapsed_ms(1000u, 6001u), 5001u);
    EXPECT_EQ(plat::elapsed_ms(0xFFFFFF00u, 0x00000064u), 356u);  // across the wrap
    EXPECT_EQ(plat::elapsed_ms(0xFFFFFFFFu, 0u), 1u);
    EXPECT_EQ(plat::elapsed_ms(42u, 42u), 0u);
}

TEST(TickArithmetic, WaitThatSpansTheWrapIsNotOverYet) {
    const uint32_t t0 = 0xFFFFFFFFu - 100u;
    const uint32_t t = t0 + 4000u;  // wrapped
    EXPECT_LT(t, t0);
    EXPECT_LE(plat::elapsed_ms(t0, t), 5000u);
}

class TickCounterTest : public ::testing::Test {
protected:
    void TearDown() override { plat::set_fast_forward(false); }
};

TEST_F(TickCounterTest, AdvancingMovesTheCounterAndItWrapsOnward) {
    plat::advance_ticks(static_cast<uint32_t>(0u - 20u - plat::tick_ms()));
    const uint32_t antes = plat::tick_ms();
    EXPECT_GE(antes, 0xFFFFFFFFu - 25u);
    plat::os_sleep_ms(40);
    const uint32_t depois = plat::tick_ms();
    EXPECT_LT(depois, antes);
    EXPECT_GE(plat::elapsed_ms(antes, depois), 40u);
    EXPECT_LT(plat::elapsed_ms(antes, depois), 200u);
}

TEST_F(TickCounterTest, RealSleepTakesItsTime) {
    const uint32_t t0 = plat::tick_ms();
    const auto inicio = Clock::now();
    plat::sleep_ms(60);
    EXPECT_GE(ms_since(inicio), 59.0);
    EXPECT_GE(plat::elapsed_ms(t0, plat::tick_ms()), 59u);
}

TEST_F(TickCounterTest, FastForwardSkipsTheSleepButNotTheTicks) {
    plat::set_fast_forward(true);
    const uint32_t t0 = plat::tick_ms();
    const auto inicio = Clock::now();
    plat::sleep_ms(5000);
    EXPECT_LT(ms_since(inicio), 50.0);
    EXPECT_GE(plat::elapsed_ms(t0, plat::tick_ms()), 5000u);
    EXPECT_LT(plat::elapsed_ms(t0, plat::tick_ms()), 5050u);
}

}  // namespace
