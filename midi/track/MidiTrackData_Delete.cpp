// Deletion and truncation: removing events by kind, number, channel, text or
// time, cutting a track at a tick, shortening notes, and expression folded
// into volume. Every operation keeps the absolute time of the events that stay.
// Operations that remove every match mark the events and remove them in one
// DeleteNop pass (the same result as deleting them one by one, in linear
// time); operations that remove only the first match use DeleteEvent.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::MarkNone;

constexpr int kFullLevel = 127;

using retrograde::detail::MetaText;

}  // namespace

// Marks every event for which pred holds and removes them; returns how many.
template <typename Pred>
static int RemoveAll(MidiTrackData& track, Pred pred) {
    int removed = 0;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent* event = track.event_table[i];
        // pred sees every event, so that it can keep a running time.
        if (pred(event) && event->status != kEvNone) {
            MarkNone(event);
            ++removed;
        }
    }
    if (removed > 0) track.DeleteNop();
    return removed;
}

// Deletes the first event for which pred holds; 1 when there was one.
template <typename Pred>
static int RemoveFirst(MidiTrackData& track, Pred pred) {
    for (int i = 0; i < track.event_count; ++i) {
        if (pred(track.event_table[i])) {
            track.DeleteEvent(i);
            return 1;
        }
    }
    return 0;
}

void MidiTrackData::DeleteControlChange(unsigned char number, int from, int to) {
    std::int64_t tick = 0;
    RemoveAll(*this, [&](const MidiEvent* event) {
        tick += event->delta;
        return event->status == kEvControl && event->number == number && from <= tick && tick <= to;
    });
}

void MidiTrackData::DeleteAllControlChange() {
    RemoveAll(*this, [](const MidiEvent* event) { return event->status == kEvControl; });
}

int MidiTrackData::DeleteControlChange(unsigned char number) {
    return RemoveFirst(*this, [&](const MidiEvent* event) {
        return event->status == kEvControl && event->number == number;
    });
}

int MidiTrackData::DeleteProgramChange(int channel) {
    const int removed = RemoveAll(*this, [&](const MidiEvent* event) {
        return event->status == kEvProgram && (channel == -1 || event->channel == channel);
    });
    return removed > 0 ? 1 : 0;
}

int MidiTrackData::DeleteProgramChange() {
    return DeleteProgramChange(-1);
}

int MidiTrackData::DeletePitchBend() {
    const int removed = RemoveAll(*this, [](const MidiEvent* event) {
        return event->status == kEvPitchBend && event->channel >= 0 &&
               event->channel < kMidiChannels;
    });
    return removed > 0 ? 1 : 0;
}

int MidiTrackData::DeleteSysExF0(unsigned char type) {
    return RemoveFirst(*this, [&](const MidiEvent* event) {
        return event->status == kEvSysEx && event->number == type;
    });
}

int MidiTrackData::DeleteSysExF0(int channel, unsigned char type) {
    return RemoveFirst(*this, [&](const MidiEvent* event) {
        return event->status == kEvSysEx && event->number == type && event->channel == channel;
    });
}

int MidiTrackData::DeleteSysExF0() {
    return RemoveFirst(*this, [](const MidiEvent* event) { return event->status == kEvSysEx; });
}

int MidiTrackData::DeleteSysExF7() {
    return RemoveFirst(*this,
                       [](const MidiEvent* event) { return event->status == kEvSysExEscape; });
}

void MidiTrackData::DeleteMasterVolume() {
    RemoveAll(*this, [](const MidiEvent* event) {
        return event->status == kEvSysEx && event->number == kExTypeMasterVolume;
    });
}

// Only a real channel (0..15) is looked for: 255 marks the events that have
// none (meta events, the end of track among them), which are never meant here.
int MidiTrackData::DeleteChanel(int channel) {
    if (channel < 0 || channel >= kMidiChannels) return 0;
    const int removed =
        RemoveAll(*this, [&](const MidiEvent* event) { return event->channel == channel; });
    return removed > 0 ? 1 : 0;
}

int MidiTrackData::DeleteMetaEvent(int tick, unsigned char type, char* text) {
    if (text == nullptr) return 0;
    const std::string_view wanted(text);
    std::int64_t now = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* event = event_table[i];
        now += event->delta;
        if (now == tick && event->IsMeta(type) && MetaText(event) == wanted) {
            DeleteEvent(i);
            return 1;
        }
    }
    return 0;
}

int MidiTrackData::DeleteMetaEvent(unsigned char type) {
    return RemoveFirst(*this, [&](const MidiEvent* event) { return event->IsMeta(type); });
}

int MidiTrackData::DeleteAllMetaEvent(unsigned char type) {
    RemoveAll(*this, [&](const MidiEvent* event) { return event->IsMeta(type); });
    return 0;
}

void MidiTrackData::DeleteAllMetaEvent() {
    RemoveAll(*this, [](const MidiEvent* event) {
        return event->status == kEvMeta && !event->IsEndOfTrack();
    });
}

void MidiTrackData::DeleteAllMetaEventExceptSeqName() {
    RemoveAll(*this, [](const MidiEvent* event) {
        return event->status == kEvMeta && !event->IsEndOfTrack() &&
               event->number != kMetaTrackName;
    });
}

void MidiTrackData::DeleteAllEventExceptEndOfTrack() {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (event_count == 0) return;
    // The last event takes every delta, so it keeps its absolute time.
    for (int i = 0; i < event_count - 1; ++i) MarkNone(event_table[i]);
    DeleteNop();
    if (event_count != 1 || !event_table[0]->IsEndOfTrack()) ErrorMsg(kErrTrackInternal);
}

void MidiTrackData::DeleteAllEventExceptNote() {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    RemoveAll(*this, [](const MidiEvent* event) { return event->status != kEvNote; });
}

void MidiTrackData::DeleteEventAfterSpecifiedDelta(long tick, int status) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    std::int64_t now = 0;
    bool past = false;
    RemoveAll(*this, [&](const MidiEvent* event) {
        now += event->delta;
        past = past || now > tick;
        return past && event->status == status;
    });
}

int MidiTrackData::DeleteInvalidDrum(bool report) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    bool moved = false;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (event->status != kEvNote) continue;
        if (event->note < kDrumLowestNote || event->note > kDrumHighestNote) {
            event->note = kDrumLowestNote;
            moved = true;
        }
    }
    if (moved && report) ErrorMsg(kErrTrackDrumRange);
    return CleanUpDuplicateNoteOnOff(false);
}

int MidiTrackData::DeleteInvalidDrum() {
    return DeleteInvalidDrum(true);
}

// From the first event at or after tick on, the ends of track stay with delta
// 0 and everything else goes, so the end of track lands at the time of the
// last event before tick.
void MidiTrackData::ShortenData(long tick) {
    std::int64_t now = 0;
    int first = 0;
    while (first < event_count) {
        now += event_table[first]->delta;
        if (now >= tick) break;
        ++first;
    }
    if (first >= event_count) return;
    for (int i = first; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        event->delta = 0;
        if (!event->IsEndOfTrack()) MarkNone(event);
    }
    DeleteNop();
}

void MidiTrackData::ShortnTrackDuration(int tick) {
    std::int64_t before = 0;  // absolute time of the event before
    int first = 0;
    while (first < event_count && before + event_table[first]->delta < tick) {
        before += event_table[first]->delta;
        ++first;
    }
    if (first >= event_count) return;
    // A tick before the track's start cannot be reached: the event stays at 0.
    event_table[first]->delta = static_cast<int>(std::max<std::int64_t>(0, tick - before));
    if (first + 1 >= event_count) return;
    for (int i = first + 1; i < event_count; ++i) MarkNone(event_table[i]);
    DeleteNop();
}

void MidiTrackData::ShortenNoteAfterSpecifiedDelta(long tick) {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    std::int64_t now = 0;
    bool marked = false;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        now += event->delta;
        if (now > tick) break;
        if (event->status != kEvNote || now + event->duration <= tick) continue;
        event->duration = static_cast<int>(tick - now);
        if (event->duration == 0) {
            MarkNone(event);
            marked = true;
        }
    }
    if (marked) DeleteNop();
}

void MidiTrackData::ConvertExpressionToVolume() {
    std::array<std::int64_t, kMidiChannels> volume;
    std::array<std::int64_t, kMidiChannels> expression;
    volume.fill(kFullLevel);
    expression.fill(kFullLevel);
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (event->status != kEvControl || event->channel < 0 || event->channel >= kMidiChannels) {
            continue;
        }
        const auto channel = static_cast<std::size_t>(event->channel);
        if (event->number == kCcVolume) {
            volume[channel] = event->value;
        } else if (event->number == kCcExpression) {
            expression[channel] = event->value;
            event->number = kCcVolume;
            event->data[1] = kCcVolume;
        } else {
            continue;
        }
        // Out-of-range values from outside cannot push the level beyond 0..127.
        const std::int64_t level = volume[channel] * expression[channel] / kFullLevel;
        event->value = static_cast<int>(std::clamp<std::int64_t>(level, 0, kFullLevel));
        event->data[2] = static_cast<unsigned char>(event->value);
    }
}
