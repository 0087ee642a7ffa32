#include "Net/TransferParts.h"

#include "Net/ConnectionPool.h"
#include "Net/HttpText.h"
#include "Net/ResponseFraming.h"
#include "Net/ResponseNotices.h"
#include "Net/ResponseReader.h"
#include "Net/Transfer.h"
#include "Platform/SocketCanceller.h"

#include <algorithm>

namespace gathra::transfer {
namespace {

constexpr size_t kReceiveBlock = 9999;
constexpr size_t kReceiveBuffer = 10005;
// A fixed receive buffer (32000 bytes was the usual choice) would pin the TCP window at that
// size and stop the system from growing it, capping a transfer at 32 KB per round trip; the
// system's own sizing is kept instead.
constexpr int kSocketBufferBytes = 0;
constexpr int kSocketTimeoutUnits = 32; // the send and receive bounds, 32000 ms in the program

// Writes a document's body to a spool file of the run folder as it arrives, the run's free-space
// check before every block: a body of any size is stored without being held, and the run still
// stops before the disk fills past its buffer.
class SpoolSink : public TBodySink {
public:
    SpoolSink(TResponseBuffer& buffer, const TNetContext& net) : buffer_(buffer), net_(net) {}

    bool Write(std::string_view bytes) override {
        // Throws the run's disk error ("Disk Full"): the run ends as it does when a file is
        // written.
        net_.CheckFreeSpace();
        if (buffer_.Spool() == nullptr) {
            std::unique_ptr<TBodySpool> spool =
                TBodySpool::Open(net_.SpoolFolder(), net_.UnnamedSpoolFiles);
            if (spool == nullptr) return false;
            buffer_.SetSpool(std::move(spool));
        }
        return buffer_.Spool()->Write(bytes);
    }

private:
    TResponseBuffer& buffer_;
    const TNetContext& net_;
};

TResponseReader::Limits LimitsOf(const TNetContext& net) {
    const int unitMs = UnitMs(net);
    TResponseReader::Limits limits;
    limits.MaxResponseBytes = net.MaxResponseBytes;
    limits.MaxPageBytes = net.MaxPageBytes;
    limits.SpoolAfterBytes = net.SpoolAfterBytes;
    limits.HeaderTimeMs = std::int64_t(net.HeaderTimeUnits) * unitMs;
    limits.RateStretchMs = std::int64_t(net.RateStretchUnits) * unitMs;
    limits.MinStretchBytes = net.MinStretchBytes;
    return limits;
}

// The progress bar of one answer: the share of the announced length, or a cycle when unknown.
class ProgressShown {
public:
    explicit ProgressShown(TNetContext& net) : net_(net) {}
    void Show(const TResponseReader& reader) {
        const std::int64_t total = reader.AnnouncedLength();
        if (total > 0) {
            std::int64_t percent = static_cast<std::int64_t>(reader.Received()) * 100 / total;
            int shown = static_cast<int>(std::min<std::int64_t>(percent, 100));
            // Each update waits for the main thread; an unchanged bar is not worth the wait.
            if (shown != lastShown_) SetProgress(net_, shown);
            lastShown_ = shown;
        } else {
            cycle_ = (cycle_ + 25) % 125;
            SetProgress(net_, cycle_);
        }
    }

private:
    TNetContext& net_;
    int cycle_ = 0;
    int lastShown_ = 0;
};

} // namespace

SocketCanceller& CancellerOf(TNetContext& net) {
    return net.Canceller != nullptr ? *net.Canceller : ProgramSocketCanceller();
}

TTicks& TicksOf(const TNetContext& net) {
    return TicksOr(net.Ticks);
}

void SetStatus(TNetContext& net, const std::string& text) {
    if (TransferObserver* observer = net.Observer()) observer->SetStatusText(text);
}

void SetProgress(TNetContext& net, int percent) {
    if (TransferObserver* observer = net.Observer()) observer->UpdateProgress(percent);
}

int TriesFor(int timeoutSeconds) {
    switch (timeoutSeconds) {
    case 5:
        return 2;
    case 10:
        return 4;
    case 15:
        return 5;
    case 20:
        return 6;
    default:
        return 8;
    }
}

int UnitMs(const TNetContext& net) {
    return net.TimeUnitMs > 0 ? net.TimeUnitMs : 1;
}

int SocketTimeoutMs(const TNetContext& net) {
    return kSocketTimeoutUnits * UnitMs(net);
}

Opened OpenConnection(const TTransferRequest& req, TResponseBuffer& buffer, TNetContext& net,
                      SecureRoute* secure, TConnection& connection) {
    SocketCanceller& canceller = CancellerOf(net);
    auto failed = [&](Opened how) {
        if (connection.Socket != nullptr) connection.Socket->Close();
        if (net.SkipOrAbort()) how = Opened::Skipped;
        if (how == Opened::Skipped) PageSkippedNotice(buffer, req.DisplayAddress);
        if (how == Opened::Busy) NetworkBusyNotice(buffer, req.ConnectTo);
        return how;
    };
    if (net.SkipOrAbort()) return failed(Opened::Skipped);
    connection.Socket = std::make_unique<TSocket>(&canceller, &TicksOf(net));
    TSocket& socket = *connection.Socket;
    if (!socket.Open() || net.SkipOrAbort()) return failed(Opened::Failed);
    const int timeoutMs = SocketTimeoutMs(net);
    socket.SetOptions(kSocketBufferBytes, timeoutMs, timeoutMs, true, true);

    http::ConnectTarget target = http::ParseConnectTarget(req.ConnectTo);
    if (!target.Valid) return failed(Opened::Failed);
    if (net.Pool != nullptr) {
        // Every address of the host in turn, from a lookup made once per run.
        SocketStatus connected = net.Pool->Connect(socket, target.Host, target.Port, timeoutMs);
        if (connected == SocketStatus::Cancelled) return failed(Opened::Skipped);
        if (connected == SocketStatus::Failed) return failed(Opened::Failed);
        if (connected != SocketStatus::Ok || net.SkipOrAbort()) return failed(Opened::Busy);
    } else {
        std::uint32_t ip = 0;
        bool found = TSocket::ParseDottedAddress(target.Host, ip) ||
                     TSocket::LookupHost(target.Host, ip, &canceller) == SocketStatus::Ok;
        if (!found || net.SkipOrAbort()) return failed(Opened::Failed);
        if (socket.Connect(ip, target.Port, timeoutMs) != SocketStatus::Ok)
            return failed(Opened::Busy);
    }
    if (secure != nullptr) {
        SocketStatus opened = OpenSecureStream(socket, *secure, timeoutMs, connection.Tls);
        if (opened != SocketStatus::Ok) {
            if (opened == SocketStatus::Cancelled) return failed(Opened::Skipped);
            if (secure->Problem != TlsProblem::None) return failed(Opened::Secure);
            return failed(Opened::Busy);
        }
    }
    return Opened::Ok;
}

Received ReceiveAnswer(TStream& stream, const TTransferRequest& req, TResponseBuffer& buffer,
                       TNetContext& net, TResponseFraming* framing, bool mayRetry,
                       TTransferResult& out) {
    const int tries = TriesFor(req.TimeoutSeconds);
    // Filled by each receive before it is read: no need to clear it for every request.
    std::unique_ptr<char[]> block(new char[kReceiveBuffer]);
    TTicks& ticks = TicksOf(net);
    const std::int64_t startedMs = ticks.NowMs();
    auto elapsedMs = [&] { return ticks.NowMs() - startedMs; };
    buffer.Clear();
    SpoolSink sink(buffer, net);
    const bool spool = buffer.SpoolsFiles() && !net.SpoolFolder().empty();
    TResponseReader reader(buffer, req.LoadImages, req.LoadBinaries, out.IsBinary, LimitsOf(net), 0,
                           spool ? &sink : nullptr);
    ProgressShown progress(net);
    auto fail = [&](TResponseReader::Step step) {
        // Refused, a transfer that would not end by itself, or a body that could not be
        // written: a failed transfer.
        out.RefusedType = reader.RefusedType();
        out.Unstored = step == TResponseReader::Step::Unstored;
        buffer.Clear();
        return Received::Failed;
    };
    std::string decoded;
    bool noticeWritten = false;
    bool ended = false; // the framing found the answer's end
    for (;;) {
        size_t got = 0;
        SocketStatus status = stream.Receive(block.get(), kReceiveBlock, got);
        for (int t = 1;
             status == SocketStatus::ConnectionAborted && t < tries && !net.SkipOrAbort(); ++t)
            status = stream.Receive(block.get(), kReceiveBlock, got);
        if (mayRetry && status != SocketStatus::Ok && framing != nullptr && !framing->Started() &&
            !net.SkipOrAbort())
            return Received::Nothing;
        std::string_view bytes(block.get(), status == SocketStatus::Ok ? got : 0);
        if (framing != nullptr) {
            decoded.clear();
            TResponseFraming::State state = status == SocketStatus::Closed
                                                ? framing->Finish(decoded)
                                                : framing->Feed(bytes, decoded);
            if (state == TResponseFraming::State::Failed ||
                state == TResponseFraming::State::TooLarge) {
                out.Unstored = state == TResponseFraming::State::TooLarge;
                buffer.Clear();
                return Received::Failed;
            }
            ended = state == TResponseFraming::State::Complete;
            bytes = decoded;
        }
        if (status != SocketStatus::Ok && status != SocketStatus::Closed) {
            buffer.Clear();
            NetworkBusyNotice(buffer, req.ConnectTo);
            noticeWritten = true;
            break;
        }
        if (!bytes.empty() || status == SocketStatus::Ok) {
            const TResponseReader::Step step = reader.Feed(bytes, elapsedMs());
            out.IsBinary = reader.IsBinary();
            if (step == TResponseReader::Step::Complete) {
                // A page cut at its bound: the rest of the answer is not read.
                if (framing != nullptr) ended = false;
                break;
            }
            if (step != TResponseReader::Step::More) return fail(step);
        }
        if (status == SocketStatus::Closed) break;
        if (net.SkipOrAbort()) {
            buffer.Clear();
            break;
        }
        progress.Show(reader);
        if (ended) break;
    }
    const bool cut = framing != nullptr && framing->CutShort();
    if (!noticeWritten && !net.SkipOrAbort() &&
        (reader.FileShortOfAnnounced() || (cut && reader.IsFileBody()))) {
        // The server closed before the whole file came: what arrived is not the file. (A page
        // keeps what arrived, to be read as far as it goes.)
        out.Unstored = true;
        buffer.Clear();
        return Received::Failed;
    }
    if (!noticeWritten) buffer.AppendNul();
    buffer.Rewind();
    return Received::Done;
}

void HoldOffAsAsked(TConnectionPool& pool, const std::string& hostKey,
                    const TResponseFraming& framing, const TNetContext& net, TTransferResult& out) {
    out.RetryAfterSeconds = framing.RetryAfterSeconds();
    if ((framing.Status() == 429 || framing.Status() == 503) && out.RetryAfterSeconds >= 0 &&
        out.RetryAfterSeconds <= kMaxRetryAfterUnits)
        pool.HoldOff(hostKey,
                     std::chrono::milliseconds(std::int64_t(out.RetryAfterSeconds) * UnitMs(net)));
}

} // namespace gathra::transfer
