// The Q1 and Q2 forms on hand-made tracks: what is refused and reported (the
// random tracks of FormsOracleTest check the conversions at large).

#include "support/TestEvents.h"

TEST(TrackForms, RefusalsVelocityZeroAndNegativeLength) {
    CaptureSink sink;
    auto track = Track(kFormQ2, {On(0, 0, 60), Off(480, 0, 60), Eot(0)});
    track->Q1toQ2();
    track->NoteOnVelocityZeroToNoteOff();
    EXPECT_EQ(track->form, kFormQ2);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{On(0, 0, 60), Off(480, 0, 60), Eot(0)}));

    track = Track(kFormQ1, {On(0, 0, 60), Eot(0)});
    track->Q2toQ1();
    EXPECT_EQ(track->form, kFormQ1);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{On(0, 0, 60), Eot(0)}));
    EXPECT_EQ(sink.Count(kInternal), 3);

    track = Track(kFormQ1, {On(0, 0, 60, 0), On(1, 0, 61, 5), Off(2, 0, 62, 0)});
    track->NoteOnVelocityZeroToNoteOff();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Off(0, 0, 60), On(1, 0, 61, 5), Off(2, 0, 62)}));

    // A negative length cannot be placed: that Note goes, reported.
    sink.Clear();
    track = Track(kFormQ2, {Note(0, 0, 60, -5, 100), Tag(10, 1), Eot(0)});
    track->Q2toQ1();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(10, 1), Eot(0)}));
    EXPECT_EQ(sink.Count(kInternal), 1);
}

// Note offs that would not fit the table: the track stays whole, in Q2.
TEST(TrackForms, Q2toQ1RefusesWhatTheTableCannotHold) {
    CaptureSink sink;
    MidiTrackData track(kFormQ2);
    const int notes = kMaxEvents / 2;  // with their note offs and the end: one too many
    for (int i = 0; i < notes; ++i) track.AddNote(0, 10, 60, 100, 5);
    track.AddEndOfTrack(0);
    track.Q2toQ1();
    EXPECT_EQ(track.form, kFormQ2);
    EXPECT_EQ(track.event_count, notes + 1);
    EXPECT_EQ(track.event_table[0]->status, kEvNote);
    EXPECT_EQ(sink.Count(kTooMuch), 1);

    // A silent Note goes before counting: then it fits.
    track.event_table[0]->velocity = 0;
    track.Q2toQ1();
    EXPECT_EQ(track.form, kFormQ1);
    EXPECT_EQ(track.event_count, kMaxEvents - 1);
    EXPECT_TRUE(track.event_table[kMaxEvents - 2]->IsEndOfTrack());
    track.Q1toQ2();
    EXPECT_EQ(track.event_count, notes);
}
