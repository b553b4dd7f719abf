// Helpers of the track reader tests: reading a chunk from bytes and a compact
// view of an event that gtest can compare and print.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "support/TestSupport.h"

namespace reader_test {

inline std::unique_ptr<MidiTrackData> Read(Bytes image, long offset = 0) {
    return std::make_unique<MidiTrackData>(static_cast<long>(image.size()), offset, image.data());
}

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

inline Bytes DataOf(const MidiEvent& e, int count) {
    return Bytes(e.data, e.data + count);
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

inline const std::string kInternal = "MidiTrackDataで内部エラーが発生しました。";
inline const std::string kUndefined = "未定義のMIDIイベントです。";
inline const std::string kTempo = "テンポに誤りがあります。";
inline const std::string kTooMuch = "データの量が多すぎます。";
inline const std::string kNotMidi =
    "MIDIファイルではないか、マックバイナリがついているファイルです。";
inline const std::string kProgram =
    "プログラム・チェンジで不正な番号がありました。0に調整しました。";
inline const std::string kTooLarge = "サイズが大きすぎるイベントが含まれています。";
inline const std::string kGeneric = "MidiTrackDataでエラーが発生しました。";

}  // namespace reader_test
