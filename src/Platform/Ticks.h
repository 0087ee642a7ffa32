#pragma once
// The monotonic time that the bounds of the program's own waits are measured on: the connect,
// first-byte and receive bounds, the handshake, the header and rate bounds of a response, the
// pauses between requests to one host.
#include "Platform/Stream.h"

#include <cstdint>

namespace gathra {

// A steady time source in milliseconds. The program uses the steady clock (SteadyTicks); tests
// give one whose time moves only as they let it, so that which bound a transfer meets does not
// depend on how busy the machine is.
//
// A bounded wait never sleeps past what SliceMs allows: it waits at most one slice on the real
// socket, calls Idled when nothing came, and looks at NowMs again. On the steady clock a slice is
// the whole time left and Idled does nothing, so the program waits in one poll() as it always
// did.
class TTicks {
public:
    virtual ~TTicks() = default;
    virtual std::int64_t NowMs() = 0;
    // The longest one real wait may last when leftMs remain until its bound (leftMs < 0: no
    // bound).
    virtual int SliceMs(std::int64_t leftMs);
    // A real wait of one slice ended with nothing to show.
    virtual void Idled() {}
    // A slice of a pause passed: a wait on the time alone (a host's pause between requests).
    virtual void Paused() { Idled(); }
};

// The steady clock, shared by everyone.
TTicks& SteadyTicks();

// ticks, or the steady clock when it is null.
inline TTicks& TicksOr(TTicks* ticks) {
    return ticks != nullptr ? *ticks : SteadyTicks();
}

// A point timeoutMs after now on ticks (timeoutMs < 0: never).
class TDeadline {
public:
    TDeadline(TTicks& ticks, std::int64_t timeoutMs)
        : ticks_(ticks), endMs_(timeoutMs < 0 ? -1 : ticks.NowMs() + timeoutMs) {}
    // The milliseconds left, at least 0; -1 without a bound.
    std::int64_t LeftMs() const;
    bool Passed() const { return LeftMs() == 0; }

    // Waits through wait(sliceMs), one slice after another, until it gives anything but TimedOut
    // or the deadline passes (TimedOut). The first slice is waited even when no time is left.
    template <typename Wait> SocketStatus WaitSliced(Wait wait) const;

private:
    TTicks& ticks_;
    const std::int64_t endMs_;
};

template <typename Wait> SocketStatus TDeadline::WaitSliced(Wait wait) const {
    for (;;) {
        // A bound already passed still looks once, without waiting.
        const SocketStatus status = wait(ticks_.SliceMs(LeftMs()));
        if (status != SocketStatus::TimedOut) return status;
        ticks_.Idled();
        if (Passed()) return SocketStatus::TimedOut;
    }
}

} // namespace gathra
