// The upside-down mirror of a song: each melodic channel's keys turned about
// a pivot taken from the keys it plays. The song's events are shown to it
// once to choose the pivots, then each note event is turned.
#pragma once

#include <algorithm>
#include <array>

#include "midi/event/MidiEvent.h"
#include "midi/track/MidiTrackData.h"

namespace retrograde::detail {

class VerticalTurn {
public:
    explicit VerticalTurn(int form) : exclusives_(form) {
        low_.fill(kMidiMaxDataByte);
        high_.fill(0);
    }

    // A note event (its key counts) or an exclusive message (it may make its
    // channel a drum channel); anything else is passed over.
    void SeeNote(const MidiEvent& e) {
        if (e.channel < 0 || e.channel >= kMidiChannels) return;
        used_[e.channel] = true;
        low_[e.channel] = std::min(low_[e.channel], e.note);
        high_[e.channel] = std::max(high_[e.channel], e.note);
    }
    void SeeExclusive(MidiEvent* e) { exclusives_.AddCopyEvent(e); }

    // Chooses the pivots once every event has been seen; false when there is
    // nothing to turn.
    bool Plan() {
        bool any = false;
        for (int c = 0; c < kMidiChannels; ++c) {
            mirror_[c] = used_[c] && !exclusives_.IsDrumChanel(c);
            // The bottom of the octave at or below the middle of the channel's
            // range, so the mirrored part stays in a similar register.
            pivot_[c] = (low_[c] + high_[c]) / 2 / 12 * 12;
            any = any || mirror_[c];
        }
        return any;
    }

    // Whether no key of a turned channel lands outside 0..127: then no two
    // keys of a channel become one, and turning again gives the keys back.
    bool OneToOne() const {
        for (int c = 0; c < kMidiChannels; ++c) {
            if (mirror_[c] &&
                (2 * pivot_[c] - high_[c] < 0 || 2 * pivot_[c] - low_[c] > kMidiMaxDataByte)) {
                return false;
            }
        }
        return true;
    }

    // Turns the key of a note event.
    void Apply(MidiEvent& e) const {
        if (e.channel < 0 || e.channel >= kMidiChannels || !mirror_[e.channel]) return;
        e.note = std::clamp(2 * pivot_[e.channel] - e.note, 0, kMidiMaxDataByte);
    }

private:
    std::array<int, kMidiChannels> low_;
    std::array<int, kMidiChannels> high_;
    std::array<bool, kMidiChannels> used_{};
    std::array<int, kMidiChannels> pivot_{};
    std::array<bool, kMidiChannels> mirror_{};
    // Which channels are drums depends only on the exclusive messages: a
    // track of copies of them answers IsDrumChanel without walking the whole
    // song once per channel.
    MidiTrackData exclusives_;
};

}  // namespace retrograde::detail
