// Builders for the mirror and measure tests: songs made in code from events
// at absolute ticks, and random songs from a fixed seed.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "support/TestEvents.h"

namespace mirror_test {

// Songs are written with each builder's first argument the event's
// absolute tick: Timed turns those ticks, which must not decrease, into deltas.
inline std::vector<Ev> Timed(std::vector<Ev> events) {
    long time = 0;
    for (Ev& e : events) {
        const long tick = e.delta;
        e.delta = static_cast<int>(tick - time);
        time = tick;
    }
    return events;
}

// A key signature of the given sharps, major.
inline Ev KeySign(int tick, int sharps) {
    Ev e = Meta(tick, kMetaKeySignature);
    e.data = {static_cast<std::uint8_t>(sharps), 0};
    return e;
}

// A song of the given form whose track holds the events in the order given.
inline std::unique_ptr<MidiF0Data> MakeSong(int form, int division, std::vector<Ev> events) {
    auto song = std::make_unique<MidiF0Data>(form, division);
    for (const Ev& e : Timed(std::move(events))) song->GetTrack()->AddEvent(e);
    return song;
}

inline Notes Shifted(Notes notes, long by) {
    for (NoteValue& n : notes) n.start += by;
    std::sort(notes.begin(), notes.end());
    return notes;
}

// A random Q2 song: dense notes on several channels with many overlaps of
// one pitch (few pitches per channel), programs and controllers, a lead-in
// silence and an end of track after the last note.
inline std::unique_ptr<MidiF0Data> RandomSong(std::mt19937& random, int notes, int channels = 4,
                                              int pitches = 3) {
    std::uniform_int_distribution<int> gap(0, 3), length(1, 6), channel(0, channels - 1),
        pitch(0, pitches - 1), velocity(1, 127), other(0, 9);
    std::vector<Ev> events;
    long tick = std::uniform_int_distribution<long>(0, 500)(random);
    long end = tick;
    for (int i = 0; i < notes; ++i) {
        tick += gap(random) * 60;
        const int c = channel(random);
        const int kind = other(random);
        if (kind == 0) events.push_back(Pc(tick, c, velocity(random)));
        if (kind == 1) events.push_back(Cc(tick, c, 7, velocity(random)));
        const int d = length(random) * 60;
        events.push_back(Note(tick, c, 48 + pitch(random) * 5 + c, d, velocity(random)));
        end = std::max(end, tick + d);
    }
    events.push_back(Eot(end + std::uniform_int_distribution<long>(0, 200)(random)));
    return MakeSong(kFormQ2, 480, std::move(events));
}

// A random Q1 song as files hold them: a setup at tick 0 or none; tempo,
// time and key changes; programs, bends, pressure and controllers (RPN and
// NRPN choices and data entries, the hold pedal, a momentary reset) among
// notes on three channels, programs on any; notes struck again before their
// release, notes of no length, notes never released, stray note offs.
// Without strays: no setup and no note on or off without its partner.
inline std::unique_ptr<MidiF0Data> RandomQ1Song(std::mt19937& r, int division, bool stray = true) {
    using Make = std::function<Ev(int, int)>;
    const std::vector<Make> makers = {
        [&](int t, int) { return Tempo(t, 200000 + int(r() % 128) * 5000); },
        [&](int t, int) { return TimeSign(t, 2 + int(r() % 4), 2); },
        [&](int t, int) { return KeySign(t, int(r() % 4)); },
        [&](int t, int c) { return Pc(t, r() % 2 ? c : int(r() % 16), int(r() % 128)); },
        [&](int t, int c) { return Bend(t, c, int(r() % 16384)); },
        [&](int t, int c) {
            Ev e = Event(t, kEvChannelPressure, c);
            e.value = int(r() % 128);
            return e;
        },
        [&](int t, int c) { return Cc(t, c, 64, r() % 2 ? 127 : 0); },
        [&](int t, int c) { return Cc(t, c, r() % 2 ? 101 : 99, 0); },
        [&](int t, int c) { return Cc(t, c, r() % 2 ? 100 : 98, int(r() % 3)); },
        [&](int t, int c) { return Cc(t, c, r() % 2 ? 6 : 38, int(r() % 128)); },
        [&](int t, int c) { return Cc(t, c, 121, 0); },
        [&](int t, int c) { return Cc(t, c, 7 + int(r() % 5), int(r() % 128)); },
        [&](int t, int c) { return On(t, c, 60 + int(r() % 4), int(r() % 2) * 100); },
        [&](int t, int c) { return Off(t, c, 60 + int(r() % 4)); }};
    std::vector<Ev> events;
    if (r() % 2 == 0 && stray) {  // a setup, its parts in any order among tick-0 events
        events = {Meta(0, kMetaTrackName, "song"), Tempo(0, 400000), Cc(0, 1, 7, 90), Pc(0, 1, 5),
                  SysEx(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})};
    }
    int tick = 0;
    for (int i = 0, n = 1 + int(r() % 60); i < n; ++i) {
        tick += int(r() % 3) * 40;
        const int c = int(r() % 3);
        const std::size_t used = makers.size() - (stray ? 0 : 2), kind = r() % (used + 4);
        if (kind < used) {
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
    return MakeSong(kFormQ1, division, std::move(events));
}

// The notes a song in Q2 form really holds once written: notes of one pitch
// pair first on with first off, as in any Standard MIDI File.
inline void Normalise(MidiF0Data& song) {
    song.Q2toQ1();
    song.Q1toQ2();
}

// The tick of the last event before the end of track (Q1 form): the axis
// of the backwards mirror.
inline long LastEventTime(const MidiTrackData& track) {
    const std::vector<long> times = TimesOf(track);
    return times.size() >= 2 ? times[times.size() - 2] : 0;
}

// The notes the mirror must give, the slow way. Backwards each note [s, e)
// becomes [last - e, last - s), keeping its velocity; upside down each
// channel that is no drum channel of track turns about the octave boundary
// below the middle of its range, held within 0..127.
inline Notes Mirrored(Notes notes, MidiTrackData& track, long last, bool horizontal,
                      bool vertical) {
    if (horizontal)
        for (NoteValue& n : notes) n.start = last - (n.start + n.duration);
    if (vertical) {
        std::array<int, 16> low, high;
        low.fill(127), high.fill(0);
        for (const NoteValue& n : notes) {
            low[n.channel] = std::min(low[n.channel], n.note);
            high[n.channel] = std::max(high[n.channel], n.note);
        }
        for (NoteValue& n : notes) {
            if (track.IsDrumChanel(n.channel)) continue;
            const int pivot = (low[n.channel] + high[n.channel]) / 2 / 12 * 12;
            n.note = std::clamp(2 * pivot - n.note, 0, 127);
        }
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

// ---- what a device holds: the state a passage plays with ----

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
inline int Default(const Key& key) {
    const auto [channel, kind, n] = key;
    if (kind == kCc)
        return n == 7 ? 100 : n == 8 || n == 10 ? 64 : n == 11 || (n >= 98 && n <= 101) ? 127 : 0;
    if (kind == kRpn) return n == 0 ? 2 : n <= 2 ? 64 : 0;
    return kind == kBend ? 8192 : kind == kTempoKind ? 500000 : kind == kMeter ? 0x0404 : 0;
}

inline int Get(const State& s, const Key& key) {
    const auto it = s.find(key);
    return it == s.end() ? Default(key) : it->second;
}

inline void Apply(State& s, const MidiEvent* e) {
    const int c = e->channel, status = e->status;
    if (status == kEvProgram) s[{c, kProgram, 0}] = e->value;
    if (status == kEvPitchBend) s[{c, kBend, 0}] = e->value * 128 + e->note;
    if (status == kEvChannelPressure) s[{c, kPressure, 0}] = e->value;
    if (status == kEvMeta && e->number == kMetaTempo) s[{-1, kTempoKind, 0}] = e->value;
    if (status == kEvMeta && e->number == kMetaTimeSignature) s[{-1, kMeter, 0}] = e->value;
    if (status == kEvMeta && e->number == kMetaKeySignature)
        s[{-1, kKey, 0}] = e->data[0] * 256 + e->data[1];
    if (status != kEvControl) return;
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

inline bool Same(const State& a, const State& b) {
    for (const State* s : {&a, &b}) {
        for (const auto& [key, value] : *s)
            if (Get(a, key) != Get(b, key)) return false;
    }
    return true;
}

}  // namespace mirror_test
