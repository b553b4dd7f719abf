// Appending, inserting and deleting the events of a track's table. Removing
// an event hands its delta on to the next one, so every remaining event keeps
// its absolute time.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

constexpr int kSongTitleMeta = kMetaTrackName;

using retrograde::detail::ClampToInt;
using retrograde::detail::RemoveEvents;

std::unique_ptr<MidiEvent> NewChannelEvent(int status, int channel, int first, int second,
                                           int length) {
    auto event = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
    event->status = status;
    event->channel = channel;
    // The area holds the status without its channel and the data bytes.
    event->data[0] = static_cast<unsigned char>(status);
    event->data[1] = static_cast<unsigned char>(first);
    event->data[2] = static_cast<unsigned char>(second);
    event->length = length;
    return event;
}

std::unique_ptr<MidiEvent> NewControlChange(int channel, int number, int value) {
    auto event = NewChannelEvent(kEvControl, channel, number, value, 3);
    event->number = number;
    event->value = value;
    return event;
}

std::unique_ptr<MidiEvent> NewProgramChange(int channel, int program) {
    auto event = NewChannelEvent(kEvProgram, channel, program, 0, 2);
    event->value = program;
    return event;
}

}  // namespace

// ---- appending ----

// The track takes the event over in every case: when the table is full the
// event is destroyed, so a caller that hands over a fresh record never leaks.
int MidiTrackData::AddEvent(MidiEvent* event) {
    if (event == nullptr) return ErrorMsg(kErrTrackInternal);
    if (!HasRoom()) {
        DestroyEvent(event);
        return ErrorMsg(kErrTrackTooMuchData);
    }
    event_table[event_count++] = event;
    return 1;
}

int MidiTrackData::AddCopyEvent(MidiEvent* event) try {
    if (event == nullptr) return ErrorMsg(kErrTrackInternal);
    if (!HasRoom()) return ErrorMsg(kErrTrackTooMuchData);
    event_table[event_count++] = new MidiEvent(event);
    return 1;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

void MidiTrackData::AddTempo(unsigned long tempo) try {
    if (tempo == 0) {
        ErrorMsg(kErrTrackTempoData);
        tempo = kDefaultTempo;
    }
    auto event = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
    event->SetTempo(tempo);
    AddEvent(event.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddEndOfTrack() {
    AddEndOfTrack(0);
}

void MidiTrackData::AddEndOfTrack(int delta) try {
    if (event_count > 0 && event_table[event_count - 1]->IsEndOfTrack()) return;
    auto event = std::make_unique<MidiEvent>(delta, MusicEvent::Compact{});
    event->status = kEvMeta;
    event->number = kMetaEndOfTrack;
    event->data[0] = kEvMeta;
    event->data[1] = kMetaEndOfTrack;
    event->data[2] = 0;
    event->length = 3;
    AddEvent(event.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddControlChange(int channel, unsigned char number, int value) try {
    AddEvent(NewControlChange(channel, number, value).release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddProgramChange(int channel, int program) try {
    AddEvent(NewProgramChange(channel, program).release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddNote(int channel, int delta, int note, int velocity, int duration) try {
    auto event = std::make_unique<MidiEvent>(delta, MusicEvent::Compact{});
    event->status = kEvNote;
    event->channel = channel;
    event->note = note;
    event->velocity = velocity;
    event->duration = duration;
    event->data[0] = kEvNote;
    event->length = 1;
    AddEvent(event.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

namespace {}  // namespace

// An instrument selection goes in whole or not at all: a bank select without
// its program change would select another sound.
void MidiTrackData::AddGSInstSelect(int channel, unsigned char msb, unsigned char lsb,
                                    int program) try {
    if (event_count > kMaxEvents - 3) {
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    auto bank_msb = NewControlChange(channel, kCcBankSelectMsb, msb);
    auto bank_lsb = NewControlChange(channel, kCcBankSelectLsb, lsb);
    auto change = NewProgramChange(channel, program);
    AddEvent(bank_msb.release());
    AddEvent(bank_lsb.release());
    AddEvent(change.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::AddXGInstSelect(int channel, unsigned char msb, unsigned char lsb,
                                    int program) {
    AddGSInstSelect(channel, msb, lsb, program);
}

void MidiTrackData::AddGMInstSelect(int channel, int msb, int program) try {
    if (event_count > kMaxEvents - 2) {
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    auto bank_msb = NewControlChange(channel, kCcBankSelectMsb, msb);
    auto change = NewProgramChange(channel, program);
    AddEvent(bank_msb.release());
    AddEvent(change.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// ---- inserting ----

// Like AddEvent, the track takes the event over in every case: an event that
// cannot be stored (full table, position outside the table) is destroyed.
void MidiTrackData::InsertEvent(int index, int mode, MidiEvent* event) {
    if (event == nullptr) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    const int at = mode == kInsertBefore ? index : index + 1;
    if (at < 0 || at > event_count) {
        DestroyEvent(event);
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (!HasRoom()) {
        DestroyEvent(event);
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    MidiEvent** table = event_table.get();
    std::move_backward(table + at, table + event_count, table + event_count + 1);
    table[at] = event;
    ++event_count;
}

void MidiTrackData::InsertEvent(int tick, MidiEvent* event) {
    InsertEvent(tick, event, kInsertAfter);
}

void MidiTrackData::InsertEvent(int tick, MidiEvent* event, int mode) {
    if (event == nullptr) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (event_count == 0) {
        // An empty table: the event becomes the only entry, at tick (tick -1
        // has no last event to go before, so the event keeps its delta).
        if (tick != -1) event->delta = tick;
        AddEvent(event);
        return;
    }
    MidiEvent* last = event_table[event_count - 1];
    if (tick == -1) {
        if (!HasRoom()) {
            DestroyEvent(event);
            ErrorMsg(kErrTrackTooMuchData);
            return;
        }
        event->delta = last->delta;
        last->delta = 0;
        InsertEvent(event_count - 1, kInsertBefore, event);
        return;
    }

    std::int64_t t = 0;
    for (int k = 0; k < event_count - 1; ++k) {
        MidiEvent* e = event_table[k];
        t += e->delta;
        if (t < tick) continue;
        if (!HasRoom()) {
            DestroyEvent(event);
            ErrorMsg(kErrTrackTooMuchData);
            return;
        }
        event->delta = ClampToInt(e->delta - (t - tick));
        e->delta = ClampToInt(t - tick);
        InsertEvent(k, kInsertBefore, event);
        if (mode == kInsertBefore) return;
        // After the events already at that tick, but before an end of track.
        while (k + 1 < event_count && event_table[k + 1]->delta == 0 &&
               !event_table[k + 1]->IsEndOfTrack()) {
            SwapEventExceptDelta(k, k + 1);
            ++k;
        }
        return;
    }

    event->delta = ClampToInt(tick - t);
    const bool new_is_end = event->IsEndOfTrack();
    if (new_is_end && last->IsEndOfTrack()) {
        // The end of track moves to tick.
        last->delta = event->delta;
        DestroyEvent(event);
        return;
    }
    if (!HasRoom()) {
        DestroyEvent(event);
        ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    if (new_is_end) {
        event->delta -= last->delta;
        if (event->delta < 0) {
            ErrorMsg(kErrGeneral);
            event->delta = 0;
        }
        AddEvent(event);
        return;
    }
    // The last event keeps its absolute time, or follows the new event
    // directly when that lies beyond it.
    last->delta = std::max(0, last->delta - event->delta);
    InsertEvent(event_count - 1, kInsertBefore, event);
}

void MidiTrackData::InsertTempo(int index, unsigned long tempo) try {
    if (tempo == 0) {
        ErrorMsg(kErrTrackTempoData);
        tempo = kDefaultTempo;
    }
    auto event = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
    event->SetTempo(tempo);
    InsertEvent(index, kInsertBefore, event.release());
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// ---- deleting ----

void MidiTrackData::DeleteEvent(int index) {
    if (index < 0 || index >= event_count) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    MidiEvent** table = event_table.get();
    if (index + 1 < event_count) table[index + 1]->delta += table[index]->delta;
    DestroyEvent(table[index]);
    std::move(table + index + 1, table + event_count, table + index);
    table[--event_count] = nullptr;
}

void MidiTrackData::DeleteNop() {
    const int negative = RemoveEvents(
        *this, [](const MidiEvent& e) { return e.status == kEvNone; },
        [this](MidiEvent* e) { DestroyEvent(e); });
    for (int i = 0; i < negative; ++i) ErrorMsg(kErrTrackInternal);
}

void MidiTrackData::DeleteAllEvent() {
    for (int i = 0; i < event_count; ++i) {
        DestroyEvent(event_table[i]);
        event_table[i] = nullptr;
    }
    event_count = 0;
}

void MidiTrackData::DeleteEndOfTrack() {
    RemoveEvents(
        *this, [](const MidiEvent& e) { return e.IsEndOfTrack(); },
        [this](MidiEvent* e) { DestroyEvent(e); });
}

void MidiTrackData::DeleteDuplicateEndOfTrack() {
    MidiEvent* last = event_count > 0 ? event_table[event_count - 1] : nullptr;
    RemoveEvents(
        *this, [last](const MidiEvent& e) { return &e != last && e.IsEndOfTrack(); },
        [this](MidiEvent* e) { DestroyEvent(e); });
    AddEndOfTrack(0);
}

int MidiTrackData::DeleteDuplicateSongTitle() {
    bool seen = false;
    RemoveEvents(
        *this,
        [&seen](const MidiEvent& e) {
            if (!e.IsMeta(kSongTitleMeta)) return false;
            const bool later = seen;
            seen = true;
            return later;
        },
        [this](MidiEvent* e) { DestroyEvent(e); });
    return seen ? 1 : 0;
}

void MidiTrackData::DeleteSongTitle() {
    RemoveEvents(
        *this, [](const MidiEvent& e) { return e.IsMeta(kSongTitleMeta); },
        [this](MidiEvent* e) { DestroyEvent(e); });
}
