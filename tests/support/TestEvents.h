// Events, tracks and file bytes made in code, and plain views of tracks to
// compare: shared by the track, song, playback and command-line suites.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "support/TestSupport.h"

// ---- event records: new ones, for AddEvent ----

inline MidiEvent* Event(int delta, int status, int channel = kNoChannel) {
    auto* e = new MidiEvent(delta);
    e->status = status;
    e->channel = channel;
    return e;
}
inline MidiEvent* Note(int delta, int channel, int note, int duration, int velocity = 100) {
    MidiEvent* e = Event(delta, kEvNote, channel);
    e->note = note;
    e->duration = duration;
    e->velocity = velocity;
    e->length = 1;
    e->data[0] = kEvNote;
    return e;
}
inline MidiEvent* On(int delta, int channel, int note, int velocity = 100) {
    MidiEvent* e = Event(delta, kEvNoteOn, channel);
    e->note = note;
    e->velocity = velocity;
    return e;
}
inline MidiEvent* Off(int delta, int channel, int note) {
    MidiEvent* e = Event(delta, kEvNoteOff, channel);
    e->note = note;
    return e;
}
// A channel message of three or two bytes, its bytes in the data area.
inline MidiEvent* Cc(int delta, int channel, int number, int value) {
    MidiEvent* e = Event(delta, kEvControl, channel);
    e->number = number;
    e->value = value;
    e->length = 3;
    e->data[0] = std::uint8_t(kEvControl | channel);
    e->data[1] = std::uint8_t(number);
    e->data[2] = std::uint8_t(value);
    return e;
}
inline MidiEvent* Pc(int delta, int channel, int program) {
    MidiEvent* e = Event(delta, kEvProgram, channel);
    e->value = program;
    e->length = 2;
    e->data[0] = std::uint8_t(kEvProgram | channel);
    e->data[1] = std::uint8_t(program);
    return e;
}
inline MidiEvent* Bend(int delta, int channel, int bend) {
    MidiEvent* e = Event(delta, kEvPitchBend, channel);
    e->SetPitchBendValue(bend);
    return e;
}
// A meta event holding text (zero-terminated, however long).
inline MidiEvent* Meta(int delta, int type, const std::string& text = "") {
    MidiEvent* e = Event(delta, kEvMeta);
    e->number = type;
    if (int(text.size()) + 1 > e->DataCapacity()) e->ResizeData(int(text.size()) + 1);
    std::memcpy(e->data, text.data(), text.size());
    e->data[text.size()] = 0;
    e->length = int(text.size());
    return e;
}
inline MidiEvent* Tempo(int delta, int tempo) {
    MidiEvent* e = Event(delta, kEvMeta);
    e->SetTempo(static_cast<unsigned long>(tempo));
    return e;
}
// numerator/2^power, as the reader stores it.
inline MidiEvent* TimeSign(int delta, int numerator, int power) {
    MidiEvent* e = Meta(delta, kMetaTimeSignature);
    e->value = numerator * 256 + (1 << power);
    const unsigned char bytes[] = {std::uint8_t(numerator), std::uint8_t(power), 24, 8};
    std::memcpy(e->data, bytes, 4);
    e->length = 4;
    return e;
}
inline MidiEvent* Eot(int delta) {
    return Meta(delta, kMetaEndOfTrack);
}
// An exclusive event with the given bytes (F0, length, message, F7) and
// classification.
inline MidiEvent* SysEx(int delta, const Bytes& bytes, int type = 0, int channel = kNoChannel,
                        int value = 0) {
    MidiEvent* e = Event(delta, kEvSysEx, channel);
    if (int(bytes.size()) > e->DataCapacity()) e->ResizeData(int(bytes.size()));
    std::copy(bytes.begin(), bytes.end(), e->data);
    e->length = int(bytes.size());
    e->number = type;
    e->value = value;
    return e;
}
// A GS rhythm-part assignment of the part on channel (exclusive type 18).
inline MidiEvent* RhythmPart(int delta, int channel) {
    unsigned char part = 0;
    SetSysExF0Chanel(channel, &part, 0x10);
    return SysEx(delta, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, part, 0x15, 0x01, 0x00, 0xF7},
                 18, channel, 1);
}

template <class Track = MidiTrackData>
std::unique_ptr<Track> MakeTrack(int form, const std::vector<MidiEvent*>& events) {
    auto track = std::make_unique<Track>(form);
    for (MidiEvent* e : events) track->AddEvent(e);
    return track;
}

// ---- views ----

// "tick kind fields" per event, e.g. "480 N c0 n60 d240", "0 CC c1 #7=100",
// "960 EOT".
inline std::string Describe(long tick, const MidiEvent* e) {
    std::string s = std::to_string(tick) + " ";
    const auto n = [](int v) { return std::to_string(v); };
    const std::string ch = "c" + n(e->channel);
    switch (e->status) {
        case kEvNone:
            return s + "NONE";
        case kEvNote:
            return s + "N " + ch + " n" + n(e->note) + " d" + n(e->duration);
        case kEvNoteOn:
            return s + "ON " + ch + " n" + n(e->note);
        case kEvNoteOff:
            return s + "OFF " + ch + " n" + n(e->note);
        case kEvControl:
            return s + "CC " + ch + " #" + n(e->number) + "=" + n(e->value);
        case kEvProgram:
            return s + "PC " + ch + " " + n(e->value);
        case kEvPitchBend:
            return s + "PB " + ch + " " + n(e->value * 128 + e->note);
        case kEvSysEx:
            return s + "F0 t" + n(e->number) + " " + ch;
        case kEvSysExEscape:
            return s + "F7";
        case kEvMeta:
            if (e->number == kMetaEndOfTrack) return s + "EOT";
            if (e->number == kMetaTempo) return s + "TEMPO " + n(e->value);
            return s + "META" + n(e->number) + " " +
                   std::string(reinterpret_cast<const char*>(e->data), std::size_t(e->length));
        default:
            return s + "?" + n(e->status);
    }
}
using Lines = std::vector<std::string>;
inline Lines Dump(const MidiTrackData& track) {
    Lines out;
    long tick = 0;
    for (int i = 0; i < track.event_count; ++i) {
        tick += track.event_table[i]->delta;
        out.push_back(Describe(tick, track.event_table[i]));
    }
    return out;
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
using Notes = std::vector<NoteValue>;

// The Notes of a Q2 track, sorted.
inline Notes NotesOf(const MidiTrackData& track) {
    Notes notes;
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
