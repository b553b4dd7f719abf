// itoa, the katakana narrowing and the parsers of command-like texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

namespace {

std::string Narrowed(std::string text) {
    GneSetSbcsKataKana(reinterpret_cast<unsigned char*>(text.data()));
    return text.c_str();  // up to the terminator the conversion moved
}

}  // namespace

TEST(GneText, ItoaEdges) {
    char text[16] = "untouched";
    EXPECT_STREQ(itoa(-2147483647 - 1, text, 10), "-2147483648");
    EXPECT_STREQ(itoa(-1, text, 16), "ffffffff");
    std::strcpy(text, "untouched");
    EXPECT_STREQ(itoa(255, text, 8), "untouched");
}

TEST(GneText, KatakanaBecomesHalfWidth) {
    // ガッコウ: ッ, コ and ウ through table A, then ガ through table B.
    EXPECT_EQ(Narrowed("\x83\x4B\x83\x62\x83\x52\x83\x45"), "\xB6\xDE\xAF\xBA\xB3");
    // The trail byte of 宴 (89 83) and a following A (41) are no ア.
    EXPECT_EQ(Narrowed("\x89\x83"
                       "A"),
              "\x89\x83"
              "A");
    // Half-width letters in between are single bytes.
    EXPECT_EQ(Narrowed("\xB1\x83\x41x"), "\xB1\xB1x");
    // A lead byte at the very end is left alone.
    EXPECT_EQ(Narrowed("\x83"), "\x83");
}

TEST(GneText, HexToI) {
    CaptureSink sink;
    EXPECT_EQ(GneHexToI("1F"), 31);
    EXPECT_TRUE(sink.Alerts().empty());
    EXPECT_EQ(GneHexToI("1G"), 16);
    EXPECT_EQ(sink.Alerts(), std::vector<std::string>{"GeneralMac: ERR_GNE_HEX_DIGIT"});
    EXPECT_EQ(GneHexToI("FFFFFFFF"), -1);
    GneHexToI("123456789ABCDEF0123");  // too long: wraps, no overflow
}

TEST(GneText, IncludedTextsAndWildCards) {
    char pattern[16] = "lo*wor";
    EXPECT_EQ(GneIsStringIncluded("Hello", pattern), 1);
    EXPECT_STREQ(pattern, "lo");  // cut at its first '*', in place
    char longer[] = "Hello!";
    EXPECT_EQ(GneIsStringIncluded("Hello", longer), 0);

    struct Case {
        const char *pattern, *text;
        int matches;
    };
    for (const Case& c :
         {Case{"AB*", "AB", 1}, Case{"AB*", "A", 0}, Case{"A?C", "ABC", 1}, Case{"A?C", "AC", 0},
          Case{"ABC", "ABCD", 0}, Case{"*x", "", 1}}) {  // '*' takes the rest, pattern too
        EXPECT_EQ(GneCompareStringWithWildCard(c.pattern, c.text), c.matches)
            << c.pattern << " " << c.text;
    }
}

TEST(GneText, CommandLineWords) {
    char words[kGneMaxWords][kGneWordSize];
    EXPECT_EQ(GneExtractCommandParam("set  vol \"a b\"c", words), 3);
    EXPECT_STREQ(words[1], "");  // two spaces give an empty word
    EXPECT_STREQ(words[3], "a bc");
    EXPECT_EQ(GneExtractCommandParam("say \"unclosed quote", words), 1);
    EXPECT_STREQ(words[1], "unclosed quote");

    // Beyond 16 words and 255 bytes nothing is written past the rows.
    std::string many;
    for (int i = 0; i < 30; ++i) many += "w" + std::to_string(i) + " ";
    char guarded[kGneMaxWords + 1][kGneWordSize];
    std::memset(guarded[kGneMaxWords], 0x55, kGneWordSize);
    EXPECT_EQ(GneExtractCommandParam(many.c_str(), guarded), kGneMaxWords - 1);
    EXPECT_STREQ(guarded[15], "w15");
    EXPECT_EQ(static_cast<unsigned char>(guarded[kGneMaxWords][0]), 0x55);
    const std::string huge(1000, 'z');
    EXPECT_EQ(GneExtractCommandParam(("a " + huge + " b").c_str(), words), 2);
    EXPECT_EQ(std::strlen(words[1]), 255u);
    EXPECT_STREQ(words[2], "b");
}

TEST(GneText, ParamsRangesAndOperators) {
    char params[kGneMaxWords][kGneWordSize];
    EXPECT_EQ(GneGetParams(";a", params), 2);
    EXPECT_STREQ(params[0], "");
    std::string many;
    for (int i = 0; i < 40; ++i) many += "p;";
    EXPECT_EQ(GneGetParams(many.c_str(), params), kGneMaxWords);

    CaptureSink sink;
    int from = -1, to = -1;
    EXPECT_EQ(GneGetParamRange(":7", &from, &to), 7);
    EXPECT_EQ(from, 0);
    EXPECT_TRUE(sink.Alerts().empty());
    EXPECT_EQ(GneGetParamRange("9", &from, &to), 9);  // a lone number: the range 9 to 9
    EXPECT_EQ(from, 9);
    EXPECT_EQ(sink.Alerts(), std::vector<std::string>{"GeneralMac: ERR_GNE_PARAM_RANGE"});
    EXPECT_EQ(GneGetParamRange("99999999999:1", &from, &to), 1);  // held within int

    char command[kGneWordSize], param[kGneWordSize], op[kGneWordSize];
    GneGetCommandAndParam("pan>3=4", command, param);
    EXPECT_EQ(std::string(command) + "|" + param, "pan|3=4");
    GneGetCommandAndParamAndOperator("vol>=100", command, param, op);
    EXPECT_EQ(std::string(command) + "|" + op + "|" + param, "vol|>=|100");
    GneGetCommandAndParamAndOperator("n<5", command, param, op);
    EXPECT_EQ(std::string(command) + "|" + op + "|" + param, "n|<|5");
}
