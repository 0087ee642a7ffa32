#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

// The scanner's byte-level primitives. Pages are 8-bit text ending in one NUL byte; the scanner
// knows no HTML grammar: a tag is whatever lies between a marked "<" and the next marked ">",
// and names are matched by prefix, ignoring letter case.

inline constexpr size_t kScanWindow = 4999; // bytes read or written at a time
inline constexpr char kTagStartMark = '\x01';
inline constexpr char kTagEndMark = '\x02';
inline constexpr size_t kNone = std::string_view::npos;

// Blank, tab, carriage return or line feed.
inline bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// True when `text` at `pos` begins with `name` (lower case): each letter matches either case and
// a blank in the name matches any white space. A name running past the text does not match.
bool MatchesName(std::string_view text, size_t pos, std::string_view name);

// The next "<" at or after `from` whose following bytes match `name`, or kNone.
size_t FindTag(std::string_view page, std::string_view name, size_t from);

// FindTag that remembers its last answer: searching again from a later offset that does not pass
// the remembered match answers at once, so a run of searches moving forward reads each byte of
// the page once, even when the name never occurs.
class TagFinder {
public:
    explicit TagFinder(std::string_view name) : name_(name) {}
    size_t Next(std::string_view page, size_t from);

private:
    std::string_view name_;
    bool known_ = false;
    size_t from_ = 0;
    size_t found_ = kNone;
};

// The first offset in [from, end) at which `text` begins with the attribute `name`, or kNone.
size_t FindAttribute(std::string_view text, size_t from, size_t end, std::string_view name);

// From `attr`: the first "=" before `limit`, then the first byte that is not white space; kNone
// when `limit` comes first.
size_t ValueStart(std::string_view text, size_t attr, size_t limit);

// Where the value starting at `v` ends, within `text` (kNone when it has no end there). A value
// in double or single quotes ends at its closing quote (blanks inside it included), or at a ">"
// that comes before the closing quote; an unquoted value ends at the first NUL, white space or
// ">".
// `nextGt` remembers the last ">" found, so that many values of one tag are ended in linear
// time; give the same cache for values of the same text taken in increasing order.
struct GtCache {
    size_t From = kNone;
    size_t Found = kNone;
};
size_t ValueEnd(std::string_view text, size_t v, GtCache* nextGt = nullptr);

// The first byte of a value after its opening quote.
inline size_t ValueTextStart(std::string_view text, size_t v) {
    return v < text.size() && (text[v] == '"' || text[v] == '\'') ? v + 1 : v;
}

// Replaces the brackets that bound tags in a copy of the prepared page: "<" becomes 0x01 and the
// ">" that ends its tag 0x02. Brackets that stand in text (a ">" with no tag open, a "<" that
// opens no tag and is followed by another "<" before any ">") stay as they are. On a page whose
// "<" and ">" alternate, every bracket is marked. Bytes 0x01 and 0x02 of the page itself become
// blanks in the copy, so that only real brackets bound tags. Linear in the page's size.
std::string MarkTags(std::string_view page);

// The href of the page's first base tag (without white space at its ends), or none. The tag stays,
// but its href is blanked in the page (from the attribute name up to the value's end) so that it
// names no base any more.
std::optional<std::string> TakeBaseHref(std::string& page);

// The page's title: the text between the last "<title>" and the "</title>" after it, taken
// unchanged; none when there is no such pair.
std::optional<std::string> TitleOfPage(std::string_view page);

} // namespace gathra
