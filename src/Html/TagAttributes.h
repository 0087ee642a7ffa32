#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

namespace gathra {

// One attribute of a tag: its name and, when it has one, its value (without quotes).
struct TagAttribute {
    std::string_view Name;
    size_t Start = 0;      // the name's first byte
    size_t End = 0;        // just after the value (its closing quote included)
    size_t ValueStart = 0; // std::string_view::npos: no value
    size_t ValueEnd = 0;
    char Quote = 0; // the value's quote, 0 when unquoted

    bool HasValue() const { return ValueStart != std::string_view::npos; }
};

// The attributes of a whole tag ("<" through ">"), with quoted values read to their closing
// quote (unlike the link scanner, which stops a quoted value at its first blank). Linear.
std::vector<TagAttribute> ParseAttributes(std::string_view tag);

// The value of `a` within `tag`; empty when it has none.
std::string_view ValueOf(std::string_view tag, const TagAttribute& a);

// The first attribute named `name` (any letter case), or null.
const TagAttribute* FindNamed(const std::vector<TagAttribute>& attributes, std::string_view name);

} // namespace gathra
