// `retrograde thin`: at most a number of notes sounding at once in a track,
// or of drum sounds in a drum track.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct ThinOptions {
    EditOptions edit;
    int voices = 0;
};

}  // namespace

CliCommand AddThinCommand(CLI::App& parent) {
    auto options = std::make_shared<ThinOptions>();
    CLI::App* app = AddVerbApp(parent, "thin");
    app->footer(
        "A new note cuts the note just below the highest sounding one (with --voices 1, the "
        "highest), so the top line and new entries survive. In a drum track the least used "
        "drum sounds go until --voices remain.");
    app->add_option("--voices", options->voices, "The most notes at once")
        ->required()
        ->check(CLI::PositiveNumber);
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                const ThinOptions& o = *options;
                if (o.edit.track == 0) throw CliUsage("--track: say which track to thin");
                return RunEdit(o.edit, [&](EditJob& job) {
                    const int n = job.tracks.front();
                    MidiF1TrackData& track = *job.song->GetTrack(n);
                    const std::string name = "track " + std::to_string(o.edit.track) + ": ";
                    if (IsDrumTrack(*job.song, n)) {
                        const int before = track.GetNumDrumVoice();
                        track.ReduceDrumVoice(o.voices);
                        job.summary = name + std::to_string(before) + " drum sounds before, " +
                                      std::to_string(track.GetNumDrumVoice()) + " after";
                        return;
                    }
                    const int before = track.GetNumVoice();
                    track.ReduceVoice(o.voices);
                    const int after = track.GetNumVoice();
                    job.summary = name + std::to_string(before) + " voices before, " +
                                  std::to_string(after) + " after";
                    if (after > o.voices) job.summary += " (notes of other channels left more)";
                });
            }};
}
