/// @file
/// The MIDI file container: the data-file container plus the song-wide values
/// of a Standard MIDI File, and the free functions that classify and convert a
/// whole file image (format detection, MacBinary removal, format 0 <-> 1).
#pragma once

#include "midi/song/MidiDamage.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/MusicData.h"

/// What every song has besides its bytes: division, form and a fixed time signature.
class MidiData : public MusicData {
public:
    int division = 0;         ///< ticks per quarter note
    int form = kFormRaw;      ///< 0 Raw (the buffer holds the whole file), 1 Q1, 2 Q2
    int fixed_time_sign = 0;  ///< 0 none; else returned by GetTimeSign in place of the track's
    MidiDamage damage;        ///< what the last reading of a file could not take in

    MidiData() = default;
    ~MidiData() = default;

    int LoadFile();                  ///< through the open panel; form = Raw afterwards
    int LoadFile(const char* name);  ///< form = Raw afterwards
};

/// Removes a 128-byte MacBinary header in place: when magic is given, only if
/// the 4 bytes at offset 128 equal it. 1 when removed (*size 128 smaller), else 0.
int GneDeleteMacBinary(unsigned char* buffer, const unsigned char* magic, long* size);
/// 0 for a format-0 image, 1 for format 1, -1 for anything else. A MacBinary
/// header in front of "MThd" is removed in place (size is not changed).
int MidiGetFormat(unsigned char* image, long size);
/// Rewrites the image in place into format 0 or 1 and updates *size; the image
/// must have room for kMusicDataBufferSize bytes. 1 when the image holds the
/// requested format afterwards, 0 when it was refused (a message says why).
int MidiChangeFormat(unsigned char* image, long* size, int format);
