#pragma once
#include "Net/ResponseBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gathra {

// Where the body of a file goes instead of memory (the client's: a spool file of the run folder).
class TBodySink {
public:
    virtual ~TBodySink() = default;
    // Takes the next bytes of the body; false when they could not be kept (the transfer fails).
    virtual bool Write(std::string_view bytes) = 0;
};

// Reads one HTTP response as its bytes arrive, block by block, into a buffer: finds the end of
// the header, checks the content type, and ends a transfer that would never end by itself. It
// touches no socket, so tests and fuzzing feed it from memory; the client feeds it what the
// socket receives. Times are in milliseconds on any steady clock.
//
// Given a sink, the body of a file (a document, status 200 or 203 in the header, whose content
// type is not HTML: binary, or text such as "text/plain") goes to the sink as it arrives, once it
// is past Limits::SpoolAfterBytes, and only the header stays in the buffer: such a body is stored
// as it came and need not be held, nor cut. A page is always held, to be rewritten.
class TResponseReader {
public:
    struct Limits {
        // A response held in memory larger than this is refused (nothing of it is kept). A body
        // given to the sink has no bound here.
        std::size_t MaxResponseBytes = std::size_t(1) << 30;
        // A text response (a page, held in memory to be rewritten) is cut at this size.
        std::size_t MaxPageBytes = std::size_t(64) << 20;
        // A file's body goes to the sink once it is larger than this; a smaller one is held and
        // written whole, as before there was a sink (one file written in one go).
        std::size_t SpoolAfterBytes = std::size_t(64) << 10;
        // The header must be complete this long after the transfer began.
        std::int64_t HeaderTimeMs = 60000;
        // After the header, every stretch of this length must bring at least MinStretchBytes.
        std::int64_t RateStretchMs = 30000;
        std::size_t MinStretchBytes = 1024;
    };
    enum class Step {
        More,     // go on reading
        Complete, // the page reached its cap: stop reading, keep what is there
        Refused,  // an unwanted content type or a response over the size bound
        TimedOut, // no complete header in time
        TooSlow,  // the body came in slower than the minimum rate
        Unstored, // the sink would not take the body (a full disk, a write error)
    };

    // isBinary: what earlier responses of the same fetch found (a redirect's type carries on).
    // sink: where a binary document's body goes; null: into the buffer like everything else.
    TResponseReader(TResponseBuffer& buffer, bool loadImages, bool loadBinaries, bool isBinary,
                    const Limits& limits, std::int64_t startMs, TBodySink* sink = nullptr);

    // Takes the next block of bytes received at nowMs (empty: nothing arrived yet).
    Step Feed(std::string_view block, std::int64_t nowMs);

    bool HeaderDone() const { return headerDone_; }
    bool IsBinary() const { return isBinary_; }
    // The body length the header announced, 0 when it did not say.
    std::int64_t AnnouncedLength() const { return announced_; }
    // The page was cut at MaxPageBytes (the notice is already added at its end).
    bool WasCut() const { return cut_; }
    // The declared content type that was turned down (empty unless Feed said Refused for it).
    const std::string& RefusedType() const { return refusedType_; }
    // The body goes to the sink: it is a file's, past SpoolAfterBytes.
    bool Spooling() const { return spooling_; }
    // The body is a file's (stored as it came) rather than a page's.
    bool IsFileBody() const { return fileBody_; }
    // Every byte fed so far, header and body, wherever they went.
    std::uint64_t Received() const { return received_; }
    // A file's body (one stored as it came) that is shorter than the length its header announced:
    // when the transfer has ended, the file was cut short.
    bool FileShortOfAnnounced() const {
        return fileBody_ && announced_ > 0 &&
               received_ - headerEnd_ < static_cast<std::uint64_t>(announced_);
    }

private:
    Step TakeHeader(std::size_t end, std::int64_t nowMs);
    Step CheckRate(std::int64_t nowMs);

    TResponseBuffer& buffer_;
    const bool loadImages_;
    const bool loadBinaries_;
    bool isBinary_;
    const Limits limits_;
    const std::int64_t startMs_;
    TBodySink* const sink_;
    std::size_t resume_ = 0; // where the search for the header end goes on
    bool headerDone_ = false;
    bool fileBody_ = false;     // a file's body, for the sink once it is large enough
    std::size_t headerEnd_ = 0; // where that body begins in the buffer
    bool spooling_ = false;
    std::uint64_t received_ = 0;
    std::int64_t announced_ = 0;
    std::int64_t stretchStartMs_ = 0;
    std::uint64_t stretchStartSize_ = 0;
    bool cut_ = false;
    std::string refusedType_;
};

// The line added at the end of a page cut at its size bound.
inline constexpr std::string_view kPageCutNotice =
    "\r\n<p><b>Gathra Light stored only the first part of this page: it is larger than a page "
    "may be.</b></p>\r\n";

} // namespace gathra
