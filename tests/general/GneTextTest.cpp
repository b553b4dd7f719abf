// itoa, the katakana narrowing, the parsers of command-like texts, file texts
// shown as UTF-8, music arithmetic and the position and time texts.
#include <climits>
#include <cmath>
#include <cstring>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

namespace {

std::string Narrowed(std::string text) {
    GneSetSbcsKataKana(reinterpret_cast<unsigned char*>(text.data()));
    return text.c_str();  // up to the terminator the conversion moved
}

}  // namespace

TEST(GneText, ItoaKatakanaFileTextsHexWildCardsAndCommandWords) {
    char text[16] = "untouched";
    EXPECT_STREQ(itoa(-2147483647 - 1, text, 10), "-2147483648");
    EXPECT_STREQ(itoa(-1, text, 16), "ffffffff");
    std::strcpy(text, "untouched");
    EXPECT_STREQ(itoa(255, text, 8), "untouched");

    // ガッコウ: ッ, コ and ウ through table A, then ガ through table B. The
    // trail byte of 宴 (89 83) and a following A (41) are no ア. Half-width
    // letters in between are single bytes; a lead byte at the very end is
    // left alone.
    const std::pair<std::string, std::string> narrowed[] = {
        {"\x83\x4B\x83\x62\x83\x52\x83\x45", "\xB6\xDE\xAF\xBA\xB3"},
        {"\x89\x83\x41", "\x89\x83\x41"},
        {"\xB1\x83\x41x", "\xB1\xB1x"},
        {"\x83", "\x83"}};
    for (const auto& [text, expected] : narrowed) EXPECT_EQ(Narrowed(text), expected);
    // Shift-JIS with the CP932 extensions (the circled 1) and half-width
    // katakana; the trail byte of 宴 is also a lead byte: 83 41 is no ア. A
    // lead byte cut off at the end and a byte that starts nothing are
    // replaced.
    const std::pair<std::string, std::string> utf8[] = {
        {"ピアノ", "ピアノ"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"Track \x82\xA0", "Track あ"},
        {"\x89\x83\x41", "宴A"},
        {"\xB6\xDE\xAF\xBA\xB3", "ｶﾞｯｺｳ"},
        {"\x87\x40", "①"},
        {"\x83\x41\x83", "ア\xEF\xBF\xBD"},
        {"a\xFF\x62", "a\xEF\xBF\xBD\x62"}};
    for (const auto& [text, expected] : utf8) EXPECT_EQ(GneFileTextToUtf8(text), expected);
    // Overlong UTF-8 and surrogates are not taken for UTF-8.
    EXPECT_NE(GneFileTextToUtf8("\xC0\xAF"), "\xC0\xAF");
    EXPECT_NE(GneFileTextToUtf8("\xED\xA0\x80"), "\xED\xA0\x80");
    CaptureSink sink;
    EXPECT_EQ(GneHexToI("1F"), 31);
    EXPECT_EQ(GneHexToI("1G"), 16);
    EXPECT_EQ(sink.Alerts(), std::vector<std::string>{"GeneralMac: ERR_GNE_HEX_DIGIT"});
    EXPECT_EQ(GneHexToI("FFFFFFFF"), -1);
    GneHexToI("123456789ABCDEF0123");  // too long: wraps, no overflow

    char pattern[16] = "lo*wor";
    EXPECT_EQ(GneIsStringIncluded("Hello", pattern), 1);
    EXPECT_STREQ(pattern, "lo");  // cut at its first '*', in place
    char longer[] = "Hello!";
    EXPECT_EQ(GneIsStringIncluded("Hello", longer), 0);

    // '*' takes the rest, of the pattern too.
    const std::tuple<const char*, const char*, int> wild[] = {{"AB*", "AB", 1},   {"AB*", "A", 0},
                                                              {"A?C", "ABC", 1},  {"A?C", "AC", 0},
                                                              {"ABC", "ABCD", 0}, {"*x", "", 1}};
    for (auto [pattern, text, matches] : wild)
        EXPECT_EQ(GneCompareStringWithWildCard(pattern, text), matches) << pattern << " " << text;
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

TEST(GneMusicText, TempoNotesIntervalsPortsTimeSignaturesAndPositions) {
    EXPECT_EQ(GneClockToBpm(500000), 120);
    EXPECT_EQ(GneClockToBpm(999), 0);  // no whole millisecond: guarded, not divided by 0
    EXPECT_EQ(GneClockToBpm(-500), 0);
    EXPECT_EQ(GneBpmToClock(120), 500000);
    EXPECT_EQ(GneBpmToClock(0), 60000000);  // taken as 1 bpm
    EXPECT_EQ(GneBpmToClock(70000), 0);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(240, 480, 600000), 0.3);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(100, 0, 500000), 0.0);

    EXPECT_EQ(GneNoteNameToNoteNumber(0, "A3"), 69);  // middle C is C3 or C4
    EXPECT_EQ(GneNoteNameToNoteNumber(1, "C4"), 60);
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "Bb-1"), 22);
    GneNoteNameToNoteNumber(0, "C99999999999999");  // held, no overflow
    EXPECT_EQ(GneGetInterval(64, 60), 4);
    EXPECT_EQ(GneGetInterval(-1, 11), 0);  // negative numbers stay in 0..6

    EXPECT_EQ(GneIsSC88BPort("Port 88B"), 1);
    EXPECT_EQ(GneIsSC88BPort(""), 0);
    EXPECT_EQ(GneIsSC88APort("SC-88 B"), 0);
    EXPECT_EQ(GneIsSC88APort("SC-88 A"), 1);
    CaptureSink sink;
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0608), 3.0);
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0401), 16.0);  // reported, still measured
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0300), 4.0);   // no denominator: a 4/4 measure
    EXPECT_EQ(sink.Alerts(), Lines(2, "GeneralMac: ERR_GNE_TIME_SIGNATURE"));

    unsigned char data[4] = {};
    int length = 0;
    GneSetTimeSignData(0x0608, data, &length);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{6, 3, 18, 8}));
    GneSetTimeSignData(0x0200, data, &length);
    EXPECT_EQ(data[1], 0);

    char text[64];
    GneGetTickText(text, 122, 2, 479);
    EXPECT_STREQ(text, "0123:03:479");
    GneGetTickText(text, INT_MAX, INT_MAX, INT_MIN);
    EXPECT_STREQ(text, "2147483648:2147483648:-2147483648");

    int measure = -1, beat = -1, tick = -1;
    GneGetMeasureBeatTickText("0012:0", &measure, &beat, &tick);  // short: no reading past it
    EXPECT_EQ(std::tuple(measure, beat, tick), std::tuple(12, 0, 0));

    const auto min_sec = [&text](double seconds) {
        GneGetMinSecMSecText(text, seconds);
        return std::string(text);
    };
    EXPECT_EQ(min_sec(0.05), "00:00:50");  // milliseconds with two digits at least
    EXPECT_EQ(min_sec(-3.0), "00:00:00");
    EXPECT_EQ(min_sec(NAN), "00:00:00");
}
