#pragma once
#include "Brief/WebList.h"
#include "Imports/BookmarkOutline.h"

#include <string>
#include <vector>

namespace gathra {

// The most characters of a bookmark's title that become an entry's name.
inline constexpr std::size_t kBookmarkNameCharacters = 256;

// A bookmark as it travels into a brief: dragged from a bookmark window or imported.
struct BookmarkEntry {
    std::string Name;
    std::string Address;
};

// The entry name a title gives: at most 256 characters (never cut inside a UTF-8 character).
std::string BookmarkEntryName(const std::string& title);

// Copy in a bookmark window: the buffer becomes a new web entry of the item, active, depth 1,
// no images, no other files, local links only, named after the item's title (an item without
// one makes an unnamed entry, shown by its address, as a cleared name does). False (the
// buffer unchanged) when there is no such item or its address is too long for a brief.
bool BookmarkToBuffer(const TBookmarkOutline& outline, int item, TWebPage& buffer);

// What the given outline items make: their bookmarks, in order. Items without an address
// (folders) and addresses too long for a brief make none.
std::vector<BookmarkEntry> BookmarkEntries(const TBookmarkOutline& outline,
                                           const std::vector<int>& items);

// Bookmarks dropped on `row` of a brief: each becomes a new web entry inserted at row + the
// number made before it (a row at or past the end appends), named after its title and with
// NameSet 1; a bookmark without a title is shown by its address. Returns how many were made
// (fewer when the brief fills up).
int DropBookmarks(TWebList& list, const std::vector<BookmarkEntry>& bookmarks, int row);

} // namespace gathra
