#include "Platform/SocketCanceller.h"

#include <cstdint>
#include <stdexcept>
#include <sys/eventfd.h>
#include <unistd.h>

namespace gathra {

SocketCanceller::SocketCanceller() {
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd_ < 0) throw std::runtime_error("cannot create the socket canceller");
}

SocketCanceller::~SocketCanceller() {
    close(fd_);
}

void SocketCanceller::Cancel() {
    cancelled_.store(true);
    std::uint64_t one = 1;
    (void)!write(fd_, &one, sizeof one);
    // After the write: a reset that misses this mark leaves the descriptor readable for the
    // next one, never a drained descriptor marked as written.
    signalled_.store(true);
}

bool SocketCanceller::Cancelled() const {
    return cancelled_.load();
}

void SocketCanceller::Reset() {
    // Drain first, clear the flag after: a Cancel racing with this leaves the descriptor
    // readable at worst, which ends the next wait (never one that should have been ended but
    // was not).
    // A canceller that was never signalled since has nothing to drain (the common case: one
    // reset before each request).
    if (signalled_.exchange(false)) {
        std::uint64_t count;
        while (read(fd_, &count, sizeof count) > 0) {
        }
    }
    cancelled_.store(false);
}

SocketCanceller& ProgramSocketCanceller() {
    static SocketCanceller canceller;
    return canceller;
}

} // namespace gathra
