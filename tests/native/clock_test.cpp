// The millisecond tick counter: differences across the wrap, fast-forward, and
// pauses that last their length while the counter moves in coarse steps.
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
    const uint32_t before = plat::tick_ms();
    EXPECT_GE(before, 0xFFFFFFFFu - 25u);
    plat::os_sleep_ms(40);
    const uint32_t after = plat::tick_ms();
    EXPECT_LT(after, before);
    EXPECT_GE(plat::elapsed_ms(before, after), 40u);
    EXPECT_LT(plat::elapsed_ms(before, after), 200u);
}

TEST_F(TickCounterTest, RealSleepTakesItsTime) {
    const uint32_t t0 = plat::tick_ms();
    const auto start = Clock::now();
    plat::sleep_ms(60);
    EXPECT_GE(ms_since(start), 59.0);
    EXPECT_GE(plat::elapsed_ms(t0, plat::tick_ms()), 59u);
}

TEST_F(TickCounterTest, FastForwardSkipsTheSleepButNotTheTicks) {
    plat::set_fast_forward(true);
    const uint32_t t0 = plat::tick_ms();
    const auto start = Clock::now();
    plat::sleep_ms(5000);
    EXPECT_LT(ms_since(start), 50.0);
    EXPECT_GE(plat::elapsed_ms(t0, plat::tick_ms()), 5000u);
    EXPECT_LT(plat::elapsed_ms(t0, plat::tick_ms()), 5050u);
}

// Windows's tick counter moves in steps of the system timer, so a pause
// measured on it could end up to a step early. Each pause here starts one
// millisecond before a step, where that error is largest.
class CoarseTicks : public TickCounterTest {
protected:
    static constexpr uint32_t STEP_MS = 16;
    void SetUp() override { plat::set_tick_step_ms(STEP_MS); }
    void TearDown() override {
        plat::set_tick_step_ms(1);
        TickCounterTest::TearDown();
    }
    static void until_just_before_a_step() {
        while (plat::os_tick_ms() % STEP_MS != STEP_MS - 1) {
        }
    }
};

TEST_F(CoarseTicks, TheCounterMovesInWholeSteps) {
    uint32_t last = plat::tick_ms();
    int steps = 0;
    for (const auto start = Clock::now(); ms_since(start) < 60;) {
        const uint32_t now = plat::tick_ms();
        if (now == last) continue;
        EXPECT_EQ(plat::elapsed_ms(last, now) % STEP_MS, 0u);
        last = now;
        ++steps;
    }
    EXPECT_GE(steps, 2);
}

TEST_F(CoarseTicks, APauseStartedJustBeforeAStepLastsItsLength) {
    for (uint32_t length : {50u, 80u, 100u}) {
        until_just_before_a_step();
        auto start = Clock::now();
        plat::sleep_ms(length);
        EXPECT_GE(ms_since(start), length) << "plain pause of " << length << " ms";

        until_just_before_a_step();
        start = Clock::now();
        plat::sleep_ms(length, [] {});  // in slices, as the window's pauses
        EXPECT_GE(ms_since(start), length) << "pause of " << length << " ms in slices";
    }
}

}  // namespace
