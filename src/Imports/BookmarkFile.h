#pragma once
#include "Platform/Dialogs.h"
#include "Imports/BookmarkOutline.h"
#include "Html/CharacterReferences.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

inline constexpr const char* kBookmarkLoadingErrorText =
    "This file is either corrupt or is not a Bookmark file. Gathra Light cannot load it.";
inline constexpr const char* kBookmarkLoadingErrorCaption = "Bookmark File Loading Error";

// The kinds of file a bookmark window opens.
enum class BookmarkFileKind {
    ExportedPage,   // "Export bookmarks to HTML" of every browser (nested <DL> lists)
    PlacesDatabase, // a Firefox profile's places.sqlite
    ChromiumJson,   // the "Bookmarks" file of a Chromium, Chrome or Edge profile
};

// Tells the kind by the file's first bytes.
BookmarkFileKind SniffBookmarkFile(std::string_view head);

// Scans an exported bookmark page into `outline` (cleared first). Each "<dt>" makes an item from
// the tag after it: its title is the text up to the next "<", its address the tag's href value
// (in double, single or no quotes). "<dl>" opens a level and "</dl>" closes one; an item at
// level 2 or deeper becomes a child of the last item of the level above. Levels deeper than
// TBookmarkOutline::MaxLevels are kept at that level, and a "</dl>" without an open level is
// ignored. Character references in titles and addresses are decoded ("&amp;" shows as "&").
// Linear in the text's length. True when the page held at least one item.
bool ScanBookmarks(std::string_view text, TBookmarkOutline& outline);

// The message for a bookmark file of `size` bytes, past the size any bookmark file can have:
// such a file is refused before it is read.
std::string BookmarkFileTooLargeText(std::uint64_t size);

// Reads a bookmark file of any kind. Without a tree (unreadable, not a bookmark file, or no
// item at all) the loading error is shown and nothing is returned. A places database read
// while SQLite cannot be loaded gets its own message (with the same caption), which names the
// library, and the dynamic linker's reason as its cause.
std::optional<TBookmarkOutline> LoadBookmarkFile(const std::string& path, Dialogs& dialogs);

// The caption of a bookmark window: the file's own title, unless it is the "Bookmarks" that
// browsers give every export; else, for a browser's own file ("places.sqlite", "Bookmarks"), the
// folders of its browser and profile ("firefox abc.default-release", "chromium Default"); else
// the file's name.
std::string BookmarkWindowCaption(const std::string& path, const std::optional<std::string>& title);

// The readers of the browsers' own files; each gives an empty tree when it cannot read the file.
// The root folders become top-level folders in the browser's order, each holding its folders
// and bookmarks in the browser's order.
// A places database is read with SQLite, which is loaded on the first read; when it cannot be,
// the tree is empty and libraryError (when given) says why.
TBookmarkOutline ReadPlacesDatabase(const std::string& path, std::string* libraryError = nullptr);
// The mkdtemp(3) pattern of the folder a places database is copied into while it is read: in
// $TMPDIR, else /tmp. mkdtemp makes it for this user alone; it is removed after the read.
std::string PlacesCopyFolderPattern();
// The file name (soname) of the SQLite library ReadPlacesDatabase loads.
std::string_view PlacesLibraryName();
TBookmarkOutline ReadChromiumBookmarks(std::string_view json);

} // namespace gathra
