// One request and its answer: on a new connection of its own (the classic way), or over a kept
// connection of the pool.
#include "Net/Transfer.h"
#include "Net/ConnectionPool.h"
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

TTransferResult KeptTransfer(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                             SecureRoute* secure) {
    TConnectionPool& pool = *net.Pool;
    TTransferResult out;
    out.IsBinary = req.IsBinary;
    SetStatus(net, " Contacting host...");
    SetProgress(net, 0);
    const std::string route = req.ConnectTo + (secure != nullptr ? "|tls|" + secure->Host + ":" +
                                                                       std::to_string(secure->Port)
                                                                 : std::string());
    const std::string slotKey = secure != nullptr ? secure->Host : req.ConnectTo;
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
        out.RetryAfterSeconds = framing.RetryAfterSeconds();
        if ((framing.Status() == 429 || framing.Status() == 503) && out.RetryAfterSeconds >= 0 &&
            out.RetryAfterSeconds <= kMaxRetryAfterUnits)
            // The host is asked again (the next attempt) only once the time it named is over.
            pool.HoldOff(slotKey, std::chrono::milliseconds(std::int64_t(out.RetryAfterSeconds) *
                                                            UnitMs(net)));
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
