// `retrograde play`: what the window's play button does, from the command
// line: the song mirrored as asked and played on an output until it ends.
#ifdef RETROGRADE_HAVE_PLAYBACK

#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "PlaybackSupport.h"
#include "midi/song/MidiF0Data.h"

namespace {

struct PlayOptions {
    MirrorChoice choice;
    int port = 0;
    std::string input;
};

}  // namespace

CliCommand AddPlayCommand(CLI::App& parent) {
    auto options = std::make_shared<PlayOptions>();
    CLI::App* app = AddVerbApp(parent, "play");
    app->footer(
        "Shows the elapsed and the total time; Ctrl-C stops the song cleanly (every note "
        "off, the ports closed). Without a sound device the built-in synthesizer plays "
        "silently: `retrograde render` writes the song as a WAV file instead.");
    AddMirrorFlags(app, options->choice);
    app->add_option("--port", options->port,
                    "The output: an item of `retrograde ports` (0 the built-in synthesizer)")
        ->capture_default_str()
        ->check(CLI::Range(0, 255));  // an item of the port list
    app->add_option("INPUT", options->input, "The song to play")->required();
    return {app, [options] {
                const auto loader = LoadFormat0Song(options->input);
                const auto song = MirroredCopy(loader->GetMidiF0Data(), options->choice);
                song->Q1toQ2();
                return PlayUntilEnd(song.get(), options->port, options->input);
            }};
}

#endif  // RETROGRADE_HAVE_PLAYBACK
