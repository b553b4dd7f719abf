// The song-level queries, track classification and order operations on one
// song, with indexes and values out of range: shared by the hostile-input
// test and the format-1 song fuzz target. The song must stay one that saves.
#pragma once

#include <array>
#include <climits>
#include <vector>

#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/ChannelValue.h"

// Runs every operation on song, which is edited in place.
inline void SongLevelOperations(MidiF1Data& song) {
    bool port = false;
    int keep[] = {9, -1, 300};
    (void)song.GetUnusedChanel();
    (void)song.GetNumChanel(&port);
    (void)song.IsDontMove(9, keep, 3);
    (void)song.GetOffsetVelocity(INT_MAX, INT_MAX);
    (void)song.GetOffsetVelocity(-50, 3);
    for (int t : {-1, 0, 1, song.track_count, 99}) (void)song.IsDrumTrack(t);
    (void)song.GetNumVoice();
    (void)song.IsDrumProgramChangeSet();
    (void)song.CheckDoubleNote();
    (void)song.CheckMiltiProgramChange();
    (void)song.CheckDuplicateChanelTrack();
    std::array<char, MidiF1Data::kCheckTrackVolumeMessageSize> message{};
    (void)song.CheckTrackVolume(message.data());
    std::array<char, 256> text{};
    (void)song.GetMetaData(3, text.data());
    int value = 0, low = 0, high = 0;
    long tempo = 0;
    (void)song.GetTimeSign(&value);
    (void)song.GetTempo(&tempo);
    (void)song.GetTempo(&tempo, 3);
    (void)song.GetNumEvent(0, INT_MAX);
    (void)song.GetNumMetaEvent(3);
    (void)song.GetNumNoteEvent();
    for (int channel : {-1, 0, 9, 15, 16, 255}) {
        (void)song.GetChanelVolume(channel);
        (void)song.GetChanelProgramChange(channel);
        (void)song.GetTrackNumberOfChanel(channel);
        (void)song.GetCenterNote(channel);
        song.GetNoteRange(channel, &low, &high);
    }
    char pattern[] = "*a?";
    (void)song.GetTrackNoOfSequenceName(pattern);
    (void)song.GetMasterVolume();
    std::vector<_TempoData> tempos(MidiF1Data::kMaxTempoData);
    (void)song.ExtractTempoData(tempos.data());
    std::array<std::array<char, MidiF1Data::kTitleSlotSize>, MidiF1Data::kTitleSlots> buffers{};
    std::array<char*, MidiF1Data::kTitleSlots> slots{};
    for (std::size_t s = 0; s < slots.size(); ++s) slots[s] = buffers[s].data();
    song.BackupTrackTitle(slots.data());
    song.RestoreTrackTitle(slots.data());
    song.DeleteDrumProgramChange();
    song.AdjustDrumDuration();
    (void)song.DeleteControlChange(7);
    (void)song.DeleteControlChange(500);
    (void)song.DeleteSysExF0(9, 18);
    (void)song.DeleteSysExF7();
    (void)song.DeleteMetaEvent(1);
    song.DeleteDuplicateSongTitle();
    song.SwapTrack(0, song.track_count - 1);
    song.SwapTrack(-1, 70);
    song.SortTrack();
    song.InsertEventToChanelWithDelta(3, retrograde::detail::NewControl(3, 10, 64), 1 << 20);
    song.InsertEventToChanelWithDelta(99, new MidiEvent(0), 0);
    (void)song.ChangeDivision(song.division * 2 > 0x7FFF ? 96 : song.division * 2);
    (void)song.ChangeDivision(0x8000);
    song.ChangeDuration(150);
    song.DeleteChanelSysExOnlyTrack();
    song.DeleteNoNoteSysExTrack();
    song.AssignSameNumberToTrackAndChanel();
    song.DeleteEmptyTrack();
    song.DeleteTrack(song.track_count);
    song.DeleteChanel(9);
    song.DeleteChanelData(255);
    // channel moves and splits
    for (auto [track, channel] : {std::array<int, 2>{0, 3}, {1, 9}, {-1, 0}, {0, 16}, {99, 1}})
        (void)song.ChangeChanel(track, channel);
    song.SetChanelOrder();
    int renumber_keep[] = {9, -4, 70};
    (void)song.ReNumberChanel(renumber_keep, 3);
    (void)song.ReNumberChanel(nullptr, 2);
    song.ReduceChanelVoice(0, 2);
    song.ReduceChanelVoice(9, 0);
    song.SysExToChanel();
    song.SplitChanel(0, 60, 1);
    song.SplitChanel(1, INT_MAX, 2);
    song.SplitChanel(2, 64, 0);
    song.SplitChanel(-1, 64, 3);
    for (int t : {-1, 0, 1, song.track_count - 1, 99}) (void)song.SplitProgramChange(t);
}
