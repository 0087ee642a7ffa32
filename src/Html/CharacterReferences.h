#pragma once
#include <string>
#include <string_view>

namespace gathra {

// Decodes the character references of HTML text, as UTF-8: every named reference of HTML
// ("&eacute;", "&hellip;"; the old names browsers also read without ";", such as "&copy", when
// no letter, digit or "=" follows) and numeric ones ("&#233;", "&#xE9;"; 128 to 159 are read as
// the Windows characters pages meant by them). Anything else stays as it is. Linear in the
// text's length.
std::string DecodeCharacterReferences(std::string_view text);

} // namespace gathra
