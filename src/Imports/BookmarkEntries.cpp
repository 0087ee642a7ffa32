#include "Imports/BookmarkEntries.h"

#include "Text/StoredText.h"

namespace gathra {

std::string BookmarkEntryName(const std::string& title) {
    if (IsValidUtf8(title)) return CutToCharacters(title, kBookmarkNameCharacters);
    return title.substr(0, kBookmarkNameCharacters);
}

bool BookmarkToBuffer(const TBookmarkOutline& outline, int item, TWebPage& buffer) {
    if (item < 0 || item >= outline.Count()) return false;
    const TBookmarkItem& bookmark = outline.Item(item);
    if (bookmark.Address.size() > MaxStoredTextBytes) return false;
    // A fresh web entry: nothing of the entry copied before (a search entry, a lock, other
    // files) carries over to the bookmark. Its depth label already reads "1".
    buffer = TWebPage(EntryKind::Web);
    buffer.Active = 1;
    buffer.EntryName = BookmarkEntryName(bookmark.Text);
    buffer.ReservedFlag = 1;
    buffer.Address = bookmark.Address;
    buffer.SpiderDepth = 1;
    buffer.LoadImages = 0;
    buffer.UserName.clear();
    buffer.Password.clear();
    buffer.ReservedText.clear();
    buffer.LocalOnly = 1;
    // A bookmark without a title makes an unnamed entry, shown by its address.
    buffer.NameSet = buffer.EntryName.empty() ? 0 : 1;
    buffer.ApplyShownName();
    return true;
}

std::vector<BookmarkEntry> BookmarkEntries(const TBookmarkOutline& outline,
                                           const std::vector<int>& items) {
    std::vector<BookmarkEntry> out;
    for (int i : items) {
        if (i < 0 || i >= outline.Count()) continue;
        const TBookmarkItem& item = outline.Item(i);
        if (item.Address.empty() || item.Address.size() > MaxStoredTextBytes) continue;
        out.push_back({BookmarkEntryName(item.Text), item.Address});
    }
    return out;
}

int DropBookmarks(TWebList& list, const std::vector<BookmarkEntry>& bookmarks, int row) {
    if (row < 0 || row > list.Count()) row = list.Count();
    int made = 0;
    for (const BookmarkEntry& bookmark : bookmarks) {
        TWebPage* entry = list.InsertEntry(row + made, EntryKind::Web);
        if (entry == nullptr) break;
        entry->Address = bookmark.Address;
        if (bookmark.Name.empty()) {
            entry->ApplyShownName();
        } else {
            entry->EntryName = bookmark.Name;
            entry->NameSet = 1;
        }
        ++made;
    }
    return made;
}

} // namespace gathra
