// `retrograde renumber`, `split` and `split-programs`: a song's channels
// numbered from 1 up, one channel's tracks split by a note key, and a track of
// several instruments split into one track per instrument.
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct RenumberOptions {
    EditOptions edit;
    std::string keep;
};

struct SplitOptions {
    EditOptions edit;
    std::string channel;
    std::string by;
    std::string at;
};

constexpr int kChannels = 16;

// --at for --by: a note (C4 or 60), a length (1/8, 480t) or a velocity 1..127.
int SplitKey(const std::string& by, const std::string& at, MidiF1Data& song) {
    if (by == "pitch") return ParseNote(at);
    if (by == "length") return ParseLength(at, song.division, BarTicks(song));
    return ParseNumberRange(at, 1, 127).first;
}

}  // namespace

CliCommand AddRenumberCommand(CLI::App& parent) {
    auto options = std::make_shared<RenumberOptions>();
    CLI::App* app = AddVerbApp(parent, "renumber");
    app->footer(
        "Channels are numbered in the order their first track appears, skipping the "
        "channels listed in --keep, which keep their numbers. Drum parts stay drums on "
        "their new channel; a melodic part that lands on channel 10 is switched to a "
        "normal part. Second-port tracks come to the first port. More than 16 channels "
        "cannot be renumbered: the song is left as it was. INPUT is never overwritten.");
    app->add_option("--keep", options->keep, "Channels that keep their numbers, e.g. 10 or 1,10");
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    std::vector<int> keep;
                    if (!options->keep.empty())
                        keep = ParseList(options->keep, [](std::string_view text) {
                            return ParseIndex(text, kChannels, "--keep");
                        });
                    if (!job.song->ReNumberChanel(keep.data(), static_cast<int>(keep.size())))
                        throw CliFailure(job.input + ": more than 16 channels, not renumbered");
                    bool second = false;
                    job.summary = "renumbered: " + std::to_string(job.song->GetNumChanel(&second)) +
                                  " channels";
                });
            }};
}

CliCommand AddSplitCommand(CLI::App& parent) {
    auto options = std::make_shared<SplitOptions>();
    CLI::App* app = AddVerbApp(parent, "split");
    app->footer(
        "Every track of --channel becomes two: the first keeps the notes at or above --at "
        "(higher, longer or louder), the one after it the others; both keep every other "
        "event. --at is a note (C4 or 60) for pitch, a length (1/8, 480t) for length, "
        "1..127 for velocity. INPUT is never overwritten.");
    app->add_option("--channel", options->channel, "The channel split (1-16)")->required();
    app->add_option("--by", options->by, "pitch, length or velocity")
        ->required()
        ->check(CLI::IsMember({"pitch", "length", "velocity"}));
    app->add_option("--at", options->at, "Where the notes divide")->required();
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {
        app, [options] {
            return RunEdit(options->edit, [&](EditJob& job) {
                const int channel = ParseIndex(options->channel, kChannels, "--channel");
                const int key = SplitKey(options->by, options->at, *job.song);
                const int criterion = options->by == "pitch" ? 1 : options->by == "length" ? 2 : 3;
                const int before = job.song->track_count;
                job.song->SplitChanel(channel, key, criterion);
                if (job.song->track_count == before &&
                    job.song->GetTrackNumberOfChanel(channel) >= 0)
                    throw CliFailure(job.input + ": the tracks would not fit, not split");
                job.summary = "channel " + options->channel + ": " +
                              std::to_string(job.song->track_count - before) + " tracks split";
            });
        }};
}

CliCommand AddSplitProgramsCommand(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "split-programs");
    app->footer(
        "Each instrument (bank and program) the --track plays gets its own track on the "
        "lowest free channel (never 10); notes before the first program change play the "
        "first program. Beyond 16 channels the second port is used (instrument name "
        "\"SC88B\"). Drum tracks are not split. INPUT is never overwritten.");
    AddEditOptions(app, *options, true);
    return {app, [options] {
                if (options->track == 0) throw CliUsage("split-programs: --track is required");
                return RunEdit(*options, [&](EditJob& job) {
                    const int before = job.song->track_count;
                    if (job.song->SplitProgramChange(job.tracks.front()) != 0)
                        throw CliFailure(job.input + ": track " + std::to_string(options->track) +
                                         " could not be split");
                    job.summary = "track " + std::to_string(options->track) + ": " +
                                  std::to_string(job.song->track_count - before + 1) + " tracks";
                });
            }};
}
