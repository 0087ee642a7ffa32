#pragma once
// The time of the client's bounds in tests: it moves only while the test server waits on it
// (an answer's delay, a silent connection), so that which bound a transfer meets follows from the
// script and not from how fast the machine is.
#include "Platform/Ticks.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>

namespace gathra::test {

// Time stands still unless something waits on it. Each slice (a millisecond of real time) that a
// client waits with nothing arriving moves it by one step, or to the earliest alarm when that
// comes first, but only while
//   - some connection of the server waits on time (sleeps to an alarm, or stays silent), and
//   - no silent connection has input waiting (the server is about to act on it), and
//   - nobody holds it (a sleeper woken by its alarm holds it until its answer has arrived).
// A server that answers at once never lets it move: no bound can pass while the machine is slow.
// A client's pause (a wait on the time alone) moves it by a step a slice unless it is held.
class TestTicks : public TTicks {
public:
    explicit TestTicks(std::int64_t stepMs = 1) : stepMs_(stepMs) {}

    std::int64_t NowMs() override;
    int SliceMs(std::int64_t leftMs) override;
    void Idled() override;
    void Paused() override;

    // Moves the time on by ms at once, as the test says (waking the alarms it passes).
    void Advance(std::int64_t ms);
    // Idle slices that moved the time so far (a test may wait for the client to wait).
    std::uint64_t Moves();
    // Connections of the server that wait on the time (sleeping or silent) just now.
    std::size_t Waiting();
    // Waits (a bounded while of real time) until some connection waits on the time.
    bool WaitForWaiting();

    // Sleeps until the time is ms further on; the connection fd is given up (false) when its
    // client closes it meanwhile, or when stopped() says so (looked at every few milliseconds).
    // True: the alarm rang, and the caller holds the time until Release.
    bool Sleep(std::int64_t ms, int fd, const std::function<bool()>& stopped);
    void Release();
    // The connection fd stays silent: time may move while it has nothing to read.
    void BeginSilence(int fd);
    void EndSilence(int fd);

private:
    struct Waiter {
        int Fd = -1;
        std::int64_t AlarmMs = -1; // -1: silent, else a sleeper's alarm
        bool Rang = false;
        bool Dropped = false;
    };
    enum class Move {
        Idle,   // a client's idle slice: only while a connection waits on the time
        Pause,  // a client's pause: unless held
        Forced, // the test's own
    };
    // Moves the time by up to ms (up to the earliest alarm but when forced) as how allows; the
    // lock is held.
    bool MoveLocked(std::int64_t ms, Move how);

    const std::int64_t stepMs_;
    std::mutex mutex_;
    std::condition_variable rang_;
    std::int64_t nowMs_ = 1000000;
    int holds_ = 0;
    std::uint64_t moves_ = 0;
    std::list<Waiter> waiters_;
};

// While it lives, the time moves on every idle slice as it does while a connection of the server
// is silent: for a client that waits on something other than the server (an address where
// nothing answers).
class FreeTime {
public:
    explicit FreeTime(TestTicks& ticks);
    ~FreeTime() { End(); }
    FreeTime(const FreeTime&) = delete;
    FreeTime& operator=(const FreeTime&) = delete;
    // The time stands still again.
    void End();

private:
    TestTicks& ticks_;
    int quiet_[2] = {-1, -1}; // a connection on which nothing ever arrives
};

} // namespace gathra::test
