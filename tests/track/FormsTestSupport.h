// Helpers of the event-list, form and writer tests: tracks built from a
// compact list of events, and a view of a track that gtest compares and prints.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "support/TestSupport.h"

namespace forms_test {

// The fields the list operations and the conversions look at.
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
inline Ev Meta(int delta, int type, int value = 0) {
    return {delta, kEvMeta, kNoChannel, 0, 0, 0, type, value};
}
inline Ev Tempo(int delta, int tempo) {
    return Meta(delta, kMetaTempo, tempo);
}
inline Ev Eot(int delta) {
    return Meta(delta, kMetaEndOfTrack);
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

inline Ev View(const MidiEvent& e) {
    return {e.delta, e.status, e.channel, e.note, e.velocity, e.duration, e.number, e.value};
}

inline std::vector<Ev> Events(const MidiTrackData& track) {
    std::vector<Ev> out;
    for (int i = 0; i < track.event_count; ++i) out.push_back(View(*track.event_table[i]));
    return out;
}

inline std::unique_ptr<MidiTrackData> ReadChunk(Bytes image) {
    return std::make_unique<MidiTrackData>(static_cast<long>(image.size()), 0, image.data());
}

// The chunk bytes a track holds after Q1toRaw.
inline Bytes ChunkBytes(const MidiTrackData& track) {
    return Bytes(track.buffer, track.buffer + track.size);
}

inline const std::string kInternal = "MidiTrackDataで内部エラーが発生しました。";
inline const std::string kUndefined = "未定義のMIDIイベントです。";
inline const std::string kChannelError = "チャネルに誤りがあります。";
inline const std::string kTooMuch = "データの量が多すぎます。";
inline const std::string kTempoData = "MidiTrackDataでテンポデータの異常が検出されました。";
inline const std::string kTooLarge = "サイズが大きすぎるイベントが含まれています。";
inline const std::string kGeneric = "MidiTrackDataでエラーが発生しました。";

}  // namespace forms_test
