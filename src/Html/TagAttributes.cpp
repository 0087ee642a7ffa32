#include "Html/TagAttributes.h"

#include "Html/HtmlScanner.h"
#include "Text/AsciiText.h"

#include <algorithm>

namespace gathra {

std::vector<TagAttribute> ParseAttributes(std::string_view tag) {
    std::vector<TagAttribute> attributes;
    size_t n = tag.size();
    if (n > 0 && tag[n - 1] == '>') --n;
    size_t i = 1;
    while (i < n && !IsWhite(tag[i]) && tag[i] != '/')
        ++i;
    for (;;) {
        while (i < n && (IsWhite(tag[i]) || tag[i] == '/'))
            ++i;
        if (i >= n) break;
        TagAttribute a;
        a.Start = i;
        while (i < n && !IsWhite(tag[i]) && tag[i] != '=' && tag[i] != '/')
            ++i;
        if (i == a.Start) ++i; // a stray "=": step over it
        a.Name = tag.substr(a.Start, i - a.Start);
        size_t j = i;
        while (j < n && IsWhite(tag[j]))
            ++j;
        a.ValueStart = std::string_view::npos;
        if (j < n && tag[j] == '=') {
            ++j;
            while (j < n && IsWhite(tag[j]))
                ++j;
            if (j < n && (tag[j] == '"' || tag[j] == '\'')) {
                a.Quote = tag[j];
                a.ValueStart = j + 1;
                size_t close = tag.find(a.Quote, j + 1);
                if (close == std::string_view::npos || close > n) close = n;
                a.ValueEnd = close;
                i = std::min(close + 1, n);
            } else {
                a.ValueStart = j;
                while (j < n && !IsWhite(tag[j]))
                    ++j;
                a.ValueEnd = j;
                i = j;
            }
        }
        a.End = i;
        attributes.push_back(a);
    }
    return attributes;
}

std::string_view ValueOf(std::string_view tag, const TagAttribute& a) {
    return a.HasValue() ? tag.substr(a.ValueStart, a.ValueEnd - a.ValueStart) : std::string_view();
}

const TagAttribute* FindNamed(const std::vector<TagAttribute>& attributes, std::string_view name) {
    for (const TagAttribute& a : attributes)
        if (EqualsNoCase(a.Name, name)) return &a;
    return nullptr;
}

} // namespace gathra
