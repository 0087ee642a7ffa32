// One request and its answer: on a new connection of its own (the classic way), or over a kept
// connection of the pool.
#include "Net/Transfer.h"
#include "Net/ConnectionPool.h"
#include "Net/Http2Connection.h"
#include "Net/Http2Transfer.h"
#include "Net/HttpClient.h"
#include "Net/ResponseFraming.h"
#include "Net/ResponseNotices.h"
#include "Net/TransferParts.h"
#include "Platform/SocketCanceller.h"

namespace gathra {

using namespace transfer;

namespace {

// Sends the request, with the classic tries while the connection reports an abort.
SocketStatus SendRequest(TStream& stream, const TTransferRequest& req, TNetContext& net) {
    const int tries = TriesFor(req.TimeoutSeconds);
    SocketStatus sent = stream.Send(req.Request);
    for (int t = 1; sent == SocketStatus::ConnectionAborted && t < tries && !net.SkipOrAbort(); ++t)
        sent = stream.Send(req.Request);
    return sent;
}

// What an unopened connection leaves: Busy stands as an answer (the busy notice), every other
// case is a failed transfer with its notice written or left to the caller.
TTransferResult NotOpened(Opened how, TTransferResult out) {
    out.Transferred = how == Opened::Busy ? 1 : 0;
    return out;
}

TTransferResult ClassicTransfer(const TTransferRequest& req, TResponseBuffer& buffer,
                                TNetContext& net, SecureRoute* secure) {
    TTransferResult out;
    out.IsBinary = req.IsBinary;
    // A cancel meant for an earlier call must not end this one; one meant for this call is
    // seen through the flags checked right below.
    CancellerOf(net).Reset();
    SetStatus(net, " Contacting host...");
    SetProgress(net, 0);
    TConnection connection;
    const Opened opened = OpenConnection(req, buffer, net, secure, connection);
    if (opened != Opened::Ok) return NotOpened(opened, out);
    SetStatus(net, " Connected...");
    TStream& stream = connection.Stream();
    const SocketStatus sent = SendRequest(stream, req, net);
    SetStatus(net, " Transferring data...");
    if (sent != SocketStatus::Ok ||
        stream.WaitReadable(req.TimeoutSeconds * UnitMs(net)) != SocketStatus::Ok) {
        connection.Socket->Close();
        NetworkBusyNotice(buffer, req.ConnectTo);
        out.Transferred = 1;
        return out;
    }
    const Received received = ReceiveAnswer(stream, req, buffer, net, nullptr, false, out);
    connection.Tls.reset();
    connection.Socket->Close();
    if (received != Received::Done) return out;
    if (net.SkipOrAbort()) {
        PageSkippedNotice(buffer, req.DisplayAddress);
        return out;
    }
    out.Transferred = 1;
    return out;
}

// Holds one of the host's connection slots for the length of a transfer.
class HostSlot {
public:
    HostSlot(TConnectionPool& pool, std::string host, TNetContext& net)
        : pool_(pool), host_(std::move(host)) {
        held_ = pool_.Acquire(host_, [&net] { return net.SkipOrAbort(); });
    }
    ~HostSlot() {
        if (held_) pool_.Release(host_);
    }
    bool Held() const { return held_; }

private:
    TConnectionPool& pool_;
    std::string host_;
    bool held_ = false;
};

// Settles a route's HTTP/2 probe on every way out of the transfer that made it, unless its
// connection was adopted.
class ProbeSettler {
public:
    ProbeSettler(THttp2Routes& routes, const std::string& route, bool probe)
        : routes_(routes), route_(route), probe_(probe) {}
    ~ProbeSettler() {
        if (probe_) routes_.Settle(route_);
    }
    void Adopt(std::shared_ptr<THttp2Connection> connection) {
        routes_.Adopt(route_, std::move(connection));
        probe_ = false;
    }

private:
    THttp2Routes& routes_;
    const std::string& route_;
    bool probe_;
};

// A request over a kept HTTP/1.1 connection of route, or a new connection; a new secure one on
// which the server chose HTTP/2 becomes the route's HTTP/2 connection and carries the request
// (once more on another new one when it got nothing there, unless it was retried already).
TTransferResult Http1Transfer(const TTransferRequest& req, TResponseBuffer& buffer,
                              TNetContext& net, SecureRoute* secure, const std::string& route,
                              const std::string& slotKey, bool probe, bool retried) {
    TConnectionPool& pool = *net.Pool;
    TTransferResult out;
    out.IsBinary = req.IsBinary;
    ProbeSettler settler(pool.Http2(), route, probe);
    HostSlot slot(pool, slotKey, net);
    if (!slot.Held() || net.SkipOrAbort()) {
        PageSkippedNotice(buffer, req.DisplayAddress);
        return out;
    }
    // A kept connection that fails before the first byte of the answer was closed by its
    // server meanwhile: the request goes once more, on a new connection.
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<TConnection> connection = round == 0 ? pool.Take(route) : nullptr;
        const bool reused = connection != nullptr;
        if (!reused) {
            connection = std::make_unique<TConnection>();
            const Opened opened = OpenConnection(req, buffer, net, secure, *connection);
            if (opened != Opened::Ok) return NotOpened(opened, out);
            if (connection->Tls != nullptr && connection->Tls->Protocol() == "h2") {
                auto http2 = THttp2Connection::Start(std::move(connection), SocketTimeoutMs(net));
                settler.Adopt(http2);
                const bool again = round == 0 && !retried;
                if (Http2Answer(req, buffer, net, *http2, slotKey, again, out) ==
                    Http2Answered::Done)
                    return out;
                pool.Http2().Drop(route, http2.get());
                if (again) continue;
                break;
            }
        }
        SetStatus(net, " Connected...");
        pool.CountRequest();
        TStream& stream = connection->Stream();
        const SocketStatus sent = SendRequest(stream, req, net);
        SetStatus(net, " Transferring data...");
        if (reused && sent != SocketStatus::Ok && !net.SkipOrAbort()) continue;
        const SocketStatus waited =
            sent == SocketStatus::Ok ? stream.WaitReadable(req.TimeoutSeconds * UnitMs(net)) : sent;
        if (waited != SocketStatus::Ok) {
            NetworkBusyNotice(buffer, req.ConnectTo);
            out.Transferred = 1;
            return out;
        }
        TResponseFraming framing(net.MaxResponseBytes);
        const Received received = ReceiveAnswer(stream, req, buffer, net, &framing, reused, out);
        if (received == Received::Nothing) continue;
        if (received != Received::Done) return out;
        HoldOffAsAsked(pool, slotKey, framing, net, out);
        if (framing.Reusable() && !net.SkipOrAbort()) {
            ++connection->Answers;
            pool.Keep(route, std::move(connection));
        }
        if (net.SkipOrAbort()) {
            PageSkippedNotice(buffer, req.DisplayAddress);
            return out;
        }
        out.Transferred = 1;
        return out;
    }
    ConnectFailedNotice(buffer, req.DisplayAddress);
    out.Transferred = 1;
    return out;
}

TTransferResult KeptTransfer(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                             SecureRoute* secure) {
    TConnectionPool& pool = *net.Pool;
    SetStatus(net, " Contacting host...");
    SetProgress(net, 0);
    const std::string route = req.ConnectTo + (secure != nullptr ? "|tls|" + secure->Host + ":" +
                                                                       std::to_string(secure->Port)
                                                                 : std::string());
    const std::string slotKey = secure != nullptr ? secure->Host : req.ConnectTo;
    if (secure == nullptr)
        return Http1Transfer(req, buffer, net, secure, route, slotKey, false, false);
    secure->Resume = true;
    secure->OfferHttp2 = pool.Http2Allowed();
    if (!secure->OfferHttp2)
        return Http1Transfer(req, buffer, net, secure, route, slotKey, false, false);
    // The route's HTTP/2 connection carries the request when there is one; a request that got
    // nothing on it (the server went away, the connection broke) goes once more.
    for (int round = 0; round < 2; ++round) {
        const THttp2Routes::Found found =
            pool.Http2().Find(route, [&net] { return net.SkipOrAbort(); });
        if (found.Connection == nullptr)
            return Http1Transfer(req, buffer, net, secure, route, slotKey, found.Probe, round > 0);
        TTransferResult out;
        out.IsBinary = req.IsBinary;
        if (Http2Answer(req, buffer, net, *found.Connection, slotKey, round == 0, out) ==
            Http2Answered::Done)
            return out;
        pool.Http2().Drop(route, found.Connection.get());
    }
    TTransferResult out;
    ConnectFailedNotice(buffer, req.DisplayAddress);
    out.Transferred = 1;
    return out;
}

} // namespace

TTransferResult Transfer(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                         SecureRoute* secure) {
    return net.Pool != nullptr ? KeptTransfer(req, buffer, net, secure)
                               : ClassicTransfer(req, buffer, net, secure);
}

TTransferResult TransferResponse(const TTransferRequest& request, TResponseBuffer& buffer,
                                 TNetContext& net) {
    return Transfer(request, buffer, net, nullptr);
}

} // namespace gathra
