// `retrograde dump`: every event of the loaded song, one per line, with its
// tick, its measure:beat:tick position, its channel and what it is; or the
// same as JSON, or the song in midicsv's columns.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "DumpFormat.h"
#include "EditSupport.h"
#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"

namespace {

struct DumpOptions {
    std::vector<std::string> inputs;
    bool csv = false;
    bool json = false;
};

std::string Position(const MidiMeasurePosition& p) {
    char where[64];
    GneGetTickText(where, p.measure, p.beat, p.tick_in_beat);
    return where;
}

bool HasChannel(const MidiEvent& event) {
    return event.channel >= 0 && event.channel < kMidiChannels;
}

void PrintTable(MidiF0Data* song, const std::vector<MidiMeasurePosition>& positions) {
    const MidiTrackData* track = song->GetTrack();
    std::printf("%9s  %-11s  %-2s  %-18s  %s\n", "tick", "position", "ch", "event", "value");
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent& event = *track->event_table[k];
        const MidiMeasurePosition& p = positions[static_cast<std::size_t>(k)];
        char channel[8] = "--";
        if (HasChannel(event)) std::snprintf(channel, sizeof channel, "%02d", event.channel + 1);
        const EventView view = ViewEvent(event);
        std::string line = std::string(view.name) +
                           std::string(view.name.size() < 18 ? 18 - view.name.size() : 0, ' ') +
                           "  " + view.detail;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::printf("%9d  %s  %s  %s\n", p.tick, Position(p).c_str(), channel, line.c_str());
    }
}

void PrintJson(const std::string& input, MidiF0Data* song,
               const std::vector<MidiMeasurePosition>& positions) {
    const MidiTrackData* track = song->GetTrack();
    std::printf("{\"file\": %s, \"division\": %d, \"events\": [", JsonString(input).c_str(),
                song->division);
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent& event = *track->event_table[k];
        const MidiMeasurePosition& p = positions[static_cast<std::size_t>(k)];
        const EventView view = ViewEvent(event);
        std::string line =
            "{\"tick\": " + std::to_string(p.tick) + ", \"position\": " + JsonString(Position(p)) +
            ", \"channel\": " + (HasChannel(event) ? std::to_string(event.channel + 1) : "null") +
            ", \"event\": " + JsonString(view.name);
        for (const auto& [key, value] : view.fields) line += ", \"" + key + "\": " + value;
        std::printf("%s\n  %s}", k ? "," : "", line.c_str());
    }
    std::printf("\n]}");
}

// Read only: the events that could be read are dumped; what could not is
// said on stderr, so that the listing stays what scripts read.
void ReportDamage(const std::string& input, const MidiDamage& damage) {
    if (damage.IsDamaged())
        std::fprintf(stderr, "retrograde: %s\n", DamageLine(input, damage).c_str());
}

int DumpOne(const std::string& input, const DumpOptions& options) {
    if (options.csv) {
        // Loaded first so that a file the program cannot use is refused in
        // the same words as everywhere.
        ReportDamage(input, LoadSong(input)->damage);
        const std::string csv = FileCsv(ReadInput(input));
        if (csv.empty()) throw CliFailure(input + ": not a readable Standard MIDI File");
        std::fwrite(csv.data(), 1, csv.size(), stdout);
        return 0;
    }
    const auto loader = LoadFormat0Song(input);
    ReportDamage(input, loader->damage);
    MidiF0Data* song = loader->GetMidiF0Data();
    std::vector<MidiMeasurePosition> positions;
    song->GetEventPositions(&positions, true);
    if (options.json) {
        PrintJson(input, song, positions);
    } else {
        PrintTable(song, positions);
    }
    return 0;
}

int Run(const DumpOptions& options) {
    if (options.csv && options.json) throw CliUsage("--csv and --json exclude each other");
    if (options.csv && options.inputs.size() > 1) throw CliUsage("--csv takes one input");
    const bool several = options.inputs.size() > 1;
    int status = 0;
    if (several && options.json) std::printf("[");
    for (std::size_t i = 0; i < options.inputs.size(); ++i) {
        const std::string& input = options.inputs[i];
        if (several && options.json && i > 0) std::printf(",\n");
        if (several && !options.json) std::printf("%s==> %s <==\n", i ? "\n" : "", input.c_str());
        try {
            DumpOne(input, options);
        } catch (const CliFailure& failure) {
            // The other inputs are still dumped; the exit status tells.
            if (!several) throw;
            std::fflush(stdout);
            std::fprintf(stderr, "retrograde: %s\n", failure.what());
            if (options.json) std::printf("null");
            status = 1;
        }
    }
    if (options.json) std::printf(several ? "]\n" : "\n");
    return status;
}

}  // namespace

CliCommand AddDumpCommand(CLI::App& parent) {
    auto options = std::make_shared<DumpOptions>();
    CLI::App* app = AddVerbApp(parent, "dump");
    app->footer(
        "The song as the program holds it: all tracks merged, each note one event with "
        "its length. Channels count from 1; -- marks an event without a channel. Notes "
        "are named with their octave (C4 = 60). --json prints one object a file (an array "
        "for several); --csv prints the file's tracks in the columns of midicsv, which "
        "csvmidi turns back into a MIDI file.");
    app->add_option("INPUT", options->inputs, "The songs to read ('-': standard input)")
        ->required();
    app->add_flag("--csv", options->csv, "midicsv's columns (one input)");
    app->add_flag("--json", options->json, "JSON for scripts");
    return {app, [options] { return Run(*options); }};
}
