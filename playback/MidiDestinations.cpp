// Listing the destinations. Each listing opens a client of the MIDI system,
// which takes milliseconds with JACK, while the window asks for the count at
// every step of its loop; so the calls share one snapshot of the list that
// is taken again when it is older than a quarter of a second.
#include "playback/MidiDestinations.h"

#include <chrono>
#include <exception>
#include <mutex>

#include "playback/detail/MidiSystem.h"

using retrograde::detail::ListDestinations;
using retrograde::detail::MidiSystemKind;
using retrograde::detail::ProbeMidiSystem;
using retrograde::detail::ReportNoMidiSystem;

namespace {

constexpr auto kSnapshotLife = std::chrono::milliseconds(250);

struct Snapshot {
    std::mutex mutex;
    std::chrono::steady_clock::time_point taken{};
    bool valid = false;
    std::vector<std::string> names;
};

Snapshot& Destinations() {
    static Snapshot snapshot;
    return snapshot;
}

// The current list, under the snapshot's lock.
const std::vector<std::string>& Current(Snapshot& snapshot) {
    const auto now = std::chrono::steady_clock::now();
    if (!snapshot.valid || now - snapshot.taken > kSnapshotLife) {
        const MidiSystemKind api = ProbeMidiSystem();
        if (api == MidiSystemKind::None) ReportNoMidiSystem();
        snapshot.names = ListDestinations(api);
        snapshot.taken = now;
        snapshot.valid = true;
    }
    return snapshot.names;
}

}  // namespace

int MIDIGetNumberOfDestinations() {
    auto& snapshot = Destinations();
    std::lock_guard lock(snapshot.mutex);
    try {
        return static_cast<int>(Current(snapshot).size());
    } catch (const std::exception&) {
        snapshot.valid = false;
        return 0;
    }
}

MIDIEndpointRef MIDIGetDestination(int index) {
    auto& snapshot = Destinations();
    std::lock_guard lock(snapshot.mutex);
    try {
        const auto& names = Current(snapshot);
        if (index < 0 || index >= static_cast<int>(names.size())) return {};
        return {index, names[static_cast<std::size_t>(index)]};
    } catch (const std::exception&) {
        snapshot.valid = false;
        return {};
    }
}

std::string MIDIGetDestinationName(const MIDIEndpointRef& endpoint) {
    return endpoint ? endpoint.name : std::string();
}

void MIDIRefreshDestinations() {
    auto& snapshot = Destinations();
    std::lock_guard lock(snapshot.mutex);
    snapshot.valid = false;
}

std::vector<std::string> MidiDeviceList() {
    MIDIRefreshDestinations();
    try {
        std::vector<std::string> items{"MIDI_MAPPER"};
        for (int i = 0; i < MIDIGetNumberOfDestinations(); ++i) {
            items.push_back(MIDIGetDestinationName(MIDIGetDestination(i)));
        }
        return items;
    } catch (const std::exception&) {
        return {};
    }
}
