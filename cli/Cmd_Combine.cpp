// `retrograde combine` and `retrograde fit16`: fewer tracks and channels,
// by merging tracks that share a channel, a sound, the drums or a family of
// sounds; fit16 brings a two-port song down to the 16 channels of one port.
#include <array>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"
#include "General/GneHooks.h"

namespace {

struct CombineOptions {
    EditOptions edit;
    bool sameChannel = false;
    bool sameTone = false;
    bool drums = false;
    int families = 0;  // the channels to end with; 0: not asked for
};

std::string Counts(MidiF1Data& song, int tracksBefore, int channelsBefore) {
    return std::to_string(tracksBefore) + " -> " + std::to_string(song.track_count) + " tracks, " +
           std::to_string(channelsBefore) + " -> " + std::to_string(song.GetNumChanel(nullptr)) +
           " channels";
}

// The channel report in the reader's language, one line per shared channel.
std::string ReportText(const std::string& report) {
    const std::string head = "問題のあるトラック ";
    std::string text;
    for (std::size_t start = 0; start < report.size();) {
        std::size_t end = report.find("\r\n", start);
        if (end == std::string::npos) end = report.size();
        std::string line = report.substr(start, end - start);
        if (line.rfind(head, 0) == 0) line = GneTranslate(head) + line.substr(head.size());
        if (!text.empty()) text += "\n";
        text += "  " + line;
        start = end + 2;
    }
    return text;
}

}  // namespace

CliCommand AddCombineCommand(CLI::App& parent) {
    auto options = std::make_shared<CombineOptions>();
    CLI::App* app = AddVerbApp(parent, "combine");
    app->footer(
        "--same-channel merges the tracks that play on one channel of one port (drums "
        "excepted) and names the channels that had several. --same-tone merges tracks of "
        "one instrument name, bank and program onto the first one's channel. --drums merges "
        "every drum track into one, on channel 10 when one of them plays there. --families N "
        "merges each family of eight General MIDI programs under the program of its busiest "
        "track, then the tracks with the fewest notes until at most N channels are used. "
        "Merged track names are joined with \" / \". INPUT is never overwritten.");
    auto* modes = app->add_option_group("mode", "What to merge");
    modes->add_flag("--same-channel", options->sameChannel, "Tracks on one channel");
    modes->add_flag("--same-tone", options->sameTone, "Tracks of one sound");
    modes->add_flag("--drums", options->drums, "Every drum track into one");
    modes
        ->add_option("--families", options->families,
                     "Families of programs, then the quietest tracks, down to N channels")
        ->check(CLI::Range(1, 32));
    modes->require_option(1);
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int tracks = song.track_count;
                    const int channels = song.GetNumChanel(nullptr);
                    std::string extra;
                    if (options->sameChannel) {
                        std::array<char, MidiF1Data::kCombineReportSize> report{};
                        if (song.CombineSameChanelTrack(report.data()) == 0)
                            extra = "; no channel had several tracks";
                        else
                            extra = "\n" + ReportText(report.data());
                    } else if (options->sameTone) {
                        song.CombineSameToneTrack();
                    } else if (options->drums) {
                        song.CombineDrumTrack();
                    } else {
                        song.CombineSameGroupToneTrack(options->families);
                    }
                    job.summary = Counts(song, tracks, channels) + extra;
                });
            }};
}

CliCommand AddFit16Command(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "fit16");
    app->footer(
        "A song that uses more than 16 channels has its drum tracks merged into one, then "
        "tracks of one sound, then of one family of sounds, until 16 channels or fewer "
        "remain; then tracks of the second port move to free channels of the first. Every "
        "note stays. INPUT is never overwritten.");
    AddEditOptions(app, *options, true, EditReach::kSong);
    return {app, [options] {
                return RunEdit(*options, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int tracks = song.track_count;
                    const int channels = song.GetNumChanel(nullptr);
                    song.ConvChanel32To16();
                    job.summary = Counts(song, tracks, channels);
                });
            }};
}
