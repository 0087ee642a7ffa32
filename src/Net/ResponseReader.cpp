#include "Net/ResponseReader.h"

#include "Net/HttpClient.h"
#include "Net/HttpText.h"

#include <algorithm>
#include <string>

namespace gathra {

using namespace http;

TResponseReader::TResponseReader(TResponseBuffer& buffer, bool loadImages, bool loadBinaries,
                                 bool isBinary, const Limits& limits, std::int64_t startMs,
                                 TBodySink* sink)
    : buffer_(buffer), loadImages_(loadImages), loadBinaries_(loadBinaries), isBinary_(isBinary),
      limits_(limits), startMs_(startMs), sink_(sink) {}

TResponseReader::Step TResponseReader::Feed(std::string_view block, std::int64_t nowMs) {
    if (!headerDone_ && nowMs - startMs_ > limits_.HeaderTimeMs) return Step::TimedOut;
    if (spooling_) {
        received_ += block.size();
        if (!block.empty() && !sink_->Write(block)) return Step::Unstored;
        return CheckRate(nowMs);
    }
    if (buffer_.Size() + block.size() > limits_.MaxResponseBytes) {
        // Holding it would exhaust memory; it is refused like an unwanted content type.
        buffer_.Clear();
        return Step::Refused;
    }
    buffer_.Append(block);
    received_ += block.size();

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

    if (fileBody_) {
        // A small file is held and written whole, as any file: the body goes to the sink only
        // once it is larger.
        if (buffer_.Size() - headerEnd_ <= limits_.SpoolAfterBytes) return CheckRate(nowMs);
        spooling_ = true;
        const bool kept = sink_->Write(std::string_view(buffer_.Bytes()).substr(headerEnd_));
        buffer_.MutableBytes().resize(headerEnd_);
        buffer_.Seek(headerEnd_);
        return kept ? CheckRate(nowMs) : Step::Unstored;
    }
    if (!isBinary_ && buffer_.Size() > limits_.MaxPageBytes) {
        buffer_.MutableBytes().resize(limits_.MaxPageBytes);
        buffer_.Append(kPageCutNotice);
        cut_ = true;
        return Step::Complete;
    }
    return CheckRate(nowMs);
}

TResponseReader::Step TResponseReader::CheckRate(std::int64_t nowMs) {
    if (nowMs - stretchStartMs_ >= limits_.RateStretchMs) {
        if (received_ - stretchStartSize_ < limits_.MinStretchBytes) return Step::TooSlow;
        stretchStartMs_ = nowMs;
        stretchStartSize_ = received_;
    }
    return Step::More;
}

TResponseReader::Step TResponseReader::TakeHeader(std::size_t end, std::int64_t nowMs) {
    headerDone_ = true;
    // The body's rate is measured from here; the header had its own bound.
    stretchStartMs_ = nowMs;
    stretchStartSize_ = received_;
    std::string header = buffer_.Bytes().substr(0, end);
    std::transform(header.begin(), header.end(), header.begin(), Lower);
    if (header.find("content-length:") != std::string::npos)
        announced_ = ContentLengthOf(HeaderValue(header, "content-length:"));
    const std::string_view type = HeaderValue(header, "content-type:");
    if (!AcceptContentType(type, loadImages_, loadBinaries_, isBinary_)) {
        refusedType_.assign(type);
        return Step::Refused;
    }
    if (sink_ != nullptr && (isBinary_ || IsOtherTextType(type))) {
        // A file (binary, or text that is not HTML) is stored as it came, but only a document:
        // any other status is read from the whole response (a notice, a redirect's location),
        // so its body stays in memory. The status must stand in the header itself, where it is
        // read the same with or without the body.
        size_t codeEnd = 0;
        const int code = FindStatus(std::string_view(buffer_.Bytes()).substr(0, end), codeEnd);
        fileBody_ = code == 200 || code == 203;
        headerEnd_ = end;
    }
    return Step::More;
}

} // namespace gathra
