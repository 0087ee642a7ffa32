#include "Brief/ScrambleText.h"

#include "Engine/Base64.h"

#include <array>
#include <cstdint>

namespace gathra {

namespace {

constexpr std::array<std::uint8_t, 10> kScrambleKey = {0x3C, 0x71, 0x2B, 0x58, 0xC7,
                                                       0x9E, 0x64, 0xB1, 0xE4, 0x2E};

std::string XorWithKey(std::string_view bytes) {
    std::string out(bytes);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<std::uint8_t>(out[i]) ^ kScrambleKey[i % 10]);
    return out;
}

} // namespace

std::string ScrambleText(std::string_view plain) {
    return XorWithKey(Base64Encode(plain));
}

std::string UnscrambleText(std::string_view scrambled) {
    std::string plain = Base64Decode(XorWithKey(scrambled));
    if (auto zero = plain.find('\0'); zero != std::string::npos) plain.resize(zero);
    return plain;
}

} // namespace gathra
