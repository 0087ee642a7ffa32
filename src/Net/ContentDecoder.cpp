// The one file that uses zlib.
#include "Net/BodyDecoder.h"
#include "Net/HttpText.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace gathra {

namespace {

// zlib's window sizes: 15 is the largest window; adding 16 reads the gzip wrapping, a negative
// size reads raw deflate data without any wrapping.
constexpr int kZlibWindow = 15;
constexpr int kGzipWindow = 16 + 15;
constexpr int kRawWindow = -15;

// Decoded bytes are taken from zlib in pieces of this size.
constexpr std::size_t kOutputPiece = 16384;

// Whether two bytes open a zlib stream: deflate as its method, a window of at most 32 KiB, the
// check bits right and no preset dictionary (which no server can have agreed with us).
bool IsZlibHeader(unsigned char first, unsigned char second) {
    return (first & 0x0F) == 8 && (first >> 4) <= 7 && ((first << 8) | second) % 31 == 0 &&
           (second & 0x20) == 0;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && http::IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && http::IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() && http::StartsWithNoCase(text, lower);
}

} // namespace

struct TContentDecoder::Stream {
    z_stream z{};
    bool ready = false;

    bool Start(int window) {
        ready = inflateInit2(&z, window) == Z_OK;
        return ready;
    }
    ~Stream() {
        if (ready) inflateEnd(&z);
    }
};

TContentDecoder::Coding TContentDecoder::CodingOf(std::string_view contentEncoding) {
    const std::string_view name = TrimBlanks(contentEncoding);
    if (name.empty() || EqualsNoCase(name, "identity")) return Coding::Identity;
    if (EqualsNoCase(name, "gzip") || EqualsNoCase(name, "x-gzip")) return Coding::Gzip;
    if (EqualsNoCase(name, "deflate")) return Coding::Deflate;
    return Coding::Unknown;
}

TContentDecoder::TContentDecoder(Coding coding, std::uint64_t maxDecoded)
    : coding_(coding), max_(maxDecoded), stream_(std::make_unique<Stream>()) {
    if (coding_ == Coding::Unknown || (coding_ == Coding::Gzip && !stream_->Start(kGzipWindow)))
        state_ = State::Failed;
}

TContentDecoder::~TContentDecoder() = default;

// Gives out what fits under the limit; false (and TooLarge) when size passes it.
bool TContentDecoder::Emit(const char* bytes, std::size_t size, std::string& out) {
    const std::uint64_t room = max_ - decoded_;
    if (size > room) {
        out.append(bytes, static_cast<std::size_t>(room));
        decoded_ = max_;
        state_ = State::TooLarge;
        return false;
    }
    out.append(bytes, size);
    decoded_ += size;
    return true;
}

// Runs bytes through zlib, giving out what it decodes; used is how many of them it took (all of
// them unless the stream ended or stopped). False once the state is no longer More.
bool TContentDecoder::Inflate(std::string_view bytes, std::string& out, std::size_t& used) {
    z_stream& z = stream_->z;
    char piece[kOutputPiece];
    std::size_t left = bytes.size();
    while (state_ == State::More) {
        // zlib counts input in a 32-bit field: give it at most that much at a time.
        const std::size_t give =
            std::min<std::size_t>(left, std::numeric_limits<unsigned int>::max());
        z.next_in =
            reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + (bytes.size() - left)));
        z.avail_in = static_cast<uInt>(give);
        z.next_out = reinterpret_cast<Bytef*>(piece);
        z.avail_out = sizeof piece;
        const int result = inflate(&z, Z_NO_FLUSH);
        left -= give - z.avail_in;
        const std::size_t made = sizeof piece - z.avail_out;
        if (made > 0 && !Emit(piece, made, out)) break;
        if (result == Z_STREAM_END) {
            state_ = State::Complete;
        } else if (result == Z_BUF_ERROR) {
            break; // no progress without more input
        } else if (result != Z_OK) {
            state_ = State::Failed; // corrupt data, a preset dictionary, no memory
        } else if (left == 0 && z.avail_out != 0) {
            break; // all input taken and all output given
        }
    }
    used = bytes.size() - left;
    return state_ == State::More;
}

TContentDecoder::State TContentDecoder::Feed(std::string_view bytes, std::string& out) {
    if (state_ != State::More) {
        surplus_ += bytes.size();
        return state_;
    }
    fed_ = fed_ || !bytes.empty();
    if (coding_ == Coding::Identity) {
        const std::uint64_t room = max_ - decoded_;
        if (!Emit(bytes.data(), bytes.size(), out)) surplus_ += bytes.size() - room;
        return state_;
    }
    if (coding_ == Coding::Deflate && !stream_->ready) {
        // The first two bytes tell a zlib stream from raw deflate data.
        const std::size_t take = std::min(bytes.size(), 2 - head_.size());
        head_.append(bytes.substr(0, take));
        bytes.remove_prefix(take);
        if (head_.size() < 2) return state_;
        const bool zlib = IsZlibHeader(static_cast<unsigned char>(head_[0]),
                                       static_cast<unsigned char>(head_[1]));
        if (!stream_->Start(zlib ? kZlibWindow : kRawWindow)) return state_ = State::Failed;
        std::size_t used = 0;
        const std::string head = std::move(head_);
        if (!Inflate(head, out, used)) {
            surplus_ += head.size() - used + bytes.size();
            return state_;
        }
    }
    std::size_t used = 0;
    if (!Inflate(bytes, out, used)) surplus_ += bytes.size() - used;
    return state_;
}

TContentDecoder::State TContentDecoder::Finish() {
    if (state_ == State::More)
        state_ = (coding_ == Coding::Identity || !fed_) ? State::Complete : State::Failed;
    return state_;
}

} // namespace gathra
