// `retrograde dump`: every event of the loaded song, one per line, with its
// tick, its measure:beat:tick position, its channel and its description.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"

namespace {

// The event's description with any text from the file shown as UTF-8: the
// description ends with the event's text bytes, which may be Shift-JIS.
std::string Describe(MidiEvent* event, std::vector<char>& room) {
    const std::size_t needed = static_cast<std::size_t>(std::max(event->length, 0)) + 256;
    if (room.size() < needed) room.resize(needed);
    const std::string line = event->GetEventString(room.data());
    if (event->status != kEvMeta || !event->data) return line;
    const std::size_t limit =
        static_cast<std::size_t>(std::min(std::max(event->length, 0), event->DataCapacity()));
    const std::string_view text(reinterpret_cast<const char*>(event->data),
                                strnlen(reinterpret_cast<const char*>(event->data), limit));
    if (text.empty() || line.size() < text.size() ||
        std::string_view(line).substr(line.size() - text.size()) != text) {
        return line;
    }
    return line.substr(0, line.size() - text.size()) +
           FileText(event->data, static_cast<int>(text.size()));
}

int Run(const std::string& input) {
    const auto loader = LoadFormat0Song(input);
    MidiF0Data* song = loader->GetMidiF0Data();
    MidiTrackData* track = song->GetTrack();
    std::vector<MidiMeasurePosition> positions;
    song->GetEventPositions(&positions, true);
    std::vector<char> room(512);
    char where[64];
    for (int k = 0; k < track->event_count; ++k) {
        MidiEvent* event = track->event_table[k];
        const MidiMeasurePosition& p = positions[static_cast<std::size_t>(k)];
        GneGetTickText(where, p.measure, p.beat, p.tick_in_beat);
        char channel[8] = "--";
        if (event->channel >= 0 && event->channel < kMidiChannels) {
            std::snprintf(channel, sizeof channel, "%02d", event->channel + 1);
        }
        std::printf("%9d  %s  %s  %s\n", p.tick, where, channel, Describe(event, room).c_str());
    }
    return 0;
}

}  // namespace

CliCommand AddDumpCommand(CLI::App& parent) {
    auto input = std::make_shared<std::string>();
    CLI::App* app = parent.add_subcommand(
        "dump", "List every event: tick, measure:beat:tick, channel, description");
    app->footer(
        "The song as the program holds it: all tracks merged, each note one event with "
        "its length. Channels count from 1; -- marks an event without a channel.");
    app->add_option("INPUT", *input, "The song to read")->required();
    return {app, [input] { return Run(*input); }};
}
