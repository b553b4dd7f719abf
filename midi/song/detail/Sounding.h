// What each channel hears at the current point of a walk over a track: the
// notes whose keys are held, and the released notes the hold pedal keeps
// ringing. The clean-ups ask it whether anyone could hear an event.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <queue>
#include <tuple>
#include <vector>

#include "midi/event/MidiConstants.h"
#include "midi/event/MidiEvent.h"

namespace retrograde::detail {

inline bool IsChannelOf(const MidiEvent& e) {
    return e.channel >= 0 && e.channel < kMidiChannels;
}

class Sounding {
public:
    // Takes in event, which stands at tick (ticks never decrease). A Q2 note
    // ends after the events at its end tick, so an event at that tick still
    // counts as heard.
    void See(const MidiEvent& e, std::int64_t tick) {
        while (!ends_.empty() && std::get<0>(ends_.top()) < tick) {
            const auto [end, ch, note] = ends_.top();
            ends_.pop();
            Set(ch, note, held_[ch][note] > 0 ? held_[ch][note] - 1 : 0);
        }
        if (!IsChannelOf(e)) return;
        const int ch = e.channel;
        const bool key = e.note >= 0 && e.note < kMidiNotes;
        if (e.status == kEvNote && key) {
            Press(ch, e.note);
            ends_.emplace(tick + (e.duration > 0 ? e.duration : 0), ch, e.note);
        } else if (e.status == kEvNoteOn && e.velocity > 0 && key) {
            Press(ch, e.note);
        } else if ((e.status == kEvNoteOff || e.status == kEvNoteOn) && key) {
            // A note on of velocity 0 is a note off. A key struck twice may
            // sound twice on a receiver, so each note off ends one strike.
            Set(ch, e.note, std::max(held_[ch][e.note] - 1, 0));
        } else if (e.status == kEvControl && e.number == kCcHoldPedal) {
            const bool down = e.value >= 64;
            if (pedal_[ch] && !down) {
                pedal_[ch] = false;
                for (int n = 0; n < kMidiNotes; ++n) {
                    if (ringing_[ch][n]) Set(ch, n, held_[ch][n]);
                }
            }
            pedal_[ch] = down;
        }
    }
    bool Any(int channel) const { return count_[channel] > 0; }
    // Notes begun on channel so far: a change tells that a note began.
    std::uint64_t Onsets(int channel) const { return onsets_[channel]; }

private:
    void Press(int ch, int note) {
        Set(ch, note, held_[ch][note] + 1);
        ++onsets_[ch];
    }
    // The key's held count becomes held; a released key rings on while the
    // pedal is down and it was sounding.
    void Set(int ch, int note, int held) {
        const bool before = held_[ch][note] > 0 || ringing_[ch][note];
        held_[ch][note] = held;
        ringing_[ch][note] = held == 0 && pedal_[ch] && before;
        const bool after = held > 0 || ringing_[ch][note];
        count_[ch] += int(after) - int(before);
    }

    std::array<std::array<int, kMidiNotes>, kMidiChannels> held_{};
    std::array<std::array<bool, kMidiNotes>, kMidiChannels> ringing_{};
    std::array<int, kMidiChannels> count_{};
    std::array<std::uint64_t, kMidiChannels> onsets_{};
    std::array<bool, kMidiChannels> pedal_{};
    using End = std::tuple<std::int64_t, int, int>;  // tick, channel, note
    std::priority_queue<End, std::vector<End>, std::greater<>> ends_;
};

}  // namespace retrograde::detail
