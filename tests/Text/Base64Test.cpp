#include "Text/Base64.h"

#include <gtest/gtest.h>

namespace gathra {
namespace {

TEST(Base64, EncodesTheStandardVectors) {
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foo"), "Zm9v");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64Encode(":"), "Og==");
    EXPECT_EQ(Base64Encode(std::string("\xfb\xff", 2)), "+/8=");
}

TEST(Base64, DecodingRoundTripsEveryByte) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (size_t n = 0; n < all.size(); n += 37)
        EXPECT_EQ(Base64Decode(Base64Encode(all.substr(0, n))), all.substr(0, n));
}

TEST(Base64, EqualsSignIsPaddingOnlyAtTheEnd) {
    EXPECT_EQ(Base64Decode("Zg=="), "f");
    EXPECT_EQ(Base64Decode("Zm8="), "fo");
    // An "=" elsewhere is not padding and is passed over like any stranger.
    EXPECT_EQ(Base64Decode("Zm=9v"), "foo");
}

} // namespace
} // namespace gathra
