#include "Html/HtmlScanner.h"

#include <algorithm>
#include <cstring>

namespace gathra {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool MatchesName(std::string_view text, size_t pos, std::string_view name) {
    if (pos > text.size() || text.size() - pos < name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char c = text[pos + i];
        if (name[i] == ' ') {
            if (!IsWhite(c)) return false;
        } else if (Lower(c) != name[i]) {
            return false;
        }
    }
    return true;
}

size_t FindTag(std::string_view page, std::string_view name, size_t from) {
    while (from < page.size()) {
        const void* hit = std::memchr(page.data() + from, '<', page.size() - from);
        if (hit == nullptr) return kNone;
        size_t at = static_cast<size_t>(static_cast<const char*>(hit) - page.data());
        if (MatchesName(page, at + 1, name)) return at;
        from = at + 1;
    }
    return kNone;
}

size_t TagFinder::Next(std::string_view page, size_t from) {
    if (known_ && from >= from_ && (found_ == kNone || found_ >= from)) return found_;
    known_ = true;
    from_ = from;
    found_ = FindTag(page, name_, from);
    return found_;
}

size_t FindAttribute(std::string_view text, size_t from, size_t end, std::string_view name) {
    end = std::min(end, text.size());
    if (name.empty()) return kNone;
    const char first = name[0];
    for (size_t i = from; i < end; ++i) {
        if (Lower(text[i]) == first && MatchesName(text, i, name)) return i;
    }
    return kNone;
}

size_t ValueStart(std::string_view text, size_t attr, size_t limit) {
    limit = std::min(limit, text.size());
    if (attr >= limit) return kNone;
    const void* eq = std::memchr(text.data() + attr, '=', limit - attr);
    if (eq == nullptr) return kNone;
    size_t i = static_cast<size_t>(static_cast<const char*>(eq) - text.data()) + 1;
    while (i < limit && IsWhite(text[i]))
        ++i;
    return i < limit ? i : kNone;
}

namespace {

size_t FindChar(std::string_view text, char c, size_t from) {
    if (from >= text.size()) return kNone;
    const void* hit = std::memchr(text.data() + from, c, text.size() - from);
    return hit == nullptr ? kNone
                          : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

size_t NextGt(std::string_view text, size_t from, GtCache* cache) {
    if (cache == nullptr) return FindChar(text, '>', from);
    if (cache->From != kNone && from >= cache->From &&
        (cache->Found == kNone || cache->Found >= from))
        return cache->Found;
    cache->From = from;
    cache->Found = FindChar(text, '>', from);
    return cache->Found;
}

} // namespace

size_t ValueEnd(std::string_view text, size_t v, GtCache* nextGt) {
    if (v >= text.size()) return kNone;
    const char q = text[v];
    if (q == '"' || q == '\'') {
        size_t r = FindChar(text, q, v + 1);
        size_t g = NextGt(text, v + 1, nextGt);
        if ((g != kNone && (r == kNone || g < r)) || r == kNone) return g;
        // Blanks inside the quotes belong to the value, as browsers read it ("price list.html");
        // where a link is resolved they are dropped at its ends and sent as "%20" inside.
        return r;
    }
    for (size_t i = v + 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\0') return kNone;
        if (IsWhite(c) || c == '>') return i;
    }
    return kNone;
}

namespace {

// A "<" that opens a tag is followed by a name, an end tag's "/", or the "!" and "?" of
// declarations; "a < b" and "x <= 3" are text.
bool OpensTag(std::string_view page, size_t at) {
    if (at + 1 >= page.size()) return false;
    const char c = page[at + 1];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}

} // namespace

std::string MarkTags(std::string_view page) {
    std::string marked(page);
    // One pass over the whole page pairs each ">" with the "<" still waiting for one, so a tag is
    // found wherever the window edges fall. A ">" with no "<" waiting stands in text. Of two "<"
    // without a ">" between them, the first stays when it opens a tag (a "<" in an attribute
    // value belongs to its tag), else the second takes its place (the first was text). Where "<"
    // and ">" alternate, every one of them is marked.
    size_t open = kNone;
    for (size_t i = 0; i < marked.size(); ++i) {
        char& c = marked[i];
        if (c == '<') {
            if (open == kNone || !OpensTag(page, open)) open = i;
        } else if (c == '>') {
            if (open != kNone) {
                marked[open] = kTagStartMark;
                c = kTagEndMark;
                open = kNone;
            }
        } else if (c == kTagStartMark || c == kTagEndMark) {
            c = ' ';
        }
    }
    // A tag without its ">" ends the scan where it begins.
    if (open != kNone) marked[open] = kTagStartMark;
    return marked;
}

std::optional<std::string> TakeBaseHref(std::string& page) {
    std::string_view view(page);
    size_t tag = FindTag(view, "base", 0);
    if (tag == kNone) return std::nullopt;
    std::string_view window = view.substr(tag, kScanWindow);
    size_t gt = window.find('>');
    if (gt == kNone) return std::nullopt;
    size_t href = FindAttribute(window, 0, gt, "href");
    if (href == kNone) return std::nullopt;
    size_t v = ValueStart(window, href, window.size());
    if (v == kNone || v >= gt) return std::nullopt;
    size_t end = ValueEnd(window, v);
    size_t textStart = ValueTextStart(window, v);
    std::string base;
    if (end == kNone) {
        base = std::string(window.substr(textStart, gt > textStart ? gt - textStart : 0));
        end = gt;
    } else {
        base = std::string(window.substr(textStart, end > textStart ? end - textStart : 0));
    }
    std::fill(page.begin() + static_cast<std::ptrdiff_t>(tag + href),
              page.begin() + static_cast<std::ptrdiff_t>(tag + end), ' ');
    // White space at the ends of a quoted href is no part of the address.
    size_t first = 0;
    while (first < base.size() && IsWhite(base[first]))
        ++first;
    size_t last = base.size();
    while (last > first && IsWhite(base[last - 1]))
        --last;
    return base.substr(first, last - first);
}

std::optional<std::string> TitleOfPage(std::string_view page) {
    std::optional<std::string> title;
    TagFinder closing("/title>");
    size_t at = FindTag(page, "title>", 0);
    while (at != kNone) {
        size_t end = closing.Next(page, at + 1);
        if (end != kNone && end >= at + 7) title = std::string(page.substr(at + 7, end - at - 7));
        at = FindTag(page, "title>", at + 1);
    }
    return title;
}

} // namespace gathra
