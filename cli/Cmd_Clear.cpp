// `retrograde clear`: the notes and other events of a span removed; the span
// keeps its length and the song its setup.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"
#include "midi/song/MidiF1TrackData.h"

namespace {

struct ClearOptions {
    EditOptions edit;
    std::string from;
    std::string to;
};

}  // namespace

CliCommand AddClearCommand(CLI::App& parent) {
    auto options = std::make_shared<ClearOptions>();
    CLI::App* app = AddVerbApp(parent, "clear");
    app->footer(
        "The notes, texts and markers in [--from, --to) are removed and the span stays "
        "silent; what follows keeps its time. Notes sounding into the span end at --from. "
        "The span's controller, program, pitch-bend, tempo, time and key signature changes, "
        "exclusives and names move to --from in their order, so everything after the span "
        "sounds as before. Every track is cleared (or the one --track names).");
    app->add_option("--from", options->from, "Start: BAR:BEAT[:TICK] from 1:1, or 480t")
        ->required();
    app->add_option("--to", options->to, "End, not included: BAR:BEAT[:TICK] or 480t")->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const auto [from, to] = ParseSpan(options->from, options->to, song);
                    for (int n : job.tracks) song.GetTrack(n)->ClearEvents(from, to);
                    job.summary = std::to_string(to - from) + " ticks cleared from " +
                                  PositionText(song, from) + " in " +
                                  std::to_string(job.tracks.size()) + " tracks";
                });
            }};
}
