// The host slots of the connection pool: how long a request waits for a host's pause or for
// the time a host asked to be left alone, on the tests' time.
#include "Net/ConnectionPool.h"

#include "support/TestTicks.h"

#include <gtest/gtest.h>

#include <chrono>

namespace gathra {
namespace {

constexpr std::int64_t kStepMs = 10;

struct SlotCase {
    const char* Name;
    int PerHost;
    int PauseMs;
    bool ReleaseFirst;
    int HoldOffMs; // 0: none
    std::int64_t WaitMs;
};

class HostSlots : public ::testing::TestWithParam<SlotCase> {};

TEST_P(HostSlots, TheNextRequestStartsWhenThePausesAllowIt) {
    const SlotCase& c = GetParam();
    test::TestTicks ticks(kStepMs);
    TConnectionPool pool(c.PerHost, c.PauseMs, &ticks);
    auto never = [] { return false; };
    ASSERT_TRUE(pool.Acquire("host", never));
    if (c.ReleaseFirst) pool.Release("host");
    if (c.HoldOffMs > 0) pool.HoldOff("host", std::chrono::milliseconds(c.HoldOffMs));
    const std::int64_t started = ticks.NowMs();
    ASSERT_TRUE(pool.Acquire("host", never));
    const std::int64_t waited = ticks.NowMs() - started;
    EXPECT_GE(waited, c.WaitMs);
    EXPECT_LT(waited, c.WaitMs + kStepMs);
    // Another host keeps its own pace.
    const std::int64_t before = ticks.NowMs();
    ASSERT_TRUE(pool.Acquire("other", never));
    EXPECT_EQ(ticks.NowMs(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Pauses, HostSlots,
    ::testing::Values(SlotCase{"NoPause", 2, 0, false, 0, 0},
                      SlotCase{"PauseBetweenStarts", 2, 300, false, 0, 300},
                      SlotCase{"PauseAfterARelease", 1, 300, true, 0, 300},
                      SlotCase{"RetryAfterLongerThanThePause", 2, 300, false, 1000, 1000},
                      SlotCase{"PauseLongerThanRetryAfter", 2, 300, true, 100, 300},
                      SlotCase{"RetryAfterWithoutPause", 1, 0, true, 250, 250}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(HostSlotsFull, AWaitForAFreeSlotEndsWithItsStopAndLeavesTheTimeAlone) {
    test::TestTicks ticks(kStepMs);
    TConnectionPool pool(1, 0, &ticks);
    ASSERT_TRUE(pool.Acquire("host", [] { return false; }));
    // The slot is busy with a transfer that moves the time itself: the waiter only looks at its
    // stop now and then.
    int looks = 0;
    EXPECT_FALSE(pool.Acquire("host", [&] { return ++looks > 3; }));
    EXPECT_EQ(looks, 4);
    EXPECT_EQ(ticks.Moves(), 0u);
    pool.Release("host");
    EXPECT_TRUE(pool.Acquire("host", [] { return false; }));
}

} // namespace
} // namespace gathra
