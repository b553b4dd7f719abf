// `retrograde drums-remove`: one drum sound taken out of the drum tracks
// that play a given kit.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct DrumsRemoveOptions {
    EditOptions edit;
    std::string note;
    int kit = 0;
    int bank = 0;
};

}  // namespace

CliCommand AddDrumsRemoveCommand(CLI::App& parent) {
    auto options = std::make_shared<DrumsRemoveOptions>();
    CLI::App* app = AddVerbApp(parent, "drums-remove");
    app->footer(
        "Every note of that number goes from each drum track whose kit (its first program "
        "change, 0 without one) and bank (its first bank select MSB, 0 without one) are "
        "--kit and --bank. Kits are numbered as drum modules show them: 0 is Standard, 8 "
        "Room, 16 Power, 25 TR-808... Works on the whole song. INPUT is never overwritten.");
    app->add_option("--note", options->note, "The drum note: a number 0-127 or a name (C#3)")
        ->required();
    app->add_option("--kit", options->kit, "The kit, 0-127 (default 0)")->check(CLI::Range(0, 127));
    app->add_option("--bank", options->bank, "The bank select MSB, 0-127 (default 0)")
        ->check(CLI::Range(0, 127));
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                const int note = ParseNote(options->note);
                return RunEdit(options->edit, [&](EditJob& job) {
                    const int before = job.song->GetNumNoteEvent();
                    job.song->DeleteDrumNote(options->bank, options->kit, note, true);
                    job.summary = std::to_string(before - job.song->GetNumNoteEvent()) + " " +
                                  NoteName(note) + " notes removed from kit " +
                                  std::to_string(options->kit) + ", bank " +
                                  std::to_string(options->bank);
                });
            }};
}
