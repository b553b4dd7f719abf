// Reordering within one tick (exchanges, the move-to-front walks) and the
// rescaling of every time of a track to another division.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/Prefetch.h"
#include "midi/track/detail/TickGroups.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampToInt;
using retrograde::detail::ForEachGroup;
using retrograde::detail::GatherToFront;

// Exchanges two records of a track; the deltas stay with the places.
void ExchangeExceptDelta(MidiEvent** table, int i, int j) {
    std::swap(table[i], table[j]);
    std::swap(table[i]->delta, table[j]->delta);
}

// Within one tick group each note off is exchanged with the nearest note on
// before it (see MoveNoteOffFront).
void NoteOffFrontInGroup(MidiEvent** table, int from, int to) {
    int nearest_on = -1;
    for (int i = from; i < to; ++i) {
        const int status = table[i]->status;
        if (status == kEvNoteOn) {
            nearest_on = i;
        } else if (status == kEvNoteOff && nearest_on >= 0) {
            ExchangeExceptDelta(table, i, nearest_on);
            nearest_on = i;
        }
    }
}

// Lambdas rather than functions, so that the walks inline them.
constexpr auto IsCommand = [](const MidiEvent& e) {
    return e.status != kEvNoteOff && e.status != kEvNoteOn && !e.IsEndOfTrack();
};

constexpr auto IsExclusive = [](const MidiEvent& e) {
    return e.status == kEvSysEx || e.status == kEvSysExEscape;
};

// Where the writer wants an event within its tick group: exclusives first,
// then the other commands, then notes and the end of track.
int WriteRank(const MidiEvent& e) {
    if (IsExclusive(e)) return 0;
    return IsCommand(e) ? 1 : 2;
}

// Puts the group [from, to) in the writer's order, each rank in its old order;
// each place keeps its delta. Most groups are in order already and only read.
void RankInGroup(MidiEvent** table, int from, int to, std::vector<MidiEvent*>& rest) {
    int previous = 0;
    int i = from;
    for (; i < to; ++i) {
        const int rank = WriteRank(*table[i]);
        if (rank < previous) break;
        previous = rank;
    }
    if (i == to) return;
    // Only the opener's place holds a delta that is not 0.
    const int opener_delta = table[from]->delta;
    table[from]->delta = 0;
    rest.assign(table + from, table + to);
    int place = from;
    for (int rank = 0; rank < 3; ++rank) {
        for (MidiEvent* e : rest) {
            if (WriteRank(*e) == rank) table[place++] = e;
        }
    }
    table[from]->delta = opener_delta;
}

bool IndexPairValid(const MidiTrackData& track, int i, int j) {
    return i >= 0 && j >= 0 && i < track.event_count && j < track.event_count;
}

}  // namespace

void MidiTrackData::SwapEventWithDelta(int i, int j) {
    if (!IndexPairValid(*this, i, j)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    std::swap(event_table[i], event_table[j]);
}

void MidiTrackData::SwapEventExceptDelta(int i, int j) {
    if (!IndexPairValid(*this, i, j)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    std::swap(event_table[i], event_table[j]);
    std::swap(event_table[i]->delta, event_table[j]->delta);
}

void MidiTrackData::SwapEvent(int i, int j) {
    if (!IndexPairValid(*this, i, j)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // Meant for events of one tick; exchanging timed events moves them in time.
    if (event_table[i]->delta != 0 || event_table[j]->delta != 0) ErrorMsg(kErrGeneral);
    std::swap(event_table[i], event_table[j]);
}

void MidiTrackData::SwapEventExceptDeltaBetween(int from, int to) {
    if (from < to) {
        ErrorMsg(kErrGeneral);
        return;
    }
    if (from == to) return;
    if (!IndexPairValid(*this, from, to)) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    for (int k = from; k > to; --k) {
        std::swap(event_table[k], event_table[k - 1]);
        std::swap(event_table[k]->delta, event_table[k - 1]->delta);
    }
}

void MidiTrackData::MoveEventFromt(int status, int number) try {
    GatherToFront(*this, [status, number](const MidiEvent& e) {
        return e.status == status && e.number == number;
    });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::MoveEventFromt(int status) try {
    GatherToFront(*this, [status](const MidiEvent& e) { return e.status == status; });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// The walks below keep the order of what they do not move: an exchange with
// the group's first event would carry that event behind the chosen one (two
// tempos at one tick would change places, a bank select would fall behind its
// program change).
void MidiTrackData::MoveControlChangeFront() try {
    GatherToFront(*this, [](const MidiEvent& e) { return e.status == kEvControl; });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::MoveSysExFront() try {
    GatherToFront(*this, IsExclusive);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// Among events at one tick, everything but notes and the end of track is
// written first, so a sound module is set up before the notes it plays.
void MidiTrackData::MoveCommandFirst() try {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    GatherToFront(*this, IsCommand);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// Within a tick group each note off is exchanged with the nearest note on
// before it, so a note ending where another one starts is released first. After
// an exchange the nearest note on is the one just moved to the note off's
// place, which keeps the walk to one pass.
void MidiTrackData::MoveNoteOffFront() {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    ForEachGroup(*this, NoteOffFrontInGroup);
}

// MoveCommandFirst, MoveSysExFront and MoveNoteOffFront work within tick
// groups, so one walk over the groups does them all, reading each record once
// instead of three times.
void MidiTrackData::OrderForWriting() try {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    std::vector<MidiEvent*> rest;
    rest.reserve(static_cast<std::size_t>(event_count));
    ForEachGroup(*this, [&rest](MidiEvent** table, int from, int to) {
        RankInGroup(table, from, to, rest);
        NoteOffFrontInGroup(table, from, to);
    });
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

int MidiTrackData::ChangeDivision(int from, int to) {
    return ChangeDivision(from, to, false);
}

// Each event's absolute time is rescaled and the deltas taken between those,
// so rounding never adds up along the track: an event lands within one tick
// of its exact new time.
int MidiTrackData::ChangeDivision(int from, int to, bool removeZero) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    if (from == to) return 0;
    if (from <= 0 || to <= 0) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    int flag = 0;
    std::int64_t source = 0, placed = 0;  // absolute ticks, before and after
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        source += event->delta;
        const std::int64_t at = source * to / from;
        event->delta = ClampToInt(at - placed);
        placed = at;
        if (event->status != kEvNote) continue;
        event->duration = ClampToInt(std::int64_t{event->duration} * to / from);
        if (event->duration != 0) continue;
        flag = 1;
        if (removeZero) {
            event->status = kEvNone;
        } else {
            event->duration = 1;
        }
    }
    DeleteNop();
    return flag;
}
