// `retrograde mirror`: what the window's save action does, from the command
// line: the song backwards and/or upside down, written as a format-0 file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"
#include "MirrorBatch.h"

namespace {

const char* Describe(bool horizontal, bool vertical) {
    if (horizontal && vertical) return "backwards and upside down";
    if (horizontal) return "backwards";
    if (vertical) return "upside down";
    return "re-encoded";
}

struct MirrorOptions {
    MirrorChoice choice;
    bool force = false;
    bool salvage = false;
    bool recursive = false;
    int jobs = 0;
    std::vector<std::string> inputs;
    std::string output;
};

// One file as the window's save action writes it. The loaded song is
// mirrored where it lies: nothing else uses it afterwards.
int MirrorFile(const MirrorOptions& options) {
    const std::string& input = options.inputs.front();
    CheckOutput(input, options.output, options.force);
    const auto loader = LoadFormat0Song(input);
    const bool damaged = CheckDamage(input, loader->damage, options.salvage);
    MidiF0Data* song = loader->GetMidiF0Data();
    const int notes = CountNotes(song);
    MirrorInPlace(*song, options.choice);
    WriteOutput(options.output, EncodeImage(*song));
    // With the song on standard output the summary goes to stderr.
    std::fprintf(options.output == "-" ? stderr : stdout, "%s: %d notes, %s\n",
                 options.output.c_str(), notes,
                 Describe(options.choice.horizontal, options.choice.vertical));
    return damaged ? WrittenFromDamage(options.output) : 0;
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
    CLI::App* app = AddVerbApp(parent, "mirror");
    app->footer(
        "Does what the window's save action does: the song is read (format 0 or 1), "
        "-H reverses it in time (every note keeps its length), -V turns every melodic "
        "channel upside down (drums stay), horizontal first, and the result is written "
        "as a format-0 file. With --carry-state each passage of the reversed song keeps "
        "the sound it had. INPUT is never overwritten. With several inputs, or -r and a "
        "folder, OUTPUT is a folder (made when missing) that receives every file under its "
        "own name (with -r, in the same tree of folders); a file that cannot be mirrored "
        "is reported and the others go on, and a summary line ends the run.");
    AddMirrorFlags(app, options->choice);
    app->add_option("INPUT", options->inputs,
                    "The songs to read ('-': standard input, alone); with -r one folder")
        ->required();
    app->add_option("-o,--output", options->output,
                    "The file to write (never the input; '-': standard output); with several "
                    "inputs or -r the folder to write into")
        ->required();
    app->add_flag("--force", options->force, "Replace files that exist");
    app->add_flag("--salvage", options->salvage,
                  "Write what could be read of a damaged input (exit status 3)");
    app->add_flag("-r,--recursive", options->recursive,
                  "INPUT is a folder: mirror every .mid, .midi, .kar and .smf file in its tree");
    app->add_option("-j,--jobs", options->jobs,
                    "Files mirrored at the same time (default: one per processor)")
        ->check(CLI::Range(1, 256));
    return {app, [options] {
                if (options->recursive && options->inputs.size() != 1) {
                    throw CliUsage("-r takes one folder to read");
                }
                if (!options->recursive && options->inputs.size() == 1) return MirrorFile(*options);
                if (options->output == "-") throw CliUsage("-o -: several songs need a folder");
                return RunMirrorBatch({options->inputs, options->output, options->recursive,
                                       options->force, options->salvage, options->jobs,
                                       options->choice});
            }};
}
