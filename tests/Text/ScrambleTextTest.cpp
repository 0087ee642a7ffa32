#include "Text/ScrambleText.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TEST(ScrambleText, LengthIsTheBase64Length) {
    EXPECT_EQ(ScrambleText("").size(), 0u);
    EXPECT_EQ(ScrambleText("a").size(), 4u);
    EXPECT_EQ(ScrambleText("ab").size(), 4u);
    EXPECT_EQ(ScrambleText("abc").size(), 4u);
    EXPECT_EQ(ScrambleText("abcd").size(), 8u);
}

TEST(ScrambleText, IsBase64ExclusiveOrWithTheKey) {
    // "Zg==" xor 3C 71 2B 58.
    std::string expected = {static_cast<char>('Z' ^ 0x3C), static_cast<char>('g' ^ 0x71),
                            static_cast<char>('=' ^ 0x2B), static_cast<char>('=' ^ 0x58)};
    EXPECT_EQ(ScrambleText("f"), expected);
    // The key repeats every 10 bytes: byte 10 of "Zm9vYmFyZm9v" ("foobarfoo") uses key byte 0.
    std::string s = ScrambleText("foobarfoo");
    ASSERT_EQ(s.size(), 12u);
    EXPECT_EQ(static_cast<unsigned char>(s[10]), static_cast<unsigned char>('9' ^ 0x3C));
    EXPECT_EQ(static_cast<unsigned char>(s[9]), static_cast<unsigned char>('m' ^ 0x2E));
}

TEST(ScrambleText, ScrambledBytesMayBeZeroAndStillRoundTrip) {
    // "\x02\xA0" is "AqA=" in Base64, and 'q' is the key's second byte.
    std::string zeroInside = ScrambleText("\x02\xA0");
    ASSERT_EQ(zeroInside.size(), 4u);
    EXPECT_EQ(zeroInside[1], '\0');
    EXPECT_EQ(UnscrambleText(zeroInside), "\x02\xA0");
    for (int n = 0; n < 40; ++n) {
        std::string plain;
        for (int i = 0; i < n; ++i)
            plain += static_cast<char>(1 + (i * 37 + n) % 255);
        EXPECT_EQ(UnscrambleText(ScrambleText(plain)), plain) << n;
    }
}

TEST(ScrambleText, UnscrambledTextEndsAtTheFirstZeroByte) {
    EXPECT_EQ(UnscrambleText(ScrambleText(std::string("pass\0word", 9))), "pass");
    EXPECT_EQ(UnscrambleText(""), "");
}

} // namespace
} // namespace gathra
