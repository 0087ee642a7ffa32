#pragma once
#include <string>
#include <string_view>

namespace gathra {

// Secrets in brief files and in the settings are kept scrambled rather than in plain text:
// Base64, then each byte XORed with the 10-byte key at its position modulo 10. The result is as
// long as the Base64 text and may hold zero bytes, so its length, not a terminator, bounds it.
std::string ScrambleText(std::string_view plain);

// Undoes ScrambleText; the plain text ends at its first zero byte.
std::string UnscrambleText(std::string_view scrambled);

} // namespace gathra
