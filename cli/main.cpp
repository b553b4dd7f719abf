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

// The verbs in the order the help lists them (within their groups): the
// name, the group, the line the help shows and what builds the verb (null:
// a verb this program hands on to retrograde-playback).
constexpr std::string_view kPlain;
constexpr std::string_view kEditTracks = "Edit tracks";
constexpr std::string_view kEditSongs = "Edit songs";
constexpr std::string_view kInspect = "Inspect";
constexpr std::string_view kPortsSummary = "List the outputs a song can be played on";
constexpr std::string_view kPlaySummary =
    "Play a song, backwards (-H) and/or upside down (-V), until it ends";
constexpr std::string_view kRenderSummary =
    "Render a song, mirrored as asked, to a WAV file (44.1 kHz stereo)";
struct Verb {
    std::string_view name;
    std::string_view group;
    std::string_view summary;
    CliCommand (*add)(CLI::App& parent);
};
constexpr Verb kVerbs[] = {
    {"mirror", kPlain, "Mirror a song backwards (-H) and/or upside down (-V); save as format 0",
     AddMirrorCommand},
    {"demo", kPlain, "Mirror the bundled demo song and save it (both ways unless -H or -V)",
     AddDemoCommand},
    {"convert", kPlain, "Rewrite a Standard MIDI File as format 0 or format 1", AddConvertCommand},
    {"dump", kPlain, "List every event: tick, measure:beat:tick, channel, event and its values",
     AddDumpCommand},
    {"info", kPlain,
     "Summarise a song: format, tracks, length, channels, drums, tempos, names, roles, "
     "each channel's volume, program and notes, voices",
     AddInfoCommand},
    {"quantize", kEditTracks, "Move every event to the nearest point of a grid (--grid 1/16)",
     AddQuantizeCommand},
    {"swing", kEditTracks, "Swing straight notes of a length (--unit 1/8)", AddSwingCommand},
    {"check", kEditTracks,
     "Report what breaks a device's rules, and where (exit 4 when anything does)", AddCheckCommand},
    {"chord", kPlain, "Show the notes of chord names", AddChordCommand},
    // Event edits.
    {"transpose", kEditTracks, "Move notes up or down (--semitones N)", AddTransposeCommand},
    {"cc", kEditTracks, "Scale, shift or set a controller's values (--controller 7 --scale 80)",
     AddCcCommand},
    {"program", kEditTracks, "Give a channel another instrument (--channel 1 --program 25)",
     AddProgramCommand},
    {"move-channel", kEditTracks, "Move a channel's events to another channel",
     AddMoveChannelCommand},
    {"cut", kEditTracks, "Cut a span out of the song (--from 5:1 --to 9:1)", AddCutCommand},
    {"insert", kEditTracks, "Open an empty stretch (--at 5:1 --length 2bars)", AddInsertCommand},
    {"setup", kEditTracks, "Set the song's start: system on, master volume, tempo, time, key",
     AddSetupCommand},
    // Chords and polyphony.
    {"chords", kEditTracks, "List the chord markers with their notes", AddChordsCommand},
    {"poly", kEditTracks, "Show the most notes sounding at once and the voices, per track and song",
     AddPolyCommand},
    {"reduce-poly", kEditTracks, "Cut notes so that at most --voices sound at once in the song",
     AddReducePolyCommand},
    {"range", kEditTracks, "Fold or delete notes outside a range", AddRangeCommand},
    {"velocity", kEditTracks, "Scale, shift or fade note velocities", AddVelocityCommand},
    {"extract", kEditTracks, "Keep only one channel's events", AddExtractCommand},
    // Clean-up and merging.
    {"tidy", kEditTracks,
     "Remove what no one can hear: doubled notes, repeated and overridden changes", AddTidyCommand},
    {"merge-tracks", kEditTracks, "Merge tracks into the first listed (--tracks 2,3)",
     AddMergeTracksCommand},
    {"bend-range", kEditTracks,
     "Set one pitch-bend range (--semitones 12), bends rescaled to sound the same",
     AddBendRangeCommand},
    // Song level I.
    {"division", kEditSongs, "Change the ticks per quarter note (--set 480), times rescaled",
     AddDivisionCommand},
    // Song level II: combining tracks and channels.
    {"combine", kEditSongs,
     "Merge tracks sharing a channel, a sound, the drums or a family of sounds", AddCombineCommand},
    {"fit16", kEditSongs, "Bring a song for two ports (32 channels) down to 16 channels",
     AddFit16Command},
    // Song level III: drums and pitch bends.
    {"drums-clean", kEditSongs,
     "Move drum notes outside the GM drum map into it and drop doubled hits", AddDrumsCleanCommand},
    {"drums-remove", kEditSongs, "Remove one drum sound (--note 49) from the drum tracks of a kit",
     AddDrumsRemoveCommand},
    {"drums-map", kEditSongs,
     "Move drum sounds onto tone tracks as a map file says (--to-tone FILE)", AddDrumsMapCommand},
    {"unbend", kEditSongs, "Play pitch bends as notes in whole semitones", AddUnbendCommand},
    // Channel renumbering and splitting.
    {"renumber", kEditSongs, "Number the channels 1, 2, ... in track order (--keep 10 stays put)",
     AddRenumberCommand},
    {"split", kEditSongs, "Split a channel's tracks in two by pitch, length or velocity",
     AddSplitCommand},
    {"split-programs", kEditSongs, "Split a track of several instruments into one track each",
     AddSplitProgramsCommand},
    // Area editing.
    {"clear", kEditTracks, "Clear a span of the song, keeping its time (--from 5:1 --to 7:1)",
     AddClearCommand},
    {"length", kEditTracks, "Show how many seconds the song plays (up to --to)", AddLengthCommand},
#ifdef RETROGRADE_PLAYBACK_HANDOFF
    {"ports", kPlain, kPortsSummary, nullptr},
    {"play", kPlain, kPlaySummary, nullptr},
    {"render", kPlain, kRenderSummary, nullptr},
#endif
    // Track analysis.
    {"repeats", kInspect, "Show the longest passage of a track that comes again",
     AddRepeatsCommand},
    {"phrases", kInspect, "Show the phrase breaks of a track", AddPhrasesCommand},
    {"melody", kEditTracks, "Keep only the top line of a track", AddMelodyCommand},
    {"thin", kEditTracks, "Cut notes so that at most --voices sound at once in a track",
     AddThinCommand},
    // Song level III: time edits and texts.
    {"keep", kEditSongs, "Keep only some bars (--bars 9-16,25-32), joined end to end",
     AddKeepCommand},
    {"trim", kEditSongs, "Cut the start (--start 5:1) and/or the end (--end 33:1) off the song",
     AddTrimCommand},
    {"title", kEditSongs, "Set the song's title (--set \"...\")", AddTitleCommand},
    {"text", kEditSongs, "Turn full-width letters and katakana of the song's texts half-width",
     AddTextCommand},
#ifdef RETROGRADE_HAVE_PLAYBACK
    {"ports", kPlain, kPortsSummary, AddPortsCommand},
    {"play", kPlain, kPlaySummary, AddPlayCommand},
    {"render", kPlain, kRenderSummary, AddRenderCommand},
#endif
};

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
// are listed in the table for --help, and handed on before anything is parsed.
bool NeedsPlayback(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string_view verb = argv[1];
    for (const Verb& known : kVerbs) {
        if (known.add == nullptr && verb == known.name) return true;
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

// The verb's own app under parent, with its group and summary.
CLI::App* AddListedApp(CLI::App& parent, const Verb& verb) {
    CLI::App* app = parent.add_subcommand(std::string(verb.name), std::string(verb.summary));
    if (!verb.group.empty()) app->group(std::string(verb.group));
    return app;
}

// Adds the verbs to app: all of them, or only the one named only; with
// outline, each as its name and summary alone, which is all the program's
// own help shows of them. A verb is checked to bear the name it is listed
// under.
std::vector<CliCommand> AddVerbs(CLI::App& app, std::string_view only, bool outline) {
    std::vector<CliCommand> commands;
    for (const Verb& verb : kVerbs) {
        if (!only.empty() && verb.name != only) continue;
        if (outline || verb.add == nullptr) {
            AddListedApp(app, verb)->allow_extras();
            continue;
        }
        commands.push_back(verb.add(app));
        if (commands.back().app->get_name() != verb.name) {
            throw std::logic_error("verb listed as " + std::string(verb.name));
        }
    }
    return commands;
}

}  // namespace

CLI::App* AddVerbApp(CLI::App& parent, std::string_view name) {
    const auto* verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                    [&](const Verb& listed) { return listed.name == name; });
    if (verb == std::end(kVerbs)) throw std::logic_error("no verb " + std::string(name));
    return AddListedApp(parent, *verb);
}

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
    // to mirror. The program's own help needs their summaries alone; anything
    // else (the version, a mistyped verb) builds them all.
    const std::string_view first = argc > 1 ? argv[1] : "";
    const bool outline = first == "--help" || first == "-h";
    std::vector<CliCommand> commands = AddVerbs(app, outline ? "" : first, outline);
    if (commands.empty() && !outline) commands = AddVerbs(app, "", false);

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
