// `retrograde extract`: one channel of a song.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct ExtractOptions {
    EditOptions edit;
    std::string channel;
};

}  // namespace

CliCommand AddExtractCommand(CLI::App& parent) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* app = AddVerbApp(parent, "extract");
    app->footer(
        "Every track with channel events keeps only those of the channel (and its end); "
        "tracks without a channel (tempo, time and key signatures) stay as they are.");
    app->add_option("--channel", options->channel, "The channel kept (1..16)")->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                const int channel = ParseIndex(options->channel, 16, "--channel");
                return RunEdit(options->edit, [&](EditJob& job) {
                    int changed = 0;
                    for (int n : job.tracks) {
                        MidiTrackData& track = *job.song->GetTrack(n);
                        if (track.GetChanel() == kNoChannel) continue;
                        track.ExtractChanelData(channel);
                        ++changed;
                    }
                    job.summary = "channel " + options->channel + " kept in " +
                                  std::to_string(changed) + " tracks";
                });
            }};
}
