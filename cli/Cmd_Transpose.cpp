// `retrograde transpose`: notes up or down by semitones.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct TransposeOptions {
    EditOptions edit;
    int semitones = 0;
    std::string channel;  // from 1; empty: every channel
    bool drums = false;
};

}  // namespace

CliCommand AddTransposeCommand(CLI::App& parent) {
    auto options = std::make_shared<TransposeOptions>();
    CLI::App* app = AddVerbApp(parent, "transpose");
    app->footer(
        "Every note moves by the given semitones; a note that would leave the MIDI range "
        "(C-1 to G9) is folded back into it by whole octaves. Drum tracks are left alone "
        "unless --drums is given. A format-0 song is edited track by track and written as "
        "format 0 again. INPUT is never overwritten.");
    app->add_option("--semitones", options->semitones, "Semitones, negative for down")
        ->required()
        ->check(CLI::Range(-127, 127));
    app->add_option("--channel", options->channel, "Only the notes of this channel (1-16)");
    app->add_flag("--drums", options->drums, "Transpose drum tracks too");
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int channel = options->channel.empty()
                                            ? -1
                                            : ParseIndex(options->channel, 16, "--channel");
                    int done = 0;
                    for (int n : job.tracks) {
                        if (!options->drums && IsDrumTrack(song, n)) continue;
                        song.GetTrack(n)->ShiftNote(channel, options->semitones);
                        ++done;
                    }
                    job.summary = std::to_string(done) + " tracks transposed by " +
                                  std::to_string(options->semitones) + " semitones";
                });
            }};
}
