#include "Platform/Socket.h"

#include "Platform/LookupThreads.h"
#include "Platform/SocketCanceller.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <resolv.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>

namespace gathra {
namespace {

SocketStatus StatusOfErrno(int error) {
    return error == ECONNABORTED ? SocketStatus::ConnectionAborted : SocketStatus::Failed;
}

} // namespace

TSocket::TSocket(SocketCanceller* canceller) : canceller_(canceller) {}

TSocket::~TSocket() {
    Close();
}

bool TSocket::Open() {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    return fd_ >= 0;
}

bool TSocket::OpenFor(const std::string& address) {
    Close();
    if (address.size() < sizeof(sa_family_t)) return false;
    sa_family_t family;
    std::memcpy(&family, address.data(), sizeof family);
    fd_ = socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_TCP);
    return fd_ >= 0;
}

void TSocket::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void TSocket::SetOptions(int receiveBufferBytes, int sendTimeoutMs, int receiveTimeoutMs,
                         bool keepAlive, bool noDelay) {
    if (fd_ < 0) return;
    if (receiveBufferBytes > 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    int on = keepAlive ? 1 : 0;
    setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    on = noDelay ? 1 : 0;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // The socket itself never blocks; the bounds apply to the waits in front of each call.
    sendTimeoutMs_ = sendTimeoutMs;
    receiveTimeoutMs_ = receiveTimeoutMs;
}

bool TSocket::ParseDottedAddress(std::string_view host, std::uint32_t& address) {
    std::uint32_t result = 0;
    int groups = 0;
    size_t i = 0;
    while (groups < 4) {
        size_t start = i;
        unsigned value = 0;
        while (i < host.size() && host[i] >= '0' && host[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(host[i++] - '0');
        if (i == start || value > 255) return false;
        result = (result << 8) | value;
        ++groups;
        if (groups < 4) {
            if (i >= host.size() || host[i] != '.') return false;
            ++i;
        }
    }
    if (i != host.size()) return false;
    address = result;
    return true;
}

namespace {

// Bounds the system resolver's own waits on this thread to about boundMs in all (its per-server
// wait and its tries), so that a lookup given up by its caller still ends soon after.
void BoundResolverWaits(int boundMs) {
    if (boundMs <= 0 || res_init() != 0) return;
    constexpr int kTries = 2;
    _res.retry = kTries;
    _res.retrans = std::max(1, boundMs / 1000 / kTries);
}

// getaddrinfo on a lookup thread, waited for at most timeoutMs (-1: without bound) or until the
// canceller fires; the addresses packed as socket addresses with port.
SocketStatus Resolve(const std::string& host, int family, std::uint16_t port,
                     SocketCanceller* canceller, int timeoutMs,
                     std::vector<std::string>& addresses) {
    if (host.empty()) return SocketStatus::Failed;
    if (canceller != nullptr && canceller->Cancelled()) return SocketStatus::Cancelled;

    // Shared with the helper, which may outlive this call when it is cancelled.
    struct Lookup {
        std::string Host;
        int Family = AF_UNSPEC;
        std::uint16_t Port = 0;
        std::vector<std::string> Found; // written before DoneFd is signalled
        int DoneFd = -1;
        ~Lookup() { close(DoneFd); }
    };
    auto lookup = std::make_shared<Lookup>();
    lookup->Host = host;
    lookup->Family = family;
    lookup->Port = port;
    lookup->DoneFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (lookup->DoneFd < 0) return SocketStatus::Failed;
    try {
        TLookupThreads::Shared().Start([lookup, timeoutMs] {
            BoundResolverWaits(timeoutMs);
            addrinfo hints{};
            hints.ai_family = lookup->Family;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* found = nullptr;
            if (getaddrinfo(lookup->Host.c_str(), nullptr, &hints, &found) == 0) {
                for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
                    if (a->ai_family == AF_INET) {
                        sockaddr_in in = *reinterpret_cast<sockaddr_in*>(a->ai_addr);
                        in.sin_port = htons(lookup->Port);
                        lookup->Found.emplace_back(reinterpret_cast<char*>(&in), sizeof in);
                    } else if (a->ai_family == AF_INET6) {
                        sockaddr_in6 in6 = *reinterpret_cast<sockaddr_in6*>(a->ai_addr);
                        in6.sin6_port = htons(lookup->Port);
                        lookup->Found.emplace_back(reinterpret_cast<char*>(&in6), sizeof in6);
                    }
                }
            }
            if (found) freeaddrinfo(found);
            std::uint64_t one = 1;
            (void)!write(lookup->DoneFd, &one, sizeof one);
        });
    } catch (const std::system_error&) {
        return SocketStatus::Failed;
    }

    pollfd fds[2] = {{lookup->DoneFd, POLLIN, 0},
                     {canceller != nullptr ? canceller->WakeFd() : -1, POLLIN, 0}};
    for (;;) {
        int n = poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return SocketStatus::Failed;
        if (n == 0) return SocketStatus::TimedOut;
        if (fds[0].revents != 0) break;
        if (fds[1].revents != 0) return SocketStatus::Cancelled;
    }
    if (lookup->Found.empty()) return SocketStatus::Failed;
    addresses = lookup->Found;
    return SocketStatus::Ok;
}

} // namespace

SocketStatus TSocket::LookupHost(const std::string& host, std::uint32_t& address,
                                 SocketCanceller* canceller) {
    std::vector<std::string> found;
    SocketStatus status = Resolve(host, AF_INET, 0, canceller, -1, found);
    if (status != SocketStatus::Ok) return status;
    sockaddr_in in{};
    std::memcpy(&in, found.front().data(), std::min(found.front().size(), sizeof in));
    address = ntohl(in.sin_addr.s_addr);
    return SocketStatus::Ok;
}

SocketStatus TSocket::LookupAll(const std::string& host, std::uint16_t port,
                                std::vector<std::string>& addresses, SocketCanceller* canceller,
                                int timeoutMs) {
    return Resolve(host, AF_UNSPEC, port, canceller, timeoutMs, addresses);
}

SocketStatus TSocket::Wait(short events, int timeoutMs, short* revents) {
    if (fd_ < 0) return SocketStatus::Failed;
    pollfd fds[2] = {{fd_, events, 0}, {canceller_ ? canceller_->WakeFd() : -1, POLLIN, 0}};
    for (;;) {
        int n = poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR) continue; // a signal may shorten the bound; never lengthens
        if (n < 0) return SocketStatus::Failed;
        if (fds[1].revents != 0) return SocketStatus::Cancelled;
        if (n == 0) return SocketStatus::TimedOut;
        if (revents != nullptr) *revents = fds[0].revents;
        return SocketStatus::Ok; // errors and hang-ups show in the call that follows
    }
}

SocketStatus TSocket::Connect(std::uint32_t address, std::uint16_t port, int timeoutMs) {
    if (fd_ < 0) return SocketStatus::Failed;
    if (canceller_ && canceller_->Cancelled()) return SocketStatus::Cancelled;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(address);
    target.sin_port = htons(port);
    return ConnectTo(std::string(reinterpret_cast<const char*>(&target), sizeof target), timeoutMs);
}

SocketStatus TSocket::ConnectTo(const std::string& address, int timeoutMs) {
    if (fd_ < 0) return SocketStatus::Failed;
    if (canceller_ && canceller_->Cancelled()) return SocketStatus::Cancelled;
    sockaddr_storage target{};
    if (address.size() > sizeof target) return SocketStatus::Failed;
    std::memcpy(&target, address.data(), address.size());
    if (connect(fd_, reinterpret_cast<sockaddr*>(&target),
                static_cast<socklen_t>(address.size())) == 0)
        return SocketStatus::Ok;
    if (errno != EINPROGRESS && errno != EINTR) return StatusOfErrno(errno);
    short revents = 0;
    SocketStatus waited = Wait(POLLOUT, timeoutMs, &revents);
    if (waited != SocketStatus::Ok) return waited;
    // A connection that failed reports an error or a hang-up beside POLLOUT; only then is its
    // reason asked for.
    if ((revents & (POLLERR | POLLHUP)) == 0 && (revents & POLLOUT) != 0) return SocketStatus::Ok;
    int error = 0;
    socklen_t len = sizeof error;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return SocketStatus::Failed;
    return error == 0 ? SocketStatus::Ok : StatusOfErrno(error);
}

SocketStatus TSocket::Send(std::string_view data) {
    size_t sent = 0;
    while (sent < data.size()) {
        if (canceller_ && canceller_->Cancelled()) return SocketStatus::Cancelled;
        ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusOfErrno(errno);
        SocketStatus waited = Wait(POLLOUT, sendTimeoutMs_);
        if (waited != SocketStatus::Ok) return waited;
    }
    return SocketStatus::Ok;
}

SocketStatus TSocket::WaitReadable(int timeoutMs) {
    if (canceller_ && canceller_->Cancelled()) return SocketStatus::Cancelled;
    return Wait(POLLIN, timeoutMs);
}

SocketStatus TSocket::Receive(char* data, std::size_t size, std::size_t& received) {
    received = 0;
    for (;;) {
        if (canceller_ && canceller_->Cancelled()) return SocketStatus::Cancelled;
        ssize_t n = recv(fd_, data, size, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return SocketStatus::Ok;
        }
        if (n == 0) return SocketStatus::Closed;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return StatusOfErrno(errno);
        SocketStatus waited = Wait(POLLIN, receiveTimeoutMs_);
        if (waited != SocketStatus::Ok) return waited;
    }
}

} // namespace gathra
