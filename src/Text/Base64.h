#pragma once
#include <string>
#include <string_view>

namespace gathra {

// Standard Base64 (A-Z, a-z, 0-9, "+", "/", "=" padding to a multiple of four characters).
std::string Base64Encode(std::string_view bytes);

// Decodes standard Base64. An "=" counts as padding only within the last two characters;
// characters outside the alphabet are skipped, and a trailing group of one character is dropped.
std::string Base64Decode(std::string_view text);

} // namespace gathra
