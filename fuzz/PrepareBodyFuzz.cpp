// Hostile responses through the parts of the HTTP client that read them: the status search, the
// header end, body preparation and the same-site test.
#include "Net/HttpClient.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace gathra;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    int code = FindStatusCode(input);
    if (code < -1 || code > 999) std::abort();

    const std::size_t headerEnd = FindHeaderEnd(input);
    if (headerEnd != std::string_view::npos && headerEnd > size) std::abort();

    for (bool hasHeader : {true, false}) {
        TResponseBuffer buffer;
        buffer.Append(input);
        buffer.AppendNul();
        buffer.SetHasHeader(hasHeader);
        PrepareBody(buffer, true);
        const std::string& out = buffer.Bytes();
        // Exactly one NUL, at the end; the body keeps its length (an emptied header end adds
        // one byte, the closing NUL that turned into a blank).
        if (out.empty() || out.back() != '\0' || out.find('\0') != out.size() - 1) std::abort();
        const std::size_t expected = (hasHeader && headerEnd != std::string_view::npos)
                                         ? size - headerEnd + 2
                                         : size + 1;
        if (out.size() != expected) std::abort();
    }

    const std::size_t half = size / 2;
    (void)IsSameSite(input.substr(0, half), input.substr(half));
    (void)IsSearchSiteLink(input);
    return 0;
}
