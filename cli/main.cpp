// The `retrograde` command-line program: mirrors, converts and describes
// Standard MIDI Files with the library the window uses.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

// Parse errors are told in one line, with a pointer to the help.
std::string OneLine(const CLI::App*, const CLI::Error& error) {
    std::string text = error.what();
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return "retrograde: " + text + " (see --help)\n";
}

}  // namespace

int main(int argc, char** argv) {
    // Past a file size limit a write should fail and be reported, not kill the
    // program halfway with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app(
        "Retrograde: plays Standard MIDI Files backwards and/or upside down.\n"
        "Library messages are written to standard error.",
        "retrograde");
    app.require_subcommand(1);
    app.failure_message(OneLine);

    std::vector<CliCommand> commands;
    commands.push_back(AddMirrorCommand(app));
    commands.push_back(AddDemoCommand(app));
    commands.push_back(AddConvertCommand(app));
    commands.push_back(AddDumpCommand(app));
    commands.push_back(AddInfoCommand(app));
    commands.push_back(AddQuantizeCommand(app));
    commands.push_back(AddSwingCommand(app));
    commands.push_back(AddCheckCommand(app));
    commands.push_back(AddChordCommand(app));
    // Clean-up and merging.
    commands.push_back(AddTidyCommand(app));
    commands.push_back(AddMergeTracksCommand(app));
    commands.push_back(AddBendRangeCommand(app));
#ifdef RETROGRADE_HAVE_PLAYBACK
    commands.push_back(AddPortsCommand(app));
    commands.push_back(AddPlayCommand(app));
    commands.push_back(AddRenderCommand(app));
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version succeed; every other parse error is wrong usage.
        return app.exit(error) == 0 ? 0 : kExitUsage;
    }
    for (const CliCommand& command : commands) {
        if (!command.app->parsed()) continue;
        try {
            const int status = command.run();
            std::fflush(stdout);
            return status;
        } catch (const CliUsage& usage) {
            std::fflush(stdout);
            std::fprintf(stderr, "retrograde: %s (see --help)\n", usage.what());
            return kExitUsage;
        } catch (const CliFailure& failure) {
            std::fflush(stdout);
            std::fprintf(stderr, "retrograde: %s\n", failure.what());
            return 1;
        } catch (const std::exception& failure) {
            std::fflush(stdout);
            std::fprintf(stderr, "retrograde: unexpected failure: %s\n", failure.what());
            return 1;
        }
    }
    return 1;
}
