// Track operations a format-0 song offers on its one track, so that a caller
// holding the song need not reach into it.
#include "midi/song/MidiF0Data.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

// The song's track, or null (reported) when the song holds only bytes.
MidiTrackData* TrackOf(MidiF0Data& song) {
    MidiTrackData* track = song.form != kFormRaw ? song.GetTrack() : nullptr;
    if (track == nullptr) song.ErrorMsg(kErrF0Internal);
    return track;
}

}  // namespace

int MidiF0Data::DeleteControlChange(unsigned char controller) {
    MidiTrackData* t = TrackOf(*this);
    if (t == nullptr) return 0;
    // One pass instead of one call per event: the same events go, and the
    // last call, which finds none, answers 0.
    retrograde::detail::RemoveEvents(
        *t, [&](const MidiEvent& e) { return e.status == kEvControl && e.number == controller; },
        [](MidiEvent* e) { delete e; });
    return 0;
}

void MidiF0Data::ExtractChanelData(int channel) {
    if (MidiTrackData* t = TrackOf(*this)) t->ExtractChanelData(channel);
}

int MidiF0Data::PackDrumSet() {
    MidiTrackData* t = TrackOf(*this);
    return t != nullptr ? t->PackDrumSet() : 0;
}

int MidiF0Data::IsEventExist(int status, int from, int to) {
    MidiTrackData* t = TrackOf(*this);
    return t != nullptr ? t->IsEventExist(status, from, to) : 0;
}

int MidiF0Data::CheckDoubleNote() {
    MidiTrackData* t = TrackOf(*this);
    return t != nullptr ? t->CheckDoubleNote() : 0;
}

int MidiF0Data::GetNumEvent(int from, int to) {
    MidiTrackData* t = TrackOf(*this);
    return t != nullptr ? t->GetNumEvent(from, to) : 0;
}
