#pragma once
#include <cstddef>
#include <string_view>

namespace gathra {

// The page's tags one after another, bounded by the brackets that MarkTags would mark, found
// as the scan asks for them: no marked copy of the page is made. Positions asked for must not
// go back; each byte of the page is then read once. Blanking a base href (TakeBaseHref) between
// taking the page and scanning it changes no tag: the blanked bytes lie inside the base tag,
// before its first ">".
class TagPairs {
public:
    // Tags of `page`.
    explicit TagPairs(std::string_view page) : page_(page) {}
    // Tags as the marked copy `marked` of the page (MarkTags) bounds them.
    static TagPairs OfMarkedCopy(std::string_view marked);

    // The first tag whose "<" stands at or after `from`: its "<" and ">" positions. False when
    // there is none, or when that "<" has no ">" (a tag left open ends the page's tags).
    bool Next(size_t from, size_t& start, size_t& end);

private:
    bool Advance();
    bool OpensTag(size_t at) const;

    std::string_view page_;
    bool marked_ = false; // page_ is a marked copy: its mark bytes bound the tags

    size_t pos_ = 0;                       // next byte to read
    size_t open_ = std::string_view::npos; // the "<" waiting for its ">"
    bool have_ = false;                    // start_ and end_ hold the next tag
    size_t start_ = 0;
    size_t end_ = 0;
};

} // namespace gathra
