#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace gathra {

// Takes a body sent with the chunked transfer coding apart as its bytes arrive: Feed gives it
// the bytes as they come off the connection and it appends the body's own bytes to out. Chunk
// extensions are read past and trailer fields are accepted and dropped. It knows where the
// message ends (after the last chunk and its trailer section), so a kept connection can carry
// the next response; bytes fed past that end are not body and are counted in Surplus().
// Lines may end with CR LF or a bare LF.
class TChunkedDecoder {
public:
    enum class State {
        More,     // the message has not ended yet
        Complete, // the last chunk and the trailer section have arrived
        Failed,   // the framing is broken (Fault() says how); nothing more is taken
    };
    enum class Fault {
        None,
        BadSize,     // a chunk size line that is not hex digits with optional extensions
        LongLine,    // a size line or a trailer line longer than MaxLineBytes
        LongTrailer, // trailer fields of more than MaxTrailerBytes in all
        BadChunkEnd, // a chunk's data not followed by its line end
        CutShort,    // the input ended (Finish) before the message did
    };
    static constexpr std::size_t MaxLineBytes = 4096;
    static constexpr std::size_t MaxTrailerBytes = 16384;

    // Appends the body bytes within bytes to out; answers the state after them. Bytes fed once
    // the message is complete are only counted (Surplus); once failed, nothing is taken.
    State Feed(std::string_view bytes, std::string& out);
    // The input has ended (the connection closed): a message still open is cut short.
    State Finish();

    State Current() const { return state_; }
    Fault Error() const { return fault_; }
    // Body bytes given out so far.
    std::uint64_t BodyBytes() const { return body_; }
    // Bytes fed after the message's end, all of them the last bytes fed: they belong to
    // whatever the connection carries next.
    std::uint64_t Surplus() const { return surplus_; }

private:
    enum class Part { SizeLine, Data, DataEnd, Trailer };
    // Each takes bytes from the front of rest and answers false when the framing failed.
    bool TakeLine(std::string_view& rest, bool& ended);
    bool EndSizeLine();
    bool EndTrailerLine();
    State Fail(Fault fault);

    State state_ = State::More;
    Fault fault_ = Fault::None;
    Part part_ = Part::SizeLine;
    std::string line_;        // the line being read (size or trailer), without its end
    std::uint64_t left_ = 0;  // data bytes still to come in the current chunk
    bool sawCr_ = false;      // DataEnd: the CR of the chunk's line end has been read
    std::size_t trailer_ = 0; // trailer bytes so far
    std::uint64_t body_ = 0;
    std::uint64_t surplus_ = 0;
};

// Undoes a content coding (gzip, or deflate in its zlib wrapping or raw, since servers send
// either under that name) as the bytes arrive, and gives out at most a limit of decoded bytes:
// a body that would decode to more stops at the limit with TooLarge, so that a small body that
// expands without end costs no more than the limit in memory and time.
class TContentDecoder {
public:
    enum class Coding {
        Identity, // no coding: bytes pass through (under the same limit)
        Gzip,
        Deflate,
        Unknown, // a coding this decoder cannot undo
    };
    enum class State {
        More,     // the coded stream has not ended yet
        Complete, // the coded stream has ended (for identity: Finish was called)
        TooLarge, // the decoded body passed the limit; out holds the first limit bytes
        Failed,   // the coded data is corrupt or was cut short (Finish before its end)
    };

    // The coding named by a Content-Encoding value ("gzip", "x-gzip", "deflate", "identity" or
    // none, in any letter case, blanks around it ignored); a list of several codings, or one
    // not named here, is Unknown.
    static Coding CodingOf(std::string_view contentEncoding);

    // coding must not be Unknown. maxDecoded bounds the bytes given out in all.
    TContentDecoder(Coding coding, std::uint64_t maxDecoded);
    ~TContentDecoder();
    TContentDecoder(const TContentDecoder&) = delete;
    TContentDecoder& operator=(const TContentDecoder&) = delete;

    // Appends the decoded bytes of bytes to out; answers the state after them. Once the state
    // is no longer More, further bytes are only counted (Surplus).
    State Feed(std::string_view bytes, std::string& out);
    // The input has ended: a coded stream that has not reached its end has failed; identity,
    // and a body of no bytes at all, complete.
    State Finish();

    State Current() const { return state_; }
    std::uint64_t Decoded() const { return decoded_; }
    // Bytes fed after the coded stream's end (or after it stopped) that were not decoded.
    std::uint64_t Surplus() const { return surplus_; }

private:
    struct Stream;
    bool Inflate(std::string_view bytes, std::string& out, std::size_t& used);
    bool Emit(const char* bytes, std::size_t size, std::string& out);

    Coding coding_;
    std::uint64_t max_;
    std::unique_ptr<Stream> stream_;
    State state_ = State::More;
    std::string head_; // deflate: the first two bytes, until they tell zlib from raw
    bool fed_ = false; // some byte has been fed (an empty body decodes to nothing)
    std::uint64_t decoded_ = 0;
    std::uint64_t surplus_ = 0;
};

} // namespace gathra
