// The subcommands of the `retrograde` program. Each lives in its own
// Cmd_*.cpp and is listed in main.cpp's verb table.
#pragma once

#include <functional>
#include <string_view>

#include <CLI/CLI.hpp>

#include "midi/song/SongPipeline.h"

// A registered subcommand and what runs when it was chosen: the exit status,
// 0 on success. Failures may also be thrown as CliFailure (CliSupport.h).
struct CliCommand {
    CLI::App* app = nullptr;
    std::function<int()> run;
};

// The verb's own app under parent, with the group and the summary that the
// program's verb table (main.cpp) lists it with.
CLI::App* AddVerbApp(CLI::App& parent, std::string_view name);

// -H, -V and --carry-state, as mirror, play and render take them.
void AddMirrorFlags(CLI::App* app, MirrorChoice& choice);

CliCommand AddMirrorCommand(CLI::App& parent);
CliCommand AddDemoCommand(CLI::App& parent);
CliCommand AddConvertCommand(CLI::App& parent);
CliCommand AddDumpCommand(CLI::App& parent);
CliCommand AddInfoCommand(CLI::App& parent);
CliCommand AddQuantizeCommand(CLI::App& parent);
CliCommand AddChordCommand(CLI::App& parent);
CliCommand AddSwingCommand(CLI::App& parent);
CliCommand AddCheckCommand(CLI::App& parent);
// Event edits: notes, controllers, programs, channels, the time line, setup.
CliCommand AddTransposeCommand(CLI::App& parent);
CliCommand AddCcCommand(CLI::App& parent);
CliCommand AddProgramCommand(CLI::App& parent);
CliCommand AddMoveChannelCommand(CLI::App& parent);
CliCommand AddCutCommand(CLI::App& parent);
CliCommand AddInsertCommand(CLI::App& parent);
CliCommand AddSetupCommand(CLI::App& parent);
// Chords and polyphony.
CliCommand AddChordsCommand(CLI::App& parent);
CliCommand AddPolyCommand(CLI::App& parent);
CliCommand AddReducePolyCommand(CLI::App& parent);
CliCommand AddRangeCommand(CLI::App& parent);
CliCommand AddVelocityCommand(CLI::App& parent);
CliCommand AddExtractCommand(CLI::App& parent);
// Clean-up and merging.
CliCommand AddTidyCommand(CLI::App& parent);
CliCommand AddMergeTracksCommand(CLI::App& parent);
CliCommand AddBendRangeCommand(CLI::App& parent);
// Song level I: the whole song's resolution (tidy --tracks lives with tidy).
CliCommand AddDivisionCommand(CLI::App& parent);
// Song level II: combining tracks and channels.
CliCommand AddCombineCommand(CLI::App& parent);
CliCommand AddFit16Command(CLI::App& parent);
// Song level III: drums and pitch bends.
CliCommand AddDrumsCleanCommand(CLI::App& parent);
CliCommand AddDrumsRemoveCommand(CLI::App& parent);
CliCommand AddDrumsMapCommand(CLI::App& parent);
CliCommand AddUnbendCommand(CLI::App& parent);
// Channel renumbering and splitting.
CliCommand AddRenumberCommand(CLI::App& parent);
CliCommand AddSplitCommand(CLI::App& parent);
CliCommand AddSplitProgramsCommand(CLI::App& parent);
// Area editing.
CliCommand AddClearCommand(CLI::App& parent);
CliCommand AddLengthCommand(CLI::App& parent);
// Track analysis.
CliCommand AddRepeatsCommand(CLI::App& parent);
CliCommand AddPhrasesCommand(CLI::App& parent);
CliCommand AddMelodyCommand(CLI::App& parent);
CliCommand AddThinCommand(CLI::App& parent);
// Song level III: time edits and texts.
CliCommand AddKeepCommand(CLI::App& parent);
CliCommand AddTrimCommand(CLI::App& parent);
CliCommand AddTitleCommand(CLI::App& parent);
CliCommand AddTextCommand(CLI::App& parent);
#ifdef RETROGRADE_HAVE_PLAYBACK
CliCommand AddPortsCommand(CLI::App& parent);
CliCommand AddPlayCommand(CLI::App& parent);
CliCommand AddRenderCommand(CLI::App& parent);
#endif
