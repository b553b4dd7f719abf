// Builders for the track-operation tests: events made in code, a track made
// of them, and a compact text per event (absolute tick first) to compare with.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "support/TestSupport.h"

namespace ops_test {

inline MidiEvent* Event(int delta, int status, int channel = kNoChannel) {
    auto* event = new MidiEvent(delta);
    event->status = status;
    event->channel = channel;
    return event;
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

inline MidiEvent* Cc(int delta, int channel, int number, int value) {
    MidiEvent* e = Event(delta, kEvControl, channel);
    e->number = number;
    e->value = value;
    e->length = 3;
    e->data[0] = static_cast<unsigned char>(kEvControl | channel);
    e->data[1] = static_cast<unsigned char>(number);
    e->data[2] = static_cast<unsigned char>(value);
    return e;
}

inline MidiEvent* Pc(int delta, int channel, int program) {
    MidiEvent* e = Event(delta, kEvProgram, channel);
    e->value = program;
    e->length = 2;
    e->data[0] = static_cast<unsigned char>(kEvProgram | channel);
    e->data[1] = static_cast<unsigned char>(program);
    return e;
}

inline MidiEvent* Bend(int delta, int channel, int bend) {
    MidiEvent* e = Event(delta, kEvPitchBend, channel);
    e->SetPitchBendValue(bend);
    return e;
}

inline MidiEvent* Meta(int delta, int type, const std::string& text = "") {
    MidiEvent* e = Event(delta, kEvMeta);
    e->number = type;
    std::memcpy(e->data, text.data(), text.size());
    e->data[text.size()] = 0;
    e->length = static_cast<int>(text.size());
    return e;
}

inline MidiEvent* Tempo(int delta, int tempo) {
    MidiEvent* e = Meta(delta, kMetaTempo);
    e->value = tempo;
    e->length = 3;
    return e;
}

inline MidiEvent* TimeSign(int delta, int code) {
    MidiEvent* e = Meta(delta, kMetaTimeSignature);
    e->value = code;
    e->length = 4;
    return e;
}

inline MidiEvent* Eot(int delta) {
    return Meta(delta, kMetaEndOfTrack);
}

// An exclusive event with the given bytes and classification.
inline MidiEvent* SysEx(int delta, const Bytes& bytes, int type = 0, int channel = kNoChannel,
                        int value = 0) {
    MidiEvent* e = Event(delta, kEvSysEx, channel);
    std::memcpy(e->data, bytes.data(), bytes.size());
    e->length = static_cast<int>(bytes.size());
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

inline std::unique_ptr<MidiTrackData> MakeTrack(int form,
                                                std::initializer_list<MidiEvent*> events) {
    auto track = std::make_unique<MidiTrackData>(form);
    for (MidiEvent* e : events) track->AddEvent(e);
    return track;
}

inline std::unique_ptr<MidiTrackData> MakeTrack(int form, const std::vector<MidiEvent*>& events) {
    auto track = std::make_unique<MidiTrackData>(form);
    for (MidiEvent* e : events) track->AddEvent(e);
    return track;
}

// "tick kind fields" per event, e.g. "480 N c0 n60 d240", "0 CC c1 #7=100",
// "960 EOT".
inline std::string Describe(long tick, const MidiEvent* e) {
    std::string s = std::to_string(tick) + " ";
    auto ch = [&] { return "c" + std::to_string(e->channel); };
    switch (e->status) {
        case kEvNone:
            return s + "NONE";
        case kEvNote:
            return s + "N " + ch() + " n" + std::to_string(e->note) + " d" +
                   std::to_string(e->duration);
        case kEvNoteOn:
            return s + "ON " + ch() + " n" + std::to_string(e->note);
        case kEvNoteOff:
            return s + "OFF " + ch() + " n" + std::to_string(e->note);
        case kEvControl:
            return s + "CC " + ch() + " #" + std::to_string(e->number) + "=" +
                   std::to_string(e->value);
        case kEvProgram:
            return s + "PC " + ch() + " " + std::to_string(e->value);
        case kEvPitchBend:
            return s + "PB " + ch() + " " + std::to_string(e->value * 128 + e->note);
        case kEvSysEx:
            return s + "F0 t" + std::to_string(e->number) + " " + ch();
        case kEvSysExEscape:
            return s + "F7";
        case kEvMeta:
            if (e->number == kMetaEndOfTrack) return s + "EOT";
            if (e->number == kMetaTempo) return s + "TEMPO " + std::to_string(e->value);
            return s + "META" + std::to_string(e->number) + " " +
                   std::string(reinterpret_cast<const char*>(e->data),
                               static_cast<std::size_t>(e->length));
        default:
            return s + "?" + std::to_string(e->status);
    }
}

inline std::vector<std::string> Dump(const MidiTrackData& track) {
    std::vector<std::string> out;
    long tick = 0;
    for (int i = 0; i < track.event_count; ++i) {
        tick += track.event_table[i]->delta;
        out.push_back(Describe(tick, track.event_table[i]));
    }
    return out;
}

using Lines = std::vector<std::string>;

}  // namespace ops_test
