// Every public operation of a format-1 song's track (MidiF1TrackData) beyond
// those of MidiTrackData, with parameters the caller picks. The hostile-input
// run and the track fuzzer share this list.
#pragma once

#include "TrackOperations.h"
#include "midi/song/MidiF1TrackData.h"

// Clean-ups (they remove events, never notes), queries and setters.
inline void F1CleanUpsAndQueries(MidiF1TrackData& t, const TrackOpArgs& a) {
    int list[] = {7, 11, 39, 43, 10, a.value};
    int low = 0, high = 0, index = a.pick % (t.event_count + 2) - 1;
    using T = MidiF1TrackData;
    t.CleanUpVolumeChange();
    t.CleanUpDuplicateControlChangeExceptSpecifiedCmd(list, a.pick % 7);
    t.CleanUpDuplicateControlChangeExceptSpecifiedCmd(nullptr, 3);
    CallEach(t, &T::CleanUpPan, &T::CleanUpDuplicateVolumeExpressionOfSameValue,
             &T::CleanUpDuplicateVolumeExpressionOfSameTiming, &T::CleanUpDuplicatePitchBend,
             &T::CleanUpDuplicatePitchBendSensitivity, &T::IsMasterTrack, &T::IsSysExTrack,
             &T::IsChanelSysExOnlyTrack, &T::IsEmpty, &T::CheckMiltiProgramChange);
    t.IsNoteExist(a.value);
    t.GetEventValue(static_cast<unsigned char>(a.pick));
    t.SetEventValue(static_cast<unsigned char>(a.pick), static_cast<unsigned char>(a.value));
    t.SetProgramChangeValue(a.value);
    t.SetControlChangeValue(a.pick % 130, a.value);
    t.GetNumSpecifiedEvent(kEvControl);
    t.GetNumProgramChange();
    t.GetNumControlChange(a.pick % 128);
    t.GetNumControlChange(a.from, a.to, kCcVolume);
    t.GetControlChangeMaxValue(kCcVolume);
    t.GetNoteRange(&low, &high);
    t.GetNoteRange(nullptr, &high);
    CallEach(t, &T::GetCenterNote, &T::SetMaxVolume, &T::SetMaxVelocity);
    t.GetRpnDataEntry(&index, 0, 0);
    t.GetRpnDataEntry(nullptr, 0, 0);
    t.IsSC88BPort();
}

// Edits that add, rewrite or merge; other is left unchanged.
inline void F1Edits(MidiF1TrackData& t, MidiF1TrackData& other, const TrackOpArgs& a) {
    t.InsertDrumScale(a.pick % 2 == 0, a.channel);
    t.InsertRpnAndDataEntry(a.pick % (t.event_count + 3) - 1, a.pick % 3, 0, 0, a.value);
    t.UnifyPitchBendSensitivity(a.value);
    t.UnifyProgramChange(a.value, a.pick % 128);
    t.UnifyProgramChange(a.value, 0, a.pick % 128, 0, 0, a.value);
    t.MergeTrack(&other, a.pick % 2 == 0);
    t.MergeTrackWithoutTrackTitle(&other);
    t.MergeTrack(&t, true);
    t.MergeTrack(&other);
    t.ExtractEventOfSpecifiedBankSelectAndProgramChange(0, 0, a.value);
    t.AdjustDrumDuration();
    t.EraseNoteEvent(0, 0);
}

// Area and measure editing, with spans and indexes the caller picks (empty,
// reversed, negative and past the end included). Takes the track through
// Q1 and Q2; every note stays paired and no event is lost to a full table.
inline void F1AreaEdits(MidiF1TrackData& t, const TrackOpArgs& a) {
    MidiEvent* copies[kAreaExtractLimit];
    const int copied = t.ExtractEvent(a.from, a.to, copies);
    MidiEvent* block[3] = {nullptr, nullptr, nullptr};
    if (copied > 0) block[0] = copies[0];
    if (copied > 1) block[1] = copies[copied - 1];
    for (int k = 1; k < copied - 1; ++k) delete copies[k];
    t.InsertEvents(a.to, a.to + a.grid, block);
    t.DeltaTimeToSecond(a.from, a.to, a.division);
    t.DeltaTimeToSecond(a.from, a.to, a.pick % 3 - 1);
    t.DivideMeasureByTimeSign(a.division, a.to);
    t.DivideMeasureByTimeSign(a.pick % 8, a.from);
    if (t.form == kFormQ2) t.Q2toQ1();
    t.ClearEvents(a.from, a.from + a.grid);
    t.DeleteAreaData(a.to, a.to + a.grid * 2);
    t.DeleteAreaTime(a.from, a.from + a.grid);
    int areas[3][2] = {
        {a.from, a.from + a.grid}, {a.to, a.to + a.division}, {a.value, a.value + 1}};
    t.ExtractArea(areas, a.pick % 4);
    t.ExtractArea(areas, 2);
    t.ExtractArea(nullptr, 1);
    t.DeletePitchBendWithNote(a.pick % (t.event_count + 2) - 1);
    t.SetQ2Data();
    t.DeletePitchBendWithNote(a.pick % (t.event_count + 2) - 1);
    t.DeleteNote(a.number, a.pick % 2 == 0);
    t.DeleteNote(a.to);
}

// Repeats, phrase breaks and voice reduction, with indexes, gaps, grids and
// voice counts from a (out of range and negative too). The repeat search is
// cubic, so it runs on tracks of moderate size only.
inline void F1Analysis(MidiF1TrackData& t, MidiF1TrackData& other, const TrackOpArgs& a) {
    const int index = a.pick % (t.event_count + 3) - 2;
    int begin = 0, end = 0;
    bool flags[128] = {};
    if (t.event_count <= 300) {
        t.DetectLongestRepeat(0, &begin, &end, a.grid);
        t.DetectLongestRepeat(0, nullptr, nullptr, -a.grid);
    }
    for (auto [compared, value] : {std::pair{&other, a.value}, {nullptr, a.value}, {&t, -a.value}})
        t.GetSimilarity(compared, value);
    t.IsNoteEventExist(a.from, a.to, t.GetEvent(index));
    t.IsNoteEventExist(a.from, a.to, nullptr);
    t.GetNoteOfDeltaTime(flags, a.from);
    t.GetNoteOfDeltaTime(nullptr, a.to);
    t.GetTopNoteOfDeltaTime(a.to);
    t.GetNumPolyAttack();
    t.GetNumNote(a.from, a.to);
    MidiF1TrackData q1(&t);
    q1.Q2toQ1();
    for (int i : {index, -1, 0, q1.event_count - 1, q1.event_count, a.value}) {
        q1.SearchBreak(i, a.pick % 2 == 0, a.grid);
        q1.SearchBreak(i, a.pick % 3 == 0, -a.grid, a.pick % 5 == 0);
        q1.SearchBreakForword(i, true, a.grid, a.pick % 2 == 0);
        q1.SearchBreakBackword(i, false, a.grid, a.pick % 2 == 1);
        q1.SearchBreakForwordOld(i, a.grid);
        q1.IsAlreadyInBreak(i, a.grid);
        q1.GetDeltaTimeToNextNote(i);
        q1.GetDeltaTimeToPreviousNote(i);
        q1.GetDeltaTimeToPreviousEvent(i, kEvNoteOff);
        q1.SearchEventAfterIdx(i, kEvNoteOn);
        q1.SearchEventBeforeIdx(i, kEvNoteOff);
        q1.SearchEventAtSameDelta(i, kEvNoteOff, a.pick % 2 == 0);
    }
    q1.GetLastEventIndex(kEvNoteOn);
    q1.GetClosestIndex(a.from);
    q1.GetLastIndex(kEvNoteOn, a.from, a.to);
    q1.GetLastIndex(a.to, a.from);
    if (q1.form == kFormQ1) q1.DetectLongestRepeat(0, &begin, &end, a.grid);  // refused
    q1.ReduceVoice(1);
    t.ReduceVoice(a.value % 6);
    t.ReduceVoice(1);
    t.ReduceDrumVoice(a.value % 5);
    CallEach(t, &MidiF1TrackData::ReduceDrumVoiceOne, &MidiF1TrackData::SetMonophonic,
             &MidiF1TrackData::DeleteOctaveNote);
    t.DeleteDecorationNote(a.grid);
    for (MidiF1TrackData* compared : {&other, &t, static_cast<MidiF1TrackData*>(nullptr)})
        t.CompareTrackAndDeleteDuplicateNote(compared);
    t.FilterEvent(a.pick % 2 == 0 ? kEvNote : a.number, a.pick % 3 == 0);
}
