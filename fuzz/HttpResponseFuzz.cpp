// A hostile server's response, fed block by block to the client's reading code as it would
// arrive from the socket: the header end, the content type, the size and time bounds, then the
// status line and a redirect's location as the client reads them, and the request it would send
// next. Two leading bytes choose the options, the block sizes and how fast time passes.
#include "Engine/HttpClient.h"
#include "Engine/HttpText.h"
#include "Engine/ResponseReader.h"

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
    TResponseBuffer buffer;
    TResponseReader reader(buffer, (options & 1) != 0, (options & 2) != 0, (options & 4) != 0,
                           limits, 0);

    const size_t blockSize = 1 + (pacing & 0x3F);
    const std::int64_t stepMs = (pacing >> 6) * 40;
    std::int64_t now = 0;
    TResponseReader::Step step = TResponseReader::Step::More;
    for (size_t at = 0; at < response.size() && step == TResponseReader::Step::More;
         at += blockSize) {
        step = reader.Feed(response.substr(at, blockSize), now);
        now += stepMs;
        Check(buffer.Size() <= limits.MaxResponseBytes);
    }
    switch (step) {
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
        Check(buffer.Bytes() == response);
        break;
    }
    buffer.AppendNul();

    size_t codeEnd = 0;
    const int code = http::FindStatus(buffer.Bytes(), codeEnd);
    Check(code >= -1 && code <= 999 && codeEnd <= buffer.Size());
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
