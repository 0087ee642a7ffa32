#pragma once
#include "Imports/BookmarkFile.h"

#include <string>

namespace gathra::test {

// A bookmark tree as one line per item: two blanks per level below the top, the title, and the
// address in angle brackets when there is one.
inline std::string Tree(const TBookmarkOutline& outline) {
    std::string out;
    for (int i : outline.InOrder()) {
        const TBookmarkItem& item = outline.Item(i);
        out += std::string(static_cast<size_t>(2 * (item.Level - 1)), ' ') + item.Text;
        if (!item.Address.empty()) out += " <" + item.Address + ">";
        out += "\n";
    }
    return out;
}

} // namespace gathra::test
