// Every public track operation, in three families, with parameters the
// caller picks. The hostile-input run, the random-record test and the track
// fuzzer share these lists: an operation added here runs under all three.
#pragma once

#include "midi/track/MidiTrackData.h"

struct TrackOpArgs {
    int division = 480;
    int grid = 120;  // a grid or unit in ticks; 0 and odd values allowed
    int from = 0;    // a span of ticks, possibly empty or negative
    int to = 1920;
    int value = 100;  // a value, possibly out of range
    int channel = 0;  // a channel, possibly out of range
    int pick = 0;     // chooses counts, modes and methods
};

// Edits that move, lengthen or rewrite events but keep every one of them.
inline void KeepingEdits(MidiTrackData& t, const TrackOpArgs& a) {
    const int g = a.grid;
    t.QuantizeData(a.pick % 17, g * 4);
    t.SwingData(a.division);
    t.SwingHarmonyAndDrumData(g * 2);
    t.SetSwingPositionOne(a.from, a.to, a.division);
    t.SetSwingPositionTwo(a.from, a.to, a.division);
    t.SetSwingPositionThree(a.from, a.to, g);
    t.SetSwingPositionMany(a.from, a.to, g, a.pick % 71);
    t.FixPostion(a.pick % (t.event_count + 1), a.from, g, g / 3);
    t.ModifyDeltaTime(g);
    t.ModifyDeltaTime(a.from, a.to, g + 1);
    t.ModifyDuration(g, a.pick % 4);
    t.ModifyDuration(g + 3);
    t.ModifyDuration(a.from, a.to, g);
    t.ModifyInterval(g / 2 - 10);
    t.ModifyEventValue(kEvControl, kCcVolume, a.value);
    t.ModifyEventValue(kEvProgram, a.value);
    t.ModifyEventValueRange(kEvControl, kCcPan, a.value, 100);
    t.ModifyEventValue(kEvSysEx, kExTypeMasterVolume, a.value);
    t.ModifyEventValue(kEvSysEx, a.pick % 128, a.value);
    t.ModifyEventValue(kEvMeta, kMetaTempo, a.value * 4000);
    t.ModifyEventValue(kEvMeta, kMetaTimeSignature, a.pick * 257 % 0x10000);
    // Merge balance: velocities rewritten, never to 0.
    t.AdjustVolumeExpressionVelocity(nullptr, a.value, a.value, a.value, a.value);
    for (int i = 0; i < t.event_count; ++i)
        t.AdjustVolumeExpressionVelocity(t.event_table[i], a.value, a.grid, 100, a.value);
}

// Queries and checks: they change nothing.
inline void Queries(MidiTrackData& t, const TrackOpArgs& a) {
    char text[kMusicDataBufferSize + 1];
    unsigned char bytes[1024];
    char name[] = "marker";
    long tempo = 0;
    int code = 0;
    const int tick = a.from, ch = a.channel, half = t.event_count / 2;
    t.GetTrackLen();
    t.GetFirstNotePos(a.from, a.to);
    t.GetSecondNotePos(a.from, a.to);
    t.CountNote(a.from, a.to);
    t.CheckEventLocation(tick, kEvNote);
    t.CheckMetaEventLocation(tick, kMetaTempo);
    t.CheckMetaEventLocation(tick, kMetaTempo, 400000);
    t.CheckSysExLocation(tick, kExTypeMasterVolume);
    t.CheckSysExLocation(tick, kExTypeMasterVolume, 90);
    t.CheckControlChangeLocation(tick, kCcVolume);
    t.CheckControlChangeLocation(tick, kCcVolume, 100);
    t.CheckProgramChangeLocation(tick);
    t.IsEventExist(kEvControl, a.from, a.to);
    t.CheckAreaTempoRange(a.from, a.to, a.value, 200);
    t.CheckEventTime(a.from, a.to, a.grid);
    t.CheckEventTime(a.grid);
    t.CheckTempoRange(a.value, 200);
    t.CheckTimeSingLocation(a.division);
    t.CheckOrderOfBankSelectAndProgramChange();
    t.CheckEventValue(kEvControl, kCcVolume, a.value);
    t.CheckEventValueRange(kEvControl, kCcPan, a.value, 100);
    t.GetControlChangeValueWithDelta(7, ch, tick);
    t.GetProgramChangeValueWithDelta(ch, tick);
    t.GetSysExF0ValueWithDelta(1, tick);
    t.GetPitchBendValueWithDelta(ch, tick);
    t.GetTimeSign(tick);
    t.GetTempo(tick);
    t.GetProgramChange();
    t.GetInst(ch);
    t.IsBendableInst(ch);
    t.GetChanelVolume();
    t.GetChanelPanpot();
    t.GetMasterVolume();
    t.GetSysExF0(1, bytes);
    t.GetMetaData(kMetaTrackName, text);
    t.GetMetaData(kMetaTimeSignature, text);
    t.GetTimeSign(&code);
    t.GetTempo(&tempo, 2);
    t.GetKey(bytes);
    t.GetIndexOfDelta(tick);
    t.GetDeltaOfEventIndex(half);
    t.GetLastIndexOfSameDelta(half);
    t.GetIndexOfMetaEvent(kMetaMarker, name);
    t.GetPosOfControlChange(7, &code);
    t.GetPosOfPitchBendWithDelta(&code, 0, tick);
    t.GetIndexOfFirsthNote();
    t.GetDeltaOfFirstNote();
    t.GetDeltaToNextNote(half / 2);
    t.GetNumEvent(0, tick);
    t.GetNumNoteEvent(ch);
    t.GetTrackDuration();
    t.GetAverageDeltaTimeOfNote(ch);
    t.GetChanel();
    t.GetChanelWithInstName();
    t.SearchEventAndCommand(kEvControl, 255);
    t.GetPitchBendDirection(half);
    for (int c = -1; c <= 16; ++c) t.IsDrumChanel(c);
    int group[] = {35, 36};
    t.GetMostUsedDrumSetOfGroup(group, 2);
}

// Clean-ups and deletions, the last of them leaving only the end of track.
inline void Deletions(MidiTrackData& t, const TrackOpArgs& a) {
    char pattern[260] = {'\xF0', '\x03', '\x11', '\xF7'};
    char name[] = "marker";
    unsigned char none[1] = {0};
    const int tick = a.from;
    t.DbcsToSbcs(true, true, kEvMeta, kMetaTrackName);
    t.DbcsToSbcs(true, true, kEvSysEx, 0);
    t.ReplaceSysExF0Data(0, pattern, kMetaMarker, name);
    // The pattern may be the first event's own bytes.
    unsigned char* own = t.event_count > 0 ? t.event_table[0]->data : none;
    t.ReplaceSysExF0Data(0, reinterpret_cast<char*>(own), kMetaText, name);
    t.PackDrumSet();
    t.ConvertExpressionToVolume();
    t.CleanUpDuplicateProgramChange();
    t.CleanUpDuplicateBankSelectAndProgramChange();
    t.DeleteDuplicateNote();
    t.DeleteDuplicateOctaveNote();
    t.GatherNoteEvent();
    t.CleanUpDuplicateNoteOnOff(a.pick % 4 == 0);
    t.DeleteInvalidDrum();
    t.DeleteControlChange(7, 0, tick);
    t.DeleteSysExF0(a.channel, 18);
    t.DeleteChanel(a.channel);
    t.DeleteMetaEvent(tick, kMetaMarker, name);
    t.DeleteAllMetaEventExceptSeqName();
    t.DeleteEventAfterSpecifiedDelta(a.to, kEvNote);
    t.ShortenNoteAfterSpecifiedDelta(a.to);
    if (a.pick % 2 == 0) {
        t.ShortenData(a.to);
    } else {
        t.ShortnTrackDuration(a.to);
    }
    t.SetChanel(a.channel);
    t.DeleteAllEventExceptEndOfTrack();
}
