// Swing: the track is cut into windows of one unit, and the Notes of each
// window move to the swing positions 0, unit / 3 and unit / 3 * 2 (or evenly
// spaced ones when the window is crowded). Every move stays inside its
// window, so a cursor kept at the window's start stays valid while the
// window is edited, and each walk starts there rather than at the track's
// beginning.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"

namespace {

constexpr int kMinUnit = 3;  // the smallest unit with three distinct positions
constexpr int kMaxManyNotes = 64;
constexpr int kStay = -1;  // a placement that leaves the Note where it is

// The first event at or after some time: its index and the time of the event
// before it.
struct Cursor {
    int index = 0;
    std::int64_t before = 0;
};

void Seek(const MidiTrackData& track, Cursor& c, std::int64_t time) {
    while (c.index < track.event_count && c.before + track.event_table[c.index]->delta < time) {
        c.before += track.event_table[c.index]->delta;
        ++c.index;
    }
}

// A Note of a window, with its time before the window was edited and the
// group it is placed with (its rank among the window's Notes, or among its
// onsets when the Notes of one tick move together).
struct WindowNote {
    int index;
    std::int64_t time;
    int group;
};

// Gathers the Notes of [start, end) into notes; c must lie at or before start.
void Gather(const MidiTrackData& track, Cursor& c, std::int64_t start, std::int64_t end,
            bool byOnset, std::vector<WindowNote>& notes) {
    notes.clear();
    Seek(track, c, start);
    std::int64_t t = c.before;
    int group = -1;
    for (int i = c.index; i < track.event_count; ++i) {
        t += track.event_table[i]->delta;
        if (t >= end) break;
        if (track.event_table[i]->status != kEvNote) continue;
        if (!byOnset || notes.empty() || notes.back().time != t) ++group;
        notes.push_back({i, t, group});
    }
}

int GroupCount(const std::vector<WindowNote>& notes) {
    return notes.empty() ? 0 : notes.back().group + 1;
}

// Moves event index from time by d ticks (earlier when negative). Moving
// earlier takes the ticks from the deltas before it, sweeping the events it
// passes to its new time, and gives them all to the following event; moving
// later gives them to its own delta and takes them from the following deltas
// in the same way. Every event not passed keeps its time.
std::int64_t Shift(MidiTrackData& track, int index, std::int64_t time, std::int64_t d) {
    MidiEvent** table = track.event_table.get();
    const auto take = [&](int j, std::int64_t& rest) {
        const std::int64_t part = std::clamp<std::int64_t>(table[j]->delta, 0, rest);
        table[j]->delta -= static_cast<int>(part);
        rest -= part;
    };
    // The one delta that grows must stay a delta: else the event stays.
    MidiEvent* grows =
        d < 0 ? (index + 1 < track.event_count ? table[index + 1] : nullptr) : table[index];
    if (grows && std::int64_t{grows->delta} + (d < 0 ? -d : d) > std::numeric_limits<int>::max())
        return time;
    if (d < 0) {
        std::int64_t rest = -d;
        for (int j = index; j >= 0 && rest > 0; --j) take(j, rest);
        const std::int64_t taken = -d - rest;
        if (grows) grows->delta += static_cast<int>(taken);
        return time - taken;
    }
    table[index]->delta += static_cast<int>(d);
    std::int64_t rest = d;
    for (int j = index + 1; j < track.event_count && rest > 0; ++j) take(j, rest);
    return time + d;
}

// Walks the window's Notes from c, moving each to target(group, offset)
// unless that is kStay; the walk goes on from each Note's new time.
template <typename Target>
void Place(MidiTrackData& track, const Cursor& c, const std::vector<WindowNote>& notes, int unit,
           Target target) {
    std::int64_t t = c.before;
    auto note = notes.begin();
    for (int i = c.index; note != notes.end() && i < track.event_count; ++i) {
        t += track.event_table[i]->delta;
        if (i != note->index) continue;
        const int offset = static_cast<int>(t % unit);
        const int to = target(note->group, offset);
        if (to != kStay && to != offset) t = Shift(track, i, t, to - offset);
        ++note;
    }
}

void PlaceOne(MidiTrackData& track, const Cursor& c, const std::vector<WindowNote>& notes,
              int unit) {
    Place(track, c, notes, unit,
          [unit](int, int offset) { return offset >= unit / 2 ? unit / 3 * 2 : 0; });
}

// The first group goes to the first target and the second to the second:
// both late in the unit, a late second, or else both early.
void PlaceTwo(MidiTrackData& track, const Cursor& c, const std::vector<WindowNote>& notes,
              int unit) {
    if (notes.empty()) return;
    const bool first_late = notes.front().time % unit >= unit / 2;
    const bool second_late = notes.back().time % unit >= unit / 2;
    const int first = first_late && second_late ? unit / 3 : 0;
    const int second = second_late ? unit / 3 * 2 : unit / 3;
    Place(track, c, notes, unit, [&](int group, int) {
        return group == 0 ? first : group == 1 ? second : kStay;
    });
}

void PlaceThree(MidiTrackData& track, const Cursor& c, const std::vector<WindowNote>& notes,
                int unit) {
    Place(track, c, notes, unit,
          [unit](int group, int) { return group < 3 ? group * (unit / 3) : kStay; });
}

// Three positions per part of the unit, as many parts as the Notes need:
// every target stays inside the unit.
void PlaceMany(MidiTrackData& track, const Cursor& c, const std::vector<WindowNote>& notes,
               int unit, int count) {
    const int step = unit / (3 * ((count - 1) / 3 + 1));
    if (step < 1) return;
    Place(track, c, notes, unit, [&](int group, int) {
        return group < count && group * step < unit ? group * step : kStay;
    });
}

// One window [start, end) of the public SetSwingPosition* calls. Its Notes
// are gathered before anything moves: out of memory, nothing has changed.
template <typename PlaceRule>
void SwingOneWindow(MidiTrackData& track, int start, int end, int unit, PlaceRule place) try {
    Cursor c;
    std::vector<WindowNote> notes;
    Gather(track, c, start, end, false, notes);
    place(track, c, notes, unit);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// Both rules: each window with an event at or after its start is placed in
// turn; windows without Notes are skipped at once.
template <typename Rule>
void SwingWindows(MidiTrackData& track, int unit, bool byOnset, Rule rule) {
    Cursor c;
    std::vector<WindowNote> notes;
    for (std::int64_t start = 0;;) {
        Seek(track, c, start);
        if (c.index >= track.event_count) return;
        const std::int64_t next = c.before + track.event_table[c.index]->delta;
        start = std::max(start, next - next % unit);
        Gather(track, c, start, start + unit, byOnset, notes);
        rule(c, notes);
        start += unit;
    }
}

}  // namespace

void MidiTrackData::SwingData(int unit) try {
    // One message for the whole track, not one per window.
    if (form != kFormQ2 || unit < kMinUnit) {
        ErrorMsg(kErrGeneral);
        return;
    }
    SwingWindows(*this, unit, false, [&](const Cursor& c, const std::vector<WindowNote>& notes) {
        const int n = static_cast<int>(notes.size());
        if (n == 1) PlaceOne(*this, c, notes, unit);
        if (n == 2) PlaceTwo(*this, c, notes, unit);
        if (n == 3) PlaceThree(*this, c, notes, unit);
        if (n > kMaxManyNotes) ErrorMsg(kErrGeneral);
        if (n > 3 && n <= kMaxManyNotes) PlaceMany(*this, c, notes, unit, n);
    });
} catch (const std::bad_alloc&) {
    // Between windows: the windows placed so far stay placed.
    GneErrorMsg(kGneErrNoMemory);
}

// Chords are counted and moved as one: a chord and a single note in a unit
// swing as a pair.
void MidiTrackData::SwingHarmonyAndDrumData(int unit) try {
    if (form != kFormQ2 || unit < kMinUnit) {
        ErrorMsg(kErrGeneral);
        return;
    }
    SwingWindows(*this, unit, true, [&](const Cursor& c, const std::vector<WindowNote>& notes) {
        const int onsets = GroupCount(notes);
        if (onsets == 1) PlaceOne(*this, c, notes, unit);
        if (onsets >= 2) PlaceTwo(*this, c, notes, unit);
    });
} catch (const std::bad_alloc&) {
    // Between windows: the windows placed so far stay placed.
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::SetSwingPositionOne(int start, int end, int unit) {
    if (unit < kMinUnit) return static_cast<void>(ErrorMsg(kErrGeneral));
    SwingOneWindow(*this, start, end, unit, PlaceOne);
}

void MidiTrackData::SetSwingPositionTwo(int start, int end, int unit) {
    if (unit < kMinUnit) return static_cast<void>(ErrorMsg(kErrGeneral));
    SwingOneWindow(*this, start, end, unit, PlaceTwo);
}

void MidiTrackData::SetSwingPositionThree(int start, int end, int unit) {
    if (unit < kMinUnit) return static_cast<void>(ErrorMsg(kErrGeneral));
    SwingOneWindow(*this, start, end, unit, PlaceThree);
}

void MidiTrackData::SetSwingPositionMany(int start, int end, int unit, int count) {
    if (unit < kMinUnit || count < 1 || count > kMaxManyNotes) {
        ErrorMsg(kErrGeneral);
        return;
    }
    SwingOneWindow(
        *this, start, end, unit,
        [count](MidiTrackData& track, const Cursor& c, const std::vector<WindowNote>& notes,
                int u) { PlaceMany(track, c, notes, u, count); });
}

int MidiTrackData::FixPostion(int index, int time, int offset, int target) {
    if (index < 0 || index >= event_count) {
        ErrorMsg(kErrGeneral);
        return time;
    }
    if (offset == target) return time;
    return static_cast<int>(Shift(*this, index, time, std::int64_t{target} - offset));
}

int MidiTrackData::GetFirstNotePos(int start, int end) {
    Cursor c;
    Seek(*this, c, start);
    std::int64_t t = c.before;
    for (int i = c.index; i < event_count; ++i) {
        t += event_table[i]->delta;
        if (t >= end || event_table[i]->status == kEvNote) break;
    }
    return static_cast<int>(t);
}

int MidiTrackData::GetSecondNotePos(int start, int end) {
    Cursor c;
    Seek(*this, c, start);
    std::int64_t t = c.before;
    std::int64_t last = 0;
    for (int i = c.index; i < event_count; ++i) {
        t += event_table[i]->delta;
        if (t >= end) break;
        if (event_table[i]->status == kEvNote) last = t;
    }
    return static_cast<int>(last);
}

int MidiTrackData::CountNote(int start, int end) {
    if (form != kFormQ2) return ErrorMsg(kErrGeneral);
    Cursor c;
    Seek(*this, c, start);
    std::int64_t t = c.before;
    int count = 0;
    for (int i = c.index; i < event_count; ++i) {
        t += event_table[i]->delta;
        if (t >= end) break;
        if (event_table[i]->status == kEvNote) ++count;
    }
    return count;
}
