// Deep copies of tracks and the once-only messages.

#include "support/TestEvents.h"

TEST(TrackConstruction, DeepCopiesAndOnceMessages) {
    CaptureSink sink;
    auto owned =
        Track(kFormQ2, {Note(0, 1, 60, 480), Meta(10, kMetaText, std::string(300, 'x')), Eot(470)});
    MidiTrackData& source = *owned;

    MidiTrackData copy(&source);
    EXPECT_EQ(copy.form, kFormQ2);
    EXPECT_EQ(Events(copy), Events(source));
    EXPECT_EQ(copy.event_table[0]->duration, 480);
    EXPECT_EQ(copy.event_table[1]->data[299], 'x');
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
    EXPECT_TRUE(sink.Messages().empty());

    // SetQ1TrackData wants a Q1 source, SetTrackData a Q2 one.
    auto q1 = Read(TrackChunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}));
    MidiTrackData q1copy;
    q1copy.SetQ1TrackData(q1.get());
    EXPECT_EQ(Events(q1copy), Events(*q1));
    q1copy.SetTrackData(q1.get());
    EXPECT_EQ(q1copy.event_count, 0);
    q1copy.SetQ1TrackData(nullptr);
    EXPECT_EQ(sink.Count(kInternal), 2);

    sink.Clear();
    MidiTrackData track;
    track.ErrorMsgOnce(0);
    track.ErrorMsgOnce(kErrTrackMultiVolume);
    track.ErrorMsgOnce(kErrTrackMultiVolume);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // Master volume shares the volume flag, which is already set.
    sink.Clear();
    track.ErrorMsgOnce(kErrTrackMultiMasterVolume);
    EXPECT_TRUE(sink.Messages().empty());
    // The flags are process-wide: another track sees them set.
    MidiTrackData other;
    other.ErrorMsgOnce(kErrTrackMultiVolume);
    EXPECT_TRUE(sink.Messages().empty());
    // Code 0 clears them all.
    other.ErrorMsgOnce(0);
    track.ErrorMsgOnce(kErrTrackMultiMasterVolume);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // A code that is not a once message is shown every time.
    sink.Clear();
    track.ErrorMsgOnce(kErrTrackTempo);
    track.ErrorMsgOnce(kErrTrackTempo);
    EXPECT_EQ(sink.Count(kTempo), 2);
    track.ErrorMsgOnce(0);
}
