// Note range, velocities and time spans: folding notes into a playable
// range, repeated notes, loudness scaling and fades, one channel or one
// stretch of a track, and the seconds a stretch lasts.
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/Q1Order.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampToInt;
using retrograde::detail::MarkNone;
using retrograde::detail::Q1Step;

constexpr int kChannels = 16;
constexpr int kKeys = 128;
constexpr int kOctave = 12;
constexpr int kMaxVelocity = 127;

}  // namespace

int MidiTrackData::AdjustNoteRange(int channel, int low, int high, int mode) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    int outside = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        if (e->status != kEvNote || (channel != -1 && e->channel != channel)) continue;
        if (e->note >= low && e->note <= high) continue;
        outside = 1;
        if (mode == 0) {
            MarkNone(e);
        } else if (mode == 1) {
            // One octave toward the range only: a note two octaves out stays out.
            e->note = std::clamp(e->note + (e->note > high ? -kOctave : kOctave), 0, kKeys - 1);
        }
    }
    if (mode == 0 && outside == 1) DeleteNop();
    return outside;
}

// Note offs go first at each tick, so a note struck again just as it ends is
// no double note. A Q2 track is read in the order a Q1 copy would have after
// that reordering.
int MidiTrackData::CheckDoubleNote() try {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    std::array<bool, kChannels * kKeys> sounding{};
    int found = 0;
    auto check = [&](const Q1Step& step) {
        if (!step.IsNoteOn() && !step.IsNoteOff()) return;
        if (step.Channel() < 0 || step.Channel() >= kChannels || step.Note() < 0) return;
        if (step.Note() >= kKeys) {
            ErrorMsg(kErrTrackNoteNumber);
            return;
        }
        bool& flag = sounding[static_cast<std::size_t>(step.Channel() * kKeys + step.Note())];
        if (step.IsNoteOn() && flag) found = 1;
        flag = step.IsNoteOn();
    };
    if (form == kFormQ1) {
        MoveNoteOffFront();
        retrograde::detail::ForEachQ1Event(*this, check);
    } else {
        retrograde::detail::ForEachInQ1Order(*this, 1, check);
    }
    return found;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

// In integers: v * 127 / m gives 127 for the loudest note, which a factor in
// double precision missed for some maxima. A maximum of 0 leaves all alone.
void MidiTrackData::SetMaxVelocity(int channel) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    int loudest = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* e = event_table[i];
        if (e->status == kEvNote && e->channel == channel) loudest = std::max(loudest, e->velocity);
    }
    if (loudest == 0) return;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        if (e->status != kEvNote || e->channel != channel) continue;
        const std::int64_t v = std::int64_t{e->velocity} * kMaxVelocity / loudest;
        e->velocity = static_cast<int>(std::clamp<std::int64_t>(v, 0, kMaxVelocity));
    }
}

// A Note at to is silenced (velocity 0), which removes it when the track goes
// to Q1: the fade ends in silence.
void MidiTrackData::SetFadeOut(int from, int to) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (from >= to) return;
    const double span = static_cast<double>(to) - from;
    std::int64_t t = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        t += e->delta;
        if (e->status != kEvNote || t < from || t > to) continue;
        const double left = 1.0 - static_cast<double>(t - from) / span;
        e->velocity = static_cast<int>(e->velocity * left);
    }
}

// The end of track stays: a track without one cannot be written.
void MidiTrackData::ExtractChanelData(int channel) {
    if (channel < 0 || channel >= kChannels) {
        ErrorMsg(kErrTrackChannel);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        if (e->channel != channel && !e->IsEndOfTrack()) MarkNone(e);
    }
    DeleteNop();
}

long MidiTrackData::GetLastNotePos() try {
    std::int64_t last = -1;
    std::int64_t first = -1;  // in a Q2 track, of the Q1 order
    auto seen = [&](const Q1Step& step) {
        if (first < 0) first = step.tick;
        if (step.status == kEvNoteOff) last = step.tick;
    };
    if (form == kFormQ2) {
        retrograde::detail::ForEachInQ1Order(*this, 0, seen);
    } else {
        retrograde::detail::ForEachQ1Event(*this, seen);
    }
    return static_cast<long>(last >= 0 ? last : std::max<std::int64_t>(first, 0));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

// Each stretch between tempo changes, clipped to [from, to), at the tempo in
// force over it; the ticks past the last event go at the last tempo.
double MidiTrackData::GetDurationTime(int from, int to, int division) {
    if (division <= 0) {
        ErrorMsg(kErrGeneral);
        return 0.0;
    }
    if (from >= to) return 0.0;
    auto seconds = [division](std::int64_t ticks, long tempo) {
        return ticks == 0 ? 0.0
                          : static_cast<double>(tempo) * (static_cast<double>(ticks) / division) /
                                1000000.0;
    };
    long tempo = GneBpmToClock(120);
    double total = 0.0;
    std::int64_t at = from;  // where the stretch at the current tempo began
    std::int64_t t = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* e = event_table[i];
        t += e->delta;
        if (e->status != kEvMeta || e->number != kMetaTempo) continue;
        if (t >= to) break;
        if (t > from) {
            total += seconds(t - at, tempo);
            at = t;
        }
        tempo = e->value;
    }
    return total + seconds(to - at, tempo);
}

// Shaped like the range copy of a Q2 track: the events before from that are
// no Notes (the setup) stay, at time 0; the Notes starting in [from, to) stay,
// cut at to; the other events inside stay; the end of track lies at to - from.
void MidiTrackData::ExtractArea(int from, int to) try {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (from < 0 || from >= to) {
        ErrorMsg(kErrGeneral);
        return;
    }
    std::vector<std::pair<MidiEvent*, std::int64_t>> kept;
    kept.reserve(static_cast<std::size_t>(event_count));
    std::vector<MidiEvent*> gone;
    std::int64_t t = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        t += e->delta;
        bool keep = false;
        if (e->status == kEvNote) {
            keep = t >= from && t < to;
        } else if (e->status != kEvNone && !e->IsEndOfTrack()) {
            keep = t < to;
        }
        if (!keep) {
            gone.push_back(e);
            continue;
        }
        if (e->status == kEvNote)
            e->duration = ClampToInt(std::min<std::int64_t>(e->duration, to - t));
        kept.emplace_back(e, std::max<std::int64_t>(t - from, 0));
    }
    // Commit.
    for (MidiEvent* e : gone) DestroyEvent(e);
    std::int64_t previous = 0;
    int count = 0;
    for (const auto& [e, tick] : kept) {
        e->delta = ClampToInt(tick - previous);
        previous = tick;
        event_table[count++] = e;
    }
    std::fill(event_table.get() + count, event_table.get() + event_count, nullptr);
    event_count = count;
    AddEndOfTrack(ClampToInt(std::int64_t{to} - from - previous));
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}
