// Feeds arbitrary bytes to the bookmark scanner. It must never crash, read out of bounds or
// nest deeper than the bookmark window's deepest level, and every item it makes must sit below
// a parent that came before it.
#include "Imports/BookmarkEntries.h"
#include "Imports/BookmarkFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    gathra::TBookmarkOutline outline;
    const bool found = gathra::ScanBookmarks(text, outline);
    if (found != (outline.Count() > 0)) std::abort();
    for (int i = 0; i < outline.Count(); ++i) {
        const gathra::TBookmarkItem& item = outline.Item(i);
        if (item.Parent >= i || item.Level < 1 || item.Level > gathra::TBookmarkOutline::MaxLevels)
            std::abort();
        if ((item.Parent < 0) != (item.Level == 1)) std::abort();
        if (item.Parent >= 0 && outline.Item(item.Parent).Level + 1 != item.Level) std::abort();
    }
    if (outline.InOrder().size() != static_cast<size_t>(outline.Count())) std::abort();
    // Copy and drop take any item.
    gathra::TWebPage buffer;
    for (int i = 0; i < outline.Count() && i < 64; ++i)
        gathra::BookmarkToBuffer(outline, i, buffer);
    if (outline.Count() > 0) {
        gathra::TWebList list;
        gathra::DropBookmarks(list, gathra::BookmarkEntries(outline, outline.ItemsToImport(0)), 0);
    }
    // The same bytes as a Chromium bookmark file.
    gathra::ReadChromiumBookmarks(text);
    return 0;
}
