// The range copy of a track: events before the range gathered at its start,
// notes cut at both ends, one bend per channel left at the start.

#include "support/TestEvents.h"

namespace {

const auto BendRead = [](int delta, int ch, int lsb, int msb) {
    return Ev{delta, kEvPitchBend, ch, lsb, 0, 0, 0, msb, 3};
};

// A Q1 track: abs ticks in the comments.
Bytes Q1Source() {
    return TrackChunk({0x00, 0xB0, 0x07, 0x64,      // 0    volume
                       0x00, 0xE0, 0x00, 0x40,      // 0    bend ch 0
                       0x32, 0xE1, 0x00, 0x50,      // 50   bend ch 1
                       0x32, 0xE0, 0x00, 0x30,      // 100  bend ch 0
                       0x00, 0x90, 60,   100,       // 100  note 60 on
                       0x81, 0x48, 0x80, 60,   64,  // 300  note 60 off
                       0x64, 0x90, 62,   100,       // 400  note 62 on
                       0x64, 0x90, 64,   100,       // 500  note 64 on
                       0x32, 0xE0, 0x10, 0x41,      // 550  bend ch 0, in range
                       0x32, 0x80, 62,   64,        // 600  note 62 off
                       0x82, 0x2C, 0x80, 64,   64,  // 900  note 64 off
                       0x64, 0xFF, 0x2F, 0x00});    // 1000 end of track
}

}  // namespace

TEST(TrackRangeCopy, Q1AndQ2Ranges) {
    CaptureSink sink;
    const auto source = Read(Q1Source());
    ASSERT_EQ(source->event_count, 12);
    MidiTrackData copy(source.get(), 400, 700);
    EXPECT_EQ(copy.form, kFormQ1);
    // Before the range: the volume and the last bend of each channel, at tick
    // 0; note 60 is gone. Note 64 still sounds at 700 and is closed at 300,
    // the end of the range in the copy. The source's length is kept.
    EXPECT_EQ(Events(copy),
              (std::vector<Ev>{Cc(0, 0, 7, 100), BendRead(0, 1, 0, 0x50), BendRead(0, 0, 0, 0x30),
                               On(0, 0, 62, 100), On(100, 0, 64, 100), BendRead(50, 0, 0x10, 0x41),
                               Off(50, 0, 62, 64), Off(100, 0, 64, 0), Eot(300)}));
    EXPECT_TRUE(sink.Messages().empty());
    // The source is untouched.
    EXPECT_EQ(source->event_count, 12);
    EXPECT_EQ(source->event_table[1]->status, kEvPitchBend);

    sink.Clear();
    auto q2source = Track(kFormQ2, {Note(0, 2, 60, 480), Note(480, 2, 62, 960), Cc(120, 2, 0, 0),
                                    Note(400, 2, 64, 100), Eot(1000)});
    // Notes keep their length.
    MidiTrackData q2copy(q2source.get(), 480, 1000);
    EXPECT_EQ(q2copy.form, kFormQ2);
    EXPECT_EQ(Dump(q2copy), (Lines{"0 N c2 n62 d960", "120 CC c2 #0=0", "120 EOT"}));
    EXPECT_TRUE(sink.Messages().empty());

    // A source in no form gives an empty copy and a message.
    MidiTrackData fresh;
    MidiTrackData empty(&fresh, 0, 100);
    EXPECT_EQ(empty.event_count, 0);
    EXPECT_EQ(sink.Count(kInternal), 1);
}
