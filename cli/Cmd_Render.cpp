// `retrograde render`: the mirrored song played offline into the built-in
// synthesizer and written as a WAV file: a song heard without sound hardware.
#ifdef RETROGRADE_HAVE_PLAYBACK

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "PlaybackSupport.h"
#include "midi/song/MidiF0Data.h"
#include "playback/SongRenderer.h"

namespace {

struct RenderCommandOptions {
    MirrorChoice choice;
    bool force = false;
    std::string input;
    std::string output;
    std::string soundfont;
};

constexpr int kBarWidth = 30;

void ShowBar(double done, double total) {
    const double part = total > 0 ? std::min(1.0, done / total) : 1.0;
    const int filled = static_cast<int>(part * kBarWidth + 0.5);
    std::fprintf(stderr, "\r[%s%s] %3d%%  %s / %s", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, ' ').c_str(), static_cast<int>(part * 100 + 0.5),
                 SongTimeText(done).c_str(), SongTimeText(total).c_str());
    std::fflush(stderr);
}

}  // namespace

CliCommand AddRenderCommand(CLI::App& parent) {
    auto options = std::make_shared<RenderCommandOptions>();
    CLI::App* app = AddVerbApp(parent, "render");
    app->footer(
        "The song is played by the program's own sequencer on a virtual clock into the "
        "built-in synthesizer, as fast as the machine allows. The SoundFont is "
        "$RETROGRADE_SOUNDFONT, else the General MIDI SoundFont of timgm6mb-soundfont.");
    AddMirrorFlags(app, options->choice);
    app->add_option("INPUT", options->input, "The song to render")->required();
    app->add_option("-o,--output", options->output, "The WAV file to write")->required();
    app->add_option("--soundfont", options->soundfont, "The SoundFont (.sf2) to play with")
        ->check(CLI::ExistingFile);
    app->add_flag("--force", options->force, "Replace OUTPUT when it exists");
    return {app, [options] {
                CheckOutput(options->input, options->output, options->force);
                const auto loader = LoadFormat0Song(options->input);
                const auto song = MirroredCopy(loader->GetMidiF0Data(), options->choice);
                song->Q1toQ2();
                RenderOptions render;
                render.soundfont = options->soundfont;
                double seconds = 0;
                const bool terminal = isatty(STDERR_FILENO) == 1;
                render.progress = [&seconds, terminal](double done, double total) {
                    seconds = done;
                    if (terminal) ShowBar(done, total);
                };
                const int written = RenderSongToWav(song.get(), options->output, render);
                if (terminal) std::fputs("\n", stderr);
                if (written != 1) throw CliFailure(options->output + ": nothing was rendered");
                std::printf("%s: %s of audio, 44.1 kHz stereo\n", options->output.c_str(),
                            SongTimeText(seconds).c_str());
                return 0;
            }};
}

#endif  // RETROGRADE_HAVE_PLAYBACK
