// The song-level queries, track classification and order operations on one
// song, with indexes and values out of range: shared by the hostile-input
// test and the format-1 song fuzz target. The song must stay one that saves.
#pragma once

#include <array>
#include <climits>
#include <memory>
#include <vector>

#include "TrackOperations.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/ChannelValue.h"

// ---- drums and pitch bends ----
// The drum mappings, drum clean-ups and bend conversion with maps of odd
// entries and out-of-range arguments.
inline void SongLevelDrumBendOperations(MidiF1Data& song) {
    (void)song.GetNumDrumTrack();
    std::vector<std::array<char, 128>> drumMap(128);
    std::vector<std::array<std::array<char, 2>, 128>> toneMap(128);
    for (std::size_t kit = 0; kit < 128; ++kit) {
        for (std::size_t n = 0; n < 128; ++n) {
            drumMap[kit][n] = static_cast<char>((kit * 7 + n * 13) % 256);
            toneMap[kit][n] = {static_cast<char>(n % 3 == 0 ? -1 : (n * 5) % 256),
                               static_cast<char>((n * 11 + kit) % 256)};
        }
    }
    for (int bank : {0, -1, 300}) {
        song.DrumDrumMapping(bank, reinterpret_cast<char(*)[128]>(drumMap.data()), bank == 0);
        (void)song.DrumToneMapping(bank, reinterpret_cast<char(*)[128][2]>(toneMap.data()),
                                   bank != 0);
        song.DeleteDrumNote(bank, bank, bank, bank == 0);
    }
    song.DrumDrumMapping(0, nullptr, true);
    (void)song.DrumToneMapping(0, nullptr, true);
    song.DeleteInvalidDrum();
    song.DeleteInvalidDrum(false);
    for (int sensitivity : {song.GetPitchBendSensitivity(), 0, -3, 8192, INT_MIN, 1, 8191})
        song.ConvPitchBendToNote(sensitivity);
}

// Runs every operation on song, which is edited in place.
inline void SongLevelOperations(MidiF1Data& song) {
    using S = MidiF1Data;
    bool port = false;
    int keep[] = {9, -1, 300};
    CallEach(song, &S::GetUnusedChanel, &S::GetNumVoice, &S::IsDrumProgramChangeSet,
             &S::CheckDoubleNote, &S::CheckMiltiProgramChange, &S::CheckDuplicateChanelTrack,
             &S::GetNumNoteEvent, &S::GetMasterVolume);
    (void)song.GetNumChanel(&port);
    (void)song.IsDontMove(9, keep, 3);
    for (auto [velocity, steps] : {std::array{INT_MAX, INT_MAX}, {-50, 3}})
        (void)song.GetOffsetVelocity(velocity, steps);
    for (int t : {-1, 0, 1, song.track_count, 99}) (void)song.IsDrumTrack(t);
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
    for (int channel : {-1, 0, 9, 15, 16, 255}) {
        (void)song.GetChanelVolume(channel);
        (void)song.GetChanelProgramChange(channel);
        (void)song.GetTrackNumberOfChanel(channel);
        (void)song.GetCenterNote(channel);
        song.GetNoteRange(channel, &low, &high);
    }
    char pattern[] = "*a?";
    (void)song.GetTrackNoOfSequenceName(pattern);
    std::vector<_TempoData> tempos(MidiF1Data::kMaxTempoData);
    (void)song.ExtractTempoData(tempos.data());
    std::array<std::array<char, MidiF1Data::kTitleSlotSize>, MidiF1Data::kTitleSlots> buffers{};
    std::array<char*, MidiF1Data::kTitleSlots> slots{};
    for (std::size_t s = 0; s < slots.size(); ++s) slots[s] = buffers[s].data();
    song.BackupTrackTitle(slots.data());
    song.RestoreTrackTitle(slots.data());
    CallEach(song, &S::DeleteDrumProgramChange, &S::AdjustDrumDuration);
    for (int number : {7, 500}) (void)song.DeleteControlChange(number);
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
    CallEach(song, &S::DeleteChanelSysExOnlyTrack, &S::DeleteNoNoteSysExTrack,
             &S::AssignSameNumberToTrackAndChanel, &S::DeleteEmptyTrack);
    song.DeleteTrack(song.track_count);
    song.DeleteChanel(9);
    song.DeleteChanelData(255);

    // -- song level III: time edits, checks and texts --
    (void)song.GetFileSize();
    for (auto [low, high] : {std::array{24, 108}, {100, 20}}) (void)song.AdjustNoteRange(low, high);
    for (int grid : {-1, 0, 1, 120, INT_MAX}) {
        song.ModifyEventTime(grid);
        song.ModifyEventTime(0, INT_MAX, grid, false);
        (void)song.CheckEventTime(INT_MIN, INT_MAX, grid, true);
        (void)song.CheckEventTime(0, 960, 9, grid, false);
    }
    int failing = -1;
    (void)song.CheckOrderOfBankSelectAndProgramChange(&failing);
    (void)song.CheckOrderOfBankSelectAndProgramChange(nullptr);
    (void)song.GetLastNotePos();
    char marker[] = "end";
    (void)song.GetEndMarkerDelta(marker);
    (void)song.GetMarkerLocation(marker);
    (void)song.GetEndCuePointDelta(nullptr);
    (void)song.CheckMetaEventLocation(0, 0x51);
    (void)song.CheckMetaEventLocation(INT_MAX, 0x58, -1);
    (void)song.CheckTempoRange(30, 300);
    (void)song.CheckAreaTempoRange(INT_MIN, INT_MAX, 300, 30);
    (void)song.GetDurationTime(0, INT_MAX);
    (void)song.DeltaTimeToSecond(INT_MAX, INT_MIN);
    std::array<char, MidiF1Data::kLocationTextSize> location{};
    for (int tick : {INT_MAX, -5}) (void)song.GetLocationString(tick, location.data());
    for (int channel : {-1, 0, 9, 255}) (void)song.IsChanelUsed(channel);
    char title[] = "title";
    song.ReplaceSongTitle(title);
    song.ReplaceSongTitle(nullptr);
    song.ReplaceMetaEvent(6, 1);
    song.DbcsToSbcs(true, true, 0xFF, 3);
    for (int number : {7, -1}) song.SetControlChangeRelativelyMaxValue(number);
    for (int length : {INT_MIN, 0, 480, INT_MAX}) song.SetFadeOut(length);
    for (int t : {-1, 0, song.track_count - 1, 99}) {
        for (int divisor : {INT_MIN, 0, 4, song.division, INT_MAX}) song.QuantizeData(t, divisor);
        for (int begin : {480, INT_MIN}) song.SetBegin(t, begin);
        song.SetDuration(t, 1 << 20);
    }
    song.ShortenNoteAfterSpecifiedDelta(1 << 22);
    song.DeleteEventAfterSpecifiedDelta(1 << 22, 0xB0);
    song.Q2toQ1();
    std::vector<std::array<int, 2>> areas{{0, 480}, {960, 1920}, {1920, INT_MAX}};
    song.ExtractArea(reinterpret_cast<int(*)[2]>(areas.data()), 3);
    song.ExtractArea(reinterpret_cast<int(*)[2]>(areas.data()), -3);
    areas[1] = {100, 50};
    song.ExtractArea(reinterpret_cast<int(*)[2]>(areas.data()), 3);
    song.SetDuration(INT_MAX);
    song.SetBegin(1);
    song.Q1toQ2();
    // Combining tracks.
    std::array<char, MidiF1Data::kCombineReportSize> report{};
    (void)song.CombineSameChanelTrack(report.data());
    int unsorted[] = {1, 0}, outside[] = {0, 99}, pair[] = {0, song.track_count - 1};
    (void)song.CombineTrack(2, unsorted, true);
    (void)song.CombineTrack(2, outside, false);
    (void)song.CombineTrack(song.track_count > 1 ? 2 : 1, pair, true);
    (void)song.CombineTrack(0, nullptr, true);
    (void)song.IsDrumProgramChangeSame(song.GetTrack(0), song.GetTrack(1));
    (void)song.IsDrumProgramChangeSame(nullptr, song.GetTrack(0));
    song.CombineSameToneTrack(3, keep);
    song.CombineSameToneTrack(-1, nullptr);
    song.CombineDrumTrack();
    song.CombineSameGroupToneTrack(-5);
    song.ConvChanel32To16();
    const auto names = std::make_unique<char[][MidiF1Data::kInstNameSize]>(kMaxTracks);
    (void)song.GetInstNameList(names.get());
    int controllers[] = {7, -1, 300};
    song.CleanUpDuplicateControlChangeExceptSpecifiedCmd(controllers, 3);
    CallEach(song, &S::CleanUpDuplicateBankSelectAndProgramChange, &S::CleanUpPan);
    SongLevelDrumBendOperations(song);
    // channel moves and splits
    for (auto [track, channel] : {std::array<int, 2>{0, 3}, {1, 9}, {-1, 0}, {0, 16}, {99, 1}})
        (void)song.ChangeChanel(track, channel);
    song.SetChanelOrder();
    int renumber_keep[] = {9, -4, 70};
    (void)song.ReNumberChanel(renumber_keep, 3);
    (void)song.ReNumberChanel(nullptr, 2);
    for (auto [channel, voices] : {std::array{0, 2}, {9, 0}})
        song.ReduceChanelVoice(channel, voices);
    song.SysExToChanel();
    for (auto [channel, threshold, criterion] :
         {std::array{0, 60, 1}, {1, INT_MAX, 2}, {2, 64, 0}, {-1, 64, 3}})
        song.SplitChanel(channel, threshold, criterion);
    for (int t : {-1, 0, 1, song.track_count - 1, 99}) (void)song.SplitProgramChange(t);
    song.SetDuration(0);
}
