// File texts shown as UTF-8: valid UTF-8 as it is, else read as Shift-JIS.
#include <gtest/gtest.h>

#include <string>

#include "General/GeneralMac.h"

TEST(GneEncoding, Utf8StaysAsItIs) {
    EXPECT_EQ(GneFileTextToUtf8("ピアノ"), "ピアノ");
    EXPECT_EQ(GneFileTextToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(GneEncoding, ShiftJisIsDecoded) {
    EXPECT_EQ(GneFileTextToUtf8("Track \x82\xA0"), "Track あ");
    // The trail byte of 宴 is also a lead byte: 83 41 is no ア.
    EXPECT_EQ(GneFileTextToUtf8("\x89\x83"
                                "A"),
              "宴A");
    // half-width katakana and the CP932 extensions (the circled 1)
    EXPECT_EQ(GneFileTextToUtf8("\xB6\xDE\xAF\xBA\xB3"), "ｶﾞｯｺｳ");
    EXPECT_EQ(GneFileTextToUtf8("\x87\x40"), "①");
}

TEST(GneEncoding, UndecodableBytesBecomeReplacementCharacters) {
    // A lead byte cut off at the end, and a byte that starts nothing.
    EXPECT_EQ(GneFileTextToUtf8("\x83\x41\x83"), "ア\xEF\xBF\xBD");
    EXPECT_EQ(GneFileTextToUtf8("a\xFF"
                                "b"),
              "a\xEF\xBF\xBD"
              "b");
    // Overlong UTF-8 and surrogates are not taken for UTF-8.
    EXPECT_NE(GneFileTextToUtf8("\xC0\xAF"), "\xC0\xAF");
    EXPECT_NE(GneFileTextToUtf8("\xED\xA0\x80"), "\xED\xA0\x80");
}
