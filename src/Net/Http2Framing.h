#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct nghttp2_session;

namespace gathra {

// The framing of one client HTTP/2 connection: requests go in as header lists, what the server
// sends comes out as calls on a listener, and the bytes to send are taken out. It touches no
// socket (the connection's driver moves the bytes) and is not safe for two threads at once.
//
// Flow control is the caller's: the server may send a stream at most streamWindow bytes ahead of
// what the caller has taken (Consumed), and the whole connection at most connectionWindow, so
// the bytes held for slow readers stay bounded.
class THttp2Framing {
public:
    using Header = std::pair<std::string, std::string>;

    class Listener {
    public:
        virtual ~Listener() = default;
        // A header line of the answer on stream (names in lower case; ":status" among them).
        virtual void OnHeader(std::int32_t stream, std::string_view name,
                              std::string_view value) = 0;
        // A whole header block has come (an interim 1xx block too).
        virtual void OnHeadersDone(std::int32_t stream) = 0;
        virtual void OnData(std::int32_t stream, std::string_view data) = 0;
        // The stream has ended: errorCode 0 when it ended well, else the reset's code.
        virtual void OnClosed(std::int32_t stream, std::uint32_t errorCode) = 0;
        // The server takes no new streams; those after lastStream were not processed.
        virtual void OnGoAway(std::int32_t lastStream) = 0;
    };

    THttp2Framing(Listener& listener, std::uint32_t streamWindow, std::uint32_t connectionWindow);
    ~THttp2Framing();
    THttp2Framing(const THttp2Framing&) = delete;
    THttp2Framing& operator=(const THttp2Framing&) = delete;

    // A GET-like request without a body; its stream number, or -1 when the connection takes no
    // more.
    std::int32_t Submit(const std::vector<Header>& headers);
    // Ends a stream from this side (its reader has gone).
    void Cancel(std::int32_t stream);
    // The reader has taken bytes of stream's data: the server may send as many more.
    void Consumed(std::int32_t stream, std::size_t bytes);
    // Bytes of a stream that nobody will read any more: the connection's window takes them back.
    void Discarded(std::size_t bytes);
    // Feeds what was received; false when it breaks the protocol (the connection is done for).
    bool Receive(std::string_view bytes);
    // Appends the bytes waiting to be sent to out; false on an internal failure.
    bool TakeOutput(std::string& out);
    // Says goodbye: the server is told that no more streams come.
    void Finish();
    // Whether there are bytes to send (TakeOutput would give some).
    bool HasOutput() const;
    // Whether the connection still has work: streams open or bytes to send.
    bool Alive() const;
    // The most streams the server takes at once (its setting, or a large number before it
    // says).
    std::uint32_t PeerMaxStreams() const;

private:
    nghttp2_session* session_ = nullptr;
};

} // namespace gathra
