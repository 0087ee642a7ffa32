#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace gathra {

// Letter case and blanks of ASCII text. Page text, headers, addresses and file names are 8-bit
// bytes compared without regard to the locale: only 'A'..'Z' and 'a'..'z' change case, every
// other byte (a UTF-8 sequence too) stays as it is.

constexpr char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiLower(c);
    return out;
}

inline std::string Uppered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = AsciiUpper(c);
    return out;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

constexpr bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// Blank, tab, carriage return and line feed: the blanks of HTML, headers and text files.
inline constexpr std::string_view kAsciiBlanks = " \t\r\n";
// The same with form feed and vertical tab (what the C library calls space).
inline constexpr std::string_view kAsciiSpaces = " \t\r\n\f\v";

// `text` without the bytes of `blanks` at either end.
constexpr std::string_view Trimmed(std::string_view text, std::string_view blanks = kAsciiBlanks) {
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

} // namespace gathra
