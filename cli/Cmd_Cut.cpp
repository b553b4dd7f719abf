// `retrograde cut`: the notes of a span removed and the time line closed up.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct CutOptions {
    EditOptions edit;
    std::string from;
    std::string to;
};

// Notes that began before the cut end where it begins: what sounded into the
// span is gone with it.
void EndNotesAt(MidiTrackData& track, int from) {
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        now += e.delta;
        if (now >= from) return;
        if (e.status == kEvNote && now + e.duration > from) {
            e.duration = static_cast<int>(from - now);
        }
    }
}

}  // namespace

CliCommand AddCutCommand(CLI::App& parent) {
    auto options = std::make_shared<CutOptions>();
    CLI::App* app = AddVerbApp(parent, "cut");
    app->footer(
        "The notes and pitch bends starting in [--from, --to) are removed, every other "
        "event of the span stays at --from, and what follows moves earlier by the span's "
        "length. Notes that began before --from end there. Every track is cut (or the one "
        "--track names). A format-0 song is written as format 0 again.");
    app->add_option("--from", options->from, "Start: BAR:BEAT[:TICK] from 1:1, or 480t")
        ->required();
    app->add_option("--to", options->to, "End, not included: BAR:BEAT[:TICK] or 480t")->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const auto [from, to] = ParseSpan(options->from, options->to, song);
                    for (int n : job.tracks) {
                        MidiTrackData& track = *song.GetTrack(n);
                        EndNotesAt(track, from);
                        track.DeleteAreaNoteAndPitchBend(from, to);
                    }
                    job.summary = std::to_string(to - from) + " ticks cut from " +
                                  PositionText(song, from) + " in " +
                                  std::to_string(job.tracks.size()) + " tracks";
                });
            }};
}
