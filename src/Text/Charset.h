#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace gathra {

// Text in a named character set ("iso-8859-2", "shift_jis", ...; any letter case) as UTF-8.
// Windows-1252 and its subsets (ISO-8859-1, US-ASCII), which browsers read alike, are converted
// here; other sets through the C library's converters. A byte sequence the set does not know
// becomes U+FFFD. None when the set is unknown, or for UTF-8 that is not valid.
std::optional<std::string> CharsetToUtf8(std::string_view bytes, std::string_view charset);

} // namespace gathra
