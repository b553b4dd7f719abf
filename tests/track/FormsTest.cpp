// The Q1 and Q2 forms on hand-made tracks: what is refused and reported (the
// random tracks of FormsOracleTest check the conversions at large).
#include <gtest/gtest.h>

#include <vector>

#include "support/TestEvents.h"

TEST(TrackForms, WrongFormRefused) {
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
}

TEST(TrackForms, NoteOnVelocityZero) {
    auto track = Track(kFormQ1, {On(0, 0, 60, 0), On(1, 0, 61, 5), Off(2, 0, 62, 0)});
    track->NoteOnVelocityZeroToNoteOff();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Off(0, 0, 60), On(1, 0, 61, 5), Off(2, 0, 62)}));
}

// No note is lost: first on with first off per channel and key; a note on
// without a note off of its own ends at the next note event of its key, or at
// the last event; every Note is at least 1 long.
TEST(TrackForms, Q1toQ2KeepsEveryNote) {
    struct Case {
        const char* name;
        std::vector<Ev> q1, q2;
    };
    const Case cases[] = {
        {"restrike released twice",
         {On(0, 0, 60), On(10, 0, 60), Off(10, 0, 60), Off(10, 0, 60), Eot(0)},
         {Note(0, 0, 60, 20, 100), Note(10, 0, 60, 20, 100), Eot(20)}},
        {"restrike released once: the second ends at the taken note off",
         {On(0, 0, 60), On(10, 0, 60), Off(10, 0, 60), Eot(30)},
         {Note(0, 0, 60, 20, 100), Note(10, 0, 60, 10, 100), Eot(40)}},
        {"never released: at the next strike, then at the last event",
         {On(0, 0, 60), Off(5, 1, 60), On(5, 0, 60), Tag(40, 1), Eot(0)},
         {Note(0, 0, 60, 10, 100), Note(10, 0, 60, 40, 100), Tag(40, 1), Eot(0)}},
        {"zero length", {On(0, 0, 60), Off(0, 0, 60), Eot(10)}, {Note(0, 0, 60, 1, 100), Eot(10)}},
        {"velocity-0 note on ends a note and starts none",
         {On(0, 0, 60), On(10, 0, 60, 0), On(5, 0, 61, 0), Eot(0)},
         {Note(0, 0, 60, 10, 100), Eot(15)}},
        {"a note on as the last event",
         {Tag(0, 1), On(7, 2, 64)},
         {Tag(0, 1), Note(7, 2, 64, 1, 100)}},
    };
    for (const Case& c : cases) {
        auto track = Track(kFormQ1, c.q1);
        track->Q1toQ2();
        EXPECT_EQ(Events(*track), c.q2) << c.name;
    }
}

// A negative length cannot be placed: that Note goes, reported.
TEST(TrackForms, Q2toQ1DropsNegativeLength) {
    CaptureSink sink;
    auto track = Track(kFormQ2, {Note(0, 0, 60, -5, 100), Tag(10, 1), Eot(0)});
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
