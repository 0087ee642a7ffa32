#include "Html/CharacterReferences.h"

#include "Text/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace gathra {

namespace {

constexpr size_t kNoPos = std::string_view::npos;

struct NamedCharacter {
    const char* Name;
    std::uint32_t First;
    std::uint32_t Second; // 0 when the name stands for one character
    bool Legacy;          // also read without its ";"
};

// Sorted by name, byte by byte.
constexpr NamedCharacter kNamed[] = {
#include "Html/NamedCharacters.inc"
};

// The longest name ("CounterClockwiseContourIntegral") has 31 letters.
constexpr size_t kLongestName = 32;

// Windows-1252 for the C1 controls 128 to 159, which numeric references on old pages meant.
constexpr std::uint16_t kWindows1252[32] = {
    0x20AC, 0x81,   0x201A, 0x192,  0x201E, 0x2026, 0x2020, 0x2021, 0x2C6,  0x2030, 0x160,
    0x2039, 0x152,  0x8D,   0x17D,  0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x2DC,  0x2122, 0x161,  0x203A, 0x153,  0x9D,   0x17E,  0x178};

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

const NamedCharacter* FindName(std::string_view name) {
    auto at = std::lower_bound(std::begin(kNamed), std::end(kNamed), name,
                               [](const NamedCharacter& n, std::string_view key) {
                                   return std::string_view(n.Name) < key;
                               });
    if (at == std::end(kNamed) || std::string_view(at->Name) != name) return nullptr;
    return at;
}

// The code point of a numeric reference's digits ("233", "xE9"), or 0 when it is not one.
std::uint32_t NumericValue(std::string_view digits) {
    const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8) return 0;
    std::uint32_t value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) return 0;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
    }
    // NUL, surrogates and values past Unicode are no characters.
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    if (value >= 0x80 && value <= 0x9F) value = kWindows1252[value - 0x80];
    return value;
}

// Decodes the reference that starts at text[amp] ("&") into `out`; answers how many bytes it
// took, 0 when there is none there.
size_t DecodeOne(std::string_view text, size_t amp, std::string& out) {
    std::string_view rest = text.substr(amp + 1, kLongestName + 10);
    if (!rest.empty() && rest[0] == '#') {
        const size_t semi = rest.find(';');
        const std::uint32_t value = semi == kNoPos ? 0 : NumericValue(rest.substr(1, semi - 1));
        if (value == 0) return 0;
        AppendUtf8(out, value);
        return semi + 2;
    }
    size_t length = 0;
    while (length < rest.size() && length <= kLongestName && IsAlnum(rest[length]))
        ++length;
    const NamedCharacter* named = length == 0 ? nullptr : FindName(rest.substr(0, length));
    if (named == nullptr) return 0;
    const bool semicolon = length < rest.size() && rest[length] == ';';
    if (!semicolon && (!named->Legacy || (length < rest.size() && rest[length] == '='))) return 0;
    AppendUtf8(out, named->First);
    if (named->Second != 0) AppendUtf8(out, named->Second);
    return length + 1 + (semicolon ? 1 : 0);
}

} // namespace

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t amp = text.find('&', i);
        if (amp == kNoPos) amp = text.size();
        out.append(text.substr(i, amp - i));
        if (amp == text.size()) break;
        const size_t taken = DecodeOne(text, amp, out);
        if (taken == 0) out += '&';
        i = amp + (taken == 0 ? 1 : taken);
    }
    return out;
}

} // namespace gathra
