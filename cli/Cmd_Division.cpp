// `retrograde division`: a new resolution (ticks per quarter note) for a
// song, every time and length rescaled so it sounds the same.
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct DivisionOptions {
    EditOptions edit;
    int division = 0;
};

// Larger divisions would be read as an SMPTE time code.
constexpr int kMaxDivision = 0x7FFF;

}  // namespace

CliCommand AddDivisionCommand(CLI::App& parent) {
    auto options = std::make_shared<DivisionOptions>();
    CLI::App* app = AddVerbApp(parent, "division");
    app->footer(
        "Every delta time and note length is rescaled to the new division, the rounding "
        "carried along so the song keeps its length; a note that would shrink to nothing "
        "keeps one tick. The whole song always changes together. INPUT is never "
        "overwritten.");
    app->add_option("--set", options->division, "The new division, 1..32767 ticks")
        ->required()
        ->check(CLI::Range(1, kMaxDivision));
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    const int old = job.song->division;
                    if (!job.song->ChangeDivision(options->division))
                        throw CliFailure(job.input + ": the division could not be changed");
                    job.summary = "division " + std::to_string(old) + " -> " +
                                  std::to_string(options->division) + " ticks per quarter note";
                });
            }};
}
