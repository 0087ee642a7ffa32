#pragma once
#include "Engine/ResponseBuffer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gathra {

// Reads one HTTP response as its bytes arrive, block by block, into a buffer: finds the end of
// the header, checks the content type, and ends a transfer that would never end by itself. It
// touches no socket, so tests and fuzzing feed it from memory; the client feeds it what the
// socket receives. Times are in milliseconds on any steady clock.
class TResponseReader {
public:
    struct Limits {
        // A response larger than this is refused (nothing of it is kept).
        std::size_t MaxResponseBytes = std::size_t(1) << 30;
        // A text response (a page, held in memory to be rewritten) is cut at this size.
        std::size_t MaxPageBytes = std::size_t(64) << 20;
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
    };

    // isBinary: what earlier responses of the same fetch found (a redirect's type carries on).
    TResponseReader(TResponseBuffer& buffer, bool loadImages, bool loadBinaries, bool isBinary,
                    const Limits& limits, std::int64_t startMs);

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

private:
    Step TakeHeader(std::size_t end, std::int64_t nowMs);

    TResponseBuffer& buffer_;
    const bool loadImages_;
    const bool loadBinaries_;
    bool isBinary_;
    const Limits limits_;
    const std::int64_t startMs_;
    std::size_t resume_ = 0; // where the search for the header end goes on
    bool headerDone_ = false;
    std::int64_t announced_ = 0;
    std::int64_t stretchStartMs_ = 0;
    std::size_t stretchStartSize_ = 0;
    bool cut_ = false;
    std::string refusedType_;
};

// The line added at the end of a page cut at its size bound.
inline constexpr std::string_view kPageCutNotice =
    "\r\n<p><b>Gathra Light stored only the first part of this page: it is larger than a page "
    "may be.</b></p>\r\n";

} // namespace gathra
