// Grid checks and edits: events and note lengths on a grid of ticks, and a
// gap kept between each Note's end and the next onset.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "midi/track/MidiTrackData.h"

namespace {

constexpr std::int64_t kWholeTrack = std::numeric_limits<std::int64_t>::max();
constexpr int kDurationDown = 1;
constexpr int kDurationNearest = 2;

bool OnGrid(const MidiTrackData& track, std::int64_t from, std::int64_t to, int grid) {
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        now += e.delta;
        if (now > to) break;
        if (now < from || e.status == kEvMeta) continue;
        if (now % grid != 0) return false;
        if (e.status == kEvNote && e.duration % grid != 0) return false;
    }
    return true;
}

// Events at times from..to to their nearest grid point: earlier ones give
// the ticks to the next event, later ones take them from the following
// events (never from the last), which move along where they are passed.
void SnapEvents(MidiTrackData& track, std::int64_t from, std::int64_t to, int grid) {
    MidiEvent** table = track.event_table.get();
    const int count = track.event_count;
    std::int64_t now = 0;
    for (int i = 0; i < count; ++i) {
        now += table[i]->delta;
        if (now > to) break;
        const auto r = static_cast<int>(now % grid);
        if (now < from || r == 0) continue;
        // An event left off the grid (outside the range) may stand between
        // this one and the point below it: then this one moves up instead,
        // never before an earlier event.
        const bool earlier = r < grid / 2 && r <= table[i]->delta;
        const MidiEvent* grows = earlier ? (i + 1 < count ? table[i + 1] : nullptr) : table[i];
        if (grows && std::int64_t{grows->delta} + grid > std::numeric_limits<int>::max()) {
            continue;  // a delta at its limit: the event stays
        }
        if (earlier) {
            table[i]->delta -= r;
            if (i + 1 < count) table[i + 1]->delta += r;
            now -= r;
            continue;
        }
        int rest = grid - r;
        table[i]->delta += rest;
        now += rest;
        for (int j = i + 1; j + 1 < count && rest > 0; ++j) {
            const int part = std::clamp(table[j]->delta, 0, rest);
            table[j]->delta -= part;
            rest -= part;
        }
    }
}

// A rounded duration of 0 becomes 1: a Note without length would be lost
// when the track is saved.
int Rounded(int duration, int grid, bool nearest) {
    const std::int64_t r = duration % grid;
    const std::int64_t down = duration - r;
    const std::int64_t up = down + grid;
    const bool round_up = nearest && 2 * r >= grid && up <= std::numeric_limits<int>::max();
    return static_cast<int>(std::max<std::int64_t>(round_up ? up : down, 1));
}

void RoundDurations(MidiTrackData& track, std::int64_t from, std::int64_t to, int grid,
                    bool nearest) {
    std::int64_t now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        now += e.delta;
        if (now > to) break;
        if (now < from || e.status != kEvNote || e.duration <= 0 || e.duration % grid == 0) {
            continue;
        }
        e.duration = Rounded(e.duration, grid, nearest);
    }
}

}  // namespace

int MidiTrackData::CheckEventTime(int grid) {
    return CheckEventTime(0, std::numeric_limits<int>::max(), grid);
}

int MidiTrackData::CheckEventTime(int from, int to, int grid) {
    if (form != kFormQ2) return ErrorMsg(kErrTrackInternal);
    if (grid < 1) return ErrorMsg(kErrGeneral);
    const std::int64_t last = to == std::numeric_limits<int>::max() ? kWholeTrack : to;
    return OnGrid(*this, from, last, grid) ? 1 : 0;
}

void MidiTrackData::ModifyDeltaTime(int grid) {
    if (grid < 1) return static_cast<void>(ErrorMsg(kErrGeneral));
    SnapEvents(*this, 0, kWholeTrack, grid);
}

void MidiTrackData::ModifyDeltaTime(int from, int to, int grid) {
    if (grid < 1) return static_cast<void>(ErrorMsg(kErrGeneral));
    SnapEvents(*this, from, to, grid);
}

void MidiTrackData::ModifyDuration(int grid, int mode) {
    if (form != kFormQ2) return static_cast<void>(ErrorMsg(kErrTrackInternal));
    if (grid < 1) return static_cast<void>(ErrorMsg(kErrGeneral));
    if (mode != kDurationDown && mode != kDurationNearest) {
        // Reported at the first Note that would need rounding; none changes.
        for (int i = 0; i < event_count; ++i) {
            const MidiEvent& e = *event_table[i];
            if (e.status == kEvNote && e.duration > 0 && e.duration % grid != 0) {
                return static_cast<void>(ErrorMsg(kErrGeneral));
            }
        }
        return;
    }
    RoundDurations(*this, 0, kWholeTrack, grid, mode == kDurationNearest);
}

void MidiTrackData::ModifyDuration(int grid) {
    ModifyDuration(0, std::numeric_limits<int>::max(), grid);
}

void MidiTrackData::ModifyDuration(int from, int to, int grid) {
    if (form != kFormQ2) return static_cast<void>(ErrorMsg(kErrTrackInternal));
    if (grid < 1) return static_cast<void>(ErrorMsg(kErrGeneral));
    const std::int64_t last = to == std::numeric_limits<int>::max() ? kWholeTrack : to;
    RoundDurations(*this, from, last, grid, true);
}

// One backward pass: the earliest onset of the tick groups already passed is
// the next later onset of every Note of the current group. A Note with no
// later Note keeps its length.
void MidiTrackData::ModifyInterval(int gap) {
    if (form != kFormQ2) return static_cast<void>(ErrorMsg(kErrTrackInternal));
    if (gap < 0) return static_cast<void>(ErrorMsg(kErrGeneral));
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) now += event_table[i]->delta;
    std::int64_t later = -1;  // the next onset after the current group
    std::int64_t group = -1;  // the current group's time
    bool group_has_note = false;
    for (int i = event_count - 1; i >= 0; --i) {
        MidiEvent& e = *event_table[i];
        if (now != group) {
            if (group_has_note) later = group;
            group = now;
            group_has_note = false;
        }
        if (e.status == kEvNote) {
            group_has_note = true;
            const std::int64_t room = later - now - gap;
            if (later >= 0 && e.duration > room) {
                e.duration = static_cast<int>(std::max<std::int64_t>(room, 1));
            }
        }
        now -= e.delta;
    }
}
