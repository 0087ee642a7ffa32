#include "Html/TagPairs.h"

#include "Html/HtmlScanner.h"

#include <cstring>

namespace gathra {
namespace {

size_t FindMark(std::string_view text, char c, size_t from) {
    if (from >= text.size()) return kNone;
    const void* hit = std::memchr(text.data() + from, c, text.size() - from);
    return hit == nullptr ? kNone
                          : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

} // namespace

TagPairs TagPairs::OfMarkedCopy(std::string_view marked) {
    TagPairs pairs(marked);
    pairs.marked_ = true;
    return pairs;
}

bool TagPairs::OpensTag(size_t at) const {
    if (at + 1 >= page_.size()) return false;
    const char c = page_[at + 1];
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}

// The pairing of MarkTags, one tag at a time: each ">" closes the "<" still waiting for one; of
// two "<" without a ">" between them the first stays when it opens a tag, else the second takes
// its place; a ">" with nothing waiting stands in text.
bool TagPairs::Advance() {
    const size_t size = page_.size();
    size_t open = open_;
    for (; pos_ < size; ++pos_) {
        const char c = page_[pos_];
        if (c == '<') {
            if (open == kNone || !OpensTag(open)) open = pos_;
        } else if (c == '>' && open != kNone) {
            start_ = open;
            end_ = pos_++;
            open_ = kNone;
            return true;
        }
    }
    open_ = kNone;
    if (open == kNone) return false;
    // A tag without its ">" ends the scan where it begins.
    start_ = open;
    end_ = kNone;
    return true;
}

bool TagPairs::Next(size_t from, size_t& start, size_t& end) {
    if (marked_) {
        start = FindMark(page_, kTagStartMark, from);
        if (start == kNone) return false;
        end = FindMark(page_, kTagEndMark, start + 1);
        return end != kNone;
    }
    while (!have_ || start_ < from) {
        if (!Advance()) return false;
        have_ = true;
    }
    start = start_;
    end = end_;
    return end_ != kNone;
}

} // namespace gathra
