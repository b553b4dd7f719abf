// What the window tells about a loaded song: its playing time.
#pragma once

#include <QString>

class MidiF0Data;

// Seconds from the start to the end of the last sounding note or event,
// following the song's tempo changes (120 beats per minute before the first).
// 0 for a song without events or with a time-code division.
double SongSeconds(const MidiF0Data& song);
// "m:ss", or "h:mm:ss" from one hour on.
QString FormatSeconds(double seconds);
