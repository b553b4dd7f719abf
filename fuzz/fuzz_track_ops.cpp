// A whole file read as a format-1 song, then the editing operations on every
// track, with grids, units and ranges taken from the file's last bytes. The
// events must keep their count and their order.
#include <cstdint>

#include "FuzzSupport.h"
#include "midi/song/MidiF1Data.h"

namespace {

// A value from the input's tail, so that the fuzzer steers the parameters.
int Pick(const std::uint8_t* data, std::size_t size, std::size_t back, int low, int high) {
    const int byte = back < size ? data[size - 1 - back] : 0;
    return low + byte % (high - low + 1);
}

void Edit(MidiTrackData& t, const std::uint8_t* data, std::size_t size) {
    const int grid = Pick(data, size, 0, 0, 255);
    const int unit = Pick(data, size, 1, 0, 250);
    const int from = Pick(data, size, 2, 0, 255) * 16;
    const int to = from + Pick(data, size, 3, 0, 255) * 16;
    const int value = Pick(data, size, 4, -2, 130);
    const int count = t.event_count;
    t.GetTrackLen();
    t.QuantizeData(Pick(data, size, 5, 0, 16), grid * 4);
    t.SwingData(unit);
    t.SwingHarmonyAndDrumData(unit);
    t.SetSwingPositionMany(from, to, unit, Pick(data, size, 6, 0, 70));
    t.FixPostion(Pick(data, size, 7, 0, 255) % (count + 1), from, unit, unit / 3);
    t.ModifyDeltaTime(grid);
    t.ModifyDeltaTime(from, to, grid);
    t.ModifyDuration(grid, Pick(data, size, 8, 0, 3));
    t.ModifyDuration(grid);
    t.ModifyDuration(from, to, grid);
    t.ModifyInterval(unit - 10);
    t.ModifyEventValue(kEvControl, value % 128, value);
    t.ModifyEventValue(kEvSysEx, kExTypeMasterVolume, value);
    t.ModifyEventValue(kEvSysEx, Pick(data, size, 9, 0, 127), value);
    t.ModifyEventValue(kEvMeta, kMetaTimeSignature, Pick(data, size, 10, 0, 0xFFFF));
    t.ModifyEventValue(kEvMeta, kMetaTempo, value * 5000);
    t.ModifyEventValueRange(kEvControl, kCcVolume, value, 100);
    t.CheckEventTime(grid);
    t.CheckEventTime(from, to, grid);
    t.CheckTempoRange(value, 200);
    t.CheckAreaTempoRange(from, to, value, 200);
    t.CheckTimeSingLocation(grid);
    t.CheckOrderOfBankSelectAndProgramChange();
    t.CheckEventLocation(from, kEvNote);
    t.IsEventExist(kEvControl, from, to);
    if (t.event_count != count) __builtin_trap();
    for (int i = 0; i < t.event_count; ++i) {
        if (t.event_table[i]->delta < 0) __builtin_trap();
    }
}

// Polyphony, note range, velocity and time spans: the counts may change here,
// times and velocities must stay valid.
void PolyAndRange(MidiTrackData& t, const std::uint8_t* data, std::size_t size) {
    const int limit = Pick(data, size, 11, 0, 6);
    const int from = Pick(data, size, 12, 0, 255) * 8;
    const int to = from + Pick(data, size, 13, -2, 255) * 8;
    int priority[4][12] = {{Pick(data, size, 14, -40, 40), 4, 7}, {3}, {6}, {-1}};
    int keep[] = {Pick(data, size, 15, -1, 17)};
    t.GetNumPoly(false);
    t.GetNumVoice();
    t.GetNumDrumVoice();
    t.CheckDoubleNote();
    t.GetLastNotePos();
    t.GetDurationTime(from, to, Pick(data, size, 16, -1, 960));
    MidiTrackData q1(&t);
    q1.Q2toQ1();
    q1.ReduceNumPoly(limit);
    q1.ReduceNumPoly(limit, keep, 1, Pick(data, size, 17, 0, 3), priority, limit % 2 == 0);
    q1.SetNumPoly(limit);
    t.SetNumPoly(limit);
    t.AdjustNoteRange(Pick(data, size, 18, -1, 16), from % 128, to % 128, limit % 3);
    t.SetMaxVelocity(limit);
    t.SetFadeOut(from, to);
    t.ExtractArea(from, to);
    t.ExtractChanelData(Pick(data, size, 19, -1, 16));
    for (const MidiTrackData* track : {&t, &q1}) {
        for (int i = 0; i < track->event_count; ++i) {
            const MidiEvent& e = *track->event_table[i];
            if (e.delta < 0) __builtin_trap();
            if (e.status == kEvNote && (e.velocity < 0 || e.velocity > 127)) __builtin_trap();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QuietMessages();
    MidiF1Data song(data, static_cast<long>(size));
    song.GetNumBeat();
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (song.GetTrack(n)) Edit(*song.GetTrack(n), data, size);
    }
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (song.GetTrack(n)) PolyAndRange(*song.GetTrack(n), data, size);
    }
    song.GetNumPoly();
    song.ReduceNumPoly(Pick(data, size, 11, 0, 6));
    return 0;
}
