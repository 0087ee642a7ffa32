#include "Text/StoredText.h"

#include "Text/Utf8.h"

#include <array>
#include <cstdint>

namespace gathra {

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

namespace {

// Code points of bytes 0x80..0x9F in Windows-1252; the five unassigned bytes map to the C1
// control of the same value so that nothing is lost.
constexpr std::array<std::uint16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<std::uint8_t>(ch);
        if (c < 0x80)
            out += ch; // ASCII, a NUL byte too, stays as it is
        else if (c <= 0x9F)
            AppendUtf8(out, Cp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string StoredTextAsUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Windows1252ToUtf8(bytes);
}

std::string CutToCharacters(std::string_view utf8, std::size_t maxCharacters) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<std::uint8_t>(utf8[i]) & 0xC0) == 0x80) continue;
        if (count == maxCharacters) return std::string(utf8.substr(0, i));
        ++count;
    }
    return std::string(utf8);
}

} // namespace gathra
