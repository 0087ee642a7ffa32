// Link values come from hostile pages and redirects: resolution must never crash, and its
// result must never carry the blanks and line breaks that it promises to remove.
#include "Html/LinkResolution.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string_view base =
        split == std::string_view::npos ? "site/a/b.htm" : input.substr(0, split);
    std::string_view value = split == std::string_view::npos ? input : input.substr(split + 1);

    std::string cleaned = gathra::RemoveDotSegments(value);
    if (cleaned.find_first_of(" \t\r\n") != std::string::npos) std::abort();
    if (cleaned.size() > value.size()) std::abort();

    std::string resolved = gathra::ResolveLink(base, value);
    (void)resolved;
    return 0;
}
