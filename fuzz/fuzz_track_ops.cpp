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

// The event edits, steered by the same tail: values, channels and spans
// from the input, in and out of range. Every value must stay one a file can
// hold and no delta may go negative.
void EditEvents(MidiTrackData& t, const std::uint8_t* data, std::size_t size) {
    const int value = Pick(data, size, 11, -300, 300);
    const int channel = Pick(data, size, 12, -2, 33);
    const int number = Pick(data, size, 13, -1, 130);
    const int from = Pick(data, size, 14, 0, 255) * 16;
    const int to = from + Pick(data, size, 15, 0, 255) * 16 - 64;
    char text[] = "Fuzz";
    static char map[128][128];
    map[Pick(data, size, 16, 0, 127)][Pick(data, size, 17, 0, 127)] =
        static_cast<char>(Pick(data, size, 18, 0, 255));
    t.AdditionControlChange(channel, number, value);
    t.RatioControlChange(channel, number, value);
    t.ReplaceControlChange(channel, number, value);
    t.ReplaceControlChange(from, to, number, value);
    t.ReplaceProgramChange(channel, value);
    t.ReplaceMasterVolume(value);
    t.ReplaceMetaEvent(static_cast<unsigned char>(number), static_cast<unsigned char>(value));
    t.InsertControlChange(channel, static_cast<unsigned char>(number), value);
    t.InsertMasterVolume(value);
    t.InsertMetaEventWithDelta(from, static_cast<unsigned char>(number), text);
    t.AddBendRange(from, channel, value);
    t.ShiftNote(channel, value * 1000);
    t.ShitfOctave(value);
    t.AddVelocity(value);
    t.ChangeDuration(value * 10000);
    t.UnifyNoteDuration(channel, value);
    t.SetNoteNo(number, value);
    t.UnifyChanel(channel);
    t.ChangeChanel(channel, number);
    t.DrumDrumMapping(number, map, value > 0);
    t.InsertBlankArea(from, value * 100000);
    t.DeleteAreaNoteAndPitchBend(from, to);
    t.PutSpecifiedEventFirst(kEvMeta, number, text);
    t.SetTempo(value * 100000L);
    t.SetTimeSign(0, number, value);
    t.SetKeySignature(from, value);
    t.SetProgramChange(channel, value);
    for (int i = 0; i < t.event_count; ++i) {
        const MidiEvent& e = *t.event_table[i];
        if (e.delta < 0) __builtin_trap();
        if (e.status < kEvNote || e.status >= kEvSysEx || e.status == kEvKeyPressure) continue;
        if (e.channel < 0 || e.channel > 15) __builtin_trap();
        for (int v : {e.note, e.velocity, e.number, e.value}) {
            if (v < 0 || v > 127) __builtin_trap();
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
        if (song.GetTrack(n)) EditEvents(*song.GetTrack(n), data, size);
    }
    return 0;
}
