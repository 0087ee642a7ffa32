#include "Engine/ResponseReader.h"

#include "Engine/HttpClient.h"
#include "Engine/HttpText.h"

#include <algorithm>
#include <string>

namespace gathra {

using namespace http;

TResponseReader::TResponseReader(TResponseBuffer& buffer, bool loadImages, bool loadBinaries,
                                 bool isBinary, const Limits& limits, std::int64_t startMs)
    : buffer_(buffer), loadImages_(loadImages), loadBinaries_(loadBinaries), isBinary_(isBinary),
      limits_(limits), startMs_(startMs) {}

TResponseReader::Step TResponseReader::Feed(std::string_view block, std::int64_t nowMs) {
    if (!headerDone_ && nowMs - startMs_ > limits_.HeaderTimeMs) return Step::TimedOut;
    if (buffer_.Size() + block.size() > limits_.MaxResponseBytes) {
        // Holding it would exhaust memory; it is refused like an unwanted content type.
        buffer_.Clear();
        return Step::Refused;
    }
    buffer_.Append(block);

    if (!headerDone_) {
        const std::string_view data(buffer_.Bytes());
        size_t end = FindHeaderEnd(data.substr(resume_));
        if (end == std::string_view::npos) {
            // Header lines without end are no page.
            if (data.size() > limits_.MaxPageBytes) {
                buffer_.Clear();
                return Step::Refused;
            }
            // A header end split across two blocks is at most four bytes long.
            resume_ = data.size() > 3 ? data.size() - 3 : 0;
            return Step::More;
        }
        Step step = TakeHeader(resume_ + end, nowMs);
        if (step != Step::More) return step;
    }

    if (!isBinary_ && buffer_.Size() > limits_.MaxPageBytes) {
        buffer_.MutableBytes().resize(limits_.MaxPageBytes);
        buffer_.Append(kPageCutNotice);
        cut_ = true;
        return Step::Complete;
    }
    if (nowMs - stretchStartMs_ >= limits_.RateStretchMs) {
        if (buffer_.Size() - stretchStartSize_ < limits_.MinStretchBytes) return Step::TooSlow;
        stretchStartMs_ = nowMs;
        stretchStartSize_ = buffer_.Size();
    }
    return Step::More;
}

TResponseReader::Step TResponseReader::TakeHeader(std::size_t end, std::int64_t nowMs) {
    headerDone_ = true;
    // The body's rate is measured from here; the header had its own bound.
    stretchStartMs_ = nowMs;
    stretchStartSize_ = buffer_.Size();
    std::string header = buffer_.Bytes().substr(0, end);
    std::transform(header.begin(), header.end(), header.begin(), Lower);
    if (header.find("content-length:") != std::string::npos)
        announced_ = ContentLengthOf(HeaderValue(header, "content-length:"));
    const std::string_view type = HeaderValue(header, "content-type:");
    if (!AcceptContentType(type, loadImages_, loadBinaries_, isBinary_)) {
        refusedType_.assign(type);
        return Step::Refused;
    }
    return Step::More;
}

} // namespace gathra
