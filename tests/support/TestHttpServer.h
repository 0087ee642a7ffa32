#pragma once
#include "Platform/LoopbackListener.h"
#include "support/TestTicks.h"
#include "support/TestTls.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace gathra::test {

// A transfer over the loopback that must end early (by its own bound, a cancel or a skip) ends
// within this even on a loaded machine; what a test tells it from (a server's silence, a trickle,
// a far bound) lasts at least twice as long.
inline constexpr std::chrono::seconds kEndsPromptly{20};

// One answer of the test server: the exact bytes it sends, and how it misbehaves.
struct TestResponse {
    static constexpr size_t kWhole = static_cast<size_t>(-1);

    std::string Bytes;               // sent as they stand: status line, header lines, body
    int DelayMs = 0;                 // silence before the first byte (on the server's time)
    bool CloseWithoutAnswer = false; // read the request, then close at once
    bool NeverAnswer = false;        // hold the connection, silent, until the client gives up
    size_t CloseAfter = kWhole;      // send only this many bytes, then close (mid-body)
    size_t ChunkSize = 0;            // 0: everything in one send; else pieces of this size...
    int ChunkDelayMs = 0;            // ...with this pause between them
    bool ResetAtEnd = false;         // end with a reset, not a graceful close (a dropped line)

    // "HTTP/1.0 <code> <reason>", an optional Content-Type, the Content-Length of the body, the
    // extra header lines (each ending with CR LF), a blank line and the body.
    static TestResponse Http(int code, std::string_view contentType, std::string_view body,
                             std::string_view extraHeaders = {});
    static TestResponse Html(std::string_view body) { return Http(200, "text/html", body); }
    // A redirect with a "Location:" line.
    static TestResponse Redirect(int code, std::string_view location);
    static TestResponse Raw(std::string bytes);
    static TestResponse Silent(); // never answers
    static TestResponse Hangup(); // closes without answering
};

// A loopback HTTP server for tests and benchmarks. It listens on 127.0.0.1 on a free port as soon
// as it is constructed (connections are accepted from then on), serves every connection on a
// thread of its own, records each request's exact bytes, and answers from a script:
//   1. the answers queued with Enqueue, one per request, in order of arrival;
//   2. once they are used up, the answer registered for the request's path with Serve;
//   3. otherwise the default answer (a 404 page unless SetDefault changed it).
// Every wait inside is bounded, and the destructor stops and joins every thread.
//
// Made with a TestCertificate, the server speaks TLS with that certificate ("https://"). A plain
// server also acts as a proxy for "CONNECT 127.0.0.1:<port>" requests: it answers 200 and then
// relays bytes both ways (the request is recorded like any other).
class TestHttpServer {
public:
    // port 0: a free port. Another port must be free to bind (throws std::runtime_error).
    explicit TestHttpServer(int port = 0);
    explicit TestHttpServer(TestCertificate certificate, int port = 0);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return listener_.Port(); }
    // "127.0.0.1:<port>", the host part of an engine address.
    std::string HostPort() const;
    // HostPort() followed by the path, the engine form of an address (no "http://"; a TLS
    // server's addresses keep their "https://").
    std::string Address(std::string_view path) const;
    // "http://" (or "https://") followed by HostPort() and the path.
    std::string Url(std::string_view path) const;
    bool IsTls() const { return tls_ != nullptr; }
    // How a TLS server meets a client's first handshake message: it completes the handshake,
    // says nothing more (Stall), or answers with plain text and hangs up (Refuse).
    enum class Handshake { Complete, Stall, Refuse };
    void SetHandshake(Handshake mode) { handshake_.store(mode); }

    // HTTP/2 for clients that offer it in the TLS handshake (a TLS server only). Each stream's
    // request is recorded as text ("GET <path> HTTP/2", then its header lines) and answered from
    // the same script; the answer's status, header lines (bar those of a connection) and body
    // go as HTTP/2 frames. CloseWithoutAnswer resets the stream, CloseAfter sends that many
    // bytes of the answer and then resets it, NeverAnswer leaves it open; DelayMs and chunking
    // do not apply.
    void OfferHttp2(bool offer);
    // After this many answered streams on a connection, the server says GOAWAY (naming the last
    // one it processed) and closes it; 0: never.
    void SetHttp2GoAwayAfter(int streams) { goAwayAfter_.store(streams); }
    // Answers nothing on the first HTTP/2 connection until this many of its streams are open at
    // once (or the client sends nothing more for a while): shows the client's streams run side
    // by side.
    void SetHttp2HoldUntil(int streams) { holdUntil_.store(streams); }
    // The most streams open at once on one connection so far.
    size_t MaxOpenStreams() const;
    // TLS connections so far that resumed an earlier session, and that chose HTTP/2.
    size_t ResumedCount() const;
    size_t Http2ConnectionCount() const;

    // Serves up to answers requests on one connection before it closes it (1, the default: one
    // request per connection). A misbehaving answer (a hang-up, a cut) still ends it.
    void SetKeepAlive(int answers) { keepAlive_.store(answers); }

    // Keeps the pauses of answers (DelayMs, ChunkDelayMs) on ticks, the clients' time, instead of
    // real time: a pause is a sleep that lets the time move, and the time stands still again
    // until what follows it has reached the client. Silent connections let it move too.
    void SetTicks(TestTicks* ticks) { ticks_.store(ticks); }

    void Enqueue(TestResponse response);
    // Answers every request whose target path (the proxy form's host is ignored) is path.
    void Serve(std::string path, TestResponse response);
    void SetDefault(TestResponse response);

    // Every request so far, exactly as received (up to and including its blank line).
    std::vector<std::string> Requests() const;
    std::string Request(size_t index) const;
    size_t RequestCount() const;
    // The target of each request's GET line, in order.
    std::vector<std::string> Targets() const;
    // Waits until at least count requests have arrived or bound has passed; true when they did.
    bool WaitForRequests(size_t count,
                         std::chrono::milliseconds bound = std::chrono::seconds(10)) const;
    size_t ConnectionCount() const;

    // A loopback port on which nothing listens (connection refused).
    static int UnusedPort();

private:
    struct Worker {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    struct Connection;
    void Listen(int port);
    void Accepted(int fd);
    void ServeConnection(int fd, std::shared_ptr<std::atomic<bool>> done);
    std::shared_ptr<const TestResponse> Choose(const std::string& target);
    void Answer(Connection& connection, const TestResponse& response);
    void ServeHttp2(Connection& connection, bool first);
    bool Flush(Connection& connection, void* session); // sends what the HTTP/2 session has
    void Record(std::string request, std::string target);
    void Tunnel(Connection& connection, const std::string& target);
    // Bytes read (> 0), 0 at the end, -1 on failure or when a wait ends.
    ssize_t ReadSome(Connection& connection, char* data, size_t size) const;
    bool WriteAll(Connection& connection, const char* data, size_t size) const;
    // Reads until the client closes the connection (or the server stops), saying nothing.
    void StaySilent(Connection& connection) const;

    LoopbackListener listener_; // its stop wakes every wait of the server
    std::unique_ptr<TestTlsServer> tls_;
    std::atomic<Handshake> handshake_{Handshake::Complete};
    std::atomic<int> keepAlive_{1};
    std::atomic<TestTicks*> ticks_{nullptr};
    std::atomic<int> goAwayAfter_{0};
    std::atomic<int> holdUntil_{0};

    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::list<Worker> workers_;
    // Shared, so that a large answer is not copied for every request.
    std::deque<std::shared_ptr<const TestResponse>> queue_;
    std::map<std::string, std::shared_ptr<const TestResponse>> byPath_;
    std::shared_ptr<const TestResponse> default_;
    std::vector<std::string> requests_;
    std::vector<std::string> targets_;
    size_t connections_ = 0;
    size_t maxOpenStreams_ = 0;
    size_t resumed_ = 0;
    size_t http2Connections_ = 0;
};

} // namespace gathra::test
