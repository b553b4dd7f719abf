// The one reader of Standard MIDI File images: the header and the track
// chunks of an image, as both song classes take them. It says nothing about
// a header it cannot use: it returns what is wrong, and the song says so in
// its own words (the track reader reports the chunks it refuses itself).
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "midi/song/MidiDamage.h"
#include "midi/track/detail/NotePairing.h"

// Tracks a header may announce; beyond that only kTracksReadOnError are read.
inline constexpr int kSmfMaxHeaderTracks = 63;
inline constexpr int kSmfTracksReadOnError = 32;

namespace retrograde::detail {

// What a song says of a header it refuses. Each song's message table and the
// reading of the other format share these words.
inline constexpr char kTextF0NotMidi[] =
    "MIDIファイルではないか、ファイルにマックバイナリがついています。";
inline constexpr char kTextF0NotFormat0[] = "Format 0のファイルではありません。";
inline constexpr char kTextF0TrackCount[] = "トラック数に誤りがあります。";
inline constexpr char kTextF1NotMidi[] =
    "Midiファイルではないか、ファイルにマックバイナリがついています。";
inline constexpr char kTextF1NotFormat1[] = "フォーマット１ではありません。";
inline constexpr char kTextF1Track[] = "Track Error";

struct SmfHeader {
    int format = 0;        // bytes 8-9
    int track_count = 0;   // bytes 10-11, as announced
    int division = 0;      // never 0 (see DivisionFromHeader)
    long first_chunk = 0;  // where the chunk after the header starts
};

// The header at offset 0 (LocateHeader brings it there); nothing when the
// image does not start with "MThd" or ends inside the header's fields.
std::optional<SmfHeader> ParseHeader(const unsigned char* image, long size);

enum class HeaderFault {
    None,
    NotMidi,        // no header at all
    WrongFormat,    // not the format the song reads
    TrackCount,     // a track count the format cannot have: refused
    TooManyTracks,  // more than kSmfMaxHeaderTracks: the first kSmfTracksReadOnError are read
};

// A header checked as a song of format (0 or 1) checks it.
HeaderFault CheckHeader(const std::optional<SmfHeader>& header, int format);
// The words of kText... for a fault of a reading of format; null for None.
const char* HeaderFaultText(HeaderFault fault, int format);

// Track chunks as read: each in form Q1 (Q2 when read with a pairing), with
// exactly one end of track, at its end.
template <class Track>
struct SmfTracks {
    std::vector<std::unique_ptr<Track>> tracks;
    long end = 0;          // where reading stopped
    bool missing = false;  // the image ended before every announced chunk was found
    MidiDamage damage;     // chunks cut off or missing, bytes skipped
};

// Reads up to count chunks from offset, skipping vendors' chunks between
// them; stops at the end of the image or at a chunk the track reader refuses.
// With a pairing, the notes of each track are paired as it is read and the
// track goes on to form Q2 at once, so one pairing serves every track.
template <class Track>
SmfTracks<Track> ReadTracks(unsigned char* image, long size, long offset, int count,
                            NotePairing* pairing);

// A whole image (its header already brought to offset 0) read as a song of
// format. The tracks are read when the header is accepted.
template <class Track>
struct SmfRead {
    std::optional<SmfHeader> header;
    HeaderFault fault = HeaderFault::NotMidi;
    SmfTracks<Track> body;
    bool Accepted() const {
        return fault == HeaderFault::None || fault == HeaderFault::TooManyTracks;
    }
};

template <class Track>
SmfRead<Track> ReadSmf(unsigned char* image, long size, int format, NotePairing* pairing);

}  // namespace retrograde::detail

class MidiTrackData;
class MidiF1TrackData;
extern template retrograde::detail::SmfTracks<MidiTrackData> retrograde::detail::ReadTracks(
    unsigned char*, long, long, int, retrograde::detail::NotePairing*);
extern template retrograde::detail::SmfTracks<MidiF1TrackData> retrograde::detail::ReadTracks(
    unsigned char*, long, long, int, retrograde::detail::NotePairing*);
extern template retrograde::detail::SmfRead<MidiTrackData> retrograde::detail::ReadSmf(
    unsigned char*, long, int, retrograde::detail::NotePairing*);
extern template retrograde::detail::SmfRead<MidiF1TrackData> retrograde::detail::ReadSmf(
    unsigned char*, long, int, retrograde::detail::NotePairing*);
