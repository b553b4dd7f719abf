// The balanced merge of two tracks (each note as loud as before, within
// integer rounding), program unification and the bend-range operations.
#include <gtest/gtest.h>

#include <map>

#include "midi/song/MidiF1TrackData.h"
#include "support/TestEvents.h"

namespace {

using F1 = MidiF1TrackData;
const std::string kF1Generic = "MidiF1TrackDataでエラーが発生しました。";

std::unique_ptr<F1> Q2(const std::vector<Ev>& events) {
    return Track<F1>(kFormQ2, events);
}

// Notes of distinct numbers from `first` with volume and expression changes
// of 0..127 on channel 0.
std::unique_ptr<F1> RandomLevels(std::mt19937& rng, int first) {
    auto t = std::make_unique<F1>(kFormQ2);
    for (int i = 0; i < 20; ++i) {
        const int delta = rng() % 2 ? 0 : int(rng() % 20);
        if (rng() % 3 == 0) t->AddEvent(Cc(delta, 0, rng() % 2 ? 7 : 11, int(rng() % 128)));
        t->AddEvent(Note(rng() % 2 ? 0 : 1, 0, first + i, 5, int(1 + rng() % 127)));
    }
    t->AddEvent(Eot(0));
    return t;
}

// The volume x expression in force at the end of tick on channel 0.
long LevelAt(const MidiTrackData& t, long tick) {
    long v = 100, x = 100;
    for (const Ev& e : Events(t)) {
        if (e.tick > tick) break;
        if (e.status == kEvControl && e.number == 7) v = e.value;
        if (e.status == kEvControl && e.number == 11) x = e.value;
    }
    return v * x;
}

}  // namespace

TEST(TrackMerge, EachNoteKeepsVelocityTimesVolumeTimesExpression) {
    std::mt19937 rng(6);
    for (int round = 0; round < 200; ++round) {
        auto a = RandomLevels(rng, 30);
        const auto b = RandomLevels(rng, 60);
        std::map<int, std::pair<NoteValue, long>> before;  // by note number
        for (const MidiTrackData* t :
             {static_cast<MidiTrackData*>(a.get()), static_cast<MidiTrackData*>(b.get())})
            for (const NoteValue& n : NotesOf(*t)) before[n.note] = {n, LevelAt(*t, n.start)};
        a->MergeTrack(b.get(), false);
        ASSERT_EQ(NotesOf(*a).size(), before.size());
        for (const NoteValue& n : NotesOf(*a)) {
            const auto [old, level] = before.at(n.note);
            const long merged = LevelAt(*a, n.start);
            const long heard = old.velocity * level;
            if (merged == 0) {
                ASSERT_EQ(n.velocity, old.velocity);
            } else if (n.velocity == 127 || n.velocity == 1) {
                ASSERT_TRUE(heard >= 127 * merged || heard < 2 * merged) << round;
            } else {  // truncated: within one step of the merged level
                ASSERT_LE(long(n.velocity) * merged, heard) << round;
                ASSERT_GT(long(n.velocity + 1) * merged, heard) << round;
            }
        }
    }
}

TEST(TrackMerge, CasesProgramsAndBendRange) {
    const auto merged = [](std::vector<Ev> a, std::vector<Ev> b, bool title) {
        auto t = Q2(a);
        t->MergeTrack(Q2(b).get(), title);
        return Dump(*t);
    };
    EXPECT_EQ(merged({Meta(0, 3, "Piano"), Meta(0, 1, "a"), Eot(0)},
                     {Meta(0, 3, "Strings"), Meta(0, 1, "b"), Eot(0)}, true),
              (Lines{"0 META1 b", "0 META3 Piano / Strings", "0 META1 a", "0 EOT"}));
    EXPECT_EQ(merged({Eot(0)}, {Meta(0, 3, "Strings"), Eot(0)}, true),
              (Lines{"0 META3 Strings", "0 EOT"}));
    EXPECT_EQ(merged({Meta(0, 3, std::string(100, 'a'))}, {Meta(0, 3, std::string(30, 'b'))}, true),
              (Lines{"0 META3 long name", "0 EOT"}));
    // A bend range of 1 in one track: the other's bends are rescaled, and
    // clamped as the range shrinks.
    EXPECT_EQ(merged({Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 1), Bend(5, 0, 16383)},
                     {Bend(10, 0, 100), Bend(5, 0, 8292)}, false),
              (Lines{"0 CC c0 #101=0", "0 CC c0 #100=0", "0 CC c0 #6=1", "5 PB c0 16383",
                     "10 PB c0 0", "15 PB c0 8392", "15 EOT"}));
    struct Velocity {
        std::vector<Ev> a, b;
        int velocity;
    };
    const std::vector<Velocity> velocities = {
        {{Cc(0, 0, 7, 1), Note(1, 0, 60, 5, 1)}, {Cc(0, 0, 7, 127)}, 1},  // 0.008 keeps 1
        {{Cc(0, 0, 7, 0), Note(1, 0, 60, 5, 50)}, {}, 50},                // merged volume 0
        {{Cc(0, 0, 11, 50), Note(1, 0, 60, 5, 100)}, {Cc(1, 0, 11, 100)}, 50},
        // the level at the end of the note's tick counts
        {{Note(1, 0, 60, 5, 100), Cc(0, 0, 7, 50)}, {Cc(1, 0, 7, 100)}, 100},
        {{Note(1, 0, 60, 5, 100)}, {Cc(1, 0, 7, 50)}, 127},
    };
    for (const Velocity& v : velocities) {
        auto t = Q2(v.a);
        t->MergeTrack(Q2(v.b).get(), false);
        EXPECT_EQ(NotesOf(*t).at(0).velocity, v.velocity) << Dump(*t).size();
    }

    CaptureSink sink;
    auto q1 = Track<F1>(kFormQ1, {On(0, 0, 60), Off(5, 0, 60), Eot(0)});
    q1->MergeTrack(Track<F1>(kFormQ1, {On(0, 0, 62), Off(5, 0, 62)}).get(), true);
    EXPECT_EQ(q1->event_count, 6);
    q1->MergeTrack(Q2({Eot(0)}).get(), true);  // forms differ: refused
    EXPECT_EQ(q1->event_count, 6);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kF1Generic}));
    sink.Clear();
    F1 big(kFormQ2);
    for (int i = 0; i < 70000; ++i) big.AddEvent(Cc(1, 0, 1, i % 2));
    F1 other(static_cast<MidiTrackData*>(&big));
    big.MergeTrack(&other, false);
    EXPECT_EQ(big.event_count, 70000);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kTooMuch}));

    auto bends = Q2(
        {Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 2), Bend(5, 0, 16383), Bend(5, 0, 8192)});
    bends->UnifyPitchBendSensitivity(12);
    EXPECT_EQ(Dump(*bends), (Lines{"0 CC c0 #101=0", "0 CC c0 #100=0", "0 CC c0 #6=12",
                                   "5 PB c0 9557", "10 PB c0 8192"}));
    // A track that never told its range gets it before its first bend.
    auto untold = Q2({Note(0, 0, 60, 5), Bend(5, 0, 16383)});
    untold->UnifyPitchBendSensitivity(12);
    EXPECT_EQ(Dump(*untold), (Lines{"0 N c0 n60 d5", "5 CC c0 #101=0", "5 CC c0 #100=0",
                                    "5 CC c0 #6=12", "5 PB c0 9557"}));
    auto twice = Q2(
        {Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 12)});
    twice->CleanUpDuplicatePitchBendSensitivity();
    EXPECT_EQ(Dump(*twice), (Lines{"0 CC c0 #101=0", "0 CC c0 #100=0", "0 CC c0 #6=12"}));

    auto programs = Q2({Pc(0, 0, 2), Note(0, 0, 60, 5)});
    programs->UnifyProgramChange(1, 2);
    EXPECT_EQ(programs->GetEventValue(kEvProgram), 2);
    programs->ExtractEventOfSpecifiedBankSelectAndProgramChange(0, 0, 2);
    EXPECT_EQ(programs->event_count, 2);
    auto plain = Q2({Note(0, 0, 60, 5), Note(5, 0, 62, 5)});
    plain->ExtractEventOfSpecifiedBankSelectAndProgramChange(0, 0, 0);
    EXPECT_EQ(plain->event_count, 2);
    // The bank select of a rewritten instrument is given back to a later
    // program change that relied on it.
    auto banks = Q2({Cc(0, 0, 0, 8), Cc(0, 0, 32, 0), Pc(0, 0, 5), Note(0, 0, 60, 5), Pc(10, 0, 7),
                     Cc(10, 0, 0, 1), Cc(0, 0, 32, 2), Pc(0, 0, 9)});
    banks->UnifyProgramChange(1, 2, 9, 8, 0, 5);
    EXPECT_EQ(Dump(*banks), (Lines{"0 CC c0 #0=1", "0 CC c0 #32=2", "0 PC c0 9", "0 N c0 n60 d5",
                                   "10 CC c0 #0=8", "10 CC c0 #32=0", "10 PC c0 7", "20 CC c0 #0=1",
                                   "20 CC c0 #32=2", "20 PC c0 9"}));

    auto rpn = Q2({Note(0, 0, 60, 5), Note(0, 0, 61, 5), Note(0, 0, 62, 5), Cc(0, 0, 101, 0),
                   Cc(0, 0, 100, 0), Cc(0, 0, 6, 7)});
    int index = 0;
    EXPECT_EQ(rpn->GetRpnDataEntry(&index, 0, 0), 7);
    EXPECT_EQ(index, 5);
    EXPECT_EQ(rpn->GetRpnDataEntry(nullptr, 0, 0), -1);
    EXPECT_EQ(rpn->InsertRpnAndDataEntry(0, 2, 0, 0, 4), 1);
    sink.Clear();
    EXPECT_EQ(rpn->InsertRpnAndDataEntry(0, 2, 0, 0, 128), 0);
    EXPECT_EQ(rpn->InsertRpnAndDataEntry(0, 1, 0, 0, 4), 0);
    rpn->UnifyPitchBendSensitivity(0);
    EXPECT_EQ(sink.Count(kF1Generic), 3);
    EXPECT_EQ(rpn->event_count, 9);
}
