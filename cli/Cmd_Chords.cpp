// `retrograde chords`: the chord markers of a song with the notes they name.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"
#include "music/ChordNameCtl.h"

namespace {

struct Marker {
    int track;  // from 0
    long tick;
    std::string name;
    std::vector<int> notes;  // bass, root, third, fifth, seventh; empty: no chord
};

std::vector<Marker> MarkersOf(MidiF1Data& song, const std::vector<int>& tracks) {
    std::vector<Marker> out;
    for (int n : tracks) {
        const MidiTrackData& track = *song.GetTrack(n);
        long tick = 0;
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            tick += e.delta;
            if (!e.IsMeta(kMetaMarker)) continue;
            const char* text = reinterpret_cast<const char*>(e.data);
            const ChordNameCtl chord(text, e.length);
            Marker marker{n, tick, std::string(text, static_cast<std::size_t>(e.length)), {}};
            if (chord.root != 0) {
                marker.notes = {chord.bass, chord.root, chord.third, chord.fifth};
                if (chord.seventh != 0) marker.notes.push_back(chord.seventh);
            }
            out.push_back(std::move(marker));
        }
    }
    return out;
}

}  // namespace

CliCommand AddChordsCommand(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "chords");
    app->footer(
        "Every marker is read as a chord name (see `retrograde chord`); markers that name no "
        "chord are listed as such. Positions are BAR:BEAT:TICK from 1:1:0.");
    AddEditOptions(app, *options, false);
    return {app, [options] {
                return RunCheck(*options, [&](EditJob& job) {
                    const std::vector<Marker> markers = MarkersOf(*job.song, job.tracks);
                    std::string json;
                    for (const Marker& m : markers) {
                        const std::string at = PositionText(*job.song, m.tick);
                        std::string notes;
                        for (int note : m.notes) {
                            if (options->json) {
                                notes += (notes.empty() ? "" : ",") + std::to_string(note);
                            } else {
                                notes += " " + NoteName(note);
                            }
                        }
                        if (options->json) {
                            json +=
                                (json.empty() ? "" : ",") + std::string("{\"track\":") +
                                std::to_string(m.track + 1) + ",\"position\":" + JsonString(at) +
                                ",\"tick\":" + std::to_string(m.tick) +
                                ",\"name\":" + JsonString(m.name) + ",\"notes\":[" + notes + "]}";
                        } else {
                            std::printf("%s: track %d, %s: %s:%s\n", job.input.c_str(), m.track + 1,
                                        at.c_str(), m.name.c_str(),
                                        m.notes.empty() ? " no chord" : notes.c_str());
                        }
                    }
                    if (options->json) {
                        std::printf("{\"input\":%s,\"chords\":[%s]}\n",
                                    JsonString(job.input).c_str(), json.c_str());
                    } else if (markers.empty()) {
                        std::printf("%s: no chord markers\n", job.input.c_str());
                    }
                    return true;
                });
            }};
}
