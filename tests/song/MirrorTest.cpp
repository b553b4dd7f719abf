// The mirror transforms: backwards in time (notes keep lengths and
// velocities, overlaps of one pitch included, programs lead their passage),
// upside down (drums stay), and the operations that shape a song's start.
#include <gtest/gtest.h>

#include <random>

#include "MirrorFixture.h"

using namespace mirror_test;

namespace {

const std::string kSongInternal = "MidiF0Dataで内部エラーが発生しました。";
const std::string kGeneral = "MidiF0Dataでエラーが発生しました。";

// Literal program-change move: sixteen none events inserted at the front, the
// chain of exchanges per channel, then DeleteNop.
void LiteralReverseSub(MidiTrackData& t) {
    for (int c = 0; c < 16; ++c) {
        auto* none = new MidiEvent();
        none->status = kEvNone;
        t.InsertEvent(0, 2, none);
        int previous = 0;
        for (int k = 0; k < t.event_count - 1; ++k) {
            const MidiEvent* e = t.event_table[k];
            if (e->channel == c && e->status == kEvProgram) {
                t.SwapEventExceptDelta(k, previous);
                previous = k;
            }
        }
    }
    t.DeleteNop();
}

std::vector<std::string> Listing(const MidiTrackData& t) {
    std::vector<std::string> out;
    long time = 0;
    for (int k = 0; k < t.event_count; ++k) {
        const MidiEvent* e = t.event_table[k];
        time += e->delta;
        out.push_back(std::to_string(time) + " s" + std::to_string(e->status) + " c" +
                      std::to_string(e->channel) + " n" + std::to_string(e->note) + " v" +
                      std::to_string(e->value) + " #" + std::to_string(e->number));
    }
    return out;
}

}  // namespace

TEST(HorizontalReverse, RefusalsAndTheEmptySong) {
    CaptureSink sink;
    auto q2 = MakeSong(kFormQ2, 480, {NoteAt(0, 0, 60, 480), EndAt(480)});
    q2->HorizontalReverse();
    EXPECT_EQ(sink.Count(kSongInternal), 1);

    // Without its end of track the song is left alone.
    sink.Clear();
    auto open = MakeSong(kFormQ1, 480, {OnAt(0, 0, 60), OffAt(480, 0, 60)});
    open->HorizontalReverse();
    EXPECT_EQ(sink.Count(kGeneral), 1);
    EXPECT_EQ(TimesOf(*open->GetTrack()), (std::vector<long>{0, 480}));

    // Only an end of track: its delta becomes 0, nothing else happens.
    sink.Clear();
    auto empty = MakeSong(kFormQ1, 480, {EndAt(960)});
    empty->HorizontalReverse();
    EXPECT_TRUE(sink.Messages().empty());
    ASSERT_EQ(empty->GetTrack()->event_count, 1);
    EXPECT_EQ(empty->GetTrack()->event_table[0]->delta, 0);
}

TEST(HorizontalReverse, NotesKeepLengthsAndTheLeadInGoes) {
    auto song = MakeSong(kFormQ2, 480,
                         {MetaAt(100, kMetaTrackName, "x"), NoteAt(200, 0, 60, 480, 90),
                          NoteAt(680, 1, 64, 240, 80), NoteAt(680, 0, 67, 960, 70), EndAt(2000)});
    song->Q2toQ1();
    song->HorizontalReverse();
    song->Q1toQ2();
    // The last event before the end of track is the note off at 1640: it
    // becomes time 0. The gap before the end of track stays at the end.
    EXPECT_EQ(NotesOf(*song->GetTrack()),
              (Notes{{0, 0, 67, 960, 70}, {720, 1, 64, 240, 80}, {960, 0, 60, 480, 90}}));
    const std::vector<long> times = TimesOf(*song->GetTrack());
    EXPECT_EQ(times.back(), 1540 + 360);
    EXPECT_EQ(times[times.size() - 2], 1540);  // the name, once at 100, now last
}

TEST(HorizontalReverse, OverlappingNotesOfOnePitch) {
    // Two notes of one pitch overlap: each keeps its length and its velocity
    // (the note off pairs with the note it ends), none is lost.
    auto song = MakeSong(kFormQ2, 480,
                         {NoteAt(0, 0, 60, 480, 100), NoteAt(240, 0, 60, 720, 50), EndAt(960)});
    song->Q2toQ1();
    song->HorizontalReverse();
    song->Q1toQ2();
    EXPECT_EQ(NotesOf(*song->GetTrack()), (Notes{{0, 0, 60, 720, 50}, {480, 0, 60, 480, 100}}));
}

TEST(HorizontalReverse, RandomSongsAgainstTheMirrorOfTheirNotes) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 300; ++round) {
        auto song = RandomSong(random, 1 + round % 60);
        Normalise(*song);
        const Notes notes = NotesOf(*song->GetTrack());
        const long lead_in = song->GetTrack()->event_table[0]->delta;

        MidiF0Data once(song.get());
        once.Q2toQ1();
        const long last = LastEventTime(*once.GetTrack());
        once.HorizontalReverse();
        once.Q1toQ2();
        ASSERT_EQ(NotesOf(*once.GetTrack()), Mirrored(notes, *once.GetTrack(), last, true, false))
            << "round " << round;

        // Twice gives the notes back, less the silence before the first event.
        once.Q2toQ1();
        once.HorizontalReverse();
        once.Q1toQ2();
        ASSERT_EQ(NotesOf(*once.GetTrack()), Shifted(notes, -lead_in)) << "round " << round;
    }
}

TEST(HorizontalReverse, ProgramChangesLeadTheirPassage) {
    // Program 1 governs the first passage, program 2 the second. Backwards,
    // the second passage comes first and must be preceded by program 2.
    auto song = MakeSong(kFormQ2, 480,
                         {ProgramAt(0, 0, 1), NoteAt(0, 0, 60, 480), ProgramAt(960, 0, 2),
                          NoteAt(960, 0, 62, 480), ControlAt(960, 0, 7, 90), EndAt(1440)});
    song->Q2toQ1();
    song->HorizontalReverse();
    EXPECT_EQ(Listing(*song->GetTrack()),
              (std::vector<std::string>{"0 s192 c0 n0 v2 #0", "0 s144 c0 n62 v0 #0",
                                        "480 s176 c0 n0 v90 #7", "480 s128 c0 n62 v0 #0",
                                        "480 s192 c0 n0 v1 #0", "960 s144 c0 n60 v0 #0",
                                        "1440 s128 c0 n60 v0 #0", "1440 s255 c255 n0 v0 #47"}));
}

TEST(HorizontalReverseSub, MatchesTheLiteralMove) {
    // Random songs: the same result as the sixteen insertions and exchanges.
    std::mt19937 random(77);
    std::uniform_int_distribution<int> pick(0, 5);
    std::uniform_int_distribution<int> channel(0, 15);
    for (int round = 0; round < 200; ++round) {
        std::vector<At> events;
        long tick = 0;
        for (int i = 0; i < 40; ++i) {
            tick += pick(random) * 10;
            const int c = channel(random);
            const int kind = pick(random);
            const int value = pick(random);
            events.push_back(kind < 3    ? ProgramAt(tick, c, value)
                             : kind == 3 ? OnAt(tick, c, 60 + value)
                                         : ControlAt(tick, c, 7, value));
        }
        events.push_back(EndAt(tick + 5));
        auto fast = MakeSong(kFormQ1, 480, std::move(events));
        MidiF0Data literal(fast.get());
        fast->HorizontalReverseSub();
        LiteralReverseSub(*literal.GetTrack());
        ASSERT_EQ(Listing(*fast->GetTrack()), Listing(*literal.GetTrack())) << "round " << round;
    }
}

TEST(VerticalReverse, PivotsClampsAndDrums) {
    // Channel 0 spans 60..72 (pivot 60), channel 1 spans 61..62 (pivot 60),
    // channel 2 spans 5..10 (pivot 0: 10 would go below 0), channel 9 is
    // drums, channel 3 is drums by a rhythm-part message.
    auto song = MakeSong(
        kFormQ2, 480,
        {NoteAt(0, 0, 60, 10), NoteAt(0, 0, 72, 10), NoteAt(0, 1, 61, 10), NoteAt(0, 1, 62, 10),
         NoteAt(0, 2, 5, 10), NoteAt(0, 2, 10, 10), NoteAt(0, 9, 36, 10), NoteAt(0, 9, 80, 10),
         NoteAt(0, 3, 40, 10), NoteAt(0, 3, 70, 10), EndAt(100)});
    song->GetTrack()->InsertEvent(0, 2, RhythmPart(0, 3));
    song->Q2toQ1();
    song->VerticalReverse();
    song->Q1toQ2();
    std::string pitches;
    for (const NoteValue& n : NotesOf(*song->GetTrack())) {
        pitches += std::to_string(n.channel) + ":" + std::to_string(n.note) + " ";
    }
    EXPECT_EQ(pitches, "0:48 0:60 1:58 1:59 2:0 2:0 3:40 3:70 9:36 9:80 ");
}

TEST(VerticalReverse, RandomSongsAgainstTheirRanges) {
    std::mt19937 random(5);
    for (int round = 0; round < 100; ++round) {
        auto song = RandomSong(random, 50, 12, 6);
        Normalise(*song);
        const Notes expected =
            Mirrored(NotesOf(*song->GetTrack()), *song->GetTrack(), 0, false, true);
        song->Q2toQ1();
        song->VerticalReverse();
        song->Q1toQ2();
        ASSERT_EQ(NotesOf(*song->GetTrack()), expected) << "round " << round;
    }
}

TEST(HoldPedalToNote, NotesLastUntilThePedalIsReleased) {
    CaptureSink sink;
    auto song = MakeSong(
        kFormQ2, 480,
        {ControlAt(0, 0, 64, 127), NoteAt(0, 0, 60, 100), NoteAt(0, 1, 62, 100),
         NoteAt(200, 0, 64, 100), ControlAt(480, 0, 64, 0), NoteAt(600, 0, 60, 100), EndAt(960)});
    song->HoldPedalToNote();
    // Channel 1 has no pedal; the pedal events are gone.
    EXPECT_EQ(NotesOf(*song->GetTrack()), (Notes{{0, 0, 60, 480, 100},
                                                 {0, 1, 62, 100, 100},
                                                 {200, 0, 64, 280, 100},
                                                 {600, 0, 60, 100, 100}}));
    EXPECT_EQ(song->GetTrack()->event_count, 5);
    EXPECT_TRUE(sink.Messages().empty());

    // A held note struck again ends and starts anew; a pedal never released
    // holds to the end of the song.
    auto again = MakeSong(
        kFormQ2, 480,
        {ControlAt(0, 2, 64, 100), NoteAt(0, 2, 50, 100), NoteAt(300, 2, 50, 100), EndAt(960)});
    again->HoldPedalToNote();
    EXPECT_EQ(NotesOf(*again->GetTrack()), (Notes{{0, 2, 50, 300, 100}, {300, 2, 50, 660, 100}}));
}

TEST(SongStart, BeginImmidiatelyAndMakeDeltaZero) {
    auto far = MakeSong(
        kFormQ2, 480,
        {TimeSignAt(0, 4, 2), ControlAt(100, 0, 7, 1), NoteAt(4000, 0, 60, 10), EndAt(5000)});
    EXPECT_EQ(far->BeginImmidiately(), 3840);
    EXPECT_EQ(TimesOf(*far->GetTrack()), (std::vector<long>{0, 0, 160, 1160}));

    // In Q1 the first note on counts; without a time signature a measure is
    // 384 ticks.
    auto q1 = MakeSong(kFormQ1, 480, {OnAt(1000, 0, 60), OffAt(1100, 0, 60), EndAt(1200)});
    EXPECT_EQ(q1->BeginImmidiately(), 768);
    EXPECT_EQ(TimesOf(*q1->GetTrack()), (std::vector<long>{232, 332, 432}));

    auto same = MakeSong(kFormQ2, 480, {NoteAt(10, 0, 60, 10), EndAt(20)});
    same->MakeDeltaZero(15);
    EXPECT_EQ(TimesOf(*same->GetTrack()), (std::vector<long>{0, 5}));
}
