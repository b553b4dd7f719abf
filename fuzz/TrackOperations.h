// Every public track operation, in three families, with parameters the
// caller picks. The hostile-input run, the random-record test and the track
// fuzzer share these lists: an operation added here runs under all three.
#pragma once

#include <climits>
#include <cstring>

#include "midi/track/MidiTrackData.h"

struct TrackOpArgs {
    int division = 480;
    int grid = 120;  // a grid or unit in ticks; 0 and odd values allowed
    int from = 0;    // a span of ticks, possibly empty or negative
    int to = 1920;
    int value = 100;  // a value, possibly out of range
    int channel = 0;  // a channel, possibly out of range
    int pick = 0;     // chooses counts, modes and methods
    int number = 7;   // a controller, meta type or note number, possibly out of range
};

// Calls each argument-free operation on object, in the order given.
template <class T, class... C, class... R>
void CallEach(T& object, R (C::*... operations)()) {
    ((void)(object.*operations)(), ...);
}

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
    using T = MidiTrackData;
    char text[kMusicDataBufferSize + 1];
    unsigned char bytes[1024];
    char name[] = "marker";
    long tempo = 0;
    int code = 0;
    const int tick = a.from, ch = a.channel, half = t.event_count / 2;
    CallEach(t, &T::GetTrackLen, &T::CheckOrderOfBankSelectAndProgramChange, &T::GetProgramChange,
             &T::GetChanelVolume, &T::GetChanelPanpot, &T::GetMasterVolume,
             &T::GetIndexOfFirsthNote, &T::GetDeltaOfFirstNote, &T::GetTrackDuration, &T::GetChanel,
             &T::GetChanelWithInstName);
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
    t.CheckEventValue(kEvControl, kCcVolume, a.value);
    t.CheckEventValueRange(kEvControl, kCcPan, a.value, 100);
    t.GetControlChangeValueWithDelta(7, ch, tick);
    t.GetProgramChangeValueWithDelta(ch, tick);
    t.GetSysExF0ValueWithDelta(1, tick);
    t.GetPitchBendValueWithDelta(ch, tick);
    t.GetTimeSign(tick);
    t.GetTempo(tick);
    t.GetInst(ch);
    t.IsBendableInst(ch);
    t.GetSysExF0(1, bytes);
    for (int type : {kMetaTrackName, kMetaTimeSignature}) t.GetMetaData(type, text);
    t.GetTimeSign(&code);
    t.GetTempo(&tempo, 2);
    t.GetKey(bytes);
    t.GetIndexOfDelta(tick);
    t.GetDeltaOfEventIndex(half);
    t.GetLastIndexOfSameDelta(half);
    t.GetIndexOfMetaEvent(kMetaMarker, name);
    t.GetPosOfControlChange(7, &code);
    t.GetPosOfPitchBendWithDelta(&code, 0, tick);
    t.GetDeltaToNextNote(half / 2);
    t.GetNumEvent(0, tick);
    t.GetNumNoteEvent(ch);
    t.GetAverageDeltaTimeOfNote(ch);
    t.SearchEventAndCommand(kEvControl, 255);
    t.GetPitchBendDirection(half);
    for (int c = -1; c <= 16; ++c) t.IsDrumChanel(c);
    int group[] = {35, 36};
    t.GetMostUsedDrumSetOfGroup(group, 2);
}

// Clean-ups and deletions, the last of them leaving only the end of track.
inline void Deletions(MidiTrackData& t, const TrackOpArgs& a) {
    using T = MidiTrackData;
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
    CallEach(t, &T::PackDrumSet, &T::ConvertExpressionToVolume, &T::CleanUpDuplicateProgramChange,
             &T::CleanUpDuplicateBankSelectAndProgramChange, &T::DeleteDuplicateNote,
             &T::DeleteDuplicateOctaveNote, &T::GatherNoteEvent);
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

// Edits of controllers, programs, exclusives, metas, notes, channels, the
// time line and the setup, with values in and out of range.
inline void EventEdits(MidiTrackData& t, const TrackOpArgs& a) {
    using T = MidiTrackData;
    char text[] = "Retrograde";
    char none[] = "";
    static char map[128][128];
    std::memset(map, -1, sizeof map);
    map[a.pick % 128][a.number & 127] = static_cast<char>(a.value);
    unsigned char bytes[] = {1, 2, 3};
    const int ch = a.channel, n = a.number, v = a.value;
    const auto type = static_cast<unsigned char>(n);
    t.AdditionControlChange(ch, n, v);
    t.RatioControlChange(ch, n, v * 3);
    t.ReplaceControlChange(ch, n, v);
    t.ReplaceControlChange(a.from, a.to, n, v);
    t.ReplaceControlChange(n, v);
    t.ReplaceProgramChange(ch, v);
    t.ReplaceProgramChange(v);
    t.ReplaceMasterVolume(v * 3);
    t.ReplaceMetaData(n, text);
    t.ReplaceMetaEvent(type, text);
    t.ReplaceMetaEvent(type, static_cast<unsigned char>(v));
    t.ReplaceMetaEventData(kMetaTrackName, text, n, text);
    t.InsertControlChange(ch, type, v);
    t.InsertProgramChange(ch, v);
    t.InsertMasterVolume(v * 2);
    t.InsertMetaEvent(type, text);
    t.InsertMetaEventWithDelta(a.from, type, text);
    t.AddMetaData(kMetaCuePoint, none);
    t.ShiftNote(ch, v * 1000);
    t.ShiftNote(v);
    t.ShitfOctave(v / 10);
    t.AddVelocity(v * 5);
    t.ChangeDuration(a.pick % 2 ? INT_MAX : v * 10000);
    t.UnifyNoteDuration(ch, v);
    t.SetNoteNo(n, v);
    t.ChangeChanel(ch, n);
    t.ChangeChanel(text, ch, n);
    t.DrumDrumMapping(ch, map, v > 0);
    t.UnifyChanel(ch);
    t.InsertBlankArea(a.from, a.pick % 2 ? INT_MAX : v * 100000);
    t.DeleteAreaNoteAndPitchBend(a.from, a.to);
    t.PutSpecifiedEventFirst(kEvMeta, n, text);
    t.SetProgramChange(ch, v);
    t.DeleteEndOfTrack();
    t.AddMetaEvent(a.from, type, bytes, 3);
    t.AddMarker(1, text);
    t.AddBendRange(a.from, ch, v);
    t.AddXGDisplay(0, text);
    t.AddGSDisplay(0, text);
    CallEach(t, &T::GMExclusiveOn, &T::GSExclusiveOn, &T::XGExclusiveOn);
    t.SetTempo(v * 100000L);
    t.SetTimeSign(0, n, v);
    t.SetKeySignature(a.from, v);
    t.AddEndOfTrack();
}

// Polyphony, note range, velocity and time spans on a Q2 track, and the
// reductions on q1, its copy in Q1.
inline void PolyAndRange(MidiTrackData& t, MidiTrackData& q1, const TrackOpArgs& a) {
    using T = MidiTrackData;
    const int limit = a.pick % 7;
    int priority[4][12] = {{a.value - 40, 4, 7}, {3}, {6}, {-1}};
    int keep[] = {a.channel, -1, 40};
    t.GetNumPoly(false);
    CallEach(t, &T::GetNumVoice, &T::GetNumDrumVoice, &T::CheckDoubleNote, &T::GetLastNotePos);
    t.GetDurationTime(a.from, a.to, a.division);
    q1.ReduceNumPoly(limit);
    q1.ReduceNumPoly(limit, keep, 3, a.pick % 4, priority, limit % 2 == 0);
    q1.SetNumPoly(limit);
    t.SetNumPoly(limit);
    t.AdjustNoteRange(a.channel, a.from & 127, a.to & 127, limit % 3);
    t.SetMaxVelocity(limit);
    t.SetFadeOut(a.from, a.to);
    t.ExtractArea(a.from, a.to);
    t.ExtractChanelData(a.channel);
}

// Whether every record holds what a file can hold: no negative delta, channel
// messages on channels 0..15 with data bytes 0..127.
inline bool FileValues(const MidiTrackData& t) {
    for (int i = 0; i < t.event_count; ++i) {
        const MidiEvent& e = *t.event_table[i];
        if (e.delta < 0) return false;
        if (e.status < kEvNote || e.status >= kEvSysEx || e.status == kEvKeyPressure) continue;
        if (e.channel < 0 || e.channel > 15) return false;
        for (int value : {e.note, e.velocity, e.number, e.value}) {
            if (value < 0 || value > 127) return false;
        }
    }
    return true;
}
