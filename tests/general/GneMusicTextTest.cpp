// Music arithmetic and the position and time texts.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

TEST(GneMusicText, TempoConversionsAreGuarded) {
    EXPECT_EQ(GneClockToBpm(500000), 120);
    EXPECT_EQ(GneClockToBpm(999), 0);  // no whole millisecond: guarded, not divided by 0
    EXPECT_EQ(GneClockToBpm(-500), 0);
    EXPECT_EQ(GneBpmToClock(120), 500000);
    EXPECT_EQ(GneBpmToClock(0), 60000000);  // taken as 1 bpm
    EXPECT_EQ(GneBpmToClock(70000), 0);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(240, 480, 600000), 0.3);
    EXPECT_DOUBLE_EQ(GneDeltaTimeToSecond(100, 0, 500000), 0.0);
}

TEST(GneMusicText, NoteNamesAndIntervals) {
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "A3"), 69);  // middle C is C3 or C4
    EXPECT_EQ(GneNoteNameToNoteNumber(1, "C4"), 60);
    EXPECT_EQ(GneNoteNameToNoteNumber(0, "Bb-1"), 22);
    GneNoteNameToNoteNumber(0, "C99999999999999");  // held, no overflow
    EXPECT_EQ(GneGetInterval(64, 60), 4);
    EXPECT_EQ(GneGetInterval(-1, 11), 0);  // negative numbers stay in 0..6
}

TEST(GneMusicText, TimeSignatures) {
    CaptureSink sink;
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0608), 3.0);
    EXPECT_TRUE(sink.Alerts().empty());
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0401), 16.0);  // reported, still measured
    EXPECT_DOUBLE_EQ(GneGetTimeSignValue(0x0300), 4.0);   // no denominator: a 4/4 measure
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_TIME_SIGNATURE"), 2);

    unsigned char data[4] = {};
    int length = 0;
    GneSetTimeSignData(0x0608, data, &length);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{6, 3, 18, 8}));
    GneSetTimeSignData(0x0200, data, &length);
    EXPECT_EQ(data[1], 0);
}

TEST(GneMusicText, PositionTexts) {
    char text[64];
    GneGetTickText(text, 122, 2, 479);
    EXPECT_STREQ(text, "0123:03:479");
    GneGetTickText(text, INT_MAX, INT_MAX, INT_MIN);
    EXPECT_STREQ(text, "2147483648:2147483648:-2147483648");

    int measure = -1, beat = -1, tick = -1;
    GneGetMeasureBeatTickText("0012:0", &measure, &beat, &tick);  // short: no reading past it
    EXPECT_EQ(measure, 12);
    EXPECT_EQ(beat, 0);
    EXPECT_EQ(tick, 0);

    GneGetMinSecMSecText(text, 0.05);
    EXPECT_STREQ(text, "00:00:50");  // milliseconds with two digits at least
    GneGetMinSecMSecText(text, -3.0);
    EXPECT_STREQ(text, "00:00:00");
    GneGetMinSecMSecText(text, NAN);
    EXPECT_STREQ(text, "00:00:00");
}

TEST(GneMusicText, SC88Ports) {
    EXPECT_EQ(GneIsSC88BPort("Port 88B"), 1);
    EXPECT_EQ(GneIsSC88BPort(""), 0);
    EXPECT_EQ(GneIsSC88APort("SC-88 B"), 0);
    EXPECT_EQ(GneIsSC88APort("SC-88 A"), 1);
}
