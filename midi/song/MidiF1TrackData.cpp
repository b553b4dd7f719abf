// Construction of the tracks of a format-1 song.
#include "midi/song/MidiF1TrackData.h"

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
