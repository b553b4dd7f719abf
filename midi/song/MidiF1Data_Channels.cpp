// Channel queries of a format-1 song: free and used channels, and deleting
// the song's first matching exclusive.
#include <algorithm>
#include <array>
#include <bitset>

#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"

namespace {

constexpr int kExtendedChannels = 2 * kMidiChannels;  // two ports

// Asks each track in turn; stops at the first that reports a deletion.
template <class Delete>
int DeleteFirstOfSong(MidiF1Data& song, Delete&& remove) {
    for (int t = 0; t < song.track_count; ++t) {
        if (remove(*song.tracks[static_cast<std::size_t>(t)]) == kGneSuccess) return kGneSuccess;
    }
    return kGneFailure;
}

}  // namespace

int MidiF1Data::GetUnusedChanel() {
    std::bitset<kMidiChannels> used;
    for (int t = 0; t < track_count; ++t) {
        const int channel = tracks[static_cast<std::size_t>(t)]->GetChanel();
        if (channel >= 0 && channel < kMidiChannels) used.set(static_cast<std::size_t>(channel));
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        if (!used.test(static_cast<std::size_t>(c))) return c;
    }
    return kGneNone;
}

int MidiF1Data::GetNumChanel(bool* secondPort) {
    std::bitset<kExtendedChannels> used;
    for (int t = 0; t < track_count; ++t) {
        const int channel = tracks[static_cast<std::size_t>(t)]->GetChanelWithInstName();
        if (channel >= 0 && channel < kExtendedChannels)
            used.set(static_cast<std::size_t>(channel));
    }
    if (secondPort != nullptr) *secondPort = (used >> kMidiChannels).any();
    return static_cast<int>(used.count());
}

int MidiF1Data::IsDontMove(int channel, int* keep, int count) {
    if (keep == nullptr) return kGneFailure;
    return std::find(keep, keep + std::max(count, 0), channel) != keep + std::max(count, 0)
               ? kGneSuccess
               : kGneFailure;
}

int MidiF1Data::GetOffsetVelocity(int velocity, int steps) {
    int value = velocity;
    // Once the value stops changing (0, or small enough that a tenth truncates
    // to nothing) further steps change nothing: huge step counts end at once.
    for (int i = 0; i < steps; ++i) {
        const auto next = static_cast<int>(static_cast<long long>(value) * 9 / 10);
        if (next == value) break;
        value = next;
    }
    return value < velocity / 2 ? velocity : value;
}

int MidiF1Data::DeleteSysExF0() {
    return DeleteFirstOfSong(*this, [](MidiF1TrackData& t) { return t.DeleteSysExF0(); });
}

int MidiF1Data::DeleteSysExF7() {
    return DeleteFirstOfSong(*this, [](MidiF1TrackData& t) { return t.DeleteSysExF7(); });
}

int MidiF1Data::DeleteSysExF0(unsigned char type) {
    return DeleteFirstOfSong(*this, [type](MidiF1TrackData& t) { return t.DeleteSysExF0(type); });
}

int MidiF1Data::DeleteSysExF0(int channel, unsigned char type) {
    return DeleteFirstOfSong(*this,
                             [&](MidiF1TrackData& t) { return t.DeleteSysExF0(channel, type); });
}
