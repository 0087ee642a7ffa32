#include "Imports/BookmarkFile.h"
#include "Text/Utf8.h"

#include "Html/HtmlScanner.h"
#include "Platform/WholeFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

namespace gathra {

namespace {

constexpr size_t kNoPos = std::string_view::npos;

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLineWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Whether the tag that opens at `lt` is named by `name` (lower case): the letters after "<"
// are compared without regard to case.
bool TagIs(std::string_view text, size_t lt, std::string_view name) {
    if (text.size() - lt - 1 < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (Lower(text[lt + 1 + i]) != name[i]) return false;
    return true;
}

size_t FindNoCase(std::string_view text, std::string_view lowerName) {
    if (text.size() < lowerName.size()) return kNoPos;
    for (size_t i = 0; i + lowerName.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < lowerName.size() && Lower(text[i + k]) == lowerName[k])
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

// The code point of the reference between "&" and ";" (exclusive), or 0 when it is not one.
unsigned long ReferenceValue(std::string_view name) {
    struct Named {
        const char* Name;
        unsigned long Value;
    };
    static const Named named[] = {{"amp", '&'},  {"lt", '<'},    {"gt", '>'},
                                  {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}};
    for (const Named& n : named)
        if (name == n.Name) return n.Value;
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    unsigned long value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return 0;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(d);
    }
    // NUL, surrogates and values past Unicode are no characters.
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return value;
}

} // namespace

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t amp = text.find('&', i);
        if (amp == kNoPos) amp = text.size();
        out.append(text.substr(i, amp - i));
        if (amp == text.size()) break;
        // A reference is short; look no further than its longest form for the ";".
        size_t semi = text.substr(amp, 12).find(';');
        unsigned long value = semi == kNoPos ? 0 : ReferenceValue(text.substr(amp + 1, semi - 1));
        if (value == 0) {
            out += '&';
            i = amp + 1;
        } else {
            AppendUtf8(out, static_cast<std::uint32_t>(value));
            i = amp + semi + 1;
        }
    }
    return out;
}

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

            const int level = static_cast<int>(std::min<size_t>(depth, kMax));
            // Levels 0 and 1 are the top. Deeper, the slot of the level holds the parent; when
            // it is empty the nearest filled slot above it does.
            int under = -1;
            for (int above = level; level >= 2 && above >= 1 && under < 0; --above)
                under = parent[static_cast<size_t>(above)];
            const int item = outline.Add(
                under, DecodeCharacterReferences(text.substr(gt + 1, titleEnd - gt - 1)),
                DecodeCharacterReferences(HrefOf(text.substr(itemTag, gt - itemTag))));
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
