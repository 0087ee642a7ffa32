#pragma once
#include "Platform/Stream.h"
#include "Platform/Ticks.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gathra {

class TSocket;
class THttp2Routes;
struct TConnection;

// The connections of the fast mode, shared by every transfer of a run: idle connections kept per
// route for the requests that follow, at most PerHost() connections per host at once, each host's
// addresses looked up once, and the pause a host asked for (Retry-After) or the user wants
// between requests to one host. Any thread may use it; idle connections are closed at the end of
// each entry (CloseIdle) and when it is destroyed.
class TConnectionPool {
public:
    // perHost: connections per host at once (at least 1); pauseMs: the least time between the
    // starts of two requests to one host, kept on ticks (null: the steady clock) like the
    // Retry-After pauses.
    explicit TConnectionPool(int perHost = 6, int pauseMs = 0, TTicks* ticks = nullptr);
    ~TConnectionPool();
    TConnectionPool(const TConnectionPool&) = delete;
    TConnectionPool& operator=(const TConnectionPool&) = delete;

    int PerHost() const { return perHost_; }

    // An idle connection kept for route (the connect target, with the tunnel's target for a
    // secure route through a proxy), or null. A connection the server has closed meanwhile is
    // dropped, not given.
    std::unique_ptr<TConnection> Take(const std::string& route);
    // Keeps a connection that can carry the next request of route.
    void Keep(const std::string& route, std::unique_ptr<TConnection> connection);
    // Closes every idle connection, and lets go of the HTTP/2 connections.
    void CloseIdle();

    // Whether secure connections offer HTTP/2 (off unless set), and the HTTP/2 connections of
    // the secure routes.
    void AllowHttp2(bool allow) { http2Allowed_ = allow; }
    bool Http2Allowed() const { return http2Allowed_; }
    THttp2Routes& Http2() { return *http2_; }
    // How many fetches a run keeps under way at once: a host's connections, or (HTTP/2
    // allowed) as many as one HTTP/2 connection carries; 1 stays one at a time.
    int FetchesAtOnce() const;

    // Connects socket to host's addresses in turn (each with its own bound), looking the host up
    // once per pool. Ok, Cancelled, Failed (no address) or the last connect's failure.
    SocketStatus Connect(TSocket& socket, const std::string& host, std::uint16_t port,
                         int timeoutMs);

    // Takes addresses (packed socket addresses) as the lookup of host for port, as if looked up.
    void Remember(const std::string& host, std::uint16_t port, std::vector<std::string> addresses);

    // Waits for a free slot of host (and for its pause), at most until stop() says so; false when
    // stopped. Every true is matched by one Release.
    template <typename Stop> bool Acquire(const std::string& host, Stop stop);
    void Release(const std::string& host);
    // The host asked to be left alone for this long (429 or 503 with Retry-After).
    void HoldOff(const std::string& host, std::chrono::milliseconds wait);
    // The connections opened and the requests sent so far.
    std::uint64_t Opened() const;
    std::uint64_t Requests() const;
    void CountOpened();
    void CountRequest();

private:
    // Waits as Acquire does, polling stop every few milliseconds.
    bool AcquireWith(const std::string& host, bool (*stop)(const void*), const void* context);

    struct Host {
        int Busy = 0;
        std::int64_t NextStartMs = 0; // on ticks_
    };
    const int perHost_;
    const std::int64_t pauseMs_;
    TTicks& ticks_;
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    std::multimap<std::string, std::unique_ptr<TConnection>> idle_;
    std::map<std::string, Host> hosts_;
    std::map<std::string, std::vector<std::string>> addresses_; // packed socket addresses
    std::uint64_t opened_ = 0;
    std::uint64_t requests_ = 0;
    bool http2Allowed_ = false;
    std::unique_ptr<THttp2Routes> http2_;
};

// Whether fast transfers offer HTTP/2: yes unless the environment says GATHRA_HTTP2=no (or off,
// or 0), a switch for measuring and for servers whose HTTP/2 misbehaves.
bool Http2Wanted();

template <typename Stop> bool TConnectionPool::Acquire(const std::string& host, Stop stop) {
    return AcquireWith(
        host, [](const void* s) { return (*static_cast<const Stop*>(s))(); }, &stop);
}

} // namespace gathra
