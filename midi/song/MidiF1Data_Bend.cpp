// Pitch bends of a format-1 song: the bend range it sets, and bends turned
// into discrete notes for sound sets that cannot bend.
#include <algorithm>
#include <array>
#include <cstdlib>

#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

constexpr int kBendCentre = 8192;
constexpr int kMaxSensitivity = 8191;  // a step of one bend unit per semitone
constexpr int kDefaultBendRange = 2;   // what a receiver uses until told otherwise
constexpr int kCcModulation = 1;
constexpr int kCcDataEntry = 6;
constexpr int kCcNrpnLsb = 98;
constexpr int kCcNrpnMsb = 99;
constexpr int kCcRpnLsb = 100;
constexpr int kCcRpnMsb = 101;
constexpr int kRpnNull = 127;

int BendOf(const MidiEvent& e) {
    return e.value * 128 + e.note;
}

// Whole semitones of bend for a semitone step of step bend units.
int Shift(int bend, int step) {
    return (bend - kBendCentre) / step;
}

int ClampNote(int note) {
    return std::clamp(note, 0, kMidiMaxDataByte);
}

bool IsZeroNote(const MidiEvent& e) {
    return e.status == kEvNote && e.duration == 0;
}

// Removes bends that repeat the shift in force, and every modulation.
void DropRedundantBends(MidiTrackData& track, int step) {
    int previous = 0;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent* e = track.event_table[i];
        if (e->status == kEvPitchBend) {
            const int shift = Shift(BendOf(*e), step);
            if (shift == previous)
                retrograde::detail::MarkNone(e);
            else
                previous = shift;
        } else if (e->status == kEvControl && e->number == kCcModulation) {
            retrograde::detail::MarkNone(e);
        }
    }
    track.DeleteNop();
}

// The bend record at e becomes a Note of its channel and delta.
void BendToNote(MidiEvent& e, int note, int velocity, int duration) {
    e.status = kEvNote;
    e.note = note;
    e.velocity = velocity;
    e.duration = duration;
    e.value = 0;
    e.number = 0;
    e.data[0] = kEvNote;
    e.length = 1;
}

}  // namespace

int MidiF1Data::GetPitchBendSensitivity() {
    const retrograde::detail::DrumChannelTable drums(*this);
    // Each channel's selected parameter, as a receiver keeps it: data entry
    // counts for the bend range only while RPN 0/0 is selected.
    struct Selection {
        bool registered = false;
        int msb = kRpnNull;
        int lsb = kRpnNull;
    };
    std::array<Selection, kMidiChannels> selected{};
    int range = kDefaultBendRange;
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = *GetTrack(t);
        if (drums.IsDrumTrack(track)) continue;
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            if (e.status != kEvControl || e.channel < 0 || e.channel >= kMidiChannels) continue;
            Selection& s = selected[static_cast<std::size_t>(e.channel)];
            switch (e.number) {
                case kCcRpnMsb:
                    s.registered = true, s.msb = e.value;
                    break;
                case kCcRpnLsb:
                    s.registered = true, s.lsb = e.value;
                    break;
                case kCcNrpnMsb:
                case kCcNrpnLsb:
                    s.registered = false;
                    break;
                case kCcDataEntry:
                    if (s.registered && s.msb == 0 && s.lsb == 0) range = e.value;
                    break;
                default:
                    break;
            }
        }
    }
    return range;
}

void MidiF1Data::ConvPitchBendToNote(int sensitivity) {
    if (form != kFormQ2 || sensitivity < 1 || sensitivity > kMaxSensitivity) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const int step = kMaxSensitivity / sensitivity;
    const retrograde::detail::DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = *GetTrack(t);
        if (drums.IsDrumTrack(track)) continue;
        DropRedundantBends(track, step);
        MidiEvent** table = track.event_table.get();
        const int count = track.event_count;
        int bend = kBendCentre;
        // One walk: the inner walk along a note stops at the first event at or
        // after its end, where the outer walk goes on, so every event is
        // looked at a bounded number of times. Notes of no length are left
        // for the removal at the end.
        for (int k = 0; k < count;) {
            MidiEvent& note = *table[k];
            if (note.status == kEvPitchBend) bend = BendOf(note);
            if (note.status != kEvNote || note.duration == 0) {
                ++k;
                continue;
            }
            const int base = note.note;
            const int velocity = note.velocity;
            const int shift = Shift(bend, step);
            note.note = ClampNote(base + shift);
            if (note.note != base) note.velocity = GetOffsetVelocity(velocity, std::abs(shift));
            MidiEvent* sounding = &note;
            long long remaining = note.duration;
            int j = k + 1;
            for (; j < count; ++j) {
                MidiEvent& e = *table[j];
                remaining -= e.delta;
                if (remaining < 1) break;
                if (e.status != kEvPitchBend) continue;
                bend = BendOf(e);
                const int s = Shift(bend, step);
                const int part = static_cast<int>(remaining);
                BendToNote(e, ClampNote(base + s),
                           s == 0 ? velocity : GetOffsetVelocity(velocity, std::abs(s)), part);
                sounding->duration -= part;
                sounding = &e;
            }
            k = j;
        }
        for (int i = 0; i < count; ++i) {
            MidiEvent* e = table[i];
            if (IsZeroNote(*e) || e->status == kEvPitchBend) retrograde::detail::MarkNone(e);
        }
        track.DeleteNop();
    }
}
