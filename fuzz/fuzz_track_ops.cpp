// A whole file read as a format-1 song, then every track operation on every
// track, with grids, spans and values taken from the file's last bytes. The
// edits that keep events keep their count; no delta goes negative.
#include <cstdint>

#include "F1TrackOperations.h"
#include "FuzzSupport.h"
#include "TrackOperations.h"
#include "midi/song/MidiF1Data.h"

namespace {

// A value from the input's tail, so that the fuzzer steers the parameters.
int Pick(const std::uint8_t* data, std::size_t size, std::size_t back, int low, int high) {
    const int byte = back < size ? data[size - 1 - back] : 0;
    return low + byte % (high - low + 1);
}

void Check(const MidiTrackData& t) {
    for (int i = 0; i < t.event_count; ++i) {
        if (t.event_table[i]->delta < 0) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF1Data song(data, static_cast<long>(size));
    song.GetNumBeat();
    TrackOpArgs a;
    a.division = Pick(data, size, 0, 0, 255) * 4;
    a.grid = Pick(data, size, 1, 0, 250);
    a.from = Pick(data, size, 2, 0, 255) * 16 - 32;
    a.to = a.from + Pick(data, size, 3, 0, 255) * 16;
    a.value = Pick(data, size, 4, -2, 130);
    a.channel = Pick(data, size, 5, -2, 17);
    a.pick = Pick(data, size, 6, 0, 255);
    a.number = Pick(data, size, 7, -1, 130);
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (!song.GetTrack(n)) continue;
        MidiTrackData& t = *song.GetTrack(n);
        const int count = t.event_count;
        KeepingEdits(t, a);
        if (t.event_count != count) __builtin_trap();
        Check(t);
        Queries(t, a);
        MidiTrackData cut(&t);
        Deletions(cut, a);
        Check(cut);
        MidiF1TrackData other(&t);
        MidiF1TrackData f1(&t);
        F1CleanUpsAndQueries(f1, a);
        F1Edits(f1, other, a);
        Check(f1);
        MidiF1TrackData area(&t);
        F1AreaEdits(area, a);
        Check(area);
        MidiF1TrackData analysed(&t);
        F1Analysis(analysed, other, a);
        Check(analysed);
    }
    // Each family again on the loaded tracks, with values out of range too.
    a.value = Pick(data, size, 8, -300, 300);
    a.channel = Pick(data, size, 9, -2, 33);
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (!song.GetTrack(n)) continue;
        MidiTrackData& t = *song.GetTrack(n);
        MidiTrackData q1(&t);
        q1.Q2toQ1();
        PolyAndRange(t, q1, a);
        if (!FileValues(q1)) __builtin_trap();
        Check(t);
        EventEdits(t, a);
        if (!FileValues(t)) __builtin_trap();
    }
    return 0;
}
