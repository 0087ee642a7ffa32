#pragma once
#include <atomic>

namespace gathra {

// Lets one thread end another thread's blocking socket call at once: every wait of a TSocket
// that was given this canceller also watches its wake-up descriptor.
//
// A cancel is sticky: it ends the call in progress and every later one until Reset. That way a
// cancel cannot be lost to the moment between a flag check and the start of a blocking call. The
// thread that makes the calls resets it at a point where it checks its own stop flags right after,
// so that a cancel which the reset swallows is still seen through those flags (the canceling
// thread sets its flag before it cancels).
class SocketCanceller {
public:
    SocketCanceller();
    ~SocketCanceller();
    SocketCanceller(const SocketCanceller&) = delete;
    SocketCanceller& operator=(const SocketCanceller&) = delete;

    // Any thread.
    void Cancel();
    bool Cancelled() const;
    // The thread that makes the socket calls, between calls.
    void Reset();

    // Readable while a cancel stands; polled beside the socket.
    int WakeFd() const { return fd_; }

private:
    int fd_ = -1; // an eventfd
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> signalled_{false}; // written to fd_ since the last drain
};

// The canceller of the program's one brief run: the progress dialog's Stop and Skip cancel it
// after they set their flag.
SocketCanceller& ProgramSocketCanceller();

} // namespace gathra
