// Music arithmetic and the position and time texts.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "General/GeneralMac.h"
#include "support/TestSupport.h"

TEST(GneMusicText, TempoConversions) {
    EXPECT_EQ(GneClockToBpm(500000), 120);
    EXPECT_EQ(GneClockToBpm(1000), 60000);
    EXPECT_EQ(GneClockToBpm(999), 0);  // no whole millisecond: guarded, not divided by 0
    EXPECT_EQ(GneClockToBpm(0), 0);
    EXPECT_EQ(GneClockToBpm(-500), 0);
    EXPECT_EQ(GneBpmToClock(120), 500000);
    EXPECT_EQ(GneBpmToClock(7), 8571000);
    EXPECT_EQ(GneBpmToClock(0), 60000000);  // taken as 1 bpm
    EXPECT_EQ(GneBpmToClock(-3), 60000000);
    EXPECT_EQ(GneBpmToClock(70000), 0);

    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(0, 480, 500000), 0.0);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(480, 480, 500000), 0.5);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(240, 480, 600000), 0.3);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(100, 0, 500000), 0.0);
}

TEST(GneMusicText, NoteNamesIntervalsAndTones) {
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "A3"), 69);  // middle C is C3 or C4
    EXPECT_EQ(GneNoteNameToNoteNumber(1, "C4"), 60);
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "F#2"), 54);
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "Bb-1"), 22);
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "X5"), 84);  // unknown letter: pitch class 0
    GneNoteNameToNoteNumber(0, "C99999999999999");    // held, no overflow

    EXPECT_EQ(GneGetInterval(60, 67), 5);
    EXPECT_EQ(GneGetInterval(64, 60), 4);
    EXPECT_EQ(GneGetInterval(60, 66), 6);
    EXPECT_EQ(GneGetInterval(-1, 11), 0);  // negative numbers stay in 0..6

    EXPECT_EQ(GneIsSimilerTone(0, 7), 1);
    EXPECT_EQ(GneIsSimilerTone(7, 8), 0);
}

TEST(GneMusicText, TimeSignatures) {
    CaptureSink sink;
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0608), 3.0);
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0304), 3.0);
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0502), 10.0);
    EXPECT_TRUE(sink.Alerts().empty());
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0401), 16.0);  // reported, still measured
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0300), 4.0);   // no denominator: a 4/4 measure
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_TIME_SIGNATURE"), 2);

    unsigned char data[4] = {};
    int length = 0;
    GneSetTimeSignData(0x0608, data, &length);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{6, 3, 18, 8}));
    GneSetTimeSignData(0x0404, data, &length);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{4, 2, 18, 8}));
    GneSetTimeSignData(0x0201, data, &length);
    EXPECT_EQ(data[1], 0);
    GneSetTimeSignData(0x0200, data, &length);
    EXPECT_EQ(data[1], 0);
}

TEST(GneMusicText, PositionTexts) {
    char text[64];
    GneGetTickText(text, 0, 0, 0);
    EXPECT_STREQ(text, "0001:01:000");
    GneGetTickText(text, 122, 2, 479);
    EXPECT_STREQ(text, "0123:03:479");
    GneGetTickText(text, INT_MAX, INT_MAX, INT_MIN);
    EXPECT_STREQ(text, "2147483648:2147483648:-2147483648");

    int measure = -1, beat = -1, tick = -1;
    GneGetMeasureBeatTickText("0123:03:479", &measure, &beat, &tick);
    EXPECT_EQ(measure, 123);
    EXPECT_EQ(beat, 3);
    EXPECT_EQ(tick, 479);
    GneGetMeasureBeatTickText("0012:0", &measure, &beat, &tick);  // short: no reading past it
    EXPECT_EQ(measure, 12);
    EXPECT_EQ(beat, 0);
    EXPECT_EQ(tick, 0);

    GneGetMinSecMSecText(text, 65.25);
    EXPECT_STREQ(text, "01:05:250");
    GneGetMinSecMSecText(text, 0.05);
    EXPECT_STREQ(text, "00:00:50");  // milliseconds with two digits at least
    GneGetMinSecMSecText(text, -3.0);
    EXPECT_STREQ(text, "00:00:00");
    GneGetMinSecMSecText(text, NAN);
    EXPECT_STREQ(text, "00:00:00");
}

TEST(GneMusicText, SC88Ports) {
    for (const char* b : {"SC88B", "Port 88B", "SC-88 B", "SC-88B"}) {
        EXPECT_EQ(GneIsSC88BPort(b), 1) << b;
        EXPECT_EQ(GneIsSC88APort(b), 0) << b;
    }
    EXPECT_EQ(GneIsSC88BPort("SC-88 A"), 0);
    EXPECT_EQ(GneIsSC88APort("SC-88 A"), 1);
    EXPECT_EQ(GneIsSC88BPort(""), 0);
}
