// Feeds arbitrary bytes to the search index's reading of a stored page: charset choice, bar
// cutting, visible text. It must never crash or read out of bounds, and what it makes is always
// valid UTF-8 without white space at either end of the text or runs of blanks inside it.
#include "Html/PageText.h"
#include "Search/StoredPages.h"
#include "Text/StoredText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void CheckText(const std::string& text) {
    if (!gathra::IsValidUtf8(text)) std::abort();
    if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) std::abort();
    if (text.find("  ") != std::string::npos) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = gathra::PageBytesAsUtf8(bytes);
    if (!gathra::IsValidUtf8(utf8)) std::abort();
    const gathra::PageText text = gathra::ExtractPageText(utf8);
    CheckText(text.Title);
    CheckText(text.Body);
    if (const auto page = gathra::ReadStoredPage(bytes)) {
        CheckText(page->Title);
        CheckText(page->Body);
        if (!gathra::IsValidUtf8(page->Address)) std::abort();
    }
    gathra::ReadSummaryEntries(bytes);
    return 0;
}
