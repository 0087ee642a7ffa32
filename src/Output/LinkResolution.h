#pragma once
#include <string>
#include <string_view>

namespace gathra {

// Turns a link value (an attribute value, a redirect's location or a notice's link text) into an
// engine address: resolved against `base`, dot segments removed and the scheme of a web address
// dropped ("http://host/a/" becomes "host/a/"; "file:" addresses keep theirs). An empty value
// yields `base` unchanged. Linear in the sizes of base and value.
std::string ResolveLink(std::string_view base, std::string_view value);

// Removes ".." steps (with the segment before them) and "./" steps, then every blank, tab,
// carriage return and line feed. "host/a/../b" and "host/../b" both become "host/b".
std::string RemoveDotSegments(std::string_view address);

} // namespace gathra
