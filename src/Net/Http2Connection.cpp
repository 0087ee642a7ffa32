#include "Net/Http2Connection.h"

#include "Net/Http2Framing.h"
#include "Net/TransferParts.h"
#include "Platform/SocketCanceller.h"
#include "Platform/Ticks.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace gathra {
namespace {

// How often a waiting stream looks at its stop test: Stop and Skip end it well within half a
// second.
constexpr auto kStopPoll = std::chrono::milliseconds(20);
constexpr std::size_t kReadBlock = 16384;
// The code of a stream the server did not process (RST_STREAM REFUSED_STREAM), also given to
// the streams a GOAWAY leaves out.
constexpr std::uint32_t kRefusedStream = 7;

} // namespace

// What one stream has received and not yet given to its reader.
struct THttp2Connection::StreamState {
    std::int32_t Id = 0;
    std::string Status;      // the final answer's code
    std::string HeaderLines; // "name: value\r\n" each
    std::string Head;        // the status line and header lines not yet read
    std::string Data;        // body bytes not yet read
    std::size_t DataRead = 0;
    bool HeadDone = false;
    bool Ended = false;
    std::uint32_t Error = 0;
    bool Started = false;            // some byte went to the reader
    std::condition_variable Arrived; // its reader waits here, so that others sleep on
};

// The framing's calls, made while the connection's mutex is held (by the driver's receive).
class THttp2Connection::Events : public THttp2Framing::Listener {
public:
    explicit Events(THttp2Connection& connection) : c_(connection) {}

    void OnHeader(std::int32_t id, std::string_view name, std::string_view value) override {
        StreamState* s = Find(id);
        if (s == nullptr || s->HeadDone) return; // trailers are not read, as over HTTP/1.1
        if (name == ":status")
            s->Status = value;
        else if (!name.starts_with(':'))
            s->HeaderLines.append(name).append(": ").append(value).append("\r\n");
    }
    void OnHeadersDone(std::int32_t id) override {
        StreamState* s = Find(id);
        if (s == nullptr || s->HeadDone) return;
        if (s->Status.empty() || s->Status[0] == '1') {
            // An interim answer (100 Continue, 103 Early Hints): the final one follows.
            s->Status.clear();
            s->HeaderLines.clear();
            return;
        }
        s->Head = "HTTP/1.1 " + s->Status + "\r\n" + s->HeaderLines + "\r\n";
        s->HeaderLines.clear();
        s->HeadDone = true;
        s->Arrived.notify_all();
    }
    void OnData(std::int32_t id, std::string_view data) override {
        StreamState* s = Find(id);
        if (s == nullptr) {
            c_.discarded_ += data.size();
            return;
        }
        s->Data.append(data);
        s->Arrived.notify_all();
    }
    void OnClosed(std::int32_t id, std::uint32_t error) override {
        if (StreamState* s = Find(id)) End(*s, error);
    }
    void OnGoAway(std::int32_t lastStream) override {
        c_.goneAway_ = true;
        for (auto& [id, s] : c_.streams_)
            if (id > lastStream) End(*s, kRefusedStream);
        c_.changed_.notify_all();
    }

private:
    StreamState* Find(std::int32_t id) {
        auto found = c_.streams_.find(id);
        return found == c_.streams_.end() ? nullptr : found->second.get();
    }
    void End(StreamState& s, std::uint32_t error) {
        if (s.Ended) return;
        s.Ended = true;
        // A stream that ends without a whole header has no answer at all.
        s.Error = error != 0 || !s.HeadDone ? std::max<std::uint32_t>(error, 1) : 0;
        s.Arrived.notify_all();
        c_.changed_.notify_all(); // room for another stream
    }
    THttp2Connection& c_;
};

std::shared_ptr<THttp2Connection> THttp2Connection::Start(std::unique_ptr<TConnection> connection,
                                                          int receiveTimeoutMs) {
    std::shared_ptr<THttp2Connection> started(
        new THttp2Connection(std::move(connection), receiveTimeoutMs));
    started->driver_ = std::thread([raw = started.get()] { raw->Drive(); });
    return started;
}

THttp2Connection::THttp2Connection(std::unique_ptr<TConnection> connection, int receiveTimeoutMs)
    : connection_(std::move(connection)), receiveTimeoutMs_(receiveTimeoutMs),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), events_(std::make_unique<Events>(*this)),
      framing_(std::make_unique<THttp2Framing>(*events_, kStreamWindow, kConnectionWindow)) {
    if (wakeFd_ < 0) broken_ = true;
}

THttp2Connection::~THttp2Connection() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    Wake();
    if (driver_.joinable()) driver_.join();
    if (wakeFd_ >= 0) close(wakeFd_);
}

void THttp2Connection::Wake() {
    if (wakeFd_ < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wakeFd_, &one, sizeof one);
}

void THttp2Connection::Broken() {
    broken_ = true;
    for (auto& [id, s] : streams_)
        if (!s->Ended) {
            s->Ended = true;
            s->Error = kRefusedStream;
            s->Arrived.notify_all();
        }
    changed_.notify_all();
}

int THttp2Connection::Room() const {
    const auto peer = static_cast<std::int64_t>(framing_->PeerMaxStreams());
    const std::int64_t most = std::min<std::int64_t>(kMaxStreams, peer);
    std::int64_t open = reserved_;
    for (const auto& [id, s] : streams_)
        open += s->Ended ? 0 : 1;
    return static_cast<int>(most - open);
}

bool THttp2Connection::TakesStreams() const {
    std::lock_guard lock(mutex_);
    return !broken_ && !goneAway_ && !closing_;
}

int THttp2Connection::Streams() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(streams_.size()) + reserved_;
}

std::unique_ptr<THttp2Stream> THttp2Connection::Open(const std::function<bool()>& stop) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (broken_ || goneAway_ || closing_ || stop()) return nullptr;
        if (Room() > 0) break;
        changed_.wait_for(lock, kStopPoll);
    }
    ++reserved_;
    lock.unlock();
    return std::unique_ptr<THttp2Stream>(new THttp2Stream(shared_from_this(), stop));
}

void THttp2Connection::Drive() {
    TStream& stream = connection_->Stream();
    const int socketFd = connection_->Socket->Descriptor();
    SocketCanceller* canceller = connection_->Socket->Canceller();
    std::unique_ptr<char[]> block(new char[kReadBlock]);
    std::string out;
    for (;;) {
        out.clear();
        {
            std::lock_guard lock(mutex_);
            if (closing_ || broken_) break;
            if (discarded_ > 0) framing_->Discarded(std::exchange(discarded_, 0));
            if (!framing_->TakeOutput(out)) {
                Broken();
                break;
            }
        }
        if (!out.empty()) {
            if (stream.Send(out) != SocketStatus::Ok) break;
            continue;
        }
        // Decrypted bytes may wait in the session while the socket has nothing more.
        bool readable = stream.WaitReadable(0) == SocketStatus::Ok;
        if (!readable) {
            pollfd fds[3] = {{socketFd, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {-1, POLLIN, 0}};
            if (canceller != nullptr) fds[2].fd = canceller->WakeFd();
            if (poll(fds, 3, -1) < 0 && errno != EINTR) break;
            if (canceller != nullptr && canceller->Cancelled()) break;
            if ((fds[1].revents & POLLIN) != 0) {
                std::uint64_t count;
                [[maybe_unused]] ssize_t drained = read(wakeFd_, &count, sizeof count);
            }
            readable = (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        }
        if (!readable) continue;
        std::size_t got = 0;
        if (stream.Receive(block.get(), kReadBlock, got) != SocketStatus::Ok) break;
        std::lock_guard lock(mutex_);
        if (!framing_->Receive(std::string_view(block.get(), got))) {
            Broken();
            break;
        }
    }
    std::lock_guard lock(mutex_);
    Broken();
    connection_->Socket->Close();
}

THttp2Stream::THttp2Stream(std::shared_ptr<THttp2Connection> connection, std::function<bool()> stop)
    : connection_(std::move(connection)), stop_(std::move(stop)),
      state_(std::make_shared<THttp2Connection::StreamState>()) {}

THttp2Stream::~THttp2Stream() {
    THttp2Connection& c = *connection_;
    {
        std::lock_guard lock(c.mutex_);
        if (reserved_) --c.reserved_;
        if (state_->Id > 0) {
            if (!state_->Ended && !c.broken_) c.framing_->Cancel(state_->Id);
            c.discarded_ += state_->Data.size() - state_->DataRead;
            c.streams_.erase(state_->Id);
        }
        c.changed_.notify_all();
    }
    c.Wake();
}

SocketStatus THttp2Stream::Send(std::string_view request) {
    const auto headers = Http2RequestHeaders(request);
    THttp2Connection& c = *connection_;
    {
        std::lock_guard lock(c.mutex_);
        if (!reserved_ || headers.empty() || c.broken_ || c.goneAway_) return SocketStatus::Failed;
        const std::int32_t id = c.framing_->Submit(headers);
        if (id < 0) return SocketStatus::Failed;
        reserved_ = false;
        --c.reserved_;
        state_->Id = id;
        c.streams_.emplace(id, state_);
    }
    c.Wake();
    return SocketStatus::Ok;
}

SocketStatus THttp2Stream::WaitForBytes(std::unique_lock<std::mutex>& lock, int timeoutMs) {
    // The bound is kept on the socket's time; the stop flags are looked at every kStopPoll.
    const TDeadline deadline(connection_->connection_->Socket->Ticks(), std::max(0, timeoutMs));
    return deadline.WaitSliced([&](int sliceMs) {
        const auto end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, sliceMs));
        for (;;) {
            const auto& s = *state_;
            if (s.Ended || !s.Head.empty() || s.DataRead < s.Data.size() || s.Id == 0)
                return SocketStatus::Ok;
            if (stop_()) return SocketStatus::Cancelled;
            const auto now = std::chrono::steady_clock::now();
            if (now >= end) return SocketStatus::TimedOut;
            state_->Arrived.wait_until(lock, std::min(end, now + kStopPoll));
        }
    });
}

SocketStatus THttp2Stream::WaitReadable(int timeoutMs) {
    std::unique_lock lock(connection_->mutex_);
    return WaitForBytes(lock, timeoutMs);
}

SocketStatus THttp2Stream::Receive(char* data, std::size_t size, std::size_t& received) {
    received = 0;
    THttp2Connection& c = *connection_;
    std::unique_lock lock(c.mutex_);
    const SocketStatus waited = WaitForBytes(lock, c.receiveTimeoutMs_);
    if (waited != SocketStatus::Ok) return waited;
    auto& s = *state_;
    if (s.Id == 0) return SocketStatus::Failed;
    if (!s.Head.empty()) {
        received = std::min(size, s.Head.size());
        s.Head.copy(data, received);
        s.Head.erase(0, received);
    } else if (s.DataRead < s.Data.size()) {
        received = std::min(size, s.Data.size() - s.DataRead);
        s.Data.copy(data, received, s.DataRead);
        s.DataRead += received;
        if (s.DataRead == s.Data.size()) {
            s.Data.clear();
            s.DataRead = 0;
        }
        c.framing_->Consumed(s.Id, received);
    } else if (s.Error != 0 && !s.Started) {
        return SocketStatus::Failed;
    } else {
        // The end of the answer; a stream reset after its first byte reads as a connection
        // closed there.
        return SocketStatus::Closed;
    }
    s.Started = true;
    const bool update = c.framing_->HasOutput(); // a window update to send
    lock.unlock();
    if (update) c.Wake();
    return SocketStatus::Ok;
}

std::vector<std::pair<std::string, std::string>> Http2RequestHeaders(std::string_view request) {
    std::vector<std::pair<std::string, std::string>> headers;
    std::size_t lineEnd = request.find("\r\n");
    if (lineEnd == std::string_view::npos) return {};
    const std::string_view line = request.substr(0, lineEnd);
    const std::size_t methodEnd = line.find(' ');
    const std::size_t targetEnd = line.rfind(' ');
    if (methodEnd == std::string_view::npos || targetEnd <= methodEnd + 1) return {};
    std::string_view target = line.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    // A target in the absolute form (as a proxy is asked) keeps its path.
    if (const std::size_t scheme = target.find("://"); scheme != std::string_view::npos) {
        const std::size_t path = target.find('/', scheme + 3);
        target = path == std::string_view::npos ? std::string_view("/") : target.substr(path);
    }
    headers.emplace_back(":method", std::string(line.substr(0, methodEnd)));
    headers.emplace_back(":scheme", "https");
    headers.emplace_back(":authority", "");
    headers.emplace_back(":path", std::string(target));
    for (std::size_t at = lineEnd + 2;;) {
        const std::size_t end = request.find("\r\n", at);
        if (end == std::string_view::npos) return {}; // no blank line: not a whole request
        const std::string_view header = request.substr(at, end - at);
        at = end + 2;
        if (header.empty()) break;
        const std::size_t colon = header.find(':');
        if (colon == std::string_view::npos || colon == 0) return {};
        std::string name = Lowered(header.substr(0, colon));
        std::string value(Trimmed(header.substr(colon + 1)));
        if (name == "host") {
            headers[2].second = std::move(value);
        } else if (name != "connection" && name != "keep-alive" && name != "proxy-connection" &&
                   name != "transfer-encoding" && name != "upgrade" && name != "te") {
            headers.emplace_back(std::move(name), std::move(value));
        }
    }
    if (headers[2].second.empty()) return {};
    return headers;
}

} // namespace gathra
