// Measure, beat and tempo arithmetic: positions under time signatures,
// measure counts and boundaries, start tempo, tempo and marker edits, and
// the format-1 twins.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "MirrorFixture.h"
#include "midi/song/MidiF1Data.h"

using namespace mirror_test;

namespace {

const std::string kMisplaced = "拍子記号の位置が異常です。";

// Measure, beat and tick in the measure.
using Position = std::tuple<int, int, int>;

Position At0(MidiF0Data& song, int tick, bool byDenominator) {
    int measure = 0, beat = 0, in_beat = 0;
    song.GetMeasureBeatTick(tick, &measure, &beat, &in_beat, byDenominator);
    return {measure, beat, in_beat};
}

std::unique_ptr<MidiF1TrackData> F1Track(std::vector<Ev> events) {
    auto track = std::make_unique<MidiF1TrackData>(kFormQ2);
    for (const Ev& e : Timed(std::move(events))) track->AddEvent(e);
    return track;
}

}  // namespace

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
    std::uniform_int_distribution<int> gap(0, 700);
    std::uniform_int_distribution<int> numerator(1, 7);
    std::uniform_int_distribution<int> power(1, 4);
    std::uniform_int_distribution<int> kind(0, 9);
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

TEST(Tempo, StartTempoOrderAndUnnecessaryTempos) {
    auto song = MakeSong(kFormQ2, 480,
                         {Cc(0, 0, 7, 100), Note(0, 0, 60, 10), Note(0, 1, 62, 10), Eot(960)});
    EXPECT_EQ(song->GetClockTempo(), 500000);  // none: the SMF default
    song->SetStartTempo();
    const MidiTrackData& t = *song->GetTrack();
    ASSERT_EQ(t.event_count, 5);
    EXPECT_TRUE(t.event_table[0]->IsMeta(kMetaTempo));
    EXPECT_EQ(song->GetClockTempo(), 600000);

    // With a tempo before the first note nothing is added.
    auto early = MakeSong(kFormQ2, 480, {Tempo(0, 400000), Note(0, 0, 60, 10), Eot(960)});
    early->SetStartTempo();
    EXPECT_EQ(early->GetTrack()->event_count, 3);

    // Two tempos at one instant: the later leads and the earlier is gone.
    auto two = MakeSong(kFormQ2, 480,
                        {Note(0, 0, 60, 10), Note(100, 0, 62, 10), Tempo(100, 300000),
                         Tempo(100, 700000), Eot(960)});
    two->MoveTempoBeforeNote();
    const MidiTrackData& u = *two->GetTrack();
    ASSERT_EQ(u.event_count, 4);
    EXPECT_EQ(u.event_table[1]->value, 700000);
    EXPECT_EQ(u.event_table[2]->status, kEvNote);
    EXPECT_EQ(TimesOf(u), (std::vector<long>{0, 100, 100, 960}));

    auto unneeded = MakeSong(kFormQ2, 480,
                             {Tempo(0, 300000), Tempo(50, 400000), Note(100, 0, 60, 10),
                              Tempo(100, 500000), Tempo(200, 600000), Eot(960)});
    unneeded->DeleteUnnecessaryTempo();
    // The tempo at the first note's instant is the last before it; later
    // tempos stay.
    const MidiTrackData& w = *unneeded->GetTrack();
    ASSERT_EQ(w.event_count, 4);
    EXPECT_EQ(w.event_table[1]->value, 500000);
    EXPECT_EQ(w.event_table[2]->value, 600000);
    EXPECT_EQ(TimesOf(w), (std::vector<long>{100, 100, 200, 960}));

    auto range = MakeSong(kFormQ2, 480,
                          {Tempo(0, 1), Note(0, 0, 60, 10), Tempo(10, 2), Tempo(20, 3), Eot(30)});
    range->DeleteTempo(2, 3);  // both, the range shrinking as they go
    EXPECT_EQ(range->GetTrack()->event_count, 3);
}

TEST(Markers, StartStopAndFormat1Twins) {
    auto start = MakeSong(kFormQ2, 480,
                          {Pc(0, 0, 5), Note(0, 0, 60, 10), Note(960, 0, 62, 10),
                           Meta(960, kMetaMarker, "START"), Eot(1920)});
    EXPECT_EQ(start->BeginStartMarker(), 1);
    EXPECT_EQ(NotesOf(*start->GetTrack()), (Notes{{0, 0, 62, 10, 100}}));
    EXPECT_EQ(start->GetTrack()->event_table[0]->status, kEvProgram);  // settings stay
    EXPECT_EQ(start->BeginStartMarker(), 0);

    auto stop = MakeSong(kFormQ2, 480,
                         {Note(0, 0, 60, 10), Meta(480, kMetaText, "STOP"), Note(480, 0, 61, 10),
                          Note(960, 0, 62, 10), Eot(1920)});
    EXPECT_EQ(stop->EndStopMarker(), 1);
    const MidiTrackData& t = *stop->GetTrack();
    ASSERT_EQ(t.event_count, 3);
    EXPECT_TRUE(t.event_table[2]->IsEndOfTrack());
    EXPECT_EQ(TimesOf(t), (std::vector<long>{0, 480, 480}));

    MidiF1Data song(480);
    song.AddTrack(F1Track({TimeSign(0, 3, 2), Eot(2880)}).release());
    song.AddTrack(F1Track({Note(0, 0, 60, 100), Note(4000, 0, 62, 100), Eot(4100)}).release());
    int m = 0, b = 0, k = 0;
    EXPECT_EQ(song.GetMeasureBeatTick(1500, &m, &b, &k), 1);
    EXPECT_EQ((Position{m, b, k}), (Position{1, 0, 60}));
    EXPECT_EQ(song.GetTick(3, 2, 5), 3 * 1440 + 960 + 5);  // past the first track's end
    EXPECT_EQ(song.GetNumBeat(), 9);                       // 4100 / 480 rounded up
    EXPECT_EQ(song.GetNumMeasure(), 3);                    // 4100 ticks of 3/4

    MidiF1Data empty(480);
    EXPECT_EQ(empty.GetMeasureBeatTick(10, &m, &b, &k), 0);
    EXPECT_EQ(empty.GetTuneLength(), 0);
}
