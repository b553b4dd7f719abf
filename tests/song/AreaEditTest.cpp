// Area and measure editing of a song's track: the rule that a cut, cleared
// or kept area never loses the setup nor leaves a note sounding, held on
// random tracks against a literal model, and the edge cases one by one.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

#include "MirrorFixture.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1TrackData.h"
#include "support/TestEvents.h"

namespace {

using Track1 = std::unique_ptr<MidiF1TrackData>;

// ---- the literal model: what sounds and what state holds ----

// A note as {start, end, channel, key, velocity}.
using Tone = std::array<long, 5>;
// Notes paired first on, first off per channel and key, sorted.
std::vector<Tone> Tones(const MidiTrackData& t, bool* hanging = nullptr) {
    std::vector<Tone> out;
    std::map<std::pair<int, int>, std::vector<Tone>> open;
    for (const Ev& e : Events(t)) {
        auto& q = open[{e.channel, e.note}];
        if (e.status == kEvNoteOn && e.velocity > 0) {
            q.push_back({e.tick, -1, e.channel, e.note, e.velocity});
        } else if ((e.status == kEvNoteOff || e.status == kEvNoteOn) && !q.empty()) {
            out.push_back(q.front()), out.back()[1] = e.tick, q.erase(q.begin());
        }
    }
    if (hanging)
        *hanging = std::any_of(open.begin(), open.end(), [](auto& q) { return !q.second.empty(); });
    std::sort(out.begin(), out.end());
    return out;
}

// The state at each note on, by record.
using mirror_test::State;
std::map<const MidiEvent*, State> StateAtNotes(const MidiTrackData& t) {
    std::map<const MidiEvent*, State> at;
    State s;
    for (int i = 0; i < t.event_count; ++i) {
        const MidiEvent* e = t.event_table[i];
        if (e->status == kEvNoteOn) at[e] = s;
        mirror_test::Apply(s, e);
    }
    return at;
}

// A random Q1 track of about 8 bars at division 480: notes (no key struck
// twice at once), controllers, programs, bends, RPN and NRPN groups, tempo,
// time and key signatures, markers, exclusives; its end of track at len.
Track1 RandomTrack(std::mt19937& rng, long len) {
    std::vector<std::pair<long, std::vector<Ev>>> at;
    const auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    at.push_back({0, {Meta(0, kMetaTrackName, "name")}});
    std::vector<Tone> tones;
    for (int k = 0; k < 40; ++k) {
        const long start = pick(len), end = std::min<long>(len, start + 1 + pick(700));
        const int c = pick(3), key = 60 + pick(4), v = 1 + pick(127);
        if (std::any_of(tones.begin(), tones.end(), [&](const Tone& o) {
                return o[2] == c && o[3] == key && o[0] <= end && start <= o[1];
            }))
            continue;
        tones.push_back({start, end, c, key, v});
        at.push_back({start, {On(0, c, key, v)}});
        at.push_back({end, {Off(0, c, key)}});
    }
    for (int k = 0; k < 50; ++k) {
        const int c = pick(3), v = pick(128), nrpn = pick(2);
        const Ev key = mirror_test::KeySign(0, pick(8));
        const std::vector<std::vector<Ev>> kinds{
            {Pc(0, c, v)},
            {Bend(0, c, v * 100)},
            {Tempo(0, 300000 + v * 1000)},
            {TimeSign(0, 3 + pick(2), 2)},
            {key},
            {Meta(0, kMetaMarker, "m"), SysEx(0, {0xF0, 3, 0x7D, 1, 0xF7})},
            {Cc(0, c, nrpn ? 99 : 101, 0), Cc(0, c, nrpn ? 98 : 100, pick(2)), Cc(0, c, 6, v)},
            {Cc(0, c, std::array{0, 1, 7, 10, 11, 32}[pick(6)], v)}};
        at.push_back({pick(len), kinds[pick(int(kinds.size()))]});
    }
    // Note offs first at a tick, so a key released and struck again pairs.
    std::stable_sort(at.begin(), at.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first, a.second[0].status != kEvNoteOff) <
               std::pair(b.first, b.second[0].status != kEvNoteOff);
    });
    auto t = std::make_unique<MidiF1TrackData>(kFormQ1);
    long tick = 0;
    for (auto& [when, group] : at)
        for (Ev e : group) e.delta = int(when - tick), tick = when, t->AddEvent(e);
    t->AddEvent(Eot(int(len - tick)));
    return t;
}

// The rule for an edit keeping areas [begin, end) of before, each placed at
// place(tick): one end of track, at end; every note paired; the notes are
// the pieces of the old ones inside the areas (struck again at an area's
// start when restrike, else only those beginning inside); each kept note on
// has its old state; the track saves and reads back the same.
void ExpectRule(const MidiTrackData& before, MidiF1TrackData& after,
                const std::vector<std::pair<long, long>>& areas,
                const std::function<long(long)>& place, long end, bool restrike,
                const std::map<const MidiEvent*, State>& states) {
    const auto lines = Dump(after);
    ASSERT_EQ(std::count_if(lines.begin(), lines.end(), [](auto& l) { return l.ends_with("EOT"); }),
              1);
    EXPECT_EQ(lines.back(), std::to_string(end) + " EOT");
    std::vector<Tone> want;
    for (const Tone& n : Tones(before)) {
        for (auto [a, b] : areas) {
            const long s = std::max(n[0], a), e = std::min(n[1], b);
            if (s < e && (restrike || n[0] >= a))
                want.push_back({place(s), place(e), n[2], n[3], n[4]});
        }
    }
    std::sort(want.begin(), want.end());
    bool hanging = true;
    EXPECT_EQ(Tones(after, &hanging), want);
    EXPECT_FALSE(hanging);
    for (const auto& [on, state] : StateAtNotes(after)) {
        if (states.count(on)) {
            EXPECT_TRUE(mirror_test::Same(state, states.at(on))) << Describe(0, on);
        }
    }
    ASSERT_EQ(after.Q1toRaw(), 1);
    const Bytes written = ChunkBytes(after);
    auto again = Read(written);
    ASSERT_EQ(again->Q1toRaw(), 1);
    EXPECT_EQ(ChunkBytes(*again), written);
}

TEST(AreaRule, RandomTracksKeepSetupAndNotes) {
    std::mt19937 rng(16);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        const long len = 3840 + long(rng() % 960);
        const Track1 original = RandomTrack(rng, len);
        // A copy to edit, with the state at each of its note ons.
        const auto copy = [&] {
            auto t = std::make_unique<MidiF1TrackData>(kFormQ1);
            t->SetQ1TrackData(original.get());
            auto states = StateAtNotes(*t);
            return std::pair(std::move(t), std::move(states));
        };
        std::vector<long> cuts;
        for (int k = 0; k < 2 + 2 * int(rng() % 3); ++k) cuts.push_back(long(rng() % (len + 300)));
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        if (cuts.size() % 2) cuts.pop_back();
        std::vector<std::pair<long, long>> areas;
        std::vector<std::array<int, 2>> raw;
        for (std::size_t k = 0; k < cuts.size(); k += 2) {
            areas.push_back({cuts[k], cuts[k + 1]});
            raw.push_back({int(cuts[k]), int(cuts[k + 1])});
        }
        const auto place = [&](long t) {  // where a tick inside (or at the end of) an area lands
            long before = 0;
            for (auto [a, b] : areas) {
                if (t <= b) return t - a + before;
                before += b - a;
            }
            return t;
        };
        auto [kept, kept_states] = copy();
        kept->ExtractArea(reinterpret_cast<int(*)[2]>(raw.data()), int(raw.size()));
        ExpectRule(*original, *kept, areas, place, place(areas.back().second), true, kept_states);

        const long from = cuts[0], to = cuts[1];
        const std::vector<std::pair<long, long>> outside{{0, from}, {to, len + 1}};
        auto [deleted, deleted_states] = copy();
        deleted->DeleteAreaData(int(from), int(to));
        ExpectRule(
            *original, *deleted, outside, [](long t) { return t; }, len, true, deleted_states);

        auto [cleared, cleared_states] = copy();
        cleared->ClearEvents(int(from), int(to));
        ExpectRule(
            *original, *cleared, outside, [](long t) { return t; }, len, false, cleared_states);
    }
}

Track1 Q1(const std::vector<Ev>& events) {
    return Track<MidiF1TrackData>(kFormQ1, events);
}

TEST(AreaEdit, ClearEventsAndDeleteAreaDataKeepNotesAndState) {
    // A span from before the start clears from 0: the controller moves to 0.
    auto t = Q1({Cc(100, 0, 7, 90), On(0, 0, 60), Off(480, 0, 60), Eot(0)});
    t->ClearEvents(-50, 200);
    EXPECT_EQ(Dump(*t), (Lines{"0 CC c0 #7=90", "580 EOT"}));
    // Q2: the note crossing the start ends there; the end of track stays
    // even when the span reaches it; 300 controllers are all kept.
    std::vector<Ev> many{Note(0, 0, 60, 900), Note(480, 0, 62, 100)};
    for (int k = 0; k < 300; ++k) many.push_back(Tag(1, k % 128));
    many.push_back(Eot(0));
    auto q2 = Track<MidiF1TrackData>(kFormQ2, many);
    q2->ClearEvents(480, 5000);
    const Lines cleared = Dump(*q2);
    EXPECT_EQ(cleared.size(), 302u);
    EXPECT_EQ(cleared[0], "0 N c0 n60 d480");
    EXPECT_EQ(cleared[301], "780 EOT");

    auto cut = Q1({Meta(0, kMetaTrackName, "t"), On(240, 2, 60, 90), On(360, 3, 64, 70),
                   Off(0, 2, 60), Cc(100, 3, 7, 80), Meta(0, kMetaMarker, "m"), GsSysEx(0, 3),
                   Meta(0, kMetaTrackName, "u"), Off(500, 3, 64), Eot(240)});
    cut->DeleteAreaData(480, 960);
    // Cut notes end and start again on their own channel with their own
    // velocity; the exclusive and the name move to the end ahead of the state.
    EXPECT_EQ(Dump(*cut),
              (Lines{"0 META3 t", "240 ON c2 n60", "480 OFF c2 n60", "960 F0 t0 c3", "960 META3 u",
                     "960 CC c3 #7=80", "960 ON c3 n64", "1200 OFF c3 n64", "1440 EOT"}));
    EXPECT_EQ(Events(*cut)[6].velocity, 70);
}

TEST(AreaEdit, ExtractEventCopiesAtMostItsLimitInsertEventsPlacesABlock) {
    std::vector<Ev> events;
    for (int k = 0; k < 1025; ++k) events.push_back(Tag(1, k % 128));
    events.push_back(Eot(0));
    auto t = Q1(events);
    std::vector<MidiEvent*> out(kAreaExtractLimit, nullptr);
    CaptureSink sink;
    EXPECT_EQ(t->ExtractEvent(600, 600, out.data()), 0);
    EXPECT_EQ(t->ExtractEvent(1, 1025, out.data()), 1024);
    EXPECT_TRUE(sink.Alerts().empty());  // exactly 1,024: nothing lost
    EXPECT_EQ(out[0]->delta, 0);
    EXPECT_EQ(out[1]->delta, 1);
    for (MidiEvent* e : out) delete e;
    EXPECT_EQ(t->ExtractEvent(0, 2000, out.data()), 1024);
    EXPECT_EQ(sink.Alerts().size(), 1u);
    for (MidiEvent* e : out) delete e;
    EXPECT_EQ(t->ExtractEvent(0, 2000, nullptr), 0);

    // A block inserted at a tick, inside, and into an empty track.
    auto into = Q1({On(0, 0, 60), Off(480, 0, 60), Eot(480)});
    MidiEvent* block[] = {Tag(0, 1), Tag(960, 2), nullptr};
    into->InsertEvents(480, 600, block);
    EXPECT_EQ(Dump(*into), (Lines{"0 ON c0 n60", "480 OFF c0 n60", "480 CC c0 #20=1",
                                  "1440 CC c0 #20=2", "1440 EOT"}));
    MidiEvent* inside[] = {Tag(10, 3), nullptr};
    into->InsertEvents(0, 100, inside);
    EXPECT_EQ(Dump(*into)[1], "10 CC c0 #20=3");
    EXPECT_EQ(Dump(*into).back(), "1440 EOT");
    auto empty = Q1({Eot(0)});
    MidiEvent* one[] = {Tag(5, 4), nullptr};
    empty->InsertEvents(960, 0, one);                    // an empty track takes the block from 0
    MidiEvent* ended[] = {Tag(5, 5), Eot(20), nullptr};  // its end of track only says where it ends
    empty->InsertEvents(0, 0, ended);
    EXPECT_EQ(Dump(*empty), (Lines{"5 CC c0 #20=4", "5 CC c0 #20=5", "25 EOT"}));
}

TEST(AreaEdit, DeleteAreaTimeExtractAreaAndDivideMeasureByTimeSign) {
    auto t = Q1({Tag(600, 1), Tag(360, 2), Tag(240, 3), Eot(0)});
    t->DeleteAreaTime(480, 960);
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{480, 480, 720, 720}));
    t->DeleteAreaTime(-100, 240);  // the span before the start holds no time
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{240, 240, 480, 480}));
    t->DeleteAreaTime(-100, -50);
    int first[][2] = {{0, 960}};
    // Refused, with a message and no change: unsorted, overlapping, empty,
    // negative areas, no areas.
    int unsorted[][2] = {{480, 600}, {0, 100}}, overlapping[][2] = {{0, 500}, {400, 600}},
        empty[][2] = {{100, 100}}, negative[][2] = {{-10, 100}};
    CaptureSink sink;
    for (auto [areas, count] : {std::pair{unsorted, 2},
                                {overlapping, 2},
                                {empty, 1},
                                {negative, 1},
                                {first, 0},
                                {static_cast<int(*)[2]>(nullptr), 1}}) {
        t->ExtractArea(areas, count);
    }
    EXPECT_EQ(sink.Messages().size(), 6u);
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{240, 240, 480, 480}));

    struct Case {
        int division, time;
        std::vector<Ev> before;
        Lines signs;  // the time signatures afterwards, "tick n/d"
        bool refused;
    };
    // A bar line; whole sixteenths only; a division of at least 4; not past
    // the end; 0/4 skipped; 1,119 sixteenths, which no byte holds.
    const std::vector<Case> cases{
        {480, 2880, {}, {"1920 8/16", "2880 8/16", "3840 4/4"}, false},
        {480, 3840, {}, {}, false},
        {480, 2880, {TimeSign(3840, 3, 2)}, {"1920 8/16", "2880 8/16", "3840 3/4"}, false},
        {480, 2000, {}, {}, true},
        {3, 2, {}, {}, true},
        {480, 130000, {}, {}, true},
        {480, 600, {TimeSign(0, 0, 2)}, {"0 0/4", "0 5/16", "600 11/16", "1920 4/4"}, false},
        {16, 16 * 4 * 70 + 4, {TimeSign(0, 70, 0)}, {"0 70/1"}, true},
    };
    for (const Case& c : cases) {
        std::vector<Ev> events = c.before;
        events.push_back(Eot(64 * 4 * 480 - (c.before.empty() ? 0 : c.before[0].delta)));
        auto t = Q1(events);
        CaptureSink sink;
        t->DivideMeasureByTimeSign(c.division, c.time);
        Lines signs;
        for (const Ev& e : Events(*t)) {
            if (e.status == kEvMeta && e.number == kMetaTimeSignature)
                signs.push_back(std::to_string(e.tick) + " " + std::to_string(e.value / 256) + "/" +
                                std::to_string(e.value % 256));
        }
        EXPECT_EQ(signs, c.signs) << c.time;
        EXPECT_EQ(sink.Messages().size(), c.refused ? 1u : 0u) << c.time;
    }
}

TEST(AreaEdit, NotesBendsSecondsQ2AndTheFormatZeroPassThrough) {
    auto t = Track<MidiF1TrackData>(
        kFormQ2, {Note(0, 0, 60, 480), Bend(100, 0, 1), Bend(300, 0, 2), Note(0, 0, 62, 10),
                  Bend(100, 0, 3), Note(0, 0, 60, 1), Eot(0)});
    t->DeletePitchBendWithNote(0);
    t->DeletePitchBendWithNote(-1);
    t->DeletePitchBendWithNote(99);
    EXPECT_EQ(Dump(*t), (Lines{"0 N c0 n60 d480", "400 N c0 n62 d10", "500 PB c0 3",
                               "500 N c0 n60 d1", "500 EOT"}));
    t->DeleteNote(60, false);
    t->DeleteNote(500);
    EXPECT_EQ(Dump(*t), (Lines{"0 N c0 n60 d480", "500 PB c0 3", "500 EOT"}));
    // Seconds: 960 ticks at 120 bpm, then twice as fast, the last tempo
    // going on past the last event.
    auto s = Q1({Tempo(960, 250000), Eot(0)});
    EXPECT_DOUBLE_EQ(s->DeltaTimeToSecond(0, 960, 480), 1.0);
    EXPECT_DOUBLE_EQ(s->DeltaTimeToSecond(480, 1920, 480), 1.0);
    CaptureSink sink;
    EXPECT_EQ(s->DeltaTimeToSecond(0, 960, 0), 0.0);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // A note on of velocity 0 ends the oldest open note, whatever its key.
    auto q =
        Q1({On(0, 0, 60), On(10, 0, 64), On(10, 0, 60, 0), Off(10, 0, 64), On(0, 0, 67), Eot(5)});
    q->SetQ2Data();
    EXPECT_EQ(q->form, kFormQ2);
    EXPECT_EQ(Dump(*q), (Lines{"0 N c0 n60 d20", "10 N c0 n64 d20", "35 EOT"}));
    MidiF1TrackData raw(kFormRaw);  // its chunk bytes are not events yet: refused
    raw.SetQ2Data();
    EXPECT_EQ(raw.form, kFormRaw);
    EXPECT_EQ(sink.Messages().size(), 2u);

    // The format-0 song passes these on to its track, or says there is none.
    MidiF0Data f0(kFormQ1);
    for (const Ev& e : {Cc(0, 0, 7, 1), Cc(10, 1, 7, 2), Cc(10, 0, 10, 3), Cc(10, 0, 7, 4), Eot(0)})
        f0.track->AddEvent(e);
    EXPECT_EQ(f0.DeleteControlChange(7), 0);
    EXPECT_EQ(Dump(*f0.track), (Lines{"20 CC c0 #10=3", "30 EOT"}));
    EXPECT_EQ(f0.GetNumEvent(0, 100), f0.track->GetNumEvent(0, 100));
    EXPECT_EQ(f0.IsEventExist(kEvControl, 0, 30), 1);
    MidiF0Data no_track(kFormRaw);
    no_track.track.reset();
    sink.Clear();
    EXPECT_EQ(no_track.DeleteControlChange(7) + no_track.PackDrumSet() +
                  no_track.CheckDoubleNote() + no_track.IsEventExist(kEvControl, 0, 1) +
                  no_track.GetNumEvent(0, 1),
              0);
    no_track.ExtractChanelData(0);
    EXPECT_EQ(sink.Messages().size(), 6u);
}

}  // namespace
