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

// One event of a song under construction, at an absolute tick.
struct At {
    long tick;
    MidiEvent* event;
};

inline At NoteAt(long tick, int channel, int note, int duration, int velocity = 100) {
    return {tick, Note(0, channel, note, duration, velocity)};
}
inline At OnAt(long tick, int channel, int note, int velocity = 100) {
    return {tick, On(0, channel, note, velocity)};
}
inline At OffAt(long tick, int channel, int note) {
    return {tick, Off(0, channel, note)};
}
inline At ControlAt(long tick, int channel, int number, int value) {
    return {tick, Cc(0, channel, number, value)};
}
inline At ProgramAt(long tick, int channel, int program) {
    return {tick, Pc(0, channel, program)};
}
inline At MetaAt(long tick, int type, const std::string& text = "") {
    return {tick, Meta(0, type, text)};
}
inline At TempoAt(long tick, int tempo) {
    return {tick, Tempo(0, tempo)};
}
inline At TimeSignAt(long tick, int numerator, int power) {
    return {tick, TimeSign(0, numerator, power)};
}
inline At SysExAt(long tick) {
    return {tick, SysEx(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})};
}
// A key signature of the given sharps, major.
inline MidiEvent* KeySign(int delta, int sharps) {
    MidiEvent* e = Meta(delta, kMetaKeySignature);
    e->data[0] = static_cast<unsigned char>(sharps);
    e->data[1] = 0;
    e->length = 2;
    return e;
}
inline At EndAt(long tick) {
    return {tick, Eot(0)};
}

// The events with their deltas set from the ticks, which must not decrease.
inline std::vector<MidiEvent*> Timed(const std::vector<At>& events) {
    std::vector<MidiEvent*> out;
    long time = 0;
    for (const At& at : events) {
        at.event->delta = static_cast<int>(at.tick - time);
        time = at.tick;
        out.push_back(at.event);
    }
    return out;
}

// A song of the given form whose track holds the events in the order given.
inline std::unique_ptr<MidiF0Data> MakeSong(int form, int division, std::vector<At> events) {
    auto song = std::make_unique<MidiF0Data>(form, division);
    for (MidiEvent* e : Timed(events)) song->GetTrack()->AddEvent(e);
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
    std::uniform_int_distribution<int> gap(0, 3);
    std::uniform_int_distribution<int> length(1, 6);
    std::uniform_int_distribution<int> channel(0, channels - 1);
    std::uniform_int_distribution<int> pitch(0, pitches - 1);
    std::uniform_int_distribution<int> velocity(1, 127);
    std::uniform_int_distribution<int> other(0, 9);
    std::vector<At> events;
    long tick = std::uniform_int_distribution<long>(0, 500)(random);
    long end = tick;
    for (int i = 0; i < notes; ++i) {
        tick += gap(random) * 60;
        const int c = channel(random);
        const int kind = other(random);
        if (kind == 0) events.push_back(ProgramAt(tick, c, velocity(random)));
        if (kind == 1) events.push_back(ControlAt(tick, c, 7, velocity(random)));
        const int d = length(random) * 60;
        events.push_back(NoteAt(tick, c, 48 + pitch(random) * 5 + c, d, velocity(random)));
        end = std::max(end, tick + d);
    }
    events.push_back(EndAt(end + std::uniform_int_distribution<long>(0, 200)(random)));
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
    if (horizontal) {
        for (NoteValue& n : notes) n.start = last - (n.start + n.duration);
    }
    if (vertical) {
        std::array<int, 16> low;
        std::array<int, 16> high;
        low.fill(127);
        high.fill(0);
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
