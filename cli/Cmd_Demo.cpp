// `retrograde demo`: the mirror on the demo song bundled with the program.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "CliSupport.h"
#include "Commands.h"
#include "General/GeneralMac.h"
#include "midi/song/DemoSong.h"
#ifdef RETROGRADE_HAVE_PLAYBACK
#include "PlaybackSupport.h"
#endif

namespace {

struct DemoOptions {
    bool horizontal = false;
    bool vertical = false;
    bool force = false;
    bool play = false;
    std::string output = "retrograde-demo.mid";
};

// The demo song written to a private temporary file, so that it is read
// exactly as a file of the user's is; removed again at the end.
class TemporarySong {
public:
    TemporarySong() {
        std::error_code error;
        std::random_device seed;
        const auto folder = std::filesystem::temp_directory_path(error);
        path_ = (folder / ("retrograde-demo-" + std::to_string(seed()) + ".mid")).string();
        const std::vector<unsigned char> image = DemoSongImage();
        if (GneSaveFile(path_.c_str(), image.data(), static_cast<long>(image.size())) != 1) {
            throw CliFailure("the demo song could not be written to " + path_);
        }
    }
    ~TemporarySong() {
        std::error_code error;
        std::filesystem::remove(path_, error);
    }
    TemporarySong(const TemporarySong&) = delete;
    TemporarySong& operator=(const TemporarySong&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

CliCommand AddDemoCommand(CLI::App& parent) {
    auto options = std::make_shared<DemoOptions>();
    CLI::App* app = AddVerbApp(parent, "demo");
    app->footer(
        "The demo song is about 30 seconds of melody, chords, bass and drums, built into "
        "the program. Without -H or -V it is mirrored both ways.");
    app->add_flag("-H,--horizontal", options->horizontal, "Reverse the song in time");
    app->add_flag("-V,--vertical", options->vertical, "Turn the melodic channels upside down");
    app->add_option("-o,--output", options->output, "The file to write")->capture_default_str();
    app->add_flag("--force", options->force, "Replace OUTPUT when it exists");
// Shown by both programs; `retrograde` hands a demo with --play on before parsing.
#if defined(RETROGRADE_HAVE_PLAYBACK) || defined(RETROGRADE_PLAYBACK_HANDOFF)
    app->add_flag("--play", options->play,
                  "Then play the mirrored song on the built-in synthesizer (Ctrl-C stops it)");
#endif
    return {app, [options] {
                MirrorChoice choice{options->horizontal, options->vertical, false};
                if (!choice.horizontal && !choice.vertical)
                    choice.horizontal = choice.vertical = true;
                const bool horizontal = choice.horizontal;
                const bool vertical = choice.vertical;
                CheckOutput({}, options->output, options->force);
                const TemporarySong demo;
                const auto loader = LoadFormat0Song(demo.Path());
                MidiF0Data* song = loader->GetMidiF0Data();
                WriteOutput(options->output, MirrorToImage(song, choice));
                std::printf("%s: the demo song, %d notes, %s%s\n", options->output.c_str(),
                            CountNotes(song), horizontal ? "backwards" : "",
                            horizontal && vertical ? " and upside down"
                            : vertical             ? "upside down"
                                                   : "");
#ifdef RETROGRADE_HAVE_PLAYBACK
                if (options->play) {
                    const auto mirrored = MirroredCopy(song, choice);
                    mirrored->Q1toQ2();
                    return PlayUntilEnd(mirrored.get(), 0, options->output);
                }
#endif
                return 0;
            }};
}
