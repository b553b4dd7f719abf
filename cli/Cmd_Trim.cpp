// `retrograde trim`: the song starts later and/or ends earlier.
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct TrimOptions {
    EditOptions edit;
    std::string start;
    std::string end;
};

}  // namespace

CliCommand AddTrimCommand(CLI::App& parent) {
    auto options = std::make_shared<TrimOptions>();
    CLI::App* app = AddVerbApp(parent, "trim");
    app->footer(
        "--start: everything moves that much earlier; notes before it go, and the set-up "
        "before it (resets, programs, controllers, tempo, names) stays at the new start. "
        "--end: the song ends there; later events go and notes still sounding end there. "
        "Positions are BAR:BEAT[:TICK] from 1:1, or ticks (480t), in the song as it is. "
        "Every track is cut alike. INPUT is never overwritten.");
    app->add_option("--start", options->start, "The new start: BAR:BEAT[:TICK] or 480t");
    app->add_option("--end", options->end, "The new end: BAR:BEAT[:TICK] or 480t");
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                if (options->start.empty() && options->end.empty())
                    throw CliUsage("trim: give --start, --end or both");
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int start =
                        options->start.empty() ? 0 : ParsePosition(options->start, song);
                    const int end = options->end.empty() ? -1 : ParsePosition(options->end, song);
                    if (end != -1 && end <= start)
                        throw CliUsage("--end " + options->end + ": must come after the start");
                    // The end first: both positions are read in the song as it is.
                    if (end != -1) song.SetDuration(end);
                    if (start > 0) song.SetBegin(start);
                    job.summary = "trimmed to " + PositionText(song, 0) + " - " +
                                  PositionText(song, song.GetTuneLength());
                });
            }};
}
