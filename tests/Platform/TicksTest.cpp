// Bounded waits kept on a time source: how many slices a wait takes, how long each may be, and
// which status ends it.
#include "Platform/Ticks.h"

#include "support/TestTicks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace gathra {
namespace {

// A time that moves by a fixed step after every idle slice, each slice at most SliceCap long.
class SteppedTicks : public TTicks {
public:
    SteppedTicks(std::int64_t step, int sliceCap) : step_(step), sliceCap_(sliceCap) {}
    std::int64_t NowMs() override { return now_; }
    int SliceMs(std::int64_t leftMs) override {
        return leftMs < 0 ? sliceCap_ : static_cast<int>(std::min<std::int64_t>(leftMs, sliceCap_));
    }
    void Idled() override { now_ += step_; }

private:
    const std::int64_t step_;
    const int sliceCap_;
    std::int64_t now_ = 5000;
};

struct SliceCase {
    const char* Name;
    std::int64_t BoundMs;
    std::int64_t StepMs;
    int SliceCap;
    int AnswerOnCall; // 0: every slice times out
    SocketStatus Answer;
    SocketStatus Ends;
    std::vector<int> Slices; // the slice each call of the wait was given
};

class SlicedWait : public ::testing::TestWithParam<SliceCase> {};

TEST_P(SlicedWait, WaitsSliceBySliceUntilAnAnswerOrTheBound) {
    const SliceCase& c = GetParam();
    SteppedTicks ticks(c.StepMs, c.SliceCap);
    const std::int64_t start = ticks.NowMs();
    std::vector<int> slices;
    const SocketStatus ended = TDeadline(ticks, c.BoundMs).WaitSliced([&](int sliceMs) {
        slices.push_back(sliceMs);
        if (static_cast<int>(slices.size()) == c.AnswerOnCall) return c.Answer;
        return slices.size() < 1000 ? SocketStatus::TimedOut : SocketStatus::Failed;
    });
    EXPECT_EQ(ended, c.Ends);
    EXPECT_EQ(slices, c.Slices);
    // Every slice but the one answered moved the time by a step.
    const std::int64_t idled =
        c.AnswerOnCall > 0 ? c.AnswerOnCall - 1 : std::int64_t(c.Slices.size());
    EXPECT_EQ(ticks.NowMs() - start, idled * c.StepMs);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, SlicedWait,
    ::testing::Values(
        SliceCase{"BoundPassesAfterItsSlices",
                  100,
                  30,
                  50,
                  0,
                  SocketStatus::Ok,
                  SocketStatus::TimedOut,
                  {50, 50, 40, 10}},
        SliceCase{
            "AnswerInTheSecondSlice", 100, 30, 50, 2, SocketStatus::Ok, SocketStatus::Ok, {50, 50}},
        SliceCase{"CancelEndsAtOnce",
                  100,
                  30,
                  50,
                  1,
                  SocketStatus::Cancelled,
                  SocketStatus::Cancelled,
                  {50}},
        SliceCase{"NoTimeLeftStillLooksOnce",
                  0,
                  30,
                  50,
                  0,
                  SocketStatus::Ok,
                  SocketStatus::TimedOut,
                  {0}},
        SliceCase{"WholeBoundInOneSlice",
                  100,
                  100,
                  1000,
                  0,
                  SocketStatus::Ok,
                  SocketStatus::TimedOut,
                  {100}},
        SliceCase{"NoBoundWaitsForTheAnswer",
                  -1,
                  1000,
                  20,
                  3,
                  SocketStatus::Closed,
                  SocketStatus::Closed,
                  {20, 20, 20}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SteadyTicks, WaitsTheWholeBoundInOneSlice) {
    TTicks& steady = SteadyTicks();
    EXPECT_EQ(steady.SliceMs(32000), 32000);
    EXPECT_EQ(steady.SliceMs(-1), -1);
    EXPECT_EQ(steady.SliceMs(std::int64_t(1) << 40), 2147483647);
    const std::int64_t before = steady.NowMs();
    EXPECT_GE(steady.NowMs(), before);
}

TEST(TestTicks, MoveOnlyWhileAConnectionWaitsOnThemAndNothingIsOnItsWay) {
    test::TestTicks ticks(5);
    int pair[2]; // the server's end of a connection, and the client's
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    std::int64_t last = ticks.NowMs();
    auto moved = [&] {
        const std::int64_t now = ticks.NowMs();
        const std::int64_t by = now - last;
        last = now;
        return by;
    };
    ticks.Idled();
    EXPECT_EQ(moved(), 0); // nothing waits on the time
    ticks.BeginSilence(pair[0]);
    ticks.Idled();
    EXPECT_EQ(moved(), 5);
    ASSERT_EQ(write(pair[1], "x", 1), 1);
    ticks.Idled();
    EXPECT_EQ(moved(), 0); // the silent server has a request to act on
    char c;
    ASSERT_EQ(read(pair[0], &c, 1), 1);
    ticks.Idled();
    EXPECT_EQ(moved(), 5);
    ticks.EndSilence(pair[0]);
    ticks.Idled();
    EXPECT_EQ(moved(), 0);

    // A sleeper: the time stops at its alarm and is held until what it sends is on its way.
    bool rang = false;
    std::thread sleeper([&] { rang = ticks.Sleep(12, pair[0], [] { return false; }); });
    ASSERT_TRUE(ticks.WaitForWaiting());
    for (std::int64_t expected : {5, 5, 2, 0}) {
        ticks.Idled();
        EXPECT_EQ(moved(), expected);
    }
    sleeper.join();
    EXPECT_TRUE(rang);
    ticks.Paused();
    EXPECT_EQ(moved(), 0); // held
    ticks.Release();
    ticks.Paused();
    EXPECT_EQ(moved(), 5); // a pause needs no one waiting

    // A sleeper whose client hangs up is given up, holding nothing.
    std::thread dropped([&] { rang = ticks.Sleep(1000, pair[0], [] { return false; }); });
    ASSERT_TRUE(ticks.WaitForWaiting());
    close(pair[1]);
    dropped.join();
    EXPECT_FALSE(rang);
    ticks.Paused();
    EXPECT_EQ(moved(), 5);
    close(pair[0]);
}

} // namespace
} // namespace gathra
