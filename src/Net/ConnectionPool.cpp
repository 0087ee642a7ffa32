#include "Net/ConnectionPool.h"

#include "Net/Http2Connection.h"
#include "Net/Http2Transfer.h"
#include "Net/TransferParts.h"
#include "Platform/Socket.h"

#include <algorithm>
#include <poll.h>
#include <sys/socket.h>
#include <thread>

namespace gathra {
namespace {

// How often a waiting Acquire looks at its stop test.
constexpr std::int64_t kStopPollMs = 20;
// One address of a host gets at most this share of the connect bound when more follow, so that
// a dead IPv6 route falls back to IPv4 quickly.
constexpr int kPerAddressDivisor = 4;
constexpr int kMinPerAddressMs = 250;

// A kept connection the server has closed (or written to unasked) shows as readable.
bool StillQuiet(TConnection& connection) {
    if (connection.Socket == nullptr || !connection.Socket->IsOpen()) return false;
    pollfd fd{connection.Socket->Descriptor(), POLLIN, 0};
    return poll(&fd, 1, 0) == 0;
}

} // namespace

TConnectionPool::TConnectionPool(int perHost, int pauseMs, TTicks* ticks)
    : perHost_(std::max(1, perHost)), pauseMs_(std::max(0, pauseMs)), ticks_(TicksOr(ticks)),
      http2_(std::make_unique<THttp2Routes>()) {}

TConnectionPool::~TConnectionPool() = default;

std::unique_ptr<TConnection> TConnectionPool::Take(const std::string& route) {
    std::unique_lock lock(mutex_);
    for (auto found = idle_.find(route); found != idle_.end() && found->first == route;
         found = idle_.find(route)) {
        std::unique_ptr<TConnection> connection = std::move(found->second);
        idle_.erase(found);
        if (StillQuiet(*connection)) return connection;
        lock.unlock();
        connection.reset(); // closed outside the lock
        lock.lock();
    }
    return nullptr;
}

void TConnectionPool::Keep(const std::string& route, std::unique_ptr<TConnection> connection) {
    if (connection == nullptr) return;
    std::lock_guard lock(mutex_);
    idle_.emplace(route, std::move(connection));
}

void TConnectionPool::CloseIdle() {
    std::multimap<std::string, std::unique_ptr<TConnection>> closing;
    {
        std::lock_guard lock(mutex_);
        closing.swap(idle_);
    }
    http2_->CloseAll();
}

SocketStatus TConnectionPool::Connect(TSocket& socket, const std::string& host, std::uint16_t port,
                                      int timeoutMs) {
    std::vector<std::string> addresses;
    const std::string key = host + ":" + std::to_string(port);
    {
        std::lock_guard lock(mutex_);
        auto known = addresses_.find(key);
        if (known != addresses_.end()) addresses = known->second;
    }
    if (addresses.empty()) {
        SocketStatus looked = TSocket::LookupAll(host, port, addresses, socket.Canceller(),
                                                 timeoutMs, &socket.Ticks());
        if (looked == SocketStatus::Cancelled) return looked;
        if (looked != SocketStatus::Ok) return SocketStatus::Failed;
        std::lock_guard lock(mutex_);
        addresses_[key] = addresses;
    }
    SocketStatus last = SocketStatus::Failed;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const bool more = i + 1 < addresses.size();
        const int bound =
            more ? std::max(kMinPerAddressMs, timeoutMs / kPerAddressDivisor) : timeoutMs;
        if (!socket.OpenFor(addresses[i])) continue;
        const int receiveMs = socket.ReceiveTimeoutMs();
        socket.SetOptions(0, socket.SendTimeoutMs(), receiveMs, true, true);
        last = socket.ConnectTo(addresses[i], bound);
        if (last == SocketStatus::Ok || last == SocketStatus::Cancelled) break;
    }
    if (last == SocketStatus::Ok) CountOpened();
    return last;
}

void TConnectionPool::Remember(const std::string& host, std::uint16_t port,
                               std::vector<std::string> addresses) {
    std::lock_guard lock(mutex_);
    addresses_[host + ":" + std::to_string(port)] = std::move(addresses);
}

bool TConnectionPool::AcquireWith(const std::string& host, bool (*stop)(const void*),
                                  const void* context) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop(context)) return false;
        Host& h = hosts_[host];
        const std::int64_t now = ticks_.NowMs();
        if (h.Busy < perHost_ && now >= h.NextStartMs) {
            ++h.Busy;
            h.NextStartMs = std::max(h.NextStartMs, now + pauseMs_);
            return true;
        }
        // A free slot waits for the host's pause alone; a full host for another transfer, which
        // keeps the time moving itself.
        const bool pausing = h.Busy < perHost_;
        const std::int64_t waitMs =
            pausing ? std::min(kStopPollMs, h.NextStartMs - now) : kStopPollMs;
        const auto waited =
            freed_.wait_for(lock, std::chrono::milliseconds(ticks_.SliceMs(waitMs)));
        if (waited == std::cv_status::timeout && pausing) ticks_.Paused();
    }
}

void TConnectionPool::Release(const std::string& host) {
    {
        std::lock_guard lock(mutex_);
        Host& h = hosts_[host];
        if (h.Busy > 0) --h.Busy;
    }
    freed_.notify_all();
}

void TConnectionPool::HoldOff(const std::string& host, std::chrono::milliseconds wait) {
    std::lock_guard lock(mutex_);
    Host& h = hosts_[host];
    h.NextStartMs = std::max(h.NextStartMs, ticks_.NowMs() + std::int64_t(wait.count()));
}

int TConnectionPool::FetchesAtOnce() const {
    if (perHost_ == 1 || !http2Allowed_) return perHost_;
    return std::max(perHost_, THttp2Connection::kMaxStreams);
}

std::uint64_t TConnectionPool::Opened() const {
    std::lock_guard lock(mutex_);
    return opened_;
}

std::uint64_t TConnectionPool::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TConnectionPool::CountOpened() {
    std::lock_guard lock(mutex_);
    ++opened_;
}

void TConnectionPool::CountRequest() {
    std::lock_guard lock(mutex_);
    ++requests_;
}

} // namespace gathra
