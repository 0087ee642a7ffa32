// A hostile server's response, fed block by block to the client's reading code as it would
// arrive from the socket: the header end, the content type, the size and time bounds, then the
// status line and a redirect's location as the client reads them, and the request it would send
// next. Two leading bytes choose the options (images, binaries, a binary redirect before, a body
// sink for the bodies of files, a sink that fills up, small files held before the sink), the
// block sizes and how fast time passes.
// A body given to the sink must leave the client reading the same status, location and type as
// the whole response held in memory.
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
