// `retrograde move-channel`: the events of one channel onto another.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct MoveChannelOptions {
    EditOptions edit;
    std::string from;
    std::string to;
};

}  // namespace

CliCommand AddMoveChannelCommand(CLI::App& parent) {
    auto options = std::make_shared<MoveChannelOptions>();
    CLI::App* app = AddVerbApp(parent, "move-channel");
    app->footer(
        "Every event of channel --from goes to channel --to, GS part messages (a part "
        "switched to drums, part equalizer) included. A format-0 song is edited track by "
        "track and written as format 0 again. INPUT is never overwritten.");
    app->add_option("--from", options->from, "The channel moved (1-16)")->required();
    app->add_option("--to", options->to, "Where it goes (1-16)")->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    const int from = ParseIndex(options->from, 16, "--from");
                    const int to = ParseIndex(options->to, 16, "--to");
                    for (int n : job.tracks) job.song->GetTrack(n)->ChangeChanel(from, to);
                    job.summary = "channel " + options->from + " moved to channel " + options->to +
                                  " in " + std::to_string(job.tracks.size()) + " tracks";
                });
            }};
}
