// `retrograde mirror`: what the window's save action does, from the command
// line: the song backwards and/or upside down, written as a format-0 file.
#include <cstdio>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"

namespace {

struct MirrorOptions {
    MirrorChoice choice;
    bool force = false;
    bool salvage = false;
    std::string input;
    std::string output;
};

const char* Describe(bool horizontal, bool vertical) {
    if (horizontal && vertical) return "backwards and upside down";
    if (horizontal) return "backwards";
    if (vertical) return "upside down";
    return "re-encoded";
}

}  // namespace

void AddMirrorFlags(CLI::App* app, MirrorChoice& choice) {
    CLI::Option* horizontal =
        app->add_flag("-H,--horizontal", choice.horizontal, "Reverse the song in time");
    app->add_flag("-V,--vertical", choice.vertical, "Turn the melodic channels upside down");
    app->add_flag("--carry-state", choice.carry_state,
                  "With -H: each passage keeps its sound (controllers, pitch bend, programs, "
                  "tempo, meter and key as they were while it played)")
        ->needs(horizontal);
}

CliCommand AddMirrorCommand(CLI::App& parent) {
    auto options = std::make_shared<MirrorOptions>();
    CLI::App* app = parent.add_subcommand(
        "mirror", "Mirror a song backwards (-H) and/or upside down (-V); save as format 0");
    app->footer(
        "Does what the window's save action does: the song is read (format 0 or 1), "
        "-H reverses it in time (every note keeps its length), -V turns every melodic "
        "channel upside down (drums stay), horizontal first, and the result is written "
        "as a format-0 file. With --carry-state each passage of the reversed song keeps "
        "the sound it had. INPUT is never overwritten.");
    AddMirrorFlags(app, options->choice);
    app->add_option("INPUT", options->input, "The song to read ('-': standard input)")->required();
    app->add_option("-o,--output", options->output,
                    "The file to write (never the input; '-': standard output)")
        ->required();
    app->add_flag("--force", options->force, "Replace OUTPUT when it exists");
    app->add_flag("--salvage", options->salvage,
                  "Write what could be read of a damaged input (exit status 3)");
    return {app, [options] {
                CheckOutput(options->input, options->output, options->force);
                const auto loader = LoadFormat0Song(options->input);
                const bool damaged = CheckDamage(options->input, loader->damage, options->salvage);
                MidiF0Data* song = loader->GetMidiF0Data();
                WriteOutput(options->output, MirrorToImage(song, options->choice));
                // With the song on standard output the summary goes to stderr.
                std::fprintf(options->output == "-" ? stderr : stdout, "%s: %d notes, %s\n",
                             options->output.c_str(), CountNotes(song),
                             Describe(options->choice.horizontal, options->choice.vertical));
                return damaged ? WrittenFromDamage(options->output) : 0;
            }};
}
