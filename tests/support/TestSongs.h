// Format-1 songs built from tracks of test events, and their dumps.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

inline const std::string kF1Internal = "MidiF1Dataで内部エラーが発生しました。";
inline const std::string kF1Generic = "MidiF1Dataでエラーが発生しました。";

using Tracks = std::vector<std::vector<Ev>>;

// A track of one note on channel, after an instrument (port) name when given.
inline std::vector<Ev> On(int channel, const std::string& instrument = "") {
    std::vector<Ev> t{Note(0, channel, 60, 10), Eot(10)};
    if (!instrument.empty()) t.insert(t.begin(), Meta(0, kMetaInstrument, instrument));
    return t;
}
// A conductor track: title and tempo.
inline const std::vector<Ev> kConductor{Meta(0, kMetaTrackName, "Song"), Tempo(0, 500000), Eot(0)};

// A song of the tracks (480 ticks per quarter note), every track in form.
inline std::unique_ptr<MidiF1Data> Song(const Tracks& spec, int form = kFormQ2) {
    std::vector<std::unique_ptr<MidiF1TrackData>> owned;
    std::vector<MidiTrackData*> raw;
    for (const auto& events : spec) {
        owned.push_back(Track<MidiF1TrackData>(form, events));
        raw.push_back(owned.back().get());
    }
    auto song = std::make_unique<MidiF1Data>(raw.data(), int(raw.size()), 480);
    song->form = form;
    return song;
}

// Every track's dump, each line led by the track's index from 0 ("1: 0 EOT").
inline Lines SongDump(const MidiF1Data& song) {
    Lines out;
    for (int t = 0; t < song.track_count; ++t)
        for (const auto& line : Dump(*song.GetTrack(t)))
            out.push_back(std::to_string(t) + ": " + line);
    return out;
}
