#pragma once
#include <string>
#include <string_view>

namespace gathra {

// Secrets in brief files and in the stored settings are kept scrambled: Base64, then each byte
// exclusive-or'd with a fixed 10-byte key. This hides them from a casual look, nothing more.

// The scrambled bytes are exactly as long as the Base64 text (an empty text gives an empty
// result). A scrambled byte may be 0: the length, not a terminator, bounds the result.
std::string ScrambleText(std::string_view plain);

// Undoes ScrambleText. The plain text ends at its first 0 byte, as a C string would.
std::string UnscrambleText(std::string_view scrambled);

} // namespace gathra
