// Converting a whole file image between format 0 and format 1.
#include <algorithm>
#include <cstring>

#include "General/GeneralMac.h"
#include "midi/song/MidiData.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/SmfImage.h"

namespace {

bool Fits(long size, long room) {
    if (size <= room) return true;
    MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
    return false;
}

}  // namespace

int MidiChangeFormat(unsigned char* image, long* size, int format) try {
    if (format != 0 && format != 1) {
        GneErrorMsg(kGneErrNoMemory);
        return 0;
    }
    if (image == nullptr || size == nullptr || *size <= 0) return 0;
    // A wrapper (RMID, MacBinary) goes first, so that *size always tells
    // where the rewritten image ends.
    retrograde::detail::LocateHeader(image, size);
    if (MidiGetFormat(image, *size) == format) return 1;
    // The rewritten image goes over the caller's: it must fit the room the
    // caller is known to have, the image itself or a container's first buffer.
    const long room = std::max<long>(*size, kMusicDataBufferSize);

    // The intermediate songs are discarded, so their records are moved from
    // one to the next rather than copied.
    if (format == 1) {
        MidiF0Data song0(image, *size);
        // A song that was read holds at least its end of track.
        if (song0.track == nullptr || song0.track->event_count == 0) return 0;
        MidiF1Data song1(0);
        song1.FromMidiF0DataMoving(&song0);
        song1.Q2toQ1();
        if (!song1.Q1toRaw() || !Fits(song1.size, room)) return 0;  // the image stays as it was
        std::memcpy(image, song1.buffer, static_cast<std::size_t>(song1.size));
        *size = song1.size;
        return 1;
    }
    MidiF1Data song1(image, *size);
    if (song1.track_count == 0) return 0;
    MidiF0Data song0;
    song1.SetMidiF0DataMoving(&song0);
    song0.Q2toQ1();
    if (!song0.Q1toRaw() || !Fits(song0.size, room)) return 0;
    std::memcpy(image, song0.buffer, static_cast<std::size_t>(song0.size));
    *size = song0.size;
    return 1;
} catch (const std::exception&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}
