#pragma once
#include "Net/BodyDecoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gathra {

// Finds where one response of a kept connection ends, and undoes its transfer and content
// codings, so that what it gives out reads exactly as the same response sent to a one-request
// connection without compression: the header (without its Transfer-Encoding and Content-Encoding
// lines, and without Content-Length when the body was decoded) followed by the body's own bytes.
// The body ends by Content-Length, by the chunked coding or by the close of the connection.
// It touches no socket: the client feeds it what it receives, tests and fuzzing feed it memory.
class TResponseFraming {
public:
    enum class State {
        More,     // the response goes on
        Complete, // the response has ended; the connection may carry the next one
        Failed,   // broken framing or coding (a bad chunk size, corrupt compressed data)
        TooLarge, // the decoded body passed maxDecoded
    };

    // maxDecoded bounds the decoded body of a compressed response.
    explicit TResponseFraming(std::uint64_t maxDecoded);
    ~TResponseFraming();

    // Appends to out what the bytes give out; answers the state after them.
    State Feed(std::string_view bytes, std::string& out);
    // The connection has closed: a body read to the close ends here, any other open body was cut
    // short there (Complete with CutShort; Failed when its compressed data breaks off); More when
    // nothing of the response had arrived at all.
    State Finish(std::string& out);

    // Some byte of the response has arrived.
    bool Started() const { return started_; }
    bool HeaderDone() const { return headerDone_; }
    // The response's end is known without the close, and the server keeps the connection: it
    // can carry the next request.
    bool Reusable() const;
    // The connection closed before the end its framing announced.
    bool CutShort() const { return cutShort_; }
    // Bytes after the response's end (a server that says more than it should): the connection
    // is not to be reused then.
    std::uint64_t Surplus() const { return surplus_; }
    // The status code (0 until the header is done).
    int Status() const { return status_; }
    // Seconds of a Retry-After line (-1 when there is none or it is a date).
    int RetryAfterSeconds() const { return retryAfter_; }

private:
    State TakeHeader(std::string& out);
    State Body(std::string_view bytes, std::string& out);
    State Decoded(std::string_view bytes, std::string& out);

    std::uint64_t maxDecoded_;
    std::string header_;
    bool started_ = false;
    bool headerDone_ = false;
    int status_ = 0;
    int retryAfter_ = -1;
    bool keepAlive_ = false;
    enum class Framing { None, Length, Chunked, Close } framing_ = Framing::None;
    std::uint64_t left_ = 0; // Length: body bytes still to come
    std::unique_ptr<TChunkedDecoder> chunked_;
    std::unique_ptr<TContentDecoder> content_;
    std::string piece_; // a chunked body's bytes between the two decoders
    State state_ = State::More;
    bool cutShort_ = false;
    std::uint64_t surplus_ = 0;
};

} // namespace gathra
