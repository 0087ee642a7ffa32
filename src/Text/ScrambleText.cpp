#include "Text/ScrambleText.h"

#include "Text/Base64.h"

#include <array>

namespace gathra {

namespace {

constexpr std::array<unsigned char, 10> kScrambleKey = {0x3C, 0x71, 0x2B, 0x58, 0xC7,
                                                        0x9E, 0x64, 0xB1, 0xE4, 0x2E};

std::string XorWithKey(std::string_view bytes) {
    std::string out(bytes);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^
                                   kScrambleKey[i % kScrambleKey.size()]);
    return out;
}

} // namespace

std::string ScrambleText(std::string_view plain) {
    return XorWithKey(Base64Encode(plain));
}

std::string UnscrambleText(std::string_view scrambled) {
    std::string plain = Base64Decode(XorWithKey(scrambled));
    size_t nul = plain.find('\0');
    if (nul != std::string::npos) plain.resize(nul);
    return plain;
}

} // namespace gathra
