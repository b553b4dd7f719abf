// `retrograde length`: how many seconds a song plays, up to its end or to a
// position.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"
#include "midi/song/MidiF1TrackData.h"

namespace {

struct LengthOptions {
    EditOptions edit;
    std::string to;
};

// One track holding the tempo changes of every track of the song, in time order.
std::unique_ptr<MidiF1TrackData> TempoMap(MidiF1Data& song) {
    std::vector<std::pair<long, int>> tempos;
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        const MidiTrackData* track = song.GetTrack(n);
        long tick = 0;
        for (int i = 0; track != nullptr && i < track->event_count; ++i) {
            const MidiEvent& e = *track->event_table[i];
            tick += e.delta;
            if (e.IsMeta(kMetaTempo)) tempos.emplace_back(tick, e.value);
        }
    }
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    auto map = std::make_unique<MidiF1TrackData>(kFormQ1);
    long previous = 0;
    for (const auto& [tick, tempo] : tempos) {
        auto e = std::make_unique<MidiEvent>(static_cast<int>(tick - previous));
        e->SetTempo(static_cast<unsigned long>(tempo));
        map->AddEvent(e.release());
        previous = tick;
    }
    return map;
}

}  // namespace

CliCommand AddLengthCommand(CLI::App& parent) {
    auto options = std::make_shared<LengthOptions>();
    CLI::App* app = AddVerbApp(parent, "length");
    app->footer(
        "Seconds from the start to the end of the song (its longest track, or the one "
        "--track names), or to --to, under the song's tempo changes; past the last tempo "
        "change the last tempo holds.");
    app->add_option("--to", options->to, "Up to: BAR:BEAT[:TICK] from 1:1, or 480t");
    AddEditOptions(app, options->edit, false);
    return {app, [options] {
                return RunCheck(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    long end = 0;
                    for (int n : job.tracks) end = std::max(end, song.GetTrack(n)->GetTrackLen());
                    const long to = options->to.empty() ? end : ParsePosition(options->to, song);
                    const auto map = TempoMap(song);
                    const double seconds =
                        map->DeltaTimeToSecond(0, static_cast<int>(to), song.division);
                    if (options->edit.json) {
                        std::printf("{\"input\":%s,\"to\":%ld,\"seconds\":%.3f}\n",
                                    JsonString(job.input).c_str(), to, seconds);
                    } else {
                        std::printf("%s: %.3f seconds to %s\n", job.input.c_str(), seconds,
                                    PositionText(song, to).c_str());
                    }
                    return true;
                });
            }};
}
