#pragma once
#include "Platform/Stream.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace gathra {

struct TConnection;
class THttp2Framing;
class THttp2Stream;

// One HTTP/2 connection to a server (TLS, with "h2" chosen in the handshake), carrying the
// requests of many transfers at once, each on a stream of its own. A driver thread moves the
// bytes: it sends what the framing has to send and feeds it what arrives, so a transfer only
// waits on its own stream. The connection ends when the server goes away, the connection breaks,
// the run's canceller fires (Stop, Skip) or the last owner lets go of it.
class THttp2Connection : public std::enable_shared_from_this<THttp2Connection> {
public:
    // The most streams opened at once on one connection, whatever the server allows: enough to
    // fill a round trip with the pages of a level, few enough to bound what waits in memory.
    static constexpr int kMaxStreams = 32;
    // How far ahead of its reader one stream, and the whole connection, may be sent.
    static constexpr std::uint32_t kStreamWindow = 1u << 20;
    static constexpr std::uint32_t kConnectionWindow = 8u << 20;

    // Takes over connection; receiveTimeoutMs bounds a stream's wait for its next bytes.
    static std::shared_ptr<THttp2Connection> Start(std::unique_ptr<TConnection> connection,
                                                   int receiveTimeoutMs);
    ~THttp2Connection();
    THttp2Connection(const THttp2Connection&) = delete;
    THttp2Connection& operator=(const THttp2Connection&) = delete;

    // A stream for one request once the connection has room for it, waiting while stop() is
    // false; null when the connection takes no more streams (gone away, broken) or on stop.
    std::unique_ptr<THttp2Stream> Open(const std::function<bool()>& stop);
    // Whether a new stream may still be opened.
    bool TakesStreams() const;
    // Streams open now.
    int Streams() const;

private:
    friend class THttp2Stream;
    struct StreamState;
    class Events;

    explicit THttp2Connection(std::unique_ptr<TConnection> connection, int receiveTimeoutMs);
    void Drive();
    void Wake();
    void Broken(); // with mutex_ held
    int Room() const;

    std::unique_ptr<TConnection> connection_;
    const int receiveTimeoutMs_;
    int wakeFd_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::unique_ptr<Events> events_;
    std::unique_ptr<THttp2Framing> framing_;
    std::map<std::int32_t, std::shared_ptr<StreamState>> streams_;
    int reserved_ = 0;          // streams opened and not yet submitted
    std::size_t discarded_ = 0; // data of streams nobody reads, to give back to the window
    bool goneAway_ = false;
    bool broken_ = false;
    bool closing_ = false;
    std::thread driver_;
};

// One request and its answer on an HTTP/2 connection, read as the same answer over HTTP/1.1
// would be: the request is given as HTTP/1.1 text (Send), and the answer comes out as a status
// line, its header lines and a blank line, then the body, then the end of the stream (Closed).
// So the client's one way of reading answers serves both: notices, redirects, decoding, spooling
// and the bounds hold alike. A stream that ends before its first byte (refused, the server gone
// away, the connection broken) fails, and its request may go again on a new connection; one
// that is reset later ends as a connection cut short would. Dropping it resets the stream.
class THttp2Stream : public TStream {
public:
    ~THttp2Stream() override;
    SocketStatus Send(std::string_view request) override;
    SocketStatus WaitReadable(int timeoutMs) override;
    SocketStatus Receive(char* data, std::size_t size, std::size_t& received) override;

private:
    friend class THttp2Connection;
    THttp2Stream(std::shared_ptr<THttp2Connection> connection, std::function<bool()> stop);
    // Waits until the stream has something for its reader, up to timeoutMs.
    SocketStatus WaitForBytes(std::unique_lock<std::mutex>& lock, int timeoutMs);

    std::shared_ptr<THttp2Connection> connection_;
    std::function<bool()> stop_;
    std::shared_ptr<THttp2Connection::StreamState> state_;
    bool reserved_ = true; // holds a place on the connection until it is submitted
};

// The header lines of an HTTP/2 request made from HTTP/1.1 request text (request line, header
// lines, blank line): the pseudo-header lines first, then the others in lower case, without
// those that only concern an HTTP/1.1 connection. Empty when the text is not such a request.
std::vector<std::pair<std::string, std::string>> Http2RequestHeaders(std::string_view request);

} // namespace gathra
