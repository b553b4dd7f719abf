// The `retrograde` command-line program: mirrors, converts and describes
// Standard MIDI Files with the library the window uses.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"
#include "General/GneHooks.h"

namespace {

// Parse errors are told in one line, with a pointer to the help.
std::string OneLine(const CLI::App*, const CLI::Error& error) {
    std::string text = error.what();
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return "retrograde: " + text + " (see --help)\n";
}

// The library's messages and alerts on stderr, in the reader's language.
void ShowMessagesTranslated() {
    GneSetUpLanguage(RETROGRADE_BUILD_LOCALE_DIR);
    GneSetMessageSink(
        [](std::string_view text) { std::fprintf(stderr, "%s\n", GneTranslate(text).c_str()); });
    GneSetAlertHook([](std::string_view, std::string_view text) {
        std::fprintf(stderr, "retrograde: %s\n", GneTranslate(text).c_str());
    });
}

// The variables that choose the MIDI system, the audio driver and the
// SoundFont, checked before a verb that plays: an unknown value is a clear
// usage error, not a silent fallback.
void CheckPlaybackEnvironment() {
    const auto value = [](const char* name) -> std::string {
        const char* set = std::getenv(name);
        return set ? set : "";
    };
    const auto one_of = [](const std::string& text, std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return text == n; });
    };
    if (const std::string api = value("RETROGRADE_MIDI_API");
        !api.empty() && !one_of(api, {"alsa", "jack", "none"})) {
        throw CliUsage("RETROGRADE_MIDI_API=" + api + ": unknown (alsa, jack or none)");
    }
    if (const std::string audio = value("RETROGRADE_AUDIO");
        !audio.empty() && !one_of(audio, {"none", "alsa", "jack", "pulseaudio", "pipewire", "oss",
                                          "sdl2", "portaudio", "file"})) {
        throw CliUsage("RETROGRADE_AUDIO=" + audio +
                       ": unknown (none, alsa, jack, pulseaudio, pipewire, oss, sdl2, portaudio "
                       "or file)");
    }
    std::error_code error;
    if (const std::string font = value("RETROGRADE_SOUNDFONT");
        !font.empty() && !std::filesystem::is_regular_file(font, error)) {
        throw CliUsage("RETROGRADE_SOUNDFONT=" + font + ": no such file");
    }
}

#ifdef RETROGRADE_PLAYBACK_HANDOFF
// The verbs that play, list ports or render live in retrograde-playback; they
// are listed here for --help, and handed on before anything is parsed.
struct PlaybackVerb {
    const char* name;
    const char* description;
};
constexpr PlaybackVerb kPlaybackVerbs[] = {
    {"ports", "List the outputs a song can be played on"},
    {"play", "Play a song, backwards (-H) and/or upside down (-V), until it ends"},
    {"render", "Render a song, mirrored as asked, to a WAV file (44.1 kHz stereo)"},
};

bool NeedsPlayback(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string_view verb = argv[1];
    for (const PlaybackVerb& known : kPlaybackVerbs) {
        if (verb == known.name) return true;
    }
    if (verb != "demo") return false;
    for (int i = 2; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--play") return true;
    }
    return false;
}

// Runs retrograde-playback with the same arguments: next to this program (the
// build tree) or where it is installed. Returns only when it could not be run.
int HandOnToPlayback(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = error ? std::filesystem::path(".") : self.parent_path();
    for (const std::filesystem::path& program :
         {folder / "retrograde-playback", folder / RETROGRADE_PLAYBACK_PROGRAM}) {
        execv(program.c_str(), argv);
    }
    std::fprintf(stderr,
                 "retrograde: %s: the playback program (retrograde-playback) is not installed\n",
                 argv[1]);
    return 1;
}
#endif

// Adds the verbs to app: all of them, or only the one named only. A verb
// is checked to bear the name it is listed under.
std::vector<CliCommand> AddVerbs(CLI::App& app, std::string_view only) {
    std::vector<CliCommand> commands;
    const auto verb = [&](std::string_view name, CliCommand (*add)(CLI::App&)) {
        if (!only.empty() && name != only) return;
        commands.push_back(add(app));
        if (commands.back().app->get_name() != name) {
            throw std::logic_error("verb listed as " + std::string(name));
        }
    };
    verb("mirror", AddMirrorCommand);
    verb("demo", AddDemoCommand);
    verb("convert", AddConvertCommand);
    verb("dump", AddDumpCommand);
    verb("info", AddInfoCommand);
    verb("quantize", AddQuantizeCommand);
    verb("swing", AddSwingCommand);
    verb("check", AddCheckCommand);
    verb("chord", AddChordCommand);
    // Event edits.
    verb("transpose", AddTransposeCommand);
    verb("cc", AddCcCommand);
    verb("program", AddProgramCommand);
    verb("move-channel", AddMoveChannelCommand);
    verb("cut", AddCutCommand);
    verb("insert", AddInsertCommand);
    verb("setup", AddSetupCommand);
    // Chords and polyphony.
    verb("chords", AddChordsCommand);
    verb("poly", AddPolyCommand);
    verb("reduce-poly", AddReducePolyCommand);
    verb("range", AddRangeCommand);
    verb("velocity", AddVelocityCommand);
    verb("extract", AddExtractCommand);
    // Clean-up and merging.
    verb("tidy", AddTidyCommand);
    verb("merge-tracks", AddMergeTracksCommand);
    verb("bend-range", AddBendRangeCommand);
    // Song level I.
    verb("division", AddDivisionCommand);
    // Song level II: combining tracks and channels.
    verb("combine", AddCombineCommand);
    verb("fit16", AddFit16Command);
    // Song level III: drums and pitch bends.
    verb("drums-clean", AddDrumsCleanCommand);
    verb("drums-remove", AddDrumsRemoveCommand);
    verb("drums-map", AddDrumsMapCommand);
    verb("unbend", AddUnbendCommand);
    // Channel renumbering and splitting.
    verb("renumber", AddRenumberCommand);
    verb("split", AddSplitCommand);
    verb("split-programs", AddSplitProgramsCommand);
    // Area editing.
    verb("clear", AddClearCommand);
    verb("length", AddLengthCommand);
#ifdef RETROGRADE_PLAYBACK_HANDOFF
    if (only.empty()) {
        for (const PlaybackVerb& listed : kPlaybackVerbs) {
            app.add_subcommand(listed.name, listed.description)->allow_extras();
        }
    }
#endif
    // Track analysis.
    verb("repeats", AddRepeatsCommand);
    verb("phrases", AddPhrasesCommand);
    verb("melody", AddMelodyCommand);
    verb("thin", AddThinCommand);
    // Song level III: time edits and texts.
    verb("keep", AddKeepCommand);
    verb("trim", AddTrimCommand);
    verb("title", AddTitleCommand);
    verb("text", AddTextCommand);
#ifdef RETROGRADE_HAVE_PLAYBACK
    verb("ports", AddPortsCommand);
    verb("play", AddPlayCommand);
    verb("render", AddRenderCommand);
#endif
    return commands;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef RETROGRADE_PLAYBACK_HANDOFF
    if (NeedsPlayback(argc, argv)) return HandOnToPlayback(argv);
#endif
    // Past a file size limit a write should fail and be reported, not kill the
    // program halfway with a temporary file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app(
        "Retrograde: plays Standard MIDI Files backwards and/or upside down.\n"
        "Library messages are written to standard error.",
        "retrograde");
    app.set_version_flag("--version", "retrograde " RETROGRADE_VERSION);
    app.require_subcommand(1);
    app.failure_message(OneLine);

    // A run names its verb first, and only that verb is built: some fifty
    // verbs with their options take longer to build than a small song takes
    // to mirror. Anything else (help, a mistyped verb) builds them all.
    std::vector<CliCommand> commands = AddVerbs(app, argc > 1 ? argv[1] : "");
    if (commands.empty()) commands = AddVerbs(app, "");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version succeed; every other parse error is wrong usage.
        return app.exit(error) == 0 ? 0 : kExitUsage;
    }
    // Set up once the arguments hold: help, the version and usage errors
    // print no library message, and finding the locale is a good part of
    // their time.
    ShowMessagesTranslated();
    for (const CliCommand& command : commands) {
        if (!command.app->parsed()) continue;
        try {
            const std::string verb = command.app->get_name();
            if (verb == "play" || verb == "ports" || verb == "render") CheckPlaybackEnvironment();
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
