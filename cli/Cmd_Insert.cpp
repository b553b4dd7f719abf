// `retrograde insert`: an empty stretch opened in the time line.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct InsertOptions {
    EditOptions edit;
    std::string at;
    std::string length;
};

}  // namespace

CliCommand AddInsertCommand(CLI::App& parent) {
    auto options = std::make_shared<InsertOptions>();
    CLI::App* app = AddVerbApp(parent, "insert");
    app->footer(
        "Everything from --at on moves later by --length, in every track (or the one "
        "--track names), so the tracks stay together. Notes sounding at --at keep their "
        "lengths. A format-0 song is edited track by track and written as format 0 again.");
    app->add_option("--at", options->at, "Where: BAR:BEAT[:TICK] from 1:1, or 480t")->required();
    app->add_option("--length", options->length, "How long: 1/4, 2bars, 480t ...")->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int at = ParsePosition(options->at, song);
                    const int length = ParseLength(options->length, song.division, BarTicks(song));
                    for (int n : job.tracks) song.GetTrack(n)->InsertBlankArea(at, length);
                    job.summary = std::to_string(length) + " ticks inserted at " +
                                  PositionText(song, at) + " in " +
                                  std::to_string(job.tracks.size()) + " tracks";
                });
            }};
}
