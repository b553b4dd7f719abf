// Duplicate clean-up: program and bank-select chains, repeated note ons and
// offs, notes doubled at one tick, and the gathering of Notes in a tick group.

#include "support/TestEvents.h"

namespace {

// The literal algorithms, quadratic in the group size, as oracles.
int SlowDeleteDuplicate(MidiTrackData& t, bool octave) {
    int removed = 0;
    const int n = t.event_count;
    int first = 0;
    while (first < n && t.event_table[first]->delta == 0) ++first;
    while (first < n) {
        int end = first + 1;
        while (end < n && t.event_table[end]->delta == 0) ++end;
        for (int i = first; i < end; ++i) {
            MidiEvent* a = t.event_table[i];
            if (a->status != kEvNote) continue;
            int high = -1, low = 1000;
            for (int j = i + 1; j < end; ++j) {
                if (t.event_table[j]->status != kEvNote) continue;
                high = std::max(high, t.event_table[j]->note);
                low = std::min(low, t.event_table[j]->note);
            }
            for (int j = i + 1; j < end; ++j) {
                MidiEvent* b = t.event_table[j];
                if (b->status != kEvNote || b->duration != a->duration) continue;
                const bool hit =
                    octave ? (b->note != high && b->note != low && b->note % 12 == a->note % 12)
                           : b->note == a->note;
                if (hit) {
                    b->status = kEvNone;
                    ++removed;
                }
            }
        }
        first = end;
    }
    t.DeleteNop();
    return removed;
}

EvList RandomChords(std::mt19937& rng, int groups) {
    EvList events;
    std::uniform_int_distribution<int> size(1, 12), pitch(0, 47), kind(0, 9), gap(0, 3);
    for (int g = 0; g < groups; ++g) {
        int delta = gap(rng) == 0 ? 0 : 60;  // some groups merge with the previous one
        for (int k = size(rng); k > 0; --k) {
            events.push_back(kind(rng) == 0 ? Cc(delta, 0, 7, 100)
                                            : Note(delta, kind(rng) % 2, 36 + pitch(rng),
                                                   kind(rng) < 7 ? 120 : 240));
            delta = 0;
        }
    }
    events.push_back(Eot(480));
    return events;
}

}  // namespace

TEST(Duplicate, ChainsRandomChordsAgainstTheLiteralAndGathering) {
    CaptureSink sink;
    // A program change after a note is never merged into one before the note;
    // 5, 7, 5 without a note between ends on 5.
    auto c = Track(kFormQ2, {Pc(0, 0, 1), Note(0, 0, 60, 10), Pc(10, 0, 2), Pc(0, 0, 5),
                             Pc(5, 0, 7), Pc(5, 0, 5), Note(0, 0, 62, 10), Eot(10)});
    c->CleanUpDuplicateProgramChange();
    EXPECT_EQ(Dump(*c),
              (Lines{"0 PC c0 1", "0 N c0 n60 d10", "10 PC c0 5", "20 N c0 n62 d10", "30 EOT"}));
    EXPECT_EQ(c->event_table[2]->data[1], 5);  // the stored message follows the value

    auto raw = Track(kFormRaw, {Pc(0, 0, 1), Pc(0, 0, 1)});
    raw->CleanUpDuplicateProgramChange();
    EXPECT_EQ(raw->event_count, 2);
    EXPECT_EQ(sink.Messages(), Lines{kInternal});

    sink.Clear();
    auto t = Track(kFormQ2,
                   {Cc(0, 0, 0, 0), Cc(0, 0, 32, 0), Pc(0, 0, 10), Cc(10, 0, 0, 0), Cc(0, 0, 32, 1),
                    Pc(0, 0, 11), Note(10, 0, 60, 10), Cc(10, 0, 0, 2), Cc(0, 0, 0, 3), Eot(0)});
    t->CleanUpDuplicateBankSelectAndProgramChange();
    // The second MSB repeats the first and goes in the first walk; the LSB and
    // program changes collapse into their first members before the note. The
    // settings after the last note have no note to close them and stay.
    EXPECT_EQ(Dump(*t), (Lines{"0 CC c0 #0=0", "0 CC c0 #32=1", "0 PC c0 11", "20 N c0 n60 d10",
                               "30 CC c0 #0=2", "30 CC c0 #0=3", "30 EOT"}));
    EXPECT_EQ(t->event_table[1]->data[2], 1);

    // Two overlapping notes of one pitch, and an unrelated note on channel 1.
    auto make = [] {
        return Track(kFormQ2,
                     {Note(0, 0, 60, 480), Note(0, 1, 60, 960), Note(240, 0, 60, 480), Eot(720)});
    };
    auto split = make();
    EXPECT_EQ(split->CleanUpDuplicateNoteOnOff(true), 1);
    // The first note ends where the second begins; the second ends at the
    // first note off of its pitch.
    EXPECT_EQ(Dump(*split),
              (Lines{"0 N c0 n60 d240", "0 N c1 n60 d960", "240 N c0 n60 d240", "960 EOT"}));

    auto drop = make();
    EXPECT_EQ(drop->CleanUpDuplicateNoteOnOff(false), 1);
    EXPECT_EQ(Dump(*drop), (Lines{"0 N c0 n60 d480", "0 N c1 n60 d960", "960 EOT"}));

    // Notes on a channel out of range are carried, not tracked.
    auto odd = Track(kFormQ2, {Note(0, 40, 60, 100), Note(0, 40, 60, 100), Eot(200)});
    odd->CleanUpDuplicateNoteOnOff(true);
    EXPECT_EQ(odd->event_count, 3);
    std::mt19937 rng(20240611);
    for (int round = 0; round < 40; ++round) {
        for (bool octave : {false, true}) {
            std::mt19937 copy = rng;
            auto fast = Track(kFormQ2, RandomChords(rng, 200));
            auto slow = Track(kFormQ2, RandomChords(copy, 200));
            const int expected = SlowDeleteDuplicate(*slow, octave);
            const int got =
                octave ? fast->DeleteDuplicateOctaveNote() : fast->DeleteDuplicateNote();
            ASSERT_EQ(got, expected) << "round " << round;
            ASSERT_EQ(Dump(*fast), Dump(*slow)) << "round " << round;
        }
    }
    EXPECT_TRUE(sink.Messages().empty());
    t = Track(kFormQ2, {Note(0, 0, 50, 10), Pc(0, 0, 3),  // before the first group
                        Note(10, 0, 60, 10), Cc(0, 0, 7, 1), Note(0, 0, 62, 10), Pc(0, 0, 4),
                        Note(10, 0, 64, 10), Eot(10)});
    t->GatherNoteEvent();
    // 60 travels to the end; 62, moved behind the walk by the first exchange,
    // stays. The group's first place keeps its delta.
    EXPECT_EQ(Dump(*t), (Lines{"0 N c0 n50 d10", "0 PC c0 3", "10 CC c0 #7=1", "10 N c0 n62 d10",
                               "10 PC c0 4", "10 N c0 n60 d10", "20 N c0 n64 d10", "30 EOT"}));
    EXPECT_EQ(t->event_table[2]->delta, 10);
}
