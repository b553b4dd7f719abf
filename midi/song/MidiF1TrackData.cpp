// Construction of the tracks of a format-1 song.
#include "midi/song/MidiF1TrackData.h"

#include <array>

#include "General/detail/ClassMessages.h"

namespace {
using retrograde::detail::MessageText;
// Every other code (callers pass 0, 0x02000003 or 0x0D000001) shows
// "MidiF1TrackDataでエラーが発生しました。".
constexpr std::array kF1TrackTexts = {
    MessageText{kErrF1TrackZeroVoices, "０ボイスには間引けません。"},
};
constexpr retrograde::detail::MessageTable kF1TrackMessages{"MidiF1TrackData", kF1TrackTexts};
}  // namespace

int MidiF1TrackData::ErrorMsg(int code) {
    return retrograde::detail::ShowError(kF1TrackMessages, code);
}

MidiF1TrackData::MidiF1TrackData(int form, int /*second*/) : MidiTrackData(form) {
    AddEndOfTrack();
}

MidiF1TrackData::MidiF1TrackData(long size, long position, unsigned char* buffer)
    : MidiTrackData(size, position, buffer) {}

MidiF1TrackData::MidiF1TrackData(long size, long position, unsigned char* buffer,
                                 retrograde::detail::NotePairing& pairing)
    : MidiTrackData(size, position, buffer, pairing) {}

MidiF1TrackData::MidiF1TrackData(MidiTrackData* other) {
    if (other == nullptr) return;
    // Copies are deep in either event form.
    if (other->form == kFormQ1) {
        SetQ1TrackData(other);
    } else {
        SetTrackData(other);
    }
}

MidiF1TrackData::MidiF1TrackData(MidiF1TrackData* other, int from, int to)
    : MidiTrackData(other, from, to) {}

MidiF1TrackData::MidiF1TrackData(MidiEvent** events, int count, int form) : MidiTrackData(form) {
    if (events == nullptr) return;
    // The track adopts every record; one that the full table refuses is freed there.
    for (int i = 0; i < count; ++i) {
        if (events[i] != nullptr) AddEvent(events[i]);
    }
}
