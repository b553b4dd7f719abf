// A whole file read as a format-1 song, then every track operation on every
// track, with grids, spans and values taken from the file's last bytes. The
// edits that keep events keep their count; no delta goes negative.
#include <cstdint>

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
    TrackOpArgs a;
    a.division = Pick(data, size, 0, 0, 255) * 4;
    a.grid = Pick(data, size, 1, 0, 250);
    a.from = Pick(data, size, 2, 0, 255) * 16 - 32;
    a.to = a.from + Pick(data, size, 3, 0, 255) * 16;
    a.value = Pick(data, size, 4, -2, 130);
    a.channel = Pick(data, size, 5, -2, 17);
    a.pick = Pick(data, size, 6, 0, 255);
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (!song.GetTrack(n)) continue;
        MidiTrackData& t = *song.GetTrack(n);
        const int count = t.event_count;
        KeepingEdits(t, a);
        if (t.event_count != count) __builtin_trap();
        Check(t);
        Queries(t, a);
        Deletions(t, a);
        Check(t);
    }
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (song.GetTrack(n)) EditEvents(*song.GetTrack(n), data, size);
    }
    return 0;
}
