#include "cp1252.h"

#include <gtest/gtest.h>

using namespace quilso;

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const auto back = Cp1252FromUtf8(Utf8FromCp1252(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(Cp1252, WhatwgMappingAndRefusals) {
    EXPECT_EQ(Cp1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(Cp1252ToUnicode(0x96), U'\u2013');
    EXPECT_EQ(Cp1252ToUnicode(0x81), U'\u0081');
    EXPECT_EQ(Cp1252ToUnicode(0xE4), U'\u00E4');
    EXPECT_EQ(UnicodeToCp1252(U'\u2014'), std::optional<char>('\x97'));
    EXPECT_FALSE(UnicodeToCp1252(U'\u0100').has_value());
    EXPECT_FALSE(Cp1252FromUtf8("\xE2\x86\x92").has_value()); // an arrow has no byte
    EXPECT_FALSE(Cp1252FromUtf8("\xC3").has_value());         // truncated sequence
}
