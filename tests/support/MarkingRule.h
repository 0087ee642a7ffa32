#pragma once
#include "Html/HtmlScanner.h"

#include <string>
#include <string_view>

namespace gathra::test {

// Checks a marked copy against the rules that tag marking promises, whatever the page holds:
//   - where "<" and ">" alternate through the whole page, every bracket is marked;
//   - a "<" that opens a tag (a letter, "/", "!" or "?" follows it), standing at the start or
//     right after a ">" as the next bracket, and followed by a ">" as the next bracket, is marked
//     together with that ">";
//   - a mark stands only where the page holds the bracket it marks.
// Answers an empty text when they hold, else what is wrong. Linear in the page's size.
inline std::string MarkingRuleBroken(std::string_view page, std::string_view marked) {
    if (marked.size() != page.size()) return "the marked copy has another length";
    bool alternate = true;
    char previous = '>';
    for (size_t i = 0; i < page.size(); ++i) {
        const char c = page[i];
        if (marked[i] == kTagStartMark && c != '<') return "a start mark without a '<'";
        if (marked[i] == kTagEndMark && c != '>') return "an end mark without a '>'";
        if (c != '<' && c != '>') continue;
        if (c == previous) alternate = false;
        previous = c;
    }
    char last = '>'; // the bracket before the current position; the start counts as after a ">"
    for (size_t i = 0; i < page.size(); ++i) {
        const char c = page[i];
        if (c != '<' && c != '>') continue;
        const char before = last;
        last = c;
        if (alternate && marked[i] != (c == '<' ? kTagStartMark : kTagEndMark))
            return "a bracket of an alternating page is unmarked at " + std::to_string(i);
        if (c != '<' || before != '>' || i + 1 >= page.size()) continue;
        const char n = page[i + 1];
        const bool opens =
            (n >= 'a' && n <= 'z') || (n >= 'A' && n <= 'Z') || n == '/' || n == '!' || n == '?';
        if (!opens) continue;
        size_t next = page.find_first_of("<>", i + 1);
        if (next == std::string_view::npos || page[next] != '>') continue;
        if (marked[i] != kTagStartMark || marked[next] != kTagEndMark)
            return "the tag at " + std::to_string(i) + " is not marked";
    }
    return {};
}

} // namespace gathra::test
