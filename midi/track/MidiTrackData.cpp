// Construction, deep copies and destruction of a track, and the track's two
// message functions (their tables are in detail/TrackMessages.h).
#include "midi/track/MidiTrackData.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "General/GeneralMac.h"
#include "midi/track/detail/Prefetch.h"
#include "midi/track/detail/TrackMessages.h"

using retrograde::detail::kTrackMessages;

std::unique_ptr<MidiEvent* []> MidiTrackData::NewEventTable() {
    // Allocated whole but not cleared: entries at or past event_count are never
    // read, and clearing 1 MiB for every track would slow down small songs.
    return std::make_unique_for_overwrite<MidiEvent*[]>(kMaxEvents);
}

MidiTrackData::MidiTrackData()
    : event_table(NewEventTable()) {}

MidiTrackData::MidiTrackData(int form) : form(form), event_table(NewEventTable()) {}

MidiTrackData::MidiTrackData(MidiTrackData* source) : event_table(NewEventTable()) {
    SetTrackData(source);
}

MidiTrackData::~MidiTrackData() {
    for (int i = 0; i < event_count; ++i) {
        retrograde::detail::PrefetchAhead(event_table.get(), i, event_count);
        DestroyEvent(event_table[i]);
    }
    event_count = 0;
}

void MidiTrackData::DestroyEvent(MidiEvent* event) {
    if (event == nullptr) return;
    // A long sequencer-specific area is given back before the record goes, as
    // the record's own size check expects.
    if (event->number == kMetaSequencerSpecific && event->length > MusicEvent::kDataSize - 1) {
        event->ResizeData(MusicEvent::kDataSize);
        event->length = 0;
    }
    delete event;
}

namespace {

// Copies every record of source into track's table, which must be empty.
// Returns false when memory ran out part way.
bool CopyRecords(MidiTrackData& track, const MidiTrackData& source) {
    const int count = source.event_count < kMaxEvents ? source.event_count : kMaxEvents;
    try {
        for (int i = 0; i < count; ++i) {
            retrograde::detail::PrefetchAhead(source.event_table.get(), i, count);
            track.event_table[i] = new MidiEvent(source.event_table[i]);
            track.event_count = i + 1;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

// Both copies replace whatever the track held: its own records are destroyed
// first, so nothing leaks when a track is filled twice.
void MidiTrackData::SetTrackData(MidiTrackData* source) {
    if (source == this) return;
    for (int i = 0; i < event_count; ++i) DestroyEvent(event_table[i]);
    event_count = 0;
    if (source == nullptr || source->form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    form = kFormQ2;
    if (!CopyRecords(*this, *source)) {
        GneErrorMsg(kGneErrNoMemory);
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::SetQ1TrackData(MidiTrackData* source) {
    if (source == this) return;
    for (int i = 0; i < event_count; ++i) DestroyEvent(event_table[i]);
    event_count = 0;
    if (source == nullptr || source->form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    form = kFormQ1;
    if (!CopyRecords(*this, *source)) {
        GneErrorMsg(kGneErrNoMemory);
        ErrorMsg(kErrTrackTooMuchData);
    }
}

namespace {

// A note off (velocity 0) as the reader would have made it.
MidiEvent* NewNoteOff(int channel, int note) {
    auto* off = new MidiEvent(0, MusicEvent::Compact{});
    off->SetNoteOffEvent(channel, note);
    off->velocity = 0;
    off->data[0] = static_cast<unsigned char>(kEvNoteOff + channel);
    off->data[1] = static_cast<unsigned char>(note);
    off->length = 3;
    return off;
}

// Events before the range are gathered at tick 0, so pitch bends pile up
// there although only the last one of each channel decides the bend in force
// when the range begins. The earlier ones are dropped, channel by channel;
// bends inside the range are the music and stay.
void PruneLeadingPitchBends(MidiTrackData& track) {
    std::array<int, kMidiChannels> last{};
    last.fill(-1);
    for (int i = 0; i < track.event_count && track.event_table[i]->delta == 0; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status != kEvPitchBend || e.channel < 0 || e.channel >= kMidiChannels) continue;
        if (last[e.channel] >= 0) track.event_table[last[e.channel]]->status = kEvNone;
        last[e.channel] = i;
    }
}

}  // namespace

MidiTrackData::MidiTrackData(MidiTrackData* source, int from, int to)
    : event_table(NewEventTable()) {
    if (source == nullptr) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    const bool q2 = source->form == kFormQ2;
    if (q2) {
        SetTrackData(source);
    } else {
        SetQ1TrackData(source);
    }
    if (form != kFormQ1 && form != kFormQ2) return;  // reported by the copy

    // Notes sounding at the end of the range (Q1 only), by channel and note.
    std::array<std::array<bool, kMidiNotes>, kMidiChannels> sounding{};
    long long t = 0;      // absolute time in the source; 64 bits, as ticks add up
    long long carry = 0;  // time of the events gathered at tick 0
    bool first_in_range = true;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        t += e.delta;
        if (t < from) {
            carry += e.delta;
            e.delta = 0;
            const bool note =
                q2 ? e.status == kEvNote : e.status == kEvNoteOn || e.status == kEvNoteOff;
            if (note) e.status = kEvNone;  // other events keep their effect, at tick 0
        } else if (t < to) {
            if (!q2 && e.channel >= 0 && e.channel < kMidiChannels && e.note >= 0 &&
                e.note < kMidiNotes) {
                if (e.status == kEvNoteOff) sounding[e.channel][e.note] = false;
                if (e.status == kEvNoteOn) sounding[e.channel][e.note] = e.velocity > 0;
            }
            if (first_in_range) {
                const long long shifted = e.delta + carry - from;
                if (shifted < 0) ErrorMsg(kErrGeneral);
                e.delta = static_cast<int>(shifted < 0 ? 0 : shifted);
                first_in_range = false;
            }
        } else {
            e.status = kEvNone;
            if (q2) e.delta = 0;
        }
    }
    if (!q2) {
        // The notes still sounding are closed where the range ends in the
        // copy, that is to - from ticks after its start, so no note outlasts
        // the range.
        const int end = static_cast<int>(std::max(0LL, static_cast<long long>(to) - from));
        for (int channel = 0; channel < kMidiChannels; ++channel) {
            for (int note = 0; note < kMidiNotes; ++note) {
                if (sounding[channel][note]) InsertEvent(end, NewNoteOff(channel, note));
            }
        }
    }
    if (event_count == 0 || !event_table[event_count - 1]->IsEndOfTrack()) {
        if (event_count < kMaxEvents) {
            auto* end = new MidiEvent(0, MusicEvent::Compact{});
            end->status = kEvMeta;
            end->number = kMetaEndOfTrack;
            event_table[event_count++] = end;
        } else {
            ErrorMsg(kErrTrackTooMuchData);
        }
    }
    PruneLeadingPitchBends(*this);
    DeleteNop();
}

int MidiTrackData::ErrorMsg(int code) {
    return ShowError(kTrackMessages, code);
}

int MidiTrackData::ErrorMsgOnce(int code) {
    return ShowErrorOnce(kTrackMessages, code);
}
