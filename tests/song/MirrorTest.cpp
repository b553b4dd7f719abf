// The mirror transforms: backwards in time (notes keep lengths and
// velocities, overlaps of one pitch included, programs lead their passage),
// upside down (drums stay), and the operations that shape a song's start;
// measure, beat and tempo arithmetic, tempo and marker edits.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <tuple>

#include "MirrorFixture.h"
#include "support/TestSongs.h"

using namespace mirror_test;

namespace {

const std::string kSongInternal = "MidiF0Dataで内部エラーが発生しました。";
const std::string kGeneral = "MidiF0Dataでエラーが発生しました。";

// Literal move of programs (channels 0..15), tempos, time and key signatures:
// per kind a none event inserted at the front, the chain of exchanges, then
// one DeleteNop.
void LiteralReverseSub(MidiTrackData& t) {
    for (int walk = 0; walk < 19; ++walk) {
        t.InsertEvent(0, 2, Nop(0));
        int previous = 0;
        for (int k = 0; k < t.event_count - 1; ++k) {
            const MidiEvent* e = t.event_table[k];
            const bool match = walk < 16    ? e->channel == walk && e->status == kEvProgram
                               : walk == 16 ? e->IsMeta(kMetaTempo)
                               : walk == 17 ? e->IsMeta(kMetaTimeSignature)
                                            : e->IsMeta(kMetaKeySignature);
            if (match) {
                t.SwapEventExceptDelta(k, previous);
                previous = k;
            }
        }
    }
    t.DeleteNop();
}

// The backwards mirror step by step, the slow way: default tempo, time and
// key signature at the start when changes come later only; the tick-0 setup
// taken out; notes paired (each note off with the earliest note on of its
// key not yet taken) by exchange; the order reversed; the deltas shifted; the
// moves of programs, tempos and signatures; the setup put back in front.
void LiteralReverse(MidiTrackData& t) {
    std::array<Ev, 3> defaults = {Tempo(0, 500000), TimeSign(0, 4, 2), KeySign(0, 0)};
    defaults[1].data[2] = 18;  // the clocks per click the library writes
    std::array<bool, 3> any{}, at_zero{};
    long time = 0;
    for (int k = 0; k < t.event_count; ++k) {
        time += t.event_table[k]->delta;
        for (int m = 0; m < 3; ++m) {
            if (!t.event_table[k]->IsMeta(defaults[m].number)) continue;
            any[m] = true;
            at_zero[m] = at_zero[m] || time == 0;
        }
    }
    for (int m = 2; m >= 0; --m)
        if (any[m] && !at_zero[m]) t.InsertEvent(0, 2, defaults[m]);

    std::vector<MidiEvent*> setup, rest;
    time = 0;
    for (int k = 0; k < t.event_count; ++k) {
        MidiEvent* e = t.event_table[k];
        time += e->delta;
        const bool kept = e->status == kEvNoteOff || e->status == kEvNoteOn ||
                          e->status == kEvProgram || e->IsMeta(kMetaTempo) ||
                          e->IsMeta(kMetaTimeSignature) || e->IsMeta(kMetaKeySignature) ||
                          e->IsEndOfTrack();
        (time == 0 && !kept ? setup : rest).push_back(e);
    }
    std::copy(rest.begin(), rest.end(), t.event_table.get());
    t.event_count = int(rest.size());

    const int count = t.event_count;
    std::vector<const MidiEvent*> taken;
    for (int i = 0; i + 1 < count; ++i) {
        const MidiEvent* off = t.event_table[i];
        const bool is_off =
            off->status == kEvNoteOff || (off->status == kEvNoteOn && off->velocity == 0);
        if (!is_off) continue;
        for (int j = 0; j < i; ++j) {
            const MidiEvent* on = t.event_table[j];
            if (on->status == kEvNoteOn && on->velocity > 0 && on->channel == off->channel &&
                on->note == off->note && std::find(taken.begin(), taken.end(), on) == taken.end()) {
                taken.push_back(on);
                t.SwapEventExceptDelta(i, j);
                break;
            }
        }
    }
    for (int i = 0, j = count - 2; i < count - 1; ++i, --j)
        if (i < j) t.SwapEventWithDelta(i, j);
    for (int k = count - 2; k >= 1; --k) t.event_table[k]->delta = t.event_table[k - 1]->delta;
    t.event_table[0]->delta = 0;
    LiteralReverseSub(t);
    for (auto it = setup.rbegin(); it != setup.rend(); ++it) {
        (*it)->delta = 0;
        t.InsertEvent(0, 2, *it);
    }
}

const std::string kMisplaced = "拍子記号の位置が異常です。";

// Measure, beat and tick in the measure.
using Position = std::tuple<int, int, int>;

Position At0(MidiF0Data& song, int tick, bool byDenominator) {
    int measure = 0, beat = 0, in_beat = 0;
    song.GetMeasureBeatTick(tick, &measure, &beat, &in_beat, byDenominator);
    return {measure, beat, in_beat};
}

}  // namespace

TEST(Mirror, RandomSongsAgainstTheMirrorOfTheirNotes) {
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

        // Upside down, on songs of more channels and pitches.
        if (round % 3) continue;
        auto wide = RandomSong(random, 50, 12, 6);
        Normalise(*wide);
        const Notes expected =
            Mirrored(NotesOf(*wide->GetTrack()), *wide->GetTrack(), 0, false, true);
        wide->Q2toQ1();
        wide->VerticalReverse();
        wide->Q1toQ2();
        ASSERT_EQ(NotesOf(*wide->GetTrack()), expected) << "round " << round;
    }
}

TEST(HorizontalReverse, MatchesTheLiteralStepsAndRefusals) {
    std::mt19937 random(4242);
    for (int round = 0; round < 400; ++round) {
        auto fast = RandomQ1Song(random, 480);
        // A copy made event by event, and a copied song (Q1 copies too).
        MidiF0Data literal(kFormQ1, 480), moved(kFormQ1, 480), literal_move(fast.get());
        for (int k = 0; k < fast->GetTrack()->event_count; ++k) {
            literal.GetTrack()->AddCopyEvent(fast->GetTrack()->event_table[k]);
            moved.GetTrack()->AddCopyEvent(fast->GetTrack()->event_table[k]);
        }
        // The move alone: the same result as the insertions and exchanges.
        moved.HorizontalReverseSub();
        LiteralReverseSub(*literal_move.GetTrack());
        ASSERT_EQ(Image(*moved.GetTrack()), Image(*literal_move.GetTrack())) << "round " << round;
        fast->HorizontalReverse();
        LiteralReverse(*literal.GetTrack());
        ASSERT_EQ(Image(*fast->GetTrack()), Image(*literal.GetTrack())) << "round " << round;
        ASSERT_EQ(fast->Q1toRaw(), 1);
        ASSERT_EQ(literal.Q1toRaw(), 1);
        ASSERT_EQ(Bytes(fast->buffer, fast->buffer + fast->size),
                  Bytes(literal.buffer, literal.buffer + literal.size));
    }
    // A refused reverse (no end of track) adds no default tempo either.
    CaptureSink sink;
    auto open = MakeSong(kFormQ1, 480, {Meta(0, kMetaText, "x"), Tempo(60, 400000)});
    const auto before = Image(*open->GetTrack());
    open->HorizontalReverse();
    open->HorizontalReverse(true);
    EXPECT_EQ(Image(*open->GetTrack()), before);
    EXPECT_EQ(sink.Count(kGeneral), 2);

    sink.Clear();
    auto q2 = MakeSong(kFormQ2, 480, {Note(0, 0, 60, 480), Eot(480)});
    q2->HorizontalReverse();
    EXPECT_EQ(sink.Count(kSongInternal), 1);

    // Only an end of track: its delta becomes 0, nothing else happens.
    sink.Clear();
    auto empty = MakeSong(kFormQ1, 480, {Eot(960)});
    empty->HorizontalReverse();
    EXPECT_TRUE(sink.Messages().empty());
    ASSERT_EQ(empty->GetTrack()->event_count, 1);
    EXPECT_EQ(empty->GetTrack()->event_table[0]->delta, 0);
}

TEST(VerticalReverse, PivotsClampsDrumsHoldPedalAndStart) {
    CaptureSink sink;
    // Channel 0 spans 60..72 (pivot 60), channel 1 spans 61..62 (pivot 60),
    // channel 2 spans 5..10 (pivot 0: 10 would go below 0), channel 9 is
    // drums, channel 3 is drums by a rhythm-part message.
    auto song =
        MakeSong(kFormQ2, 480,
                 {Note(0, 0, 60, 10), Note(0, 0, 72, 10), Note(0, 1, 61, 10), Note(0, 1, 62, 10),
                  Note(0, 2, 5, 10), Note(0, 2, 10, 10), Note(0, 9, 36, 10), Note(0, 9, 80, 10),
                  Note(0, 3, 40, 10), Note(0, 3, 70, 10), Eot(100)});
    song->GetTrack()->InsertEvent(0, 2, RhythmPart(0, 3));
    song->Q2toQ1();
    song->VerticalReverse();
    song->Q1toQ2();
    std::string pitches;
    for (const NoteValue& n : NotesOf(*song->GetTrack()))
        pitches += std::to_string(n.channel) + ":" + std::to_string(n.note) + " ";
    EXPECT_EQ(pitches, "0:48 0:60 1:58 1:59 2:0 2:0 3:40 3:70 9:36 9:80 ");

    sink.Clear();
    song = MakeSong(kFormQ2, 480,
                    {Cc(0, 0, 64, 127), Note(0, 0, 60, 100), Note(0, 1, 62, 100),
                     Note(200, 0, 64, 100), Cc(480, 0, 64, 0), Note(600, 0, 60, 100), Eot(960)});
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
        kFormQ2, 480, {Cc(0, 2, 64, 100), Note(0, 2, 50, 100), Note(300, 2, 50, 100), Eot(960)});
    again->HoldPedalToNote();
    EXPECT_EQ(NotesOf(*again->GetTrack()), (Notes{{0, 2, 50, 300, 100}, {300, 2, 50, 660, 100}}));

    auto far = MakeSong(kFormQ2, 480,
                        {TimeSign(0, 4, 2), Cc(100, 0, 7, 1), Note(4000, 0, 60, 10), Eot(5000)});
    EXPECT_EQ(far->BeginImmidiately(), 3840);
    EXPECT_EQ(TimesOf(*far->GetTrack()), (std::vector<long>{0, 0, 160, 1160}));

    // In Q1 the first note on counts; without a time signature a measure is
    // 384 ticks.
    auto q1 = MakeSong(kFormQ1, 480, {On(1000, 0, 60), Off(1100, 0, 60), Eot(1200)});
    EXPECT_EQ(q1->BeginImmidiately(), 768);
    EXPECT_EQ(TimesOf(*q1->GetTrack()), (std::vector<long>{232, 332, 432}));

    auto same = MakeSong(kFormQ2, 480, {Note(10, 0, 60, 10), Eot(20)});
    same->MakeDeltaZero(15);
    EXPECT_EQ(TimesOf(*same->GetTrack()), (std::vector<long>{0, 5}));
}

TEST(Measure, PositionsCountsAndBoundaries) {
    CaptureSink sink;
    auto song = MakeSong(kFormQ1, 480, {On(0, 0, 60), Off(480, 0, 60), Eot(1920)});
    EXPECT_EQ(song->GetOneMeasureTick(), 384);     // not 4 x 480
    EXPECT_EQ(song->GetTickFromMeasure(3), 5760);  // past the end: counting on in 4/4
    EXPECT_EQ(At0(*song, 2000, false), (Position{1, 0, 80}));

    MidiF0Data no_division(kFormQ1);
    EXPECT_EQ(no_division.GetOneMeasureTick(), 384);
    int m = 1, b = 1, t = 1;
    EXPECT_EQ(no_division.GetMeasureBeatTick(100, &m, &b, &t, false), 0);
    EXPECT_EQ(m + b + t, 0);

    // The fixed time signature of the song wins over the track's.
    song->fixed_time_sign = 3 * 256 + 4;
    EXPECT_EQ(song->GetOneMeasureTick(), 1440);

    auto six = MakeSong(kFormQ2, 480, {TimeSign(0, 6, 3), Eot(3000)});
    EXPECT_EQ(At0(*six, 1500, false), (Position{1, 0, 60}));
    EXPECT_EQ(At0(*six, 1300, true), (Position{0, 5, 100}));  // beats of 240

    // Two measures of 4/4, then 3/4; past the last event the last measure
    // length counts on.
    auto change = MakeSong(kFormQ1, 480, {TimeSign(0, 4, 2), TimeSign(3840, 3, 2), Eot(4000)});
    EXPECT_EQ(At0(*change, 3840 + 1440 + 500, false), (Position{3, 1, 20}));
    EXPECT_EQ(change->GetTickFromMeasure(5), 3840 + 3 * 1440);
    EXPECT_EQ(change->GetNumMeasure(), 3);

    sink.Clear();
    song = MakeSong(kFormQ1, 480, {TimeSign(100, 3, 2), Eot(3000)});
    At0(*song, 2000, false);
    At0(*song, 2500, true);
    EXPECT_EQ(sink.Count(kMisplaced), 1);
    auto next = MakeSong(kFormQ1, 480, {TimeSign(100, 3, 2), Eot(3000)});
    At0(*next, 2000, false);
    EXPECT_EQ(sink.Count(kMisplaced), 2);

    song = MakeSong(kFormQ1, 480, {TimeSign(0, 4, 2), On(10, 0, 60), Off(1921, 0, 60), Eot(1921)});
    EXPECT_EQ(song->GetNextMeasureDelta(1920), 1920);  // on a boundary: that tick
    EXPECT_EQ(song->GetNextMeasureDelta(1921), 3840);
    EXPECT_EQ(song->GetNextMeasureDelta(9000), 9600);
    EXPECT_EQ(song->GetNumMeasure(), 2);

    // In Q2 the answer comes from a Q1 copy; the song stays as it is.
    auto q2 = MakeSong(kFormQ2, 480, {TimeSign(0, 3, 2), Note(100, 0, 60, 10), Eot(2000)});
    EXPECT_EQ(q2->GetNextMeasureDelta(1441), 2880);
    EXPECT_EQ(q2->form, kFormQ2);
    EXPECT_EQ(q2->GetTrack()->event_table[1]->status, kEvNote);
}

TEST(Measure, PositionsOfAllEventsMatchTheSingleQuery) {
    std::mt19937 random(99);
    std::uniform_int_distribution<int> gap(0, 700), numerator(1, 7), power(1, 4), kind(0, 9);
    CaptureSink quiet;
    for (int round = 0; round < 100; ++round) {
        std::vector<Ev> events;
        long tick = gap(random);
        for (int i = 0; i < 60; ++i) {
            tick += gap(random) * (kind(random) < 3 ? 0 : 1);
            if (kind(random) == 0) {
                events.push_back(TimeSign(tick, numerator(random), power(random)));
            } else {
                events.push_back(Note(tick, 0, 60, 10));
            }
        }
        events.push_back(Eot(tick + 10));
        auto song = MakeSong(kFormQ2, 120 * (1 + round % 8), std::move(events));
        for (bool byDenominator : {false, true}) {
            std::vector<MidiMeasurePosition> all;
            song->GetEventPositions(&all, byDenominator);
            const std::vector<long> times = TimesOf(*song->GetTrack());
            ASSERT_EQ(all.size(), times.size());
            for (std::size_t k = 0; k < all.size(); ++k) {
                const Position single = At0(*song, static_cast<int>(times[k]), byDenominator);
                ASSERT_EQ(all[k].tick, times[k]);
                ASSERT_EQ((Position{all[k].measure, all[k].beat, all[k].tick_in_beat}), single)
                    << "round " << round << " event " << k;
            }
        }
    }
}

TEST(Tempo, StartTempoOrderUnnecessaryTemposMarkersAndFormat1Twins) {
    auto song =
        MakeSong(kFormQ2, 480, {Pc(0, 0, 5), Note(0, 0, 60, 10), Note(0, 1, 62, 10), Eot(960)});
    EXPECT_EQ(song->GetClockTempo(), 500000);  // none: the SMF default
    song->SetStartTempo();
    // The tempo leads; the program stays ahead of its notes.
    EXPECT_EQ(Dump(*song->GetTrack()), (Lines{"0 TEMPO 600000", "0 PC c0 5", "0 N c0 n60 d10",
                                              "0 N c1 n62 d10", "960 EOT"}));

    // With a tempo before the first note nothing is added.
    auto early = MakeSong(kFormQ2, 480, {Tempo(0, 400000), Note(0, 0, 60, 10), Eot(960)});
    early->SetStartTempo();
    EXPECT_EQ(early->GetTrack()->event_count, 3);

    // Two tempos at one instant: the later leads and the earlier is gone.
    auto two = MakeSong(kFormQ2, 480,
                        {Note(0, 0, 60, 10), Note(100, 0, 62, 10), Tempo(100, 300000),
                         Tempo(100, 700000), Eot(960)});
    two->MoveTempoBeforeNote();
    EXPECT_EQ(Dump(*two->GetTrack()),
              (Lines{"0 N c0 n60 d10", "100 TEMPO 700000", "100 N c0 n62 d10", "960 EOT"}));

    auto unneeded = MakeSong(kFormQ2, 480,
                             {Tempo(0, 300000), Tempo(50, 400000), Note(100, 0, 60, 10),
                              Tempo(100, 500000), Tempo(200, 600000), Eot(960)});
    unneeded->DeleteUnnecessaryTempo();
    // The tempo at the first note's instant is the last before it; later
    // tempos stay.
    EXPECT_EQ(Dump(*unneeded->GetTrack()),
              (Lines{"100 N c0 n60 d10", "100 TEMPO 500000", "200 TEMPO 600000", "960 EOT"}));

    auto range = MakeSong(kFormQ2, 480,
                          {Tempo(0, 1), Note(0, 0, 60, 10), Tempo(10, 2), Tempo(20, 3), Eot(30)});
    range->DeleteTempo(2, 3);  // both, the range shrinking as they go
    EXPECT_EQ(range->GetTrack()->event_count, 3);

    // Start and stop markers.
    auto start = MakeSong(kFormQ2, 480,
                          {Pc(0, 0, 5), Note(0, 0, 60, 10), Note(960, 0, 62, 10),
                           Meta(960, kMetaMarker, "START"), Eot(1920)});
    EXPECT_EQ(start->BeginStartMarker(), 1);
    EXPECT_EQ(Dump(*start->GetTrack()),
              (Lines{"0 PC c0 5", "0 N c0 n62 d10", "960 EOT"}));  // settings stay
    EXPECT_EQ(start->BeginStartMarker(), 0);

    auto stop = MakeSong(kFormQ2, 480,
                         {Note(0, 0, 60, 10), Meta(480, kMetaText, "STOP"), Note(480, 0, 61, 10),
                          Note(960, 0, 62, 10), Eot(1920)});
    EXPECT_EQ(stop->EndStopMarker(), 1);
    EXPECT_EQ(Dump(*stop->GetTrack()), (Lines{"0 N c0 n60 d10", "480 N c0 n61 d10", "480 EOT"}));

    auto f1 = Song(
        {{TimeSign(0, 3, 2), Eot(2880)}, {Note(0, 0, 60, 100), Note(4000, 0, 62, 100), Eot(100)}});
    int m = 0, b = 0, k = 0;
    EXPECT_EQ(f1->GetMeasureBeatTick(1500, &m, &b, &k), 1);
    EXPECT_EQ((Position{m, b, k}), (Position{1, 0, 60}));
    EXPECT_EQ(f1->GetTick(3, 2, 5), 3 * 1440 + 960 + 5);  // past the first track's end
    EXPECT_EQ(f1->GetNumBeat(), 9);                       // 4100 / 480 rounded up
    EXPECT_EQ(f1->GetNumMeasure(), 3);                    // 4100 ticks of 3/4

    auto empty = Song({});
    EXPECT_EQ(empty->GetMeasureBeatTick(10, &m, &b, &k), 0);
    EXPECT_EQ(empty->GetTuneLength(), 0);
}
