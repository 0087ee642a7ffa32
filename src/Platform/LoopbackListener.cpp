#include "Platform/LoopbackListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gathra {

LoopbackListener::~LoopbackListener() {
    Stop();
    if (listenFd_ >= 0) ::close(listenFd_);
    if (stopFd_ >= 0) ::close(stopFd_);
}

bool LoopbackListener::Listen(int port) {
    stopFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || stopFd_ < 0) {
        error_ = std::string("socket: ") + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error_ = std::string("listen: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    port_ = ntohs(addr.sin_port);
    return true;
}

void LoopbackListener::Start(Handler handler) {
    if (listenFd_ < 0 || thread_.joinable()) return;
    thread_ = std::thread([this, handler = std::move(handler)] { AcceptLoop(handler); });
}

void LoopbackListener::Stop() {
    if (stopFd_ >= 0) {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
}

bool LoopbackListener::Wait(int fd, short events, int ms) const {
    pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        int n = ::poll(fds, fd >= 0 ? 2 : 1, ms);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        return fds[0].revents == 0;
    }
}

bool LoopbackListener::Pause(int ms) const {
    if (ms <= 0) return true;
    pollfd stop{stopFd_, POLLIN, 0};
    int n;
    do
        n = ::poll(&stop, 1, ms);
    while (n < 0 && errno == EINTR);
    return n == 0;
}

void LoopbackListener::AcceptLoop(const Handler& handler) {
    for (;;) {
        // Either the stop signal or a failed listening socket ends the loop.
        if (!Wait(listenFd_, POLLIN, -1)) return;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED || errno == EAGAIN) continue;
            return;
        }
        handler(fd);
    }
}

} // namespace gathra
