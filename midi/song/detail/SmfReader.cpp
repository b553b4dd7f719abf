// The one reader of Standard MIDI File images (see SmfReader.h).
#include "midi/song/detail/SmfReader.h"

#include "midi/song/MidiData.h"
#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/SmfImage.h"

namespace retrograde::detail {

std::optional<SmfHeader> ParseHeader(const unsigned char* image, long size) {
    if (!HasTag(image, size, 0, "MThd") || size < kSmfHeaderSize) return std::nullopt;
    SmfHeader header;
    header.format = image[8] * 256 + image[9];
    header.track_count = image[10] * 256 + image[11];
    header.division = DivisionFromHeader(image[12], image[13]);
    header.first_chunk = FirstChunkOffset(image, size, 0);
    return header;
}

HeaderFault CheckHeader(const std::optional<SmfHeader>& header, int format) {
    if (!header) return HeaderFault::NotMidi;
    if (header->format != format) return HeaderFault::WrongFormat;
    if (format == 0) return header->track_count == 1 ? HeaderFault::None : HeaderFault::TrackCount;
    // A song without tracks is no song; say so rather than load nothing.
    if (header->track_count == 0) return HeaderFault::TrackCount;
    if (header->track_count > kSmfMaxHeaderTracks) return HeaderFault::TooManyTracks;
    return HeaderFault::None;
}

const char* HeaderFaultText(HeaderFault fault, int format) {
    switch (fault) {
        case HeaderFault::None:
            return nullptr;
        case HeaderFault::NotMidi:
            return format == 0 ? kTextF0NotMidi : kTextF1NotMidi;
        case HeaderFault::WrongFormat:
            return format == 0 ? kTextF0NotFormat0 : kTextF1NotFormat1;
        case HeaderFault::TrackCount:
        case HeaderFault::TooManyTracks:
            return format == 0 ? kTextF0TrackCount : kTextF1Track;
    }
    return nullptr;
}

namespace {

// A chunk read shorter than its header declares was cut off (by the end of
// the file, or by the room a track has).
void NoteDamage(MidiDamage& damage, int index, const unsigned char* chunk,
                const MidiTrackData& track) {
    const long declared =
        (static_cast<long>(chunk[4]) << 24) | (chunk[5] << 16) | (chunk[6] << 8) | chunk[7];
    const long read = track.size - kSmfChunkHeaderSize;
    if (read < declared) damage.cut.push_back({index, read, declared});
    if (track.skipped_bytes > 0) damage.skipped.push_back({index, track.skipped_bytes});
}

}  // namespace

template <class Track>
SmfTracks<Track> ReadTracks(unsigned char* image, long size, long offset, int count,
                            NotePairing* pairing) {
    SmfTracks<Track> read;
    read.end = offset;
    read.damage.announced = count;
    for (int i = 0; i < count; ++i) {
        read.end = SkipForeignChunks(image, size, read.end);
        if (read.end > size - 8) {
            read.missing = true;
            break;
        }
        auto track = pairing != nullptr ? std::make_unique<Track>(size, read.end, image, *pairing)
                                        : std::make_unique<Track>(size, read.end, image);
        // A refused chunk (the track reader has said why) ends the reading:
        // what follows is no track either.
        if (track->form != kFormQ1) break;
        NoteDamage(read.damage, static_cast<int>(read.tracks.size()), image + read.end, *track);
        read.end += track->size;
        RepairEndOfTrack(track.get());
        // Before the next track is read into the same pairing.
        if (pairing != nullptr) track->Q1toQ2(*pairing);
        read.tracks.push_back(std::move(track));
    }
    read.damage.found = static_cast<int>(read.tracks.size());
    return read;
}

template <class Track>
SmfRead<Track> ReadSmf(unsigned char* image, long size, int format, NotePairing* pairing) {
    SmfRead<Track> read;
    read.header = ParseHeader(image, size);
    read.fault = CheckHeader(read.header, format);
    if (!read.Accepted()) return read;
    const int count =
        read.fault == HeaderFault::TooManyTracks ? kSmfTracksReadOnError : read.header->track_count;
    read.body = ReadTracks<Track>(image, size, read.header->first_chunk, count, pairing);
    // Tracks beyond those read on a header's error are lost as well.
    read.body.damage.announced = read.header->track_count;
    return read;
}

template SmfTracks<MidiTrackData> ReadTracks(unsigned char*, long, long, int, NotePairing*);
template SmfTracks<MidiF1TrackData> ReadTracks(unsigned char*, long, long, int, NotePairing*);
template SmfRead<MidiTrackData> ReadSmf(unsigned char*, long, int, NotePairing*);
template SmfRead<MidiF1TrackData> ReadSmf(unsigned char*, long, int, NotePairing*);

}  // namespace retrograde::detail
