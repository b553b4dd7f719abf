// Look-up of General MIDI drum names, and the consistency of the drum groups.
#include "midi/tables/MidiDrumSet.h"

static_assert(MidiDrumSet.size() == 47);

namespace {

// Every group note is a drum note, and no note belongs to two groups.
constexpr bool GroupsAreDisjointDrumNotes() {
    std::array<bool, kMidiNotes> used{};
    for (const auto& group : InstGroup) {
        for (std::int32_t note : group) {
            if (note == 0) continue;
            if (note < kDrumLowestNote || note > kDrumHighestNote || used[note]) return false;
            used[note] = true;
        }
    }
    return true;
}
static_assert(GroupsAreDisjointDrumNotes());

}  // namespace

std::string_view GetMidiDrumSetName(int note) {
    if (note < kDrumLowestNote || note > kDrumHighestNote) return {};
    return MidiDrumSet[static_cast<std::size_t>(note - kDrumLowestNote)];
}
