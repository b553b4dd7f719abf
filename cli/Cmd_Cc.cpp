// `retrograde cc`: the values of one controller scaled, shifted or set.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct CcOptions {
    EditOptions edit;
    int controller = 0;
    std::optional<int> scale;  // percent
    std::optional<int> add;
    std::optional<int> set;
    std::string channel;  // from 1; empty: every channel
};

// The library's add and scale take every channel; for one channel the verb
// picks its events itself, with the same 64-bit arithmetic and clamping.
void ChangeChannelValues(MidiTrackData& track, int channel, int controller, const CcOptions& o) {
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        if (e.status != kEvControl || e.number != controller || e.channel != channel) continue;
        const std::int64_t value =
            o.scale ? std::int64_t{e.value} * *o.scale / 100 : std::int64_t{e.value} + *o.add;
        e.value = static_cast<int>(std::clamp<std::int64_t>(value, 0, kMidiMaxDataByte));
        e.data[2] = static_cast<unsigned char>(e.value);
    }
}

void Edit(MidiTrackData& track, int channel, const CcOptions& o) {
    if (o.set) {
        if (channel < 0) {
            track.ReplaceControlChange(o.controller, *o.set);
        } else {
            track.ReplaceControlChange(channel, o.controller, *o.set);
        }
    } else if (channel >= 0) {
        ChangeChannelValues(track, channel, o.controller, o);
    } else if (o.scale) {
        track.RatioControlChange(channel, o.controller, *o.scale);
    } else {
        track.AdditionControlChange(channel, o.controller, *o.add);
    }
}

}  // namespace

CliCommand AddCcCommand(CLI::App& parent) {
    auto options = std::make_shared<CcOptions>();
    CLI::App* app = AddVerbApp(parent, "cc");
    app->footer(
        "Every control change of the controller (7 volume, 10 pan, 11 expression, 64 hold "
        "...) is scaled by a percentage, shifted, or set to one value; results stay within "
        "0-127. A format-0 song is edited track by track and written as format 0 again.");
    app->add_option("--controller", options->controller, "Controller number 0-127")
        ->required()
        ->check(CLI::Range(0, 127));
    auto* scale = app->add_option("--scale", options->scale, "Percent of the old value")
                      ->check(CLI::Range(0, 10000));
    auto* add = app->add_option("--add", options->add, "Added to the old value (may be negative)")
                    ->check(CLI::Range(-127, 127));
    auto* set =
        app->add_option("--set", options->set, "The new value 0-127")->check(CLI::Range(0, 127));
    scale->excludes(add)->excludes(set);
    add->excludes(set);
    app->add_option("--channel", options->channel, "Only this channel (1-16)");
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                if (!options->scale && !options->add && !options->set) {
                    throw CliUsage("one of --scale, --add or --set is needed");
                }
                return RunEdit(options->edit, [&](EditJob& job) {
                    const int channel = options->channel.empty()
                                            ? -1
                                            : ParseIndex(options->channel, 16, "--channel");
                    for (int n : job.tracks) Edit(*job.song->GetTrack(n), channel, *options);
                    job.summary = "controller " + std::to_string(options->controller) +
                                  " changed in " + std::to_string(job.tracks.size()) + " tracks";
                });
            }};
}
