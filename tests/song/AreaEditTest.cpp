// Area and measure editing of a song's track: the rule that a cut, cleared
// or kept area never loses the setup nor leaves a note sounding, held on
// random tracks against a literal model, and the edge cases one by one.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1TrackData.h"
#include "support/TestEvents.h"

namespace {

using Track1 = std::unique_ptr<MidiF1TrackData>;

// ---- the literal model: what sounds and what state holds ----

struct Tone {
    long start, end;
    int channel, key, velocity;
};
// Notes paired first on, first off per channel and key.
std::vector<Tone> Tones(const MidiTrackData& t, bool* hanging = nullptr) {
    std::vector<Tone> out;
    std::map<std::pair<int, int>, std::vector<Tone>> open;
    for (const Ev& e : Events(t)) {
        auto& q = open[{e.channel, e.note}];
        if (e.status == kEvNoteOn && e.velocity > 0) {
            q.push_back({e.tick, -1, e.channel, e.note, e.velocity});
        } else if ((e.status == kEvNoteOff || e.status == kEvNoteOn) && !q.empty()) {
            out.push_back(q.front()), out.back().end = e.tick, q.erase(q.begin());
        }
    }
    if (hanging)
        *hanging = std::any_of(open.begin(), open.end(), [](auto& q) { return !q.second.empty(); });
    std::sort(out.begin(), out.end(), [](const Tone& a, const Tone& b) {
        return std::tie(a.start, a.end, a.channel, a.key, a.velocity) <
               std::tie(b.start, b.end, b.channel, b.key, b.velocity);
    });
    return out;
}

// Every value a device holds: controllers, programs, bends, RPN and NRPN
// parameters (with the choice of parameter), tempo, time and key signature.
using State = std::map<std::array<int, 4>, int>;
void Fold(State& s, const MidiEvent& e) {
    const int c = e.channel, n = e.number;
    if (e.status == kEvControl && n >= 98 && n <= 101) {
        s[{1, c, n, 0}] = e.value;
        s[{2, c, 0, 0}] = n < 100;
    } else if (e.status == kEvControl && (n == 6 || n == 38)) {
        const int nrpn = s.count({2, c, 0, 0}) ? s[{2, c, 0, 0}] : 0;
        const auto msb = s.find({1, c, nrpn ? 99 : 101, 0}),
                   lsb = s.find({1, c, nrpn ? 98 : 100, 0});
        if (msb != s.end() && lsb != s.end())
            s[{3, c, (nrpn * 128 + msb->second) * 128 + lsb->second, n}] = e.value;
    } else if (e.status == kEvControl) {
        s[{0, c, n, 0}] = e.value;
    } else if (e.status == kEvProgram || e.status == kEvPitchBend) {
        s[{4, c, e.status, 0}] = e.value * 128 + e.note;
    } else if (e.status == kEvMeta && (n == kMetaTempo || n == kMetaTimeSignature)) {
        s[{5, n, 0, 0}] = e.value;
    } else if (e.status == kEvMeta && n == kMetaKeySignature) {
        s[{5, n, 0, 0}] = e.data[0];
    }
}
// The state at each note on, by record.
std::map<const MidiEvent*, State> StateAtNotes(const MidiTrackData& t) {
    std::map<const MidiEvent*, State> at;
    State s;
    for (int i = 0; i < t.event_count; ++i) {
        const MidiEvent* e = t.event_table[i];
        if (e->status == kEvNoteOn) at[e] = s;
        Fold(s, *e);
    }
    return at;
}

Ev KeySign(int delta, int sharps) {
    Ev e = Meta(delta, kMetaKeySignature);
    e.data = {std::uint8_t(sharps), 0};
    return e;
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
        const Tone n{pick(len), 0, pick(3), 60 + pick(4), 1 + pick(127)};
        const long end = std::min<long>(len, n.start + 1 + pick(700));
        if (std::any_of(tones.begin(), tones.end(), [&](const Tone& o) {
                return o.channel == n.channel && o.key == n.key && o.start < end + 1 &&
                       n.start < o.end + 1;
            }))
            continue;
        tones.push_back({n.start, end, n.channel, n.key, n.velocity});
        at.push_back({n.start, {On(0, n.channel, n.key, n.velocity)}});
        at.push_back({end, {Off(0, n.channel, n.key)}});
    }
    for (int k = 0; k < 50; ++k) {
        const int c = pick(3), v = pick(128);
        const bool nrpn = pick(2) == 1;
        switch (pick(9)) {
            case 0:
                at.push_back({pick(len), {Pc(0, c, v)}});
                break;
            case 1:
                at.push_back({pick(len), {Bend(0, c, v * 100)}});
                break;
            case 2:
                at.push_back({pick(len), {Tempo(0, 300000 + v * 1000)}});
                break;
            case 3:
                at.push_back({pick(len), {TimeSign(0, 3 + pick(2), 2)}});
                break;
            case 4:
                at.push_back({pick(len), {KeySign(0, pick(8))}});
                break;
            case 5:
                at.push_back(
                    {pick(len), {Meta(0, kMetaMarker, "m"), SysEx(0, {0xF0, 3, 0x7D, 1, 0xF7})}});
                break;
            case 6:
                at.push_back({pick(len),
                              {Cc(0, c, nrpn ? 99 : 101, 0), Cc(0, c, nrpn ? 98 : 100, pick(2)),
                               Cc(0, c, 6, v)}});
                break;
            default:
                at.push_back({pick(len), {Cc(0, c, std::array{0, 1, 7, 10, 11, 32}[pick(6)], v)}});
                break;
        }
    }
    // Note offs first at a tick, so a key released and struck again pairs.
    std::stable_sort(at.begin(), at.end(), [](const auto& a, const auto& b) {
        return std::pair(a.first, a.second[0].status != kEvNoteOff) <
               std::pair(b.first, b.second[0].status != kEvNoteOff);
    });
    auto t = std::make_unique<MidiF1TrackData>(kFormQ1);
    long tick = 0;
    for (auto& [when, group] : at) {
        for (Ev e : group) e.delta = int(when - tick), tick = when, t->AddEvent(e);
    }
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
            const long s = std::max(n.start, a), e = std::min(n.end, b);
            if (s < e && (restrike || n.start >= a))
                want.push_back({place(s), place(e), n.channel, n.key, n.velocity});
        }
    }
    std::sort(want.begin(), want.end(), [](const Tone& a, const Tone& b) {
        return std::tie(a.start, a.end, a.channel, a.key, a.velocity) <
               std::tie(b.start, b.end, b.channel, b.key, b.velocity);
    });
    bool hanging = true;
    const auto got = Tones(after, &hanging);
    EXPECT_FALSE(hanging);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t k = 0; k < got.size(); ++k) {
        EXPECT_EQ(
            std::tie(got[k].start, got[k].end, got[k].channel, got[k].key, got[k].velocity),
            std::tie(want[k].start, want[k].end, want[k].channel, want[k].key, want[k].velocity))
            << k;
    }
    for (const auto& [on, state] : StateAtNotes(after)) {
        if (states.count(on)) {
            EXPECT_EQ(state, states.at(on)) << Describe(0, on);
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

}  // namespace
