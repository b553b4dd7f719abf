// `retrograde drums-clean`: drum notes outside the General MIDI drum map
// moved into it, and the doubled hits that leaves removed, each one told.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct Hit {
    int track;
    long tick;
    int note;  // as the drum map has it after the move
    int original;
    auto Key() const { return std::tie(track, tick, note); }
};

// Every note of every drum track, with the note the clean-up moves it to.
std::vector<Hit> DrumHits(MidiF1Data& song) {
    std::vector<Hit> hits;
    for (int t = 0; t < song.track_count; ++t) {
        if (!song.IsDrumTrack(t)) continue;
        const MidiTrackData& track = *song.GetTrack(t);
        long tick = 0;
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            tick += e.delta;
            if (e.status != kEvNote) continue;
            const bool valid = e.note >= kDrumLowestNote && e.note <= kDrumHighestNote;
            hits.push_back({t, tick, valid ? e.note : kDrumLowestNote, e.note});
        }
    }
    return hits;
}

// The lines for people: each note moved, and each hit the clean-up removed
// (those of before missing after it, compared as multisets).
std::vector<std::string> Changes(MidiF1Data& song, std::vector<Hit> before,
                                 std::vector<Hit> after) {
    const auto less = [](const Hit& a, const Hit& b) { return a.Key() < b.Key(); };
    std::stable_sort(before.begin(), before.end(), less);
    std::sort(after.begin(), after.end(), less);
    std::vector<std::string> lines;
    std::size_t a = 0;
    for (const Hit& hit : before) {
        while (a < after.size() && less(after[a], hit)) ++a;
        const bool kept = a < after.size() && !less(hit, after[a]);
        const std::string where =
            "track " + std::to_string(hit.track + 1) + " at " + PositionText(song, hit.tick) + ": ";
        if (kept) ++a;
        if (!kept)
            lines.push_back(where + "removed " + NoteName(hit.original) +
                            (hit.note != hit.original ? " (as " + NoteName(hit.note) + ")" : "") +
                            ": struck again while still sounding");
        else if (hit.note != hit.original)
            lines.push_back(where + "moved " + NoteName(hit.original) + " -> " +
                            NoteName(hit.note));
    }
    return lines;
}

}  // namespace

CliCommand AddDrumsCleanCommand(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "drums-clean");
    app->footer(
        "On every drum track (channel 10, or a channel a GS rhythm-part message makes "
        "drums) each note outside B1..A5 (35..81, the General MIDI drum map) becomes 35, "
        "and a hit struck again while the same sound still rings is removed. Each note "
        "moved or removed is printed with its track and BAR:BEAT:TICK. Works on the whole "
        "song. INPUT is never overwritten.");
    AddEditOptions(app, *options, true, EditReach::kSong);
    return {app, [options] {
                if (options->track != 0)
                    throw CliUsage("--track: drums-clean works on every drum track");
                return RunEdit(*options, [&](EditJob& job) {
                    const std::vector<Hit> before = DrumHits(*job.song);
                    job.song->DeleteInvalidDrum(false);
                    const auto lines = Changes(*job.song, before, DrumHits(*job.song));
                    std::FILE* out = options->output == "-" ? stderr : stdout;
                    for (const std::string& line : lines) {
                        if (options->json)
                            std::fprintf(out, "{\"input\":%s,\"change\":%s}\n",
                                         JsonString(job.input).c_str(), JsonString(line).c_str());
                        else
                            std::fprintf(out, "%s\n", line.c_str());
                    }
                    job.summary = std::to_string(lines.size()) + " drum notes moved or removed";
                });
            }};
}
