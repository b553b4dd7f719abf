// Builders for the mirror and measure tests: songs made in code, random songs
// from a fixed seed, and the notes of a song as plain values to compare.
#pragma once

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "support/TestSupport.h"

namespace mirror_test {

// One event of a song under construction, at an absolute tick.
struct At {
    long tick;
    MidiEvent* event;
};

inline MidiEvent* Make(int status, int channel) {
    auto* e = new MidiEvent();
    e->status = status;
    e->channel = channel;
    return e;
}

inline At NoteAt(long tick, int channel, int note, int duration, int velocity = 100) {
    MidiEvent* e = Make(kEvNote, channel);
    e->note = note;
    e->duration = duration;
    e->velocity = velocity;
    e->length = 1;
    e->data[0] = kEvNote;
    return {tick, e};
}

inline At OnAt(long tick, int channel, int note, int velocity = 100) {
    MidiEvent* e = Make(kEvNoteOn, channel);
    e->note = note;
    e->velocity = velocity;
    return {tick, e};
}

inline At OffAt(long tick, int channel, int note) {
    MidiEvent* e = Make(kEvNoteOff, channel);
    e->note = note;
    return {tick, e};
}

inline At ControlAt(long tick, int channel, int number, int value) {
    MidiEvent* e = Make(kEvControl, channel);
    e->number = number;
    e->value = value;
    e->length = 3;
    e->data[0] = static_cast<unsigned char>(kEvControl | channel);
    e->data[1] = static_cast<unsigned char>(number);
    e->data[2] = static_cast<unsigned char>(value);
    return {tick, e};
}

inline At ProgramAt(long tick, int channel, int program) {
    MidiEvent* e = Make(kEvProgram, channel);
    e->value = program;
    e->length = 2;
    e->data[0] = static_cast<unsigned char>(kEvProgram | channel);
    e->data[1] = static_cast<unsigned char>(program);
    return {tick, e};
}

inline At MetaAt(long tick, int type, const std::string& text = "") {
    MidiEvent* e = Make(kEvMeta, kNoChannel);
    e->number = type;
    std::memcpy(e->data, text.data(), text.size());
    e->data[text.size()] = 0;
    e->length = static_cast<int>(text.size());
    return {tick, e};
}

inline At TempoAt(long tick, int tempo) {
    At at = MetaAt(tick, kMetaTempo);
    at.event->SetTempo(static_cast<unsigned long>(tempo));
    return at;
}

// A time signature numerator/2^power, as the reader stores it.
inline At TimeSignAt(long tick, int numerator, int power) {
    At at = MetaAt(tick, kMetaTimeSignature);
    at.event->value = numerator * 256 + (1 << power);
    at.event->data[0] = static_cast<unsigned char>(numerator);
    at.event->data[1] = static_cast<unsigned char>(power);
    at.event->data[2] = 24;
    at.event->data[3] = 8;
    at.event->length = 4;
    return at;
}

inline At EndAt(long tick) {
    return MetaAt(tick, kMetaEndOfTrack);
}

// A song of the given form whose track holds the events in the order given;
// the ticks must not decrease.
inline std::unique_ptr<MidiF0Data> MakeSong(int form, int division, std::vector<At> events) {
    auto song = std::make_unique<MidiF0Data>(form, division);
    long time = 0;
    for (const At& at : events) {
        at.event->delta = static_cast<int>(at.tick - time);
        time = at.tick;
        song->GetTrack()->AddEvent(at.event);
    }
    return song;
}

// A note as the comparisons see it.
struct NoteValue {
    long start;
    int channel;
    int note;
    int duration;
    int velocity;
    auto Key() const { return std::tie(start, channel, note, duration, velocity); }
    bool operator==(const NoteValue& o) const { return Key() == o.Key(); }
    bool operator<(const NoteValue& o) const { return Key() < o.Key(); }
};

inline std::ostream& operator<<(std::ostream& out, const NoteValue& n) {
    return out << "{t" << n.start << " c" << n.channel << " n" << n.note << " d" << n.duration
               << " v" << n.velocity << "}";
}

// The Notes of a Q2 track, sorted.
inline std::vector<NoteValue> NotesOf(const MidiTrackData& track) {
    std::vector<NoteValue> notes;
    long time = 0;
    for (int k = 0; k < track.event_count; ++k) {
        const MidiEvent* e = track.event_table[k];
        time += e->delta;
        if (e->status == kEvNote)
            notes.push_back({time, e->channel, e->note, e->duration, e->velocity});
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

inline std::vector<NoteValue> Shifted(std::vector<NoteValue> notes, long by) {
    for (NoteValue& n : notes) n.start += by;
    std::sort(notes.begin(), notes.end());
    return notes;
}

// Absolute ticks of the events of a track.
inline std::vector<long> TimesOf(const MidiTrackData& track) {
    std::vector<long> times;
    long time = 0;
    for (int k = 0; k < track.event_count; ++k) {
        time += track.event_table[k]->delta;
        times.push_back(time);
    }
    return times;
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

}  // namespace mirror_test
