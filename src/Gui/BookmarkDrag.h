#pragma once
#include "Imports/BookmarkEntries.h"

#include <QByteArray>
#include <optional>
#include <vector>

class QMimeData;

namespace gathra {

// A drag from a bookmark window carries the bookmarks it imports (name and address of each), so
// that the brief window it is dropped on needs nothing of the bookmark window.
inline constexpr const char* kBookmarkDragMimeType = "application/x-gathralight-bookmarks";

QByteArray EncodeBookmarkDrag(const std::vector<BookmarkEntry>& bookmarks);
// The bookmarks of a drag from a bookmark window; none when the drag is not one.
std::optional<std::vector<BookmarkEntry>> DecodeBookmarkDrag(const QMimeData* mime);

} // namespace gathra
