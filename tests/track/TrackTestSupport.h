// Helpers of the track tests: the track's messages, reading a chunk from
// bytes, and two views of events that gtest compares and prints: one of the
// fields the list operations and conversions look at (forms_test), one of
// what the reader fills in (reader_test).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "support/TestSupport.h"

inline const std::string kInternal = "MidiTrackDataで内部エラーが発生しました。";
inline const std::string kGeneric = "MidiTrackDataでエラーが発生しました。";
inline const std::string kUndefined = "未定義のMIDIイベントです。";
inline const std::string kChannelError = "チャネルに誤りがあります。";
inline const std::string kTooMuch = "データの量が多すぎます。";
inline const std::string kTooLarge = "サイズが大きすぎるイベントが含まれています。";
inline const std::string kTempoData = "MidiTrackDataでテンポデータの異常が検出されました。";
inline const std::string kTempo = "テンポに誤りがあります。";
inline const std::string kNotMidi =
    "MIDIファイルではないか、マックバイナリがついているファイルです。";
inline const std::string kProgram =
    "プログラム・チェンジで不正な番号がありました。0に調整しました。";

inline std::unique_ptr<MidiTrackData> Read(Bytes image, long offset = 0) {
    return std::make_unique<MidiTrackData>(static_cast<long>(image.size()), offset, image.data());
}
// The chunk bytes a track holds after Q1toRaw.
inline Bytes ChunkBytes(const MidiTrackData& track) {
    return Bytes(track.buffer, track.buffer + track.size);
}
inline Bytes DataOf(const MidiEvent& e, int count) {
    return Bytes(e.data, e.data + count);
}

namespace forms_test {

struct Ev {
    int delta = 0;
    int status = kEvNone;
    int channel = kNoChannel;
    int note = 0;
    int velocity = 0;
    int duration = 0;
    int number = 0;
    int value = 0;
    bool operator==(const Ev&) const = default;
};

inline void PrintTo(const Ev& e, std::ostream* os) {
    *os << "{d" << e.delta << " st" << std::hex << e.status << std::dec << " ch" << e.channel
        << " n" << e.note << " v" << e.velocity << " dur" << e.duration << " num" << std::hex
        << e.number << std::dec << " val" << e.value << "}";
}

inline Ev On(int delta, int ch, int note, int vel = 100) {
    return {delta, kEvNoteOn, ch, note, vel, 0, 0, 0};
}
inline Ev Off(int delta, int ch, int note, int vel = 0) {
    return {delta, kEvNoteOff, ch, note, vel, 0, 0, 0};
}
inline Ev Note(int delta, int ch, int note, int vel, int duration) {
    return {delta, kEvNote, ch, note, vel, duration, 0, 0};
}
inline Ev Cc(int delta, int ch, int number, int value) {
    return {delta, kEvControl, ch, 0, 0, 0, number, value};
}
inline Ev Tempo(int delta, int tempo) {
    return {delta, kEvMeta, kNoChannel, 0, 0, 0, kMetaTempo, tempo};
}
inline Ev Eot(int delta) {
    return {delta, kEvMeta, kNoChannel, 0, 0, 0, kMetaEndOfTrack, 0};
}
inline Ev Nop(int delta) {
    return {delta, kEvNone, kNoChannel, 0, 0, 0, 0, 0};
}
// A control change whose value tells events apart in order tests.
inline Ev Tag(int delta, int tag) {
    return Cc(delta, 0, 20, tag);
}

inline MidiEvent* Make(const Ev& e) {
    auto* event = new MidiEvent(e.delta);
    event->status = e.status;
    event->channel = e.channel;
    event->note = e.note;
    event->velocity = e.velocity;
    event->duration = e.duration;
    event->number = e.number;
    event->value = e.value;
    return event;
}

inline std::unique_ptr<MidiTrackData> Track(int form, const std::vector<Ev>& events) {
    auto track = std::make_unique<MidiTrackData>(form);
    for (const Ev& e : events) track->AddEvent(Make(e));
    return track;
}

inline std::vector<Ev> Events(const MidiTrackData& track) {
    std::vector<Ev> out;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        out.push_back(
            {e.delta, e.status, e.channel, e.note, e.velocity, e.duration, e.number, e.value});
    }
    return out;
}

}  // namespace forms_test

namespace reader_test {

struct Ev {
    int delta, status, channel, note, velocity, number, value, length;
    bool operator==(const Ev&) const = default;
};

inline void PrintTo(const Ev& e, std::ostream* os) {
    *os << std::hex << "{d" << std::dec << e.delta << std::hex << " st" << e.status << " ch"
        << std::dec << e.channel << " n" << e.note << " v" << e.velocity << " num" << std::hex
        << e.number << " val" << std::dec << e.value << " len" << e.length << "}";
}

inline Ev View(const MidiEvent& e) {
    return {e.delta, e.status, e.channel, e.note, e.velocity, e.number, e.value, e.length};
}

inline std::vector<Ev> Events(const MidiTrackData& track) {
    std::vector<Ev> out;
    for (int i = 0; i < track.event_count; ++i) out.push_back(View(*track.event_table[i]));
    return out;
}

// Events of the common kinds, as the reader fills them.
inline Ev NoteOn(int delta, int ch, int note, int vel) {
    return {delta, kEvNoteOn, ch, note, vel, 0, 0, 3};
}
inline Ev NoteOff(int delta, int ch, int note, int vel) {
    return {delta, kEvNoteOff, ch, note, vel, 0, 0, 3};
}
inline Ev Control(int delta, int ch, int number, int value) {
    return {delta, kEvControl, ch, 0, 0, number, value, 3};
}
inline Ev EndOfTrack(int delta) {
    return {delta, kEvMeta, kNoChannel, 0, 0, 0x2F, 0, 0};
}
inline Ev None(int delta) {
    return {delta, kEvNone, kNoChannel, 0, 0, 0, 0, 0};
}

}  // namespace reader_test
