// `retrograde bend-range`: one pitch-bend range for a track, its bends
// rescaled so every bend reaches the pitch it reached before.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct BendRangeOptions {
    EditOptions edit;
    int semitones = 2;
};

}  // namespace

CliCommand AddBendRangeCommand(CLI::App& parent) {
    auto options = std::make_shared<BendRangeOptions>();
    CLI::App* app = AddVerbApp(parent, "bend-range");
    app->footer(
        "Every bend-range setting (RPN 0/0) becomes the given range and every pitch bend "
        "is rescaled to reach the pitch it reached before (clamped at the ends of the "
        "wheel). A channel that bends without ever setting its range is told the new one "
        "before its first bend. INPUT is never overwritten.");
    app->add_option("--semitones", options->semitones, "The bend range, 1..127 semitones")
        ->required()
        ->check(CLI::Range(1, 127));
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    for (int n : job.tracks)
                        job.song->GetTrack(n)->UnifyPitchBendSensitivity(options->semitones);
                    job.summary = std::to_string(job.tracks.size()) +
                                  " tracks set to a bend range of " +
                                  std::to_string(options->semitones) + " semitones";
                });
            }};
}
