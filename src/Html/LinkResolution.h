#pragma once
#include <string>
#include <string_view>

namespace gathra {

// Turns a link value (an attribute value, a redirect's location or a notice's link text) into an
// engine address: resolved against `base`, dot segments removed and the scheme of a plain web
// address dropped ("http://host/a/" becomes "host/a/"). "file:" addresses keep theirs, and so do
// secure ones, in lower case ("HTTPS://host/a" becomes "https://host/a"): a relative link on a
// secure page and a "//host/a" link there stay secure. As browsers do, white space at the
// value's ends is dropped, tabs and line breaks inside it too, and inner blanks become "%20"
// ("a b.htm" gives "host/a%20b.htm"). An empty value yields `base` unchanged.
// Linear in the sizes of base and value.
std::string ResolveLink(std::string_view base, std::string_view value);

// True when address begins with "https://" (any letter case): it is fetched over TLS.
bool IsSecureAddress(std::string_view address);

// Removes ".." steps (with the segment before them) and "./" steps, then every blank, tab,
// carriage return and line feed. "host/a/../b" and "host/../b" both become "host/b".
std::string RemoveDotSegments(std::string_view address);

} // namespace gathra
