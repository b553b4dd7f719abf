// Deep copies of tracks, the range copy (events before the range gathered at
// its start, notes cut at both ends, one bend per channel left at the start)
// and the once-only messages.

#include "support/TestEvents.h"

namespace {

const auto BendRead = [](int delta, int ch, int lsb, int msb) {
    return Ev{delta, kEvPitchBend, ch, lsb, 0, 0, 0, msb, 3};
};

}  // namespace

TEST(TrackConstruction, DeepCopiesRangeCopiesAndOnceMessages) {
    CaptureSink sink;
    auto owned =
        Track(kFormQ2, {Note(0, 1, 60, 480), Meta(10, kMetaText, std::string(300, 'x')), Eot(470)});
    MidiTrackData& source = *owned;

    MidiTrackData copy(&source);
    EXPECT_EQ(copy.form, kFormQ2);
    EXPECT_EQ(Events(copy), Events(source));  // lengths and texts included
    source.event_table[0]->note = 61;
    source.event_table[1]->data[0] = 'y';
    EXPECT_EQ(copy.event_table[0]->note, 60);
    EXPECT_EQ(copy.event_table[1]->data[0], 'x');

    // Filling a track again replaces what it held.
    copy.SetTrackData(&source);
    EXPECT_EQ(copy.event_count, 3);
    EXPECT_EQ(copy.event_table[0]->note, 61);
    copy.SetTrackData(&copy);  // a copy of itself changes nothing
    EXPECT_EQ(copy.event_count, 3);

    // SetQ1TrackData wants a Q1 source, SetTrackData a Q2 one.
    auto q1 = Read(TrackChunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}));
    MidiTrackData q1copy;
    q1copy.SetQ1TrackData(q1.get());
    EXPECT_EQ(Events(q1copy), Events(*q1));
    q1copy.SetTrackData(q1.get());
    EXPECT_EQ(q1copy.event_count, 0);
    q1copy.SetQ1TrackData(nullptr);
    EXPECT_EQ(sink.Messages(), (Lines{kInternal, kInternal}));

    sink.Clear();
    MidiTrackData track;
    track.ErrorMsgOnce(0);
    track.ErrorMsgOnce(kErrTrackMultiVolume);
    track.ErrorMsgOnce(kErrTrackMultiVolume);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // Master volume shares the volume flag, which is already set.
    track.ErrorMsgOnce(kErrTrackMultiMasterVolume);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // The flags are process-wide: another track sees them set.
    MidiTrackData other;
    other.ErrorMsgOnce(kErrTrackMultiVolume);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // Code 0 clears them all.
    other.ErrorMsgOnce(0);
    track.ErrorMsgOnce(kErrTrackMultiMasterVolume);
    EXPECT_EQ(sink.Messages().size(), 2u);
    // A code that is not a once message is shown every time.
    track.ErrorMsgOnce(kErrTrackTempo);
    track.ErrorMsgOnce(kErrTrackTempo);
    EXPECT_EQ(sink.Count(kTempo), 2);
    track.ErrorMsgOnce(0);

    sink.Clear();
    // A Q1 track: volume and bend of channel 0 at 0, bends of channels 1 and 0
    // at 50 and 100, note 60 from 100 to 300, 62 from 400 to 600 and 64 from
    // 500 to 900, a bend in range at 550, the end at 1000.
    const auto q1source = Read(TrackChunk(Concat(
        {smf::Cc(0, 0, 7, 100), smf::Msg(0, {0xE0, 0x00, 0x40}), smf::Msg(50, {0xE1, 0x00, 0x50}),
         smf::Msg(50, {0xE0, 0x00, 0x30}), smf::On(0, 0, 60), smf::Off(200, 0, 60),
         smf::On(100, 0, 62), smf::On(100, 0, 64), smf::Msg(50, {0xE0, 0x10, 0x41}),
         smf::Off(50, 0, 62), smf::Off(300, 0, 64), smf::Eot(100)})));
    ASSERT_EQ(q1source->event_count, 12);
    MidiTrackData q1range(q1source.get(), 400, 700);
    EXPECT_EQ(q1range.form, kFormQ1);
    // Before the range: the volume and the last bend of each channel, at tick
    // 0; note 60 is gone. Note 64 still sounds at 700 and is closed at 300,
    // the end of the range in the q1range. The source's length is kept.
    EXPECT_EQ(Events(q1range),
              (EvList{Cc(0, 0, 7, 100), BendRead(0, 1, 0, 0x50), BendRead(0, 0, 0, 0x30),
                      On(0, 0, 62, 100), On(100, 0, 64, 100), BendRead(50, 0, 0x10, 0x41),
                      Off(50, 0, 62, 64), Off(100, 0, 64, 0), Eot(300)}));
    // The source is untouched.
    EXPECT_EQ(q1source->event_count, 12);
    EXPECT_EQ(q1source->event_table[1]->status, kEvPitchBend);

    auto q2source = Track(kFormQ2, {Note(0, 2, 60, 480), Note(480, 2, 62, 960), Cc(120, 2, 0, 0),
                                    Note(400, 2, 64, 100), Eot(1000)});
    // Notes keep their length.
    MidiTrackData q2copy(q2source.get(), 480, 1000);
    EXPECT_EQ(q2copy.form, kFormQ2);
    EXPECT_EQ(Dump(q2copy), (Lines{"0 N c2 n62 d960", "120 CC c2 #0=0", "120 EOT"}));

    // A source in no form gives an empty copy and a message; nothing else
    // since the once messages was reported.
    MidiTrackData fresh;
    MidiTrackData empty(&fresh, 0, 100);
    EXPECT_EQ(empty.event_count, 0);
    EXPECT_EQ(sink.Messages(), Lines{kInternal});
}
