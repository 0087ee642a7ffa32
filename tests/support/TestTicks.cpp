#include "support/TestTicks.h"

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gathra::test {
namespace {

// The real length of one slice of a client's wait.
constexpr int kRealSliceMs = 1;

// Data, the peer's close or an error waits on fd.
bool HasInput(int fd) {
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, 0) > 0;
}

} // namespace

std::int64_t TestTicks::NowMs() {
    std::lock_guard lock(mutex_);
    return nowMs_;
}

int TestTicks::SliceMs(std::int64_t leftMs) {
    return leftMs < 0 ? kRealSliceMs
                      : static_cast<int>(std::min<std::int64_t>(leftMs, kRealSliceMs));
}

void TestTicks::Idled() {
    std::lock_guard lock(mutex_);
    MoveLocked(stepMs_, Move::Idle);
}

void TestTicks::Paused() {
    std::lock_guard lock(mutex_);
    MoveLocked(stepMs_, Move::Pause);
}

void TestTicks::Advance(std::int64_t ms) {
    std::lock_guard lock(mutex_);
    MoveLocked(ms, Move::Forced);
}

std::uint64_t TestTicks::Moves() {
    std::lock_guard lock(mutex_);
    return moves_;
}

std::size_t TestTicks::Waiting() {
    std::lock_guard lock(mutex_);
    return waiters_.size();
}

bool TestTicks::WaitForWaiting() {
    std::unique_lock lock(mutex_);
    return rang_.wait_for(lock, std::chrono::seconds(10), [this] { return !waiters_.empty(); });
}

bool TestTicks::MoveLocked(std::int64_t ms, Move how) {
    if (how != Move::Forced) {
        if (holds_ > 0) return false;
        bool waiting = how == Move::Pause;
        for (Waiter& w : waiters_) {
            if (w.Rang || w.Dropped) continue;
            if (HasInput(w.Fd)) {
                // A silent connection with input is about to act; a sleeper's client has gone
                // (it sends nothing more while it waits for the answer).
                if (w.AlarmMs < 0) return false;
                w.Dropped = true;
                continue;
            }
            waiting = true;
            if (w.AlarmMs >= 0) ms = std::min(ms, std::max<std::int64_t>(0, w.AlarmMs - nowMs_));
        }
        if (!waiting) return false;
    }
    nowMs_ += ms;
    ++moves_;
    for (Waiter& w : waiters_) {
        if (w.AlarmMs >= 0 && !w.Rang && !w.Dropped && w.AlarmMs <= nowMs_) {
            w.Rang = true;
            ++holds_;
        }
    }
    rang_.notify_all();
    return true;
}

bool TestTicks::Sleep(std::int64_t ms, int fd, const std::function<bool()>& stopped) {
    std::unique_lock lock(mutex_);
    auto me = waiters_.insert(waiters_.end(), Waiter{fd, nowMs_ + std::max<std::int64_t>(ms, 0)});
    rang_.notify_all();
    if (ms <= 0) {
        me->Rang = true;
        ++holds_;
    }
    while (!me->Rang && !me->Dropped && !stopped()) {
        rang_.wait_for(lock, std::chrono::milliseconds(5));
        if (!me->Rang && HasInput(fd)) me->Dropped = true; // the client has gone
    }
    const bool rang = me->Rang;
    waiters_.erase(me);
    return rang;
}

void TestTicks::Release() {
    std::lock_guard lock(mutex_);
    if (holds_ > 0) --holds_;
}

void TestTicks::BeginSilence(int fd) {
    std::lock_guard lock(mutex_);
    waiters_.push_back(Waiter{fd, -1});
    rang_.notify_all();
}

void TestTicks::EndSilence(int fd) {
    std::lock_guard lock(mutex_);
    waiters_.remove_if([fd](const Waiter& w) { return w.Fd == fd && w.AlarmMs < 0; });
}

FreeTime::FreeTime(TestTicks& ticks) : ticks_(ticks) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quiet_) == 0)
        ticks_.BeginSilence(quiet_[0]);
}

void FreeTime::End() {
    if (quiet_[0] < 0) return;
    ticks_.EndSilence(quiet_[0]);
    close(quiet_[0]);
    close(quiet_[1]);
    quiet_[0] = quiet_[1] = -1;
}

} // namespace gathra::test
