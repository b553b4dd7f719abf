// Builders for the mirror and measure tests: songs made in code from events
// at absolute ticks, and random songs from a fixed seed.
#pragma once

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>
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

}  // namespace mirror_test
