// `retrograde velocity`: loudness of notes: to the loudest, by an amount, or a
// fade-out at the end of the song.
#include <algorithm>
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"
#include "midi/event/MidiConstants.h"

namespace {

constexpr int kMaxVelocity = 127;

struct VelocityOptions {
    EditOptions edit;
    bool normalize = false;
    int add = 0;
    std::string fade;
    std::string channel;
};

bool Chosen(const MidiEvent& e, int channel) {
    return e.status == kEvNote && (channel < 0 || e.channel == channel);
}

}  // namespace

CliCommand AddVelocityCommand(CLI::App& parent) {
    auto options = std::make_shared<VelocityOptions>();
    CLI::App* app = AddVerbApp(parent, "velocity");
    app->footer(
        "--normalize scales each channel so that its loudest note plays at 127. --add "
        "shifts every velocity, staying within 1..127 so no note falls silent. --fade-out "
        "fades the song's last stretch from full to silence (the notes at its very end "
        "vanish). Give one of the three.");
    auto* normalize =
        app->add_flag("--normalize", options->normalize, "The loudest note of a channel to 127");
    auto* add = app->add_option("--add", options->add, "Add N (may be negative) to velocities")
                    ->check(CLI::Range(-126, 126));
    auto* fade = app->add_option("--fade-out", options->fade,
                                 "Fade out over the song's last LENGTH: 4bars, 1/2, 1920t ...");
    normalize->excludes(add)->excludes(fade);
    add->excludes(fade);
    app->add_option("--channel", options->channel,
                    "Only this channel (1..16), with --normalize or --add");
    AddEditOptions(app, options->edit, true);
    return {app, [options, normalize, add, fade] {
                if (normalize->count() + add->count() + fade->count() != 1) {
                    throw CliUsage("give one of --normalize, --add and --fade-out");
                }
                int channel = -1;
                if (!options->channel.empty()) {
                    if (fade->count() > 0) throw CliUsage("--channel: the fade takes the song");
                    channel = ParseIndex(options->channel, kMidiChannels, "--channel");
                }
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    int fade_from = 0;
                    long end = 0;
                    if (fade->count() > 0) {
                        const int length =
                            ParseLength(options->fade, song.division, BarTicks(song));
                        end = song.GetTuneLength();
                        fade_from = static_cast<int>(std::max<long>(0, end - length));
                    }
                    int notes = 0;
                    for (int n : job.tracks) {
                        MidiTrackData& track = *song.GetTrack(n);
                        long tick = 0;
                        for (int i = 0; i < track.event_count; ++i) {
                            MidiEvent& e = *track.event_table[i];
                            tick += e.delta;
                            if (!Chosen(e, channel) || (fade->count() > 0 && tick < fade_from))
                                continue;
                            ++notes;
                            if (add->count() > 0) {
                                e.velocity = std::clamp(e.velocity + options->add, 1, kMaxVelocity);
                            }
                        }
                        if (options->normalize) {
                            for (int c = 0; c < kMidiChannels; ++c) {
                                if (channel < 0 || c == channel) track.SetMaxVelocity(c);
                            }
                        }
                        if (fade->count() > 0) track.SetFadeOut(fade_from, static_cast<int>(end));
                    }
                    job.summary =
                        std::to_string(notes) + " notes " +
                        (options->normalize ? "normalized"
                         : add->count() > 0 ? "shifted by " + std::to_string(options->add)
                                            : "faded out from tick " + std::to_string(fade_from));
                });
            }};
}
