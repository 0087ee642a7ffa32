#include "Net/BodyDecoder.h"

#include <algorithm>

namespace gathra {

namespace {

// A chunk size of more than this many bytes is refused as a bad size (no real body comes near
// it, and the count of bytes left must not wrap).
constexpr std::uint64_t kMaxChunkSize = std::uint64_t{1} << 60;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads "1*HEXDIG [BWS ';' extensions]" into size; false for anything else.
bool ParseSizeLine(std::string_view line, std::uint64_t& size) {
    size = 0;
    std::size_t at = 0;
    for (; at < line.size(); ++at) {
        const int digit = HexValue(line[at]);
        if (digit < 0) break;
        if (size > kMaxChunkSize / 16) return false;
        size = size * 16 + static_cast<std::uint64_t>(digit);
    }
    if (at == 0) return false;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    // The extensions are read past whatever they hold: no extension means anything to us.
    return at == line.size() || line[at] == ';';
}

} // namespace

TChunkedDecoder::State TChunkedDecoder::Fail(Fault fault) {
    state_ = State::Failed;
    fault_ = fault;
    line_.clear();
    line_.shrink_to_fit();
    return state_;
}

// Adds the bytes of rest up to the next LF to the line being read; ended tells whether the LF
// came (it and a CR before it are not kept).
bool TChunkedDecoder::TakeLine(std::string_view& rest, bool& ended) {
    const std::size_t lf = rest.find('\n');
    ended = lf != std::string_view::npos;
    const std::size_t take = ended ? lf : rest.size();
    if (line_.size() + take > MaxLineBytes) {
        Fail(Fault::LongLine);
        return false;
    }
    line_.append(rest.substr(0, take));
    rest.remove_prefix(ended ? lf + 1 : take);
    if (ended && !line_.empty() && line_.back() == '\r') line_.pop_back();
    return true;
}

bool TChunkedDecoder::EndSizeLine() {
    std::uint64_t size = 0;
    if (!ParseSizeLine(line_, size)) {
        Fail(Fault::BadSize);
        return false;
    }
    line_.clear();
    if (size == 0) {
        part_ = Part::Trailer;
    } else {
        part_ = Part::Data;
        left_ = size;
    }
    return true;
}

bool TChunkedDecoder::EndTrailerLine() {
    if (line_.empty()) {
        state_ = State::Complete;
        return true;
    }
    trailer_ += line_.size();
    line_.clear();
    if (trailer_ > MaxTrailerBytes) {
        Fail(Fault::LongTrailer);
        return false;
    }
    return true;
}

TChunkedDecoder::State TChunkedDecoder::Feed(std::string_view bytes, std::string& out) {
    if (state_ == State::Complete) surplus_ += bytes.size();
    if (state_ != State::More) return state_;
    std::string_view rest = bytes;
    while (!rest.empty() && state_ == State::More) {
        bool ended = false;
        switch (part_) {
        case Part::SizeLine:
            if (!TakeLine(rest, ended) || (ended && !EndSizeLine())) return state_;
            break;
        case Part::Data: {
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(left_, rest.size()));
            out.append(rest.substr(0, take));
            rest.remove_prefix(take);
            body_ += take;
            left_ -= take;
            if (left_ == 0) {
                part_ = Part::DataEnd;
                sawCr_ = false;
            }
            break;
        }
        case Part::DataEnd:
            if (rest.front() == '\r' && !sawCr_) {
                sawCr_ = true;
            } else if (rest.front() == '\n') {
                part_ = Part::SizeLine;
            } else {
                return Fail(Fault::BadChunkEnd);
            }
            rest.remove_prefix(1);
            break;
        case Part::Trailer:
            if (!TakeLine(rest, ended) || (ended && !EndTrailerLine())) return state_;
            break;
        }
    }
    if (state_ == State::Complete) surplus_ += rest.size();
    return state_;
}

TChunkedDecoder::State TChunkedDecoder::Finish() {
    if (state_ == State::More) Fail(Fault::CutShort);
    return state_;
}

} // namespace gathra
