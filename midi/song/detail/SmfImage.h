// Checked helpers for the bytes of a whole Standard MIDI File image, shared by
// the song readers. Nothing here reads outside [image, image + size).
#pragma once

#include <cstdint>

class MidiTrackData;

namespace retrograde::detail {

// True when the 4 bytes at offset lie inside the image and spell tag.
bool HasTag(const unsigned char* image, long size, long offset, const char* tag);
std::uint32_t Be32(const unsigned char* p);
std::uint32_t Le32(const unsigned char* p);

// A RIFF "RMID" file carries the Standard MIDI File in its "data" chunk:
// moves that chunk's contents to the front and sets *size to their length.
// True when the image was unwrapped.
bool UnwrapRmid(unsigned char* image, long* size);

// Brings the "MThd" chunk of an image to offset 0: unwraps RMID, removes a
// 128-byte MacBinary header. *size follows. False when there is no "MThd".
bool LocateHeader(unsigned char* image, long* size);

// Where the first chunk after the header starts: 8 + the header's length
// field (a longer header than 6 bytes is skipped as the SMF rules ask).
long FirstChunkOffset(const unsigned char* image, long size, long header);

// Division from the header's two bytes; never 0 (see MidiData.cpp).
int DivisionFromHeader(unsigned char high, unsigned char low);

// Skips chunks other than "MTrk" that lie wholly inside the image (vendors'
// chunks such as "XFIH" or an unknown "MUnk"); returns the offset of the next
// chunk, which is not one of those.
long SkipForeignChunks(const unsigned char* image, long size, long offset);

// A track read from a file may lack its end of track (a truncated file) or
// carry one in the middle (bytes after it in the chunk): leaves exactly one,
// at the end, so the track can be converted and written.
void RepairEndOfTrack(MidiTrackData* track);

}  // namespace retrograde::detail
