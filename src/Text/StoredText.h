#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace gathra {

// A brief file stores each text with a 16-bit signed length, so no text may exceed this.
inline constexpr std::size_t MaxStoredTextBytes = 32767;
// Secrets are stored scrambled (Base64, four bytes for every three), so their plain form must
// stay small enough for the scrambled form to fit a stored text.
inline constexpr std::size_t MaxScrambledPlainBytes = 24573;

// Stored texts are 8-bit bytes: texts typed in this program are UTF-8, older ones are in the
// Windows ANSI code page. These decide how to show them.
bool IsValidUtf8(std::string_view bytes);
std::string Windows1252ToUtf8(std::string_view bytes);
// The UTF-8 form of a stored text: unchanged when it already is valid UTF-8.
std::string StoredTextAsUtf8(std::string_view bytes);
// Cuts UTF-8 text after `maxCharacters` code points (never inside a character).
std::string CutToCharacters(std::string_view utf8, std::size_t maxCharacters);

} // namespace gathra
