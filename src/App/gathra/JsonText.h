#pragma once
#include <string>
#include <string_view>

namespace gathra {

// A JSON string literal (quotes included) for a byte string. Valid UTF-8 passes through; every
// byte that is not part of a valid UTF-8 sequence is written as \u00XX, so that texts stored in
// the Windows code page stay readable and the output stays valid JSON.
std::string JsonString(std::string_view bytes);

} // namespace gathra
