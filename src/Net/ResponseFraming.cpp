#include "Net/ResponseFraming.h"

#include "Net/HttpClient.h"
#include "Net/HttpText.h"

#include <algorithm>
#include <charconv>

namespace gathra {

using namespace http;

namespace {

// A header larger than this is no header; the reader refuses such a response anyway.
constexpr std::size_t kMaxHeaderBytes = std::size_t(1) << 20;

// The whole value of a header field in the lowered header (to the line's end, blanks around it
// dropped), or nothing.
std::string_view FieldValue(std::string_view header, std::string_view name) {
    for (std::size_t at = header.find('\n'); at != std::string_view::npos;
         at = header.find('\n', at + 1)) {
        std::string_view line = header.substr(at + 1);
        line = line.substr(0, line.find('\n'));
        if (line.substr(0, name.size()) != name) continue;
        line.remove_prefix(name.size());
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        while (!line.empty() && (IsBlank(line.back()) || line.back() == '\r'))
            line.remove_suffix(1);
        return line;
    }
    return {};
}

// The header with the lines of the given lowered names left out.
std::string WithoutFields(std::string_view header, std::string_view lowered,
                          std::initializer_list<std::string_view> names) {
    std::string kept;
    kept.reserve(header.size());
    std::size_t at = 0;
    while (at < header.size()) {
        std::size_t end = header.find('\n', at);
        end = end == std::string_view::npos ? header.size() : end + 1;
        bool drop = false;
        if (at > 0)
            for (std::string_view name : names)
                drop = drop || lowered.substr(at, name.size()) == name;
        if (!drop) kept.append(header.substr(at, end - at));
        at = end;
    }
    return kept;
}

} // namespace

TResponseFraming::TResponseFraming(std::uint64_t maxDecoded) : maxDecoded_(maxDecoded) {}
TResponseFraming::~TResponseFraming() = default;

bool TResponseFraming::Reusable() const {
    return state_ == State::Complete && keepAlive_ && surplus_ == 0 && !cutShort_ &&
           (framing_ == Framing::Length || framing_ == Framing::Chunked ||
            framing_ == Framing::None);
}

TResponseFraming::State TResponseFraming::Feed(std::string_view bytes, std::string& out) {
    if (!bytes.empty()) started_ = true;
    if (state_ != State::More) {
        surplus_ += bytes.size();
        return state_;
    }
    if (headerDone_) return Body(bytes, out);
    const std::size_t resume = header_.size() > 3 ? header_.size() - 3 : 0;
    header_.append(bytes);
    const std::size_t end = FindHeaderEnd(std::string_view(header_).substr(resume));
    if (end == std::string_view::npos) {
        if (header_.size() > kMaxHeaderBytes) return state_ = State::Failed;
        return State::More;
    }
    std::string rest = header_.substr(resume + end);
    header_.resize(resume + end);
    State state = TakeHeader(out);
    if (state != State::More) {
        surplus_ += rest.size();
        return state;
    }
    if (state_ == State::More && !rest.empty()) return Body(rest, out);
    if (state_ != State::More) surplus_ += rest.size();
    return state_;
}

TResponseFraming::State TResponseFraming::TakeHeader(std::string& out) {
    headerDone_ = true;
    std::string lowered = header_;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    std::size_t codeEnd = 0;
    status_ = FindStatus(header_, codeEnd);
    if (status_ >= 100 && status_ < 200) {
        // An interim answer ("100 Continue"): the real one follows.
        header_.clear();
        headerDone_ = false;
        status_ = 0;
        return State::More;
    }
    const bool http11 = lowered.rfind("http/1.1", 0) == 0;
    const std::string_view connection = FieldValue(lowered, "connection:");
    keepAlive_ = connection.find("close") == std::string_view::npos &&
                 (http11 || connection.find("keep-alive") != std::string_view::npos);
    const std::string_view retry = FieldValue(lowered, "retry-after:");
    int seconds = 0;
    if (!retry.empty() && std::from_chars(retry.data(), retry.data() + retry.size(), seconds).ptr ==
                              retry.data() + retry.size())
        retryAfter_ = seconds;

    const bool chunked =
        FieldValue(lowered, "transfer-encoding:").find("chunked") != std::string_view::npos;
    const std::string_view length = FieldValue(lowered, "content-length:");
    const std::string_view type = FieldValue(lowered, "content-type:");
    TContentDecoder::Coding coding =
        TContentDecoder::CodingOf(FieldValue(lowered, "content-encoding:"));
    // A compressed file sent as such ("application/gzip" with a gzip coding) is the file itself.
    if (type.find("gzip") != std::string_view::npos ||
        type.find("x-compress") != std::string_view::npos)
        coding = TContentDecoder::Coding::Identity;
    const bool decode =
        coding == TContentDecoder::Coding::Gzip || coding == TContentDecoder::Coding::Deflate;

    if (status_ == 204 || status_ == 304) {
        framing_ = Framing::None;
    } else if (chunked) {
        framing_ = Framing::Chunked;
        chunked_ = std::make_unique<TChunkedDecoder>();
    } else if (!length.empty()) {
        std::uint64_t value = 0;
        auto parsed = std::from_chars(length.data(), length.data() + length.size(), value);
        if (parsed.ec != std::errc() || parsed.ptr != length.data() + length.size())
            return state_ = State::Failed;
        framing_ = Framing::Length;
        left_ = value;
    } else {
        framing_ = Framing::Close;
        keepAlive_ = false;
    }
    if (decode) content_ = std::make_unique<TContentDecoder>(coding, maxDecoded_);

    std::initializer_list<std::string_view> codingLines = {
        "transfer-encoding:", "content-encoding:", "content-length:"};
    std::initializer_list<std::string_view> framingLines = {"transfer-encoding:"};
    if (decode)
        out += WithoutFields(header_, lowered, codingLines);
    else if (chunked)
        out += WithoutFields(header_, lowered, framingLines);
    else
        out += header_;
    header_.clear();
    if (framing_ == Framing::None || (framing_ == Framing::Length && left_ == 0)) {
        if (content_ != nullptr && content_->Finish() == TContentDecoder::State::Failed)
            return state_ = State::Failed;
        return state_ = State::Complete;
    }
    return State::More;
}

TResponseFraming::State TResponseFraming::Body(std::string_view bytes, std::string& out) {
    switch (framing_) {
    case Framing::Length: {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(left_, bytes.size()));
        surplus_ += bytes.size() - take;
        left_ -= take;
        State state = Decoded(bytes.substr(0, take), out);
        if (state != State::More) return state;
        if (left_ > 0) return State::More;
        if (content_ != nullptr && content_->Finish() != TContentDecoder::State::Complete)
            return state_ = State::Failed;
        return state_ = State::Complete;
    }
    case Framing::Chunked: {
        piece_.clear();
        const TChunkedDecoder::State chunk = chunked_->Feed(bytes, piece_);
        if (chunk == TChunkedDecoder::State::Failed) return state_ = State::Failed;
        State state = Decoded(piece_, out);
        if (state != State::More) return state;
        if (chunk != TChunkedDecoder::State::Complete) return State::More;
        surplus_ += chunked_->Surplus();
        if (content_ != nullptr && content_->Finish() != TContentDecoder::State::Complete)
            return state_ = State::Failed;
        return state_ = State::Complete;
    }
    case Framing::Close:
        return Decoded(bytes, out);
    case Framing::None:
        break;
    }
    surplus_ += bytes.size();
    return state_;
}

TResponseFraming::State TResponseFraming::Decoded(std::string_view bytes, std::string& out) {
    if (content_ == nullptr) {
        out.append(bytes);
        return State::More;
    }
    switch (content_->Feed(bytes, out)) {
    case TContentDecoder::State::More:
        return State::More;
    case TContentDecoder::State::TooLarge:
        return state_ = State::TooLarge;
    case TContentDecoder::State::Failed:
        return state_ = State::Failed;
    case TContentDecoder::State::Complete:
        // The compressed stream ended; what framing still brings is padding at most.
        return State::More;
    }
    return State::More;
}

TResponseFraming::State TResponseFraming::Finish(std::string& out) {
    (void)out;
    if (state_ != State::More) return state_;
    if (!started_) return State::More;
    if (!headerDone_) {
        // A header cut short: what came is handed on as it stands, as a one-request connection
        // would have read it.
        out += header_;
        header_.clear();
        return state_ = State::Complete;
    }
    // A body cut short ends where it was cut, as a one-request connection's would: the caller
    // keeps a page as far as it goes and fails a file.
    cutShort_ = framing_ != Framing::Close;
    if (content_ != nullptr && content_->Finish() != TContentDecoder::State::Complete)
        return state_ = State::Failed;
    return state_ = State::Complete;
}

} // namespace gathra
