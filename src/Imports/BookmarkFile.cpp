#include "Imports/BookmarkFile.h"

#include "Html/CharacterReferences.h"
#include "Html/HtmlScanner.h"
#include "Platform/WholeFile.h"
#include "Text/AsciiText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <stdexcept>

namespace gathra {

namespace {

constexpr size_t kNoPos = std::string_view::npos;

bool IsLineWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether the tag that opens at `lt` is named by `name` (lower case): the letters after "<"
// are compared without regard to case.
bool TagIs(std::string_view text, size_t lt, std::string_view name) {
    if (text.size() - lt - 1 < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (AsciiLower(text[lt + 1 + i]) != name[i]) return false;
    return true;
}

size_t FindNoCase(std::string_view text, std::string_view lowerName) {
    if (text.size() < lowerName.size()) return kNoPos;
    for (size_t i = 0; i + lowerName.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < lowerName.size() && AsciiLower(text[i + k]) == lowerName[k])
            ++k;
        if (k == lowerName.size()) return i;
    }
    return kNoPos;
}

// The value of the href attribute of one tag (from its "<" up to, not including, its ">").
std::string_view HrefOf(std::string_view tag) {
    size_t at = FindNoCase(tag, "href");
    if (at == kNoPos) return {};
    size_t eq = tag.find('=', at + 4);
    if (eq == kNoPos) return {};
    size_t v = eq + 1;
    while (v < tag.size() && IsLineWhite(tag[v]))
        ++v;
    if (v == tag.size() || tag[v] == '<') return {};
    if (tag[v] == '"' || tag[v] == '\'') {
        size_t close = tag.find(tag[v], v + 1);
        if (close == kNoPos) close = tag.size();
        return tag.substr(v + 1, close - v - 1);
    }
    size_t end = v;
    while (end < tag.size() && !IsLineWhite(tag[end]))
        ++end;
    return tag.substr(v, end - v);
}

} // namespace

bool ScanBookmarks(std::string_view text, TBookmarkOutline& outline) {
    constexpr int kMax = TBookmarkOutline::MaxLevels;
    outline.Clear();
    // parent[L]: the last item added at level L - 1, the parent of items at level L.
    std::array<int, kMax + 2> parent;
    parent.fill(-1);
    int highestSet = 0;
    size_t depth = 0; // "<dl>" minus "</dl>" so far, never below 0

    size_t pos = text.find('<');
    while (pos != kNoPos) {
        if (TagIs(text, pos, "/dl")) {
            if (depth > 0) --depth;
        } else if (TagIs(text, pos, "dl")) {
            ++depth;
        } else if (TagIs(text, pos, "dt")) {
            const size_t itemTag = text.find('<', pos + 1);
            if (itemTag == kNoPos) break;
            const size_t gt = text.find('>', itemTag + 1);
            if (gt == kNoPos) break;
            size_t titleEnd = text.find('<', gt + 1);
            if (titleEnd == kNoPos) titleEnd = text.size();

            std::string address =
                DecodeCharacterReferences(HrefOf(text.substr(itemTag, gt - itemTag)));
            if (!address.empty() && !IsImportableAddress(address)) {
                // A bookmarklet or a saved query: no item, and nothing goes under it.
                pos = titleEnd < text.size() ? titleEnd : kNoPos;
                continue;
            }
            const int level = static_cast<int>(std::min<size_t>(depth, kMax));
            // Levels 0 and 1 are the top. Deeper, the slot of the level holds the parent; when
            // it is empty the nearest filled slot above it does.
            int under = -1;
            for (int above = level; level >= 2 && above >= 1 && under < 0; --above)
                under = parent[static_cast<size_t>(above)];
            const int item = outline.Add(
                under, DecodeCharacterReferences(text.substr(gt + 1, titleEnd - gt - 1)),
                std::move(address));
            // Slots below the next level belonged to an earlier folder: a deeper item that
            // follows without an item of its own level goes under this one instead.
            if (level + 1 <= kMax) {
                for (int l = level + 2; l <= highestSet; ++l)
                    parent[static_cast<size_t>(l)] = -1;
                parent[static_cast<size_t>(level + 1)] = item;
                highestSet = std::max(highestSet, level + 1);
            }
            pos = titleEnd < text.size() ? titleEnd : kNoPos;
            continue;
        }
        pos = text.find('<', pos + 1);
    }
    return !outline.Empty();
}

std::string BookmarkWindowCaption(const std::string& path,
                                  const std::optional<std::string>& title) {
    if (title && !title->empty() && !EqualsNoCase(*title, "bookmarks")) return *title;
    const std::filesystem::path file(path);
    const std::string name = file.filename().string();
    const std::filesystem::path profile = file.parent_path();
    if ((name == "places.sqlite" || name == "Bookmarks") && profile.has_filename()) {
        const std::filesystem::path browser = profile.parent_path();
        return (browser.has_filename() ? browser.filename().string() + " " : std::string()) +
               profile.filename().string();
    }
    return name;
}

BookmarkFileKind SniffBookmarkFile(std::string_view head) {
    static constexpr std::string_view sqlite("SQLite format 3\0", 16);
    if (head.substr(0, sqlite.size()) == sqlite) return BookmarkFileKind::PlacesDatabase;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    size_t first = 0;
    while (first < head.size() && IsLineWhite(head[first]))
        ++first;
    if (first < head.size() && head[first] == '{') return BookmarkFileKind::ChromiumJson;
    return BookmarkFileKind::ExportedPage;
}

std::string BookmarkFileTooLargeText(std::uint64_t size) {
    return "This file is " + SizeText(size) + ", larger than any bookmark file can be (at most " +
           SizeText(kWholeFileLimit) + "). Gathra Light cannot load it.";
}

std::optional<TBookmarkOutline> LoadBookmarkFile(const std::string& path, Dialogs& dialogs) {
    std::optional<TBookmarkOutline> outline;
    std::string libraryError;
    std::string cause; // the system's reason when the file could not be read
    try {
        // A places database is read by SQLite from a copy: only its first bytes are read here.
        if (SniffBookmarkFile(ReadFileHead(path, 64)) == BookmarkFileKind::PlacesDatabase) {
            TBookmarkOutline read = ReadPlacesDatabase(path, &libraryError);
            if (!read.Empty()) outline = std::move(read);
        } else {
            WholeFile file = ReadWholeFile(path);
            if (file.Result == WholeFile::Outcome::TooLarge) {
                dialogs.ShowMessage(BookmarkFileTooLargeText(file.Size),
                                    kBookmarkLoadingErrorCaption, false);
                return std::nullopt;
            }
            if (!file.Ok()) cause = std::strerror(file.Error != 0 ? file.Error : EIO);
            TBookmarkOutline read;
            if (file.Ok() && SniffBookmarkFile(std::string_view(file.Bytes).substr(0, 64)) ==
                                 BookmarkFileKind::ChromiumJson) {
                read = ReadChromiumBookmarks(file.Bytes);
            } else if (file.Ok()) {
                ScanBookmarks(file.Bytes, read);
                if (std::optional<std::string> title = TitleOfPage(file.Bytes))
                    read.Title = DecodeCharacterReferences(*title);
            }
            if (!read.Empty()) outline = std::move(read);
        }
    } catch (const std::bad_alloc&) {
        outline.reset();
    } catch (const std::length_error&) {
        outline.reset();
    }
    if (!outline && !libraryError.empty())
        dialogs.ShowFailure("Gathra Light cannot read Firefox bookmark databases: the SQLite "
                            "library " +
                                std::string(PlacesLibraryName()) + " could not be loaded.",
                            kBookmarkLoadingErrorCaption, libraryError);
    else if (!outline)
        dialogs.ShowFailure(kBookmarkLoadingErrorText, kBookmarkLoadingErrorCaption, cause);
    return outline;
}

} // namespace gathra
