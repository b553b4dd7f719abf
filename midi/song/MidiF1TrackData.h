// A track of a format-1 song: a MidiTrackData with the analysis operations
// that work on one track of a song.
#pragma once

#include "midi/track/MidiTrackData.h"

class MidiF1TrackData : public MidiTrackData {
public:
    // ---- construction (MidiF1TrackData.cpp) ----
    MidiF1TrackData() = default;
    explicit MidiF1TrackData(int form) : MidiTrackData(form) {}
    MidiF1TrackData(int form, int second);  // only an end of track; second has no effect
    MidiF1TrackData(long size, long position, unsigned char* buffer);  // decodes one chunk
    // The same, pairing the notes as they are read (see MidiTrackData).
    MidiF1TrackData(long size, long position, unsigned char* buffer,
                    retrograde::detail::NotePairing& pairing);
    explicit MidiF1TrackData(MidiTrackData* other);             // deep copy
    MidiF1TrackData(MidiF1TrackData* other, int from, int to);  // the ticks [from, to)
    // Takes over count records (in order) and marks the track with form.
    MidiF1TrackData(MidiEvent** events, int count, int form);
};
