#include "Net/Http2Transfer.h"

#include "Net/ConnectionPool.h"
#include "Net/Http2Connection.h"
#include "Net/ResponseFraming.h"
#include "Net/ResponseNotices.h"
#include "Net/TransferParts.h"
#include "Platform/SocketCanceller.h"
#include "Text/AsciiText.h"

#include <chrono>
#include <cstdlib>

namespace gathra {

using namespace transfer;

namespace {

// How often a transfer waiting for a route's probe looks at its stop test.
constexpr auto kStopPoll = std::chrono::milliseconds(20);

} // namespace

THttp2Routes::Found THttp2Routes::Find(const std::string& route,
                                       const std::function<bool()>& stop) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop()) return {};
        auto found = routes_.find(route);
        if (found == routes_.end()) {
            routes_.emplace(route, Route{});
            return {nullptr, true};
        }
        Route& r = found->second;
        if (r.State == Known::Settled) {
            if (r.Connection == nullptr || r.Connection->TakesStreams())
                return {r.Connection, false};
            // Gone away or broken: found out again.
            r = Route{};
            return {nullptr, true};
        }
        changed_.wait_for(lock, kStopPoll);
    }
}

void THttp2Routes::Adopt(const std::string& route, std::shared_ptr<THttp2Connection> connection) {
    std::shared_ptr<THttp2Connection> replaced;
    {
        std::lock_guard lock(mutex_);
        Route& r = routes_[route];
        replaced = std::move(r.Connection);
        r.State = Known::Settled;
        r.Connection = std::move(connection);
    }
    changed_.notify_all();
}

void THttp2Routes::Settle(const std::string& route) {
    {
        std::lock_guard lock(mutex_);
        Route& r = routes_[route];
        if (r.State == Known::Probing) r.State = Known::Settled;
    }
    changed_.notify_all();
}

void THttp2Routes::Drop(const std::string& route, const THttp2Connection* connection) {
    std::shared_ptr<THttp2Connection> dropped;
    {
        std::lock_guard lock(mutex_);
        auto found = routes_.find(route);
        if (found == routes_.end() || found->second.Connection.get() != connection) return;
        dropped = std::move(found->second.Connection);
        routes_.erase(found);
    }
    changed_.notify_all();
}

void THttp2Routes::CloseAll() {
    std::map<std::string, Route> closing;
    {
        std::lock_guard lock(mutex_);
        closing.swap(routes_);
    }
    changed_.notify_all();
}

Http2Answered Http2Answer(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                          THttp2Connection& connection, const std::string& hostKey, bool mayRetry,
                          TTransferResult& out) {
    TConnectionPool& pool = *net.Pool;
    const std::function<bool()> stop = [&net] {
        return net.SkipOrAbort() || CancellerOf(net).Cancelled();
    };
    auto skipped = [&] {
        PageSkippedNotice(buffer, req.DisplayAddress);
        return Http2Answered::Done;
    };
    std::unique_ptr<THttp2Stream> stream;
    // The host's pauses (its Retry-After, the user's pause between requests) hold for each
    // request; a connection slot is only held while the stream is opened.
    if (!pool.Acquire(hostKey, stop)) return skipped();
    stream = connection.Open(stop);
    pool.Release(hostKey);
    if (stream == nullptr) return net.SkipOrAbort() ? skipped() : Http2Answered::Again;
    SetStatus(net, " Connected...");
    pool.CountRequest();
    if (stream->Send(req.Request) != SocketStatus::Ok)
        return net.SkipOrAbort() ? skipped() : Http2Answered::Again;
    SetStatus(net, " Transferring data...");
    if (stream->WaitReadable(req.TimeoutSeconds * UnitMs(net)) != SocketStatus::Ok) {
        if (net.SkipOrAbort()) return skipped();
        NetworkBusyNotice(buffer, req.ConnectTo);
        out.Transferred = 1;
        return Http2Answered::Done;
    }
    TResponseFraming framing(net.MaxResponseBytes);
    const Received received = ReceiveAnswer(*stream, req, buffer, net, &framing, mayRetry, out);
    if (received == Received::Nothing) return Http2Answered::Again;
    if (received != Received::Done) return Http2Answered::Done;
    HoldOffAsAsked(pool, hostKey, framing, net, out);
    stream.reset(); // an answer cut at its bound ends its stream now
    if (net.SkipOrAbort()) return skipped();
    out.Transferred = 1;
    return Http2Answered::Done;
}

bool Http2Wanted() {
    const char* value = std::getenv("GATHRA_HTTP2");
    if (value == nullptr) return true;
    const std::string said = Lowered(value);
    return said != "no" && said != "off" && said != "0";
}

} // namespace gathra
