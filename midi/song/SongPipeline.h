/// @file
/// What the window and the command line share: the song read by name, its
/// mirrored copy as it plays and saves, its length in seconds and that length
/// as a text.
#pragma once

#include <memory>
#include <string>

#include "midi/song/MidiFileLoader.h"

/// The transforms asked for; horizontal always runs before vertical.
struct MirrorChoice {
    bool horizontal = false;  ///< backwards
    bool vertical = false;    ///< upside down (drums stay)
    /// Backwards, each passage keeps the sound it had (controllers, pitch bend,
    /// programs, tempo, meter and key as they were while it played).
    bool carry_state = false;
};

/// Reads the file at path exactly as named (a '*' in it is no pattern) through
/// the loader's own by-name entry. The loader holds the format-1 song, or
/// nothing when the file could not be read (the reasons have been reported).
std::unique_ptr<MidiFileLoader> LoadSongByName(const char* path);

/// A copy of song (Q2) in form Q1 with the chosen transforms applied; the song
/// itself is never changed. *setupKept, when given, receives the number of
/// events of the song's setup (its tick-0 controllers, exclusives, names and
/// texts) that the backwards mirror kept at the front.
std::unique_ptr<MidiF0Data> MirroredCopy(MidiF0Data* song, const MirrorChoice& choice,
                                         int* setupKept = nullptr);
/// The same transforms on song itself (Q2 in, Q1 out), for a caller that has
/// no further use for the song as it was: no copy is made.
void MirrorInPlace(MidiF0Data& song, const MirrorChoice& choice, int* setupKept = nullptr);

/// Seconds from the start to the end of the last sounding note or event,
/// following the song's tempo changes (120 beats per minute before the
/// first). 0 for a song without events or with a time-code division.
double SongSeconds(const MidiF0Data& song);
/// How long the mirrored song plays: the copy as above, its empty measures
/// before the first note removed as the player removes them.
double PlayedSeconds(MidiF0Data* song, const MirrorChoice& choice);
/// "m:ss", or "h:mm:ss" from one hour on; whole seconds, as a clock shows them.
std::string SongTimeText(double seconds);
