// Drum channels and drum-set packing: which channels of a track play drums,
// and the replacement of interchangeable drum sounds by the one used most.
#include <array>
#include <cstdint>

#include "midi/tables/MidiDrumSet.h"
#include "midi/track/MidiTrackData.h"

namespace {

// How many notes each group of InstGroup holds.
constexpr std::array<int, kInstGroupCount> kInstGroupSize = {2, 2, 6, 1, 2, 6, 2, 3, 2,
                                                             2, 2, 2, 2, 4, 5, 2, 2};

constexpr bool GroupSizesMatch() {
    for (int g = 0; g < kInstGroupCount; ++g) {
        for (int k = 0; k < kInstGroupWidth; ++k) {
            if ((InstGroup[g][k] != 0) != (k < kInstGroupSize[g])) return false;
        }
    }
    return true;
}
static_assert(GroupSizesMatch());

// The drum channels of track, found in one walk.
std::array<bool, kMidiChannels> DrumChannels(const MidiTrackData& track) {
    std::array<bool, kMidiChannels> drums{};
    drums[kMidiDrumChannel] = true;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* event = track.event_table[i];
        if (event->status == kEvSysEx && event->number == kExTypeGsRhythmPart &&
            event->channel >= 0 && event->channel < kMidiChannels) {
            drums[event->channel] = true;
        }
    }
    return drums;
}

// The events that carry a drum sound in their note number.
bool IsNoteEvent(const MidiEvent* event) {
    return event->status == kEvNote || event->status == kEvNoteOn || event->status == kEvNoteOff;
}

}  // namespace

// The value a rhythm-part message carries is not looked at: naming the part
// is taken as making it a drum part.
int MidiTrackData::IsDrumChanel(int channel) {
    if (channel == kMidiDrumChannel) return 1;
    if (channel < 0 || channel >= kMidiChannels) return 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->status == kEvSysEx && event->number == kExTypeGsRhythmPart &&
            event->channel == channel) {
            return 1;
        }
    }
    return 0;
}

int MidiTrackData::GetNumNoteOfDrumSet(int note) {
    int drum_channels = 0;
    for (bool drum : DrumChannels(*this)) drum_channels += drum ? 1 : 0;
    return GetNumNoteEventWithNoteNumber(note) * drum_channels;
}

int MidiTrackData::GetMostUsedDrumSetOfGroup(int* notes, int count) {
    if (notes == nullptr) return -1;
    int chosen = notes[0];
    int most = 0;
    for (int k = 0; k < count; ++k) {
        const int used = GetNumNoteOfDrumSet(notes[k]);
        if (used > most) {  // on equal counts the earlier note stays
            most = used;
            chosen = notes[k];
        }
    }
    return chosen;
}

// The choice per group is that of GetMostUsedDrumSetOfGroup, computed from one
// count of the track's Notes instead of one walk per note. Only note events
// are changed: the note field of a pitch bend (its low 7 bits) or of other
// events on a drum channel is no drum sound.
int MidiTrackData::PackDrumSet() {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    const std::array<bool, kMidiChannels> drums = DrumChannels(*this);

    std::array<std::int64_t, kMidiNotes> used{};
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        if (event->status == kEvNote && event->note >= 0 && event->note < kMidiNotes) {
            ++used[event->note];
        }
    }

    std::array<int, kMidiNotes> replacement{};
    for (int note = 0; note < kMidiNotes; ++note) replacement[note] = note;
    for (int g = 0; g < kInstGroupCount; ++g) {
        const auto& group = InstGroup[g];
        int chosen = group[0];
        for (int k = 1; k < kInstGroupSize[g]; ++k) {
            if (used[group[k]] > used[chosen]) chosen = group[k];
        }
        for (int k = 0; k < kInstGroupSize[g]; ++k) replacement[group[k]] = chosen;
    }

    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (!IsNoteEvent(event) || event->channel < 0 || event->channel >= kMidiChannels ||
            !drums[event->channel] || event->note < 0 || event->note >= kMidiNotes) {
            continue;
        }
        event->note = replacement[event->note];
    }
    return 1;
}
