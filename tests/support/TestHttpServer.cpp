#include "support/TestHttpServer.h"
#include "support/TestServerConnection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gathra::test {
namespace {

// No single wait of the server lasts longer than this, so that a test that forgets to finish a
// conversation still ends.
constexpr int kWaitBoundMs = 60000;
constexpr size_t kRequestLimit = 1 << 20;

const char* ReasonOf(int code) {
    switch (code) {
    case 200:
        return "OK";
    case 203:
        return "Non-Authoritative Information";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

size_t HeaderEnd(const std::string& data) {
    size_t crlf = data.find("\r\n\r\n");
    size_t lf = data.find("\n\n");
    if (crlf == std::string::npos && lf == std::string::npos) return std::string::npos;
    if (lf != std::string::npos && (crlf == std::string::npos || lf < crlf)) return lf + 2;
    return crlf + 4;
}

std::string TargetOf(const std::string& request) {
    size_t start = request.find(' ');
    if (start == std::string::npos) return {};
    size_t end = request.find_first_of(" \r\n", start + 1);
    return request.substr(start + 1,
                          end == std::string::npos ? std::string::npos : end - start - 1);
}

// Waits (a bounded while) until every byte sent on fd has left for the peer. (Over the loopback
// it is then in the peer's queue; that the peer acknowledged it may take a delayed ACK longer.)
void WaitUntilTaken(int fd, const LoopbackListener& listener) {
    for (int i = 0; i < 2000; ++i) {
        int queued = 0;
        if (ioctl(fd, SIOCOUTQNSD, &queued) != 0 || queued == 0 || !listener.Pause(1)) return;
    }
}

// The time a woken sleeper of TestTicks holds still, given back once what the server sent since
// has reached the client (so that the client sees it before the time moves on).
class HeldTime {
public:
    HeldTime(TestTicks* ticks, int fd, const LoopbackListener& listener)
        : ticks_(ticks), fd_(fd), listener_(listener) {}
    ~HeldTime() { Let(); }
    HeldTime(const HeldTime&) = delete;
    HeldTime& operator=(const HeldTime&) = delete;

    // A pause of ms on the server's time (real time without ticks); false when the client went
    // or the server stops.
    bool Pause(int ms) {
        if (ticks_ == nullptr) return listener_.Pause(ms);
        Let();
        if (ms <= 0) return true;
        held_ = ticks_->Sleep(ms, fd_, [this] {
            pollfd stop{listener_.StopDescriptor(), POLLIN, 0};
            return poll(&stop, 1, 0) > 0;
        });
        return held_;
    }
    void Let() {
        if (!held_) return;
        WaitUntilTaken(fd_, listener_);
        ticks_->Release();
        held_ = false;
    }

private:
    TestTicks* const ticks_;
    const int fd_;
    const LoopbackListener& listener_;
    bool held_ = false;
};

// The path of a proxy-form target ("http://host:port/path").
std::string PathOf(const std::string& target) {
    size_t scheme = target.find("://");
    if (scheme == std::string::npos) return target;
    size_t slash = target.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : target.substr(slash);
}

} // namespace

TestResponse TestResponse::Http(int code, std::string_view contentType, std::string_view body,
                                std::string_view extraHeaders) {
    TestResponse r;
    r.Bytes = "HTTP/1.0 " + std::to_string(code) + " " + ReasonOf(code) + "\r\n";
    if (!contentType.empty()) r.Bytes += "Content-Type: " + std::string(contentType) + "\r\n";
    r.Bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    r.Bytes += extraHeaders;
    r.Bytes += "\r\n";
    r.Bytes += body;
    return r;
}

TestResponse TestResponse::Redirect(int code, std::string_view location) {
    return Http(code, "text/html", "moved", "Location: " + std::string(location) + "\r\n");
}

TestResponse TestResponse::Raw(std::string bytes) {
    TestResponse r;
    r.Bytes = std::move(bytes);
    return r;
}

TestResponse TestResponse::Silent() {
    TestResponse r;
    r.NeverAnswer = true;
    return r;
}

TestResponse TestResponse::Hangup() {
    TestResponse r;
    r.CloseWithoutAnswer = true;
    return r;
}

TestHttpServer::TestHttpServer(int port) {
    Listen(port);
}

TestHttpServer::TestHttpServer(TestCertificate certificate, int port)
    : tls_(std::make_unique<TestTlsServer>(certificate)) {
    Listen(port);
}

void TestHttpServer::Listen(int port) {
    default_ = std::make_shared<const TestResponse>(
        TestResponse::Http(404, "text/html", "<html><body>Not Found</body></html>"));
    if (!listener_.Listen(port))
        throw std::runtime_error("test server: cannot listen on 127.0.0.1: " + listener_.Error());
    // The socket listens already, so connections made from now on wait in its queue: the
    // server is ready when the constructor returns.
    listener_.Start([this](int fd) { Accepted(fd); });
}

TestHttpServer::~TestHttpServer() {
    listener_.Stop();
    std::list<Worker> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (auto& w : workers)
        w.Thread.join();
}

std::string TestHttpServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(listener_.Port());
}

std::string TestHttpServer::Address(std::string_view path) const {
    return tls_ ? Url(path) : HostPort() + std::string(path);
}

std::string TestHttpServer::Url(std::string_view path) const {
    return (tls_ ? "https://" : "http://") + HostPort() + std::string(path);
}

void TestHttpServer::Enqueue(TestResponse response) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::make_shared<const TestResponse>(std::move(response)));
}

void TestHttpServer::Serve(std::string path, TestResponse response) {
    std::lock_guard lock(mutex_);
    byPath_[std::move(path)] = std::make_shared<const TestResponse>(std::move(response));
}

void TestHttpServer::SetDefault(TestResponse response) {
    std::lock_guard lock(mutex_);
    default_ = std::make_shared<const TestResponse>(std::move(response));
}

std::vector<std::string> TestHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string TestHttpServer::Request(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < requests_.size() ? requests_[index] : std::string();
}

size_t TestHttpServer::RequestCount() const {
    std::lock_guard lock(mutex_);
    return requests_.size();
}

std::vector<std::string> TestHttpServer::Targets() const {
    std::lock_guard lock(mutex_);
    return targets_;
}

size_t TestHttpServer::ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool TestHttpServer::WaitForRequests(size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, bound, [&] { return requests_.size() >= count; });
}

int TestHttpServer::UnusedPort() {
    // A port that was just bound and released without listening refuses connections; nobody
    // else on the loopback is likely to take it within a test.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

void TestHttpServer::Accepted(int fd) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(mutex_);
    ++connections_;
    // Finished conversations are joined here, so that a long spider test does not pile up
    // threads.
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->Done->load()) {
            it->Thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
    workers_.push_back({std::thread([this, fd, done] { ServeConnection(fd, done); }), done});
}

std::shared_ptr<const TestResponse> TestHttpServer::Choose(const std::string& target) {
    std::lock_guard lock(mutex_);
    if (!queue_.empty()) {
        auto r = std::move(queue_.front());
        queue_.pop_front();
        return r;
    }
    auto it = byPath_.find(target);
    if (it == byPath_.end()) it = byPath_.find(PathOf(target));
    return it != byPath_.end() ? it->second : default_;
}

ssize_t TestHttpServer::ReadSome(Connection& connection, char* data, size_t size) const {
    if (connection.Tls)
        return connection.Tls->Read(data, size, [&](short events) {
            return listener_.Wait(connection.Fd, events, kWaitBoundMs);
        });
    for (;;) {
        if (!listener_.Wait(connection.Fd, POLLIN, kWaitBoundMs)) return -1;
        ssize_t n = recv(connection.Fd, data, size, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return n;
    }
}

bool TestHttpServer::WriteAll(Connection& connection, const char* data, size_t size) const {
    if (connection.Tls)
        return connection.Tls->Write(data, size, [&](short events) {
            return listener_.Wait(connection.Fd, events, kWaitBoundMs);
        });
    size_t done = 0;
    while (done < size) {
        if (!listener_.Wait(connection.Fd, POLLOUT, kWaitBoundMs)) return false;
        ssize_t n = send(connection.Fd, data + done, size - done, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false; // the client has gone
        done += static_cast<size_t>(n);
    }
    return true;
}

void TestHttpServer::ServeConnection(int fd, std::shared_ptr<std::atomic<bool>> done) {
    // A client that hangs up while TLS writes with write() raises SIGPIPE on this thread;
    // blocked, it stays pending here and goes with the thread.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    Connection connection;
    connection.Fd = fd;
    char block[4096];
    if (tls_) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        const Handshake mode = handshake_.load();
        if (mode == Handshake::Refuse && ReadSome(connection, block, sizeof block) > 0) {
            const std::string refusal = "HTTP/1.0 400 Bad Request\r\n\r\n";
            WriteAll(connection, refusal.data(), refusal.size());
        }
        if (mode != Handshake::Complete) {
            // A stalled hello is read and never answered, until the client gives up.
            if (mode == Handshake::Stall) StaySilent(connection);
            close(fd);
            done->store(true);
            return;
        }
        connection.Tls = tls_->Open(fd);
        if (!connection.Tls || !connection.Tls->Accept([&](short events) {
                return listener_.Wait(fd, events, kWaitBoundMs);
            })) {
            connection.Tls.reset();
            close(fd);
            done->store(true);
            return;
        }
        const bool http2 = connection.Tls->Protocol() == "h2";
        bool first = false;
        {
            std::lock_guard lock(mutex_);
            resumed_ += connection.Tls->Resumed() ? 1 : 0;
            first = http2 && http2Connections_ == 0;
            http2Connections_ += http2 ? 1 : 0;
        }
        if (http2) {
            ServeHttp2(connection, first);
            connection.Tls.reset();
            close(fd);
            done->store(true);
            return;
        }
    }
    // Kept connections: up to keepAlive_ answers on one connection (0: one, then the close).
    std::string pending;
    for (int answers = 1;; ++answers) {
        std::string request = std::move(pending);
        pending.clear();
        bool complete = HeaderEnd(request) != std::string::npos;
        while (!complete && request.size() < kRequestLimit) {
            ssize_t n = ReadSome(connection, block, sizeof block);
            if (n <= 0) break;
            request.append(block, static_cast<size_t>(n));
            size_t end = HeaderEnd(request);
            if (end != std::string::npos) complete = true;
        }
        if (complete) {
            pending = request.substr(HeaderEnd(request));
            request.resize(HeaderEnd(request));
        }
        std::shared_ptr<const TestResponse> chosen;
        if (!request.empty()) {
            std::string target = TargetOf(request);
            Record(request, target);
            if (complete && !tls_ && request.compare(0, 8, "CONNECT ") == 0) {
                Tunnel(connection, target);
            } else if (complete) {
                chosen = Choose(target);
                // As servers do, only an HTTP/1.1 request gets a connection that stays open.
                connection.KeepOpen = answers < std::max(keepAlive_.load(), 1) &&
                                      request.find(" HTTP/1.1\r\n") < request.find('\n');
                Answer(connection, *chosen);
            }
        }
        if (chosen == nullptr || !connection.KeepOpen || chosen->CloseWithoutAnswer ||
            chosen->NeverAnswer || chosen->CloseAfter != TestResponse::kWhole || chosen->ResetAtEnd)
            break;
    }
    connection.Tls.reset();
    close(fd);
    done->store(true);
}

void TestHttpServer::StaySilent(Connection& connection) const {
    // Until the client closes its end (readable with nothing to read) or the server stops.
    TestTicks* ticks = ticks_.load();
    if (ticks != nullptr) ticks->BeginSilence(connection.Fd);
    char scratch[512];
    while (ReadSome(connection, scratch, sizeof scratch) > 0) {
    }
    if (ticks != nullptr) ticks->EndSilence(connection.Fd);
}

void TestHttpServer::Record(std::string request, std::string target) {
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
        targets_.push_back(std::move(target));
    }
    arrived_.notify_all();
}

void TestHttpServer::OfferHttp2(bool offer) {
    if (tls_) tls_->OfferHttp2(offer);
}

size_t TestHttpServer::MaxOpenStreams() const {
    std::lock_guard lock(mutex_);
    return maxOpenStreams_;
}

size_t TestHttpServer::ResumedCount() const {
    std::lock_guard lock(mutex_);
    return resumed_;
}

size_t TestHttpServer::Http2ConnectionCount() const {
    std::lock_guard lock(mutex_);
    return http2Connections_;
}

void TestHttpServer::Tunnel(Connection& connection, const std::string& target) {
    // Only loopback targets: the tests never reach out.
    const std::string loopback = "127.0.0.1:";
    int port = 0;
    if (target.compare(0, loopback.size(), loopback) == 0) {
        try {
            port = std::stoi(target.substr(loopback.size()));
        } catch (const std::exception&) {
            port = 0;
        }
    }
    int upstream = port > 0 && port < 65536 ? socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (upstream < 0 || connect(upstream, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (upstream >= 0) close(upstream);
        std::string refused = TestResponse::Http(502, "text/html", "no tunnel").Bytes;
        WriteAll(connection, refused.data(), refused.size());
        return;
    }
    const std::string established = "HTTP/1.0 200 Connection established\r\n\r\n";
    if (!WriteAll(connection, established.data(), established.size())) {
        close(upstream);
        return;
    }
    // Relays until both sides have ended; an end on one side is passed on as a half close.
    pollfd fds[3] = {
        {listener_.StopDescriptor(), POLLIN, 0}, {connection.Fd, POLLIN, 0}, {upstream, POLLIN, 0}};
    char block[16384];
    while (fds[1].fd >= 0 || fds[2].fd >= 0) {
        int n = poll(fds, 3, kWaitBoundMs);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || fds[0].revents != 0) break;
        for (int side = 1; side <= 2; ++side) {
            if (fds[side].fd < 0 || fds[side].revents == 0) continue;
            int other = side == 1 ? upstream : connection.Fd;
            ssize_t got = recv(fds[side].fd, block, sizeof block, 0);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                shutdown(other, SHUT_WR);
                fds[side].fd = -1;
                continue;
            }
            size_t sent = 0;
            while (sent < static_cast<size_t>(got)) {
                ssize_t put =
                    send(other, block + sent, static_cast<size_t>(got) - sent, MSG_NOSIGNAL);
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) break;
                sent += static_cast<size_t>(put);
            }
        }
    }
    close(upstream);
}

void TestHttpServer::Answer(Connection& connection, const TestResponse& response) {
    if (response.CloseWithoutAnswer) return;
    if (response.NeverAnswer) {
        StaySilent(connection);
        return;
    }
    HeldTime time(ticks_.load(), connection.Fd, listener_);
    if (!time.Pause(response.DelayMs)) return;
    size_t total = std::min(response.Bytes.size(), response.CloseAfter);
    size_t chunk = response.ChunkSize == 0 ? total : response.ChunkSize;
    size_t sent = 0;
    while (sent < total) {
        size_t piece = std::min(chunk, total - sent);
        if (!WriteAll(connection, response.Bytes.data() + sent, piece)) return;
        sent += piece;
        if (sent < total && response.ChunkDelayMs > 0 && !time.Pause(response.ChunkDelayMs)) return;
    }
    if (response.ResetAtEnd) {
        // Closed with a linger of zero, the connection ends with a reset.
        linger abort{1, 0};
        setsockopt(connection.Fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        return;
    }
    // A graceful end: the client reads the whole answer before it sees the close. A kept
    // connection stays open for the next request.
    if (connection.KeepOpen) return;
    if (connection.Tls) connection.Tls->Close();
    shutdown(connection.Fd, SHUT_WR);
}

} // namespace gathra::test
