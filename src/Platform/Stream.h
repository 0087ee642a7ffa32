#pragma once
#include <cstddef>
#include <string_view>

namespace gathra {

enum class SocketStatus {
    Ok,
    Closed,            // the peer ended the connection (a receive of 0 bytes)
    TimedOut,          // the wait's bound passed
    Cancelled,         // the canceller ended the call
    ConnectionAborted, // worth repeating: the call may succeed when tried again
    Failed,
};

// A connected byte stream: a plain TCP socket or a TLS session over one. Every call waits
// beside a canceller and within a bound, so that another thread can end it at once.
class TStream {
public:
    virtual ~TStream() = default;
    // Sends all of data, or fails.
    virtual SocketStatus Send(std::string_view data) = 0;
    // Ok when a Receive would find something (data or the end of the stream).
    virtual SocketStatus WaitReadable(int timeoutMs) = 0;
    // Receives up to size bytes; Closed when the peer has ended the stream.
    virtual SocketStatus Receive(char* data, std::size_t size, std::size_t& received) = 0;
};

} // namespace gathra
