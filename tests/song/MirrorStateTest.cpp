// The backwards mirror that carries each passage's sound: at every note of
// the reversed song each channel's state is the one the original had just
// before the mirrored time; fades turn round, the tempo map is mirrored.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <tuple>
#include <vector>

#include "MirrorFixture.h"

using namespace mirror_test;

namespace {

// A state value: (channel or -1, kind, number). Kinds: controller, program,
// bend, pressure, tempo, time and key signature, RPN and NRPN parameter
// coarse and fine (number = parameter), data entry goes to NRPN.
// clang-format off
enum Kind { kCc, kProgram, kBend, kPressure, kTempoKind, kMeter, kKey, kRpn, kRpnFine, kNrpn,
            kNrpnFine, kNrpnOn };
// clang-format on
using Key = std::tuple<int, int, int>;
using State = std::map<Key, int>;

// What a General MIDI device holds before it is told otherwise.
int Default(const Key& key) {
    const auto [channel, kind, number] = key;
    switch (kind) {
        case kCc:
            if (number == 7) return 100;
            if (number == 8 || number == 10) return 64;
            if (number == 11) return 127;
            return number >= 98 && number <= 101 ? 127 : 0;
        case kBend:
            return 8192;
        case kTempoKind:
            return 500000;
        case kMeter:
            return 0x0404;
        case kRpn:
            return number == 0 ? 2 : number <= 2 ? 64 : 0;
        default:
            return 0;
    }
}

int Get(const State& s, const Key& key) {
    const auto it = s.find(key);
    return it == s.end() ? Default(key) : it->second;
}

void Apply(State& s, const MidiEvent* e) {
    const int c = e->channel;
    switch (e->status) {
        case kEvProgram:
            s[{c, kProgram, 0}] = e->value;
            return;
        case kEvPitchBend:
            s[{c, kBend, 0}] = e->value * 128 + e->note;
            return;
        case kEvChannelPressure:
            s[{c, kPressure, 0}] = e->value;
            return;
        case kEvMeta:
            if (e->number == kMetaTempo) s[{-1, kTempoKind, 0}] = e->value;
            if (e->number == kMetaTimeSignature) s[{-1, kMeter, 0}] = e->value;
            if (e->number == kMetaKeySignature) s[{-1, kKey, 0}] = e->data[0] * 256 + e->data[1];
            return;
        case kEvControl:
            break;
        default:
            return;
    }
    const int n = e->number;
    if (n == 96 || n == 97 || n >= 120) return;
    if (n == 6 || n == 38) {
        const bool nrpn = Get(s, {c, kNrpnOn, 0}) != 0;
        const int msb = Get(s, {c, kCc, nrpn ? 99 : 101});
        const int lsb = Get(s, {c, kCc, nrpn ? 98 : 100});
        if (msb == 127 && lsb == 127) return;
        const int kind = nrpn ? (n == 6 ? kNrpn : kNrpnFine) : (n == 6 ? kRpn : kRpnFine);
        s[{c, kind, msb * 128 + lsb}] = e->value;
        return;
    }
    s[{c, kCc, n}] = e->value;
    if (n >= 98 && n <= 101) s[{c, kNrpnOn, 0}] = n <= 99 ? 1 : 0;
}

bool Same(const State& a, const State& b) {
    for (const State* s : {&a, &b}) {
        for (const auto& [key, value] : *s) {
            if (Get(a, key) != Get(b, key)) return false;
        }
    }
    return true;
}

struct Placed {
    long tick;
    const MidiEvent* event;
};
std::vector<Placed> Walk(const MidiTrackData& t) {
    std::vector<Placed> out;
    long tick = 0;
    for (int k = 0; k < t.event_count; ++k) {
        tick += t.event_table[k]->delta;
        out.push_back({tick, t.event_table[k]});
    }
    return out;
}

// Seconds at each tick of a walk, following its tempos.
double Seconds(const std::vector<Placed>& walk, long until, int division) {
    double seconds = 0;
    long at = 0;
    int tempo = 500000;
    for (const Placed& e : walk) {
        if (e.tick >= until) break;
        if (!e.event->IsMeta(kMetaTempo)) continue;
        seconds += double(e.tick - at) * tempo / division / 1e6;
        at = e.tick;
        tempo = e.event->value;
    }
    return seconds + double(until - at) * tempo / division / 1e6;
}

Ev Pressure(int tick, int channel, int value) {
    Ev e = Event(tick, kEvChannelPressure, channel);
    e.value = value;
    return e;
}

// Random songs of every kind of state event (RPN and NRPN choices and data
// entries, the hold pedal, a momentary reset) among notes on three channels.
std::unique_ptr<MidiF0Data> RandomStateSong(std::mt19937& r) {
    using Make = std::function<Ev(int, int)>;
    const std::vector<Make> makers = {
        [&](int t, int) { return Tempo(t, 200000 + int(r() % 128) * 5000); },
        [&](int t, int) { return TimeSign(t, 2 + int(r() % 4), 2); },
        [&](int t, int) { return KeySign(t, int(r() % 4)); },
        [&](int t, int c) { return Pc(t, c, int(r() % 128)); },
        [&](int t, int c) { return Bend(t, c, int(r() % 16384)); },
        [&](int t, int c) { return Pressure(t, c, int(r() % 128)); },
        [&](int t, int c) { return Cc(t, c, 64, r() % 2 ? 127 : 0); },
        [&](int t, int c) { return Cc(t, c, r() % 2 ? 101 : 99, 0); },
        [&](int t, int c) { return Cc(t, c, r() % 2 ? 100 : 98, int(r() % 3)); },
        [&](int t, int c) { return Cc(t, c, r() % 2 ? 6 : 38, int(r() % 128)); },
        [&](int t, int c) { return Cc(t, c, 121, 0); },
        [&](int t, int c) { return Cc(t, c, 7 + int(r() % 5), int(r() % 128)); }};
    std::vector<Ev> events;
    int tick = 0;
    for (int i = 0, n = 5 + int(r() % 60); i < n; ++i) {
        tick += int(r() % 3) * 40;
        const int c = int(r() % 3);
        const std::size_t kind = r() % (makers.size() + 4);
        if (kind < makers.size()) {
            events.push_back(makers[kind](tick, c));
            continue;
        }
        const int note = 60 + int(r() % 4);
        events.push_back(On(tick, c, note, 1 + int(r() % 127)));
        events.push_back(Off(tick + 40 * int(r() % 4), c, note));
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Ev& a, const Ev& b) { return a.delta < b.delta; });
    events.push_back(Eot(events.back().delta + int(r() % 50)));
    return MakeSong(kFormQ1, 96, std::move(events));
}

}  // namespace

TEST(CarryState, EveryNoteHearsTheStateItHadBeforeTheMirroredTime) {
    std::mt19937 random(9001);
    for (int round = 0; round < 300; ++round) {
        auto original = RandomStateSong(random);
        MidiF0Data reversed(kFormQ1, 96);
        for (int k = 0; k < original->GetTrack()->event_count; ++k)
            reversed.GetTrack()->AddCopyEvent(original->GetTrack()->event_table[k]);
        reversed.HorizontalReverse(true);
        const auto before = Walk(*original->GetTrack());
        const auto after = Walk(*reversed.GetTrack());
        const long axis = before.size() >= 2 ? before[before.size() - 2].tick : 0;
        ASSERT_EQ(after.back().tick, before.back().tick) << "round " << round;

        State now;
        for (std::size_t i = 0; i < after.size(); ++i) {
            const MidiEvent* e = after[i].event;
            if (e->status == kEvNoteOn && e->velocity > 0) {
                State then;
                for (const Placed& o : before) {
                    if (o.tick < axis - after[i].tick) Apply(then, o.event);
                }
                ASSERT_TRUE(Same(now, then)) << "round " << round << " event " << i;
                // The tempo map mirrored: the time to here is the original's
                // time from the mirrored tick to the axis.
                ASSERT_NEAR(Seconds(after, after[i].tick, 96),
                            Seconds(before, axis, 96) - Seconds(before, axis - after[i].tick, 96),
                            1e-9);
            }
            Apply(now, e);
        }
        // The notes are those of the plain reverse.
        MidiF0Data notes_plain(kFormQ1, 96);
        for (int k = 0; k < original->GetTrack()->event_count; ++k)
            notes_plain.GetTrack()->AddCopyEvent(original->GetTrack()->event_table[k]);
        notes_plain.HorizontalReverse();
        notes_plain.Q1toQ2();
        reversed.Q1toQ2();
        ASSERT_EQ(NotesOf(*reversed.GetTrack()), NotesOf(*notes_plain.GetTrack())) << round;
    }
}
