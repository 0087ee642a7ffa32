// A hostile server's response, fed block by block to the client's reading code as it would
// arrive from the socket: the header end, the content type, the size and time bounds, then the
// status line and a redirect's location as the client reads them, and the request it would send
// next. Two leading bytes choose the options (images, binaries, a binary redirect before, a body
// sink for the bodies of files, a sink that fills up, small files held before the sink), the
// block sizes and how fast time passes.
// A body given to the sink must leave the client reading the same status, location and type as
// the whole response held in memory.
// The body after the header also goes through the body decoders: the chunked transfer coding
// when the header names it, then the content coding the header names (or, by the option byte's
// two high bits, gzip, deflate or none whatever the header says). Fed in blocks they must end
// as fed whole, give out the same bytes when they succeed, and never pass their bounds.
#include "Net/BodyDecoder.h"
#include "Net/HttpClient.h"
#include "Net/HttpText.h"
#include "Net/ResponseReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace gathra;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// Keeps what it is given, up to its room.
class MemorySink : public TBodySink {
public:
    explicit MemorySink(size_t room) : room_(room) {}
    bool Write(std::string_view bytes) override {
        if (bytes.size() > room_) return false;
        room_ -= bytes.size();
        Body.append(bytes);
        return true;
    }
    std::string Body;

private:
    size_t room_;
};

// The request the client would send for target: one request line free of control bytes and
// blanks, then the fixed header lines.
void CheckRequest(const std::string& target) {
    if (!http::IsSendableAddress(target)) return;
    const std::string request = http::BuildRequest(target, false, false, "", "", "comment\r\nX");
    const size_t lineEnd = request.find("\r\n");
    Check(lineEnd != std::string::npos);
    const std::string_view line(request.data(), lineEnd);
    Check(line.substr(0, 4) == "GET " && line.size() >= 4 + 1 + 9);
    Check(line.substr(line.size() - 9) == " HTTP/1.0");
    for (char c : line.substr(4, line.size() - 13))
        Check(static_cast<unsigned char>(c) > 0x20 && c != 0x7F);
    // Request line, agent, host and accept lines, and the blank line: nothing more.
    size_t lines = 0;
    for (size_t at = request.find("\r\n"); at != std::string::npos;
         at = request.find("\r\n", at + 2))
        ++lines;
    Check(lines == 5);
    Check(request.find('\n') == lineEnd + 1);
}

// Feeds input to decoder in blocks of blockSize, then ends it; the bytes given out.
template <class Decoder>
std::string FeedBlocks(Decoder& decoder, std::string_view input, size_t blockSize) {
    std::string out;
    for (size_t at = 0; at < input.size(); at += blockSize)
        decoder.Feed(input.substr(at, blockSize), out);
    decoder.Finish();
    return out;
}

void CheckChunked(std::string_view body, size_t blockSize, std::string& decoded) {
    TChunkedDecoder whole;
    std::string wholeOut;
    whole.Feed(body, wholeOut);
    whole.Finish();
    TChunkedDecoder blocks;
    decoded = FeedBlocks(blocks, body, blockSize);
    Check(blocks.Current() == whole.Current() && blocks.Error() == whole.Error());
    Check(decoded == wholeOut && blocks.BodyBytes() == decoded.size());
    Check(blocks.Surplus() == whole.Surplus() && blocks.Surplus() <= body.size());
    Check(decoded.size() <= body.size());
    Check((blocks.Current() == TChunkedDecoder::State::Failed) ==
          (blocks.Error() != TChunkedDecoder::Fault::None));
    Check(blocks.Current() != TChunkedDecoder::State::More);
}

void CheckContent(TContentDecoder::Coding coding, std::string_view body, size_t blockSize) {
    constexpr std::uint64_t kLimit = 4096;
    TContentDecoder whole(coding, kLimit);
    std::string wholeOut;
    whole.Feed(body, wholeOut);
    whole.Finish();
    TContentDecoder blocks(coding, kLimit);
    const std::string out = FeedBlocks(blocks, body, blockSize);
    Check(out.size() == blocks.Decoded() && out.size() <= kLimit);
    Check(wholeOut.size() == whole.Decoded() && wholeOut.size() <= kLimit);
    Check(blocks.Current() == whole.Current());
    Check(blocks.Current() != TContentDecoder::State::More);
    if (blocks.Current() == TContentDecoder::State::Complete ||
        blocks.Current() == TContentDecoder::State::TooLarge)
        Check(out == wholeOut);
    if (blocks.Current() == TContentDecoder::State::TooLarge) Check(out.size() == kLimit);
    if (blocks.Current() == TContentDecoder::State::Complete) {
        Check(blocks.Surplus() == whole.Surplus());
        if (coding == TContentDecoder::Coding::Identity) Check(out == body);
    }
}

void CheckBodyDecoders(std::string_view response, std::uint8_t options, size_t blockSize) {
    size_t headerEnd = FindHeaderEnd(response);
    if (headerEnd == std::string_view::npos) headerEnd = 0;
    std::string header(response.substr(0, headerEnd));
    for (char& c : header)
        c = http::Lower(c);
    std::string_view body = response.substr(headerEnd);
    std::string unchunked;
    if (http::HeaderValue(header, "transfer-encoding:") == "chunked") {
        CheckChunked(body, blockSize, unchunked);
        body = unchunked;
    }
    using Coding = TContentDecoder::Coding;
    static constexpr Coding kForced[] = {Coding::Unknown, Coding::Gzip, Coding::Deflate,
                                         Coding::Identity};
    Coding coding = kForced[options >> 6];
    if (coding == Coding::Unknown)
        coding = TContentDecoder::CodingOf(http::HeaderValue(header, "content-encoding:"));
    if (coding != Coding::Unknown) CheckContent(coding, body, blockSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t options = data[0];
    const std::uint8_t pacing = data[1];
    const std::string_view response(reinterpret_cast<const char*>(data) + 2, size - 2);

    TResponseReader::Limits limits;
    limits.MaxResponseBytes = 6000;
    limits.MaxPageBytes = 3000;
    limits.HeaderTimeMs = 600;
    limits.RateStretchMs = 300;
    limits.MinStretchBytes = 64;
    limits.SpoolAfterBytes = (options & 32) != 0 ? 200 : 0;
    TResponseBuffer buffer;
    MemorySink sink((options & 16) != 0 ? 100 : static_cast<size_t>(-1));
    TResponseReader reader(buffer, (options & 1) != 0, (options & 2) != 0, (options & 4) != 0,
                           limits, 0, (options & 8) != 0 ? &sink : nullptr);

    const size_t blockSize = 1 + (pacing & 0x3F);
    const std::int64_t stepMs = (pacing >> 6) * 40;
    CheckBodyDecoders(response, options, blockSize);
    std::int64_t now = 0;
    TResponseReader::Step step = TResponseReader::Step::More;
    size_t fed = 0;
    for (size_t at = 0; at < response.size() && step == TResponseReader::Step::More;
         at += blockSize) {
        const std::string_view block = response.substr(at, blockSize);
        step = reader.Feed(block, now);
        fed += block.size();
        now += stepMs;
        Check(buffer.Size() <= limits.MaxResponseBytes);
        // A body that goes to the sink leaves the header alone in memory.
        if (reader.Spooling()) Check(FindHeaderEnd(buffer.Bytes()) == buffer.Size());
    }
    Check(reader.Received() == fed || step != TResponseReader::Step::More);
    if (reader.Spooling())
        Check((reader.IsBinary() || http::IsOtherText(buffer.Bytes())) && (options & 8) != 0);
    switch (step) {
    case TResponseReader::Step::Unstored:
        Check(reader.Spooling() && (options & 16) != 0);
        return 0;
    case TResponseReader::Step::Refused:
        Check(buffer.Empty() || reader.HeaderDone());
        return 0;
    case TResponseReader::Step::TimedOut:
        Check(!reader.HeaderDone());
        return 0;
    case TResponseReader::Step::TooSlow:
        Check(reader.HeaderDone());
        return 0;
    case TResponseReader::Step::Complete:
        Check(reader.WasCut() && !reader.IsBinary());
        Check(buffer.Size() == limits.MaxPageBytes + kPageCutNotice.size());
        break;
    case TResponseReader::Step::More:
        Check(buffer.Bytes() + sink.Body == response);
        break;
    }
    buffer.AppendNul();

    size_t codeEnd = 0;
    const int code = http::FindStatus(buffer.Bytes(), codeEnd);
    Check(code >= -1 && code <= 999 && codeEnd <= buffer.Size());
    if (reader.Spooling()) {
        // The client reads the header alone as it would the whole response.
        std::string whole = buffer.Bytes().substr(0, buffer.Size() - 1) + sink.Body;
        whole.push_back('\0');
        size_t wholeEnd = 0;
        Check(code == 200 || code == 203);
        Check(http::FindStatus(whole, wholeEnd) == code && wholeEnd == codeEnd);
        Check(http::IsOtherText(whole) == http::IsOtherText(buffer.Bytes()));
        return 0;
    }
    if (code >= 300 && code <= 303) {
        std::string value;
        if (http::FindLocation(buffer.Bytes(), codeEnd, value) && !value.empty()) {
            const std::string next = http::RedirectTarget("fuzz.example/dir/page.htm", value);
            Check(next.find_first_of("\r\n") == std::string::npos);
            CheckRequest(next);
        }
    }
    CheckRequest(std::string("fuzz.example/") + std::string(response.substr(0, 200)));
    PrepareBody(buffer, true);
    return 0;
}
