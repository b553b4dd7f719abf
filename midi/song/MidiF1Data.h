/// @file
/// The format-1 song: a list of tracks, the form in which the song-level
/// editing works, with the conversions from and to a format-0 song.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "midi/song/MidiData.h"
#include "midi/song/MidiF1TrackData.h"

// Error codes of MidiF1Data (top byte 0x02).
/// Fewer track chunks than the header announced.
inline constexpr int kErrF1Track = 0x2000001;
/// The file is not format 1.
inline constexpr int kErrF1NotFormat1 = 0x2000002;
/// MidiF1Data's general failure: a wrong form or argument, refused.
inline constexpr int kErrF1Internal = 0x2000003;
/// No Standard MIDI File.
inline constexpr int kErrF1NotMidi = 0x2000004;
/// The file could not be read.
inline constexpr int kErrF1OpenFile = 0x2000005;
/// Several master volumes are set.
inline constexpr int kErrF1MasterVolume = 0x2000006;
/// A drum track has a program change, or an exclusive makes a channel other than 10 drums.
inline constexpr int kErrF1DrumProgram = 0x2000007;
/// A time signature not understood.
inline constexpr int kErrF1TimeSignUnknown = 0x2000008;
/// Too many tempos.
inline constexpr int kErrF1TooManyTempo = 0x2000009;
/// Several exclusive-only tracks.
inline constexpr int kErrF1SysExTracks = 0x200000a;
/// Two system tracks share a channel.
inline constexpr int kErrF1SystemChannel = 0x200000b;
/// Two tracks share a channel.
inline constexpr int kErrF1Channel = 0x200000c;
inline constexpr int kErrF1TimeSign = 0x200000d;      ///< ErrorMsgOnce, flag time_sign
inline constexpr int kErrF1DrumTone = 0x200000e;      ///< ErrorMsgOnce, flag drum_tone
inline constexpr int kErrF1DrumCombine = 0x200000f;   ///< ErrorMsgOnce, flag drum_combine
inline constexpr int kErrF1TrackCombine = 0x2000010;  ///< ErrorMsgOnce, flag track_combine
/// No channel is left for splitting a track of several programs.
inline constexpr int kErrF1NoFreeChannel = 0x2000011;
/// The song has no drum track.
inline constexpr int kErrF1NoDrumTrack = 0x2000012;

/// Tracks made from a format-0 song: the meta events, then one per channel.
inline constexpr int kF1TracksFromF0 = 17;

class MidiF0Data;

/// One entry of a song's tempo table (ExtractTempoData).
struct _TempoData {
    int tick;   ///< absolute tick
    int tempo;  ///< microseconds per quarter note
};

/// A format-1 song: up to kMaxTracks tracks. Operations on the wrong form are
/// refused and reported (kErrF1Internal).
class MidiF1Data : public MidiData {
public:
    int track_count = 0;  ///< tracks held
    /// The tracks in file order; entries from track_count on hold none.
    std::array<std::unique_ptr<MidiF1TrackData>, kMaxTracks> tracks;

    // ---- construction, forms, conversion and saving (MidiF1Data.cpp) ----
    MidiF1Data();                           ///< through the open panel
    explicit MidiF1Data(const char* name);  ///< a format-0 file is split into 17 tracks
    /// A file image, read as MidiF1Data(name) reads a file.
    ///@{
    MidiF1Data(const unsigned char* bytes, long size);
    MidiF1Data(long size, const unsigned char* bytes);
    ///@}
    explicit MidiF1Data(MidiF0Data* song);  ///< FromMidiF0Data
    /// Deep copy.
    explicit MidiF1Data(MidiF1Data* other);
    MidiF1Data(MidiF1Data* other, int from, int to);  ///< Q1 only
    /// Copies of the tracks.
    MidiF1Data(MidiTrackData** tracks, int count, int division);
    /// No tracks, form Q2.
    explicit MidiF1Data(int division);
    ~MidiF1Data();
    MidiF1Data(const MidiF1Data&) = delete;
    MidiF1Data& operator=(const MidiF1Data&) = delete;

    /// The track at index; nullptr out of range.
    MidiF1TrackData* GetTrack(int index) const {
        return index >= 0 && index < track_count ? tracks[index].get() : nullptr;
    }
    int GetTrackCount() const { return track_count; }  ///< track_count

    void ClearData();  ///< destroys every track
    /// Adopts track; 1, or 0 when all kMaxTracks places are taken (the track is
    /// then destroyed after a message).
    int AddTrack(MidiF1TrackData* track);
    int AddTrack();  ///< an empty track; 1 or 0 as AddTrack(track)
    int InsertTrack(MidiF1TrackData* track, int index);  ///< adopts track; 1 or 0 as AddTrack

    int GetHeaderInfo();  ///< 1 accepted, 0 refused (with a message)
    /// Writes the 14-byte format-1 header for track_count tracks.
    void SetHeaderInfo();
    /// Raw -> Q1: reads every track chunk; fewer chunks than announced are reported.
    void SetQ1();
    void Q1toQ2();  ///< every track to Q2
    void Q2toQ1();  ///< every track to Q1
    /// Q1 -> Raw. 1 when written; 0 when refused (wrong form, or the file would
    /// not fit the buffer: the song then stays in Q1 as it was).
    int Q1toRaw();
    /// Q2 song: split into kF1TracksFromF0 tracks (meta events, then one per channel).
    void FromMidiF0Data(MidiF0Data* song);
    /// Q2: copies of every track merged into song's track (the n-way MergeTrack);
    /// song takes the division and form Q2.
    void SetMidiF0Data(MidiF0Data* song);
    /// The same track by track (MidiF0Data::AddTrack), channel tracks' names left out.
    void SetMidiF0DataWithoutTrackTitle(MidiF0Data* song);
    /// The tracks become those of the split Q2 song.
    void ReplaceData(MidiF0Data* song);
    int SaveFile(const char* name);  ///< writes a format-1 file; the form is kept
    int SaveFile();                  ///< writes the buffer through the save panel

    /// The text of code to the message sink; 0.
    int ErrorMsg(int code);
    int ErrorMsgOnce(int code);  ///< code 0 clears every flag but drum_tone

    // ---- measure, beat and tempo (MidiF0Data_Measure.cpp / MidiF1Data_Measure.cpp) ----
    /// The position of tick under the time signatures of the first track,
    /// beats in quarter notes (or in the denominator's note value). 1, or 0
    /// (all 0) without tracks or a positive division.
    int GetMeasureBeatTick(int tick, int* measure, int* beat, int* tickInBeat);
    /// See GetMeasureBeatTick(tick, measure, beat, tickInBeat).
    int GetMeasureBeatTick(int tick, int* measure, int* beat, int* tickInBeat, bool byDenominator);
    int GetTick(int measure, int beat, int tick);  ///< the inverse of GetMeasureBeatTick
    int GetNumBeat();                              ///< longest track in quarter notes, rounded up
    int GetNextMeasureDelta(int tick);  ///< Q2: the first measure boundary at or after tick
    int GetNumMeasure();                ///< Q2: measures of the merged song
    long GetTuneLength();               ///< ticks of the longest track; 0 without tracks

    /// FromMidiF0Data that takes the song's records over instead of copying
    /// them, for a song thrown away next; the song is left with an empty track.
    void FromMidiF0DataMoving(MidiF0Data* song);
    /// SetMidiF0Data that takes this song's records over, for a song thrown
    /// away next; its tracks are left empty.
    void SetMidiF0DataMoving(MidiF0Data* song);

    // ---- polyphony of the whole song (MidiF1Data_Poly.cpp) ----
    /// The song merged into one track, in form Q2 (else 0x2000003). That track
    /// in Q1 must fit the table (all events plus one note off per Note at most
    /// kMaxEvents): otherwise reported, the song unchanged, and GetNumPoly 0.
    /// The reductions rebuild the song from the reduced track, one track per
    /// channel (as a format-0 song is split), the track names kept by channel.
    void ReduceNumPoly(int maxPoly);
    /// The same with the choices of MidiTrackData::ReduceNumPoly.
    void ReduceNumPoly(int maxPoly, int* excluded, int excludedCount, int method,
                       int (*priority)[12], bool keepTopNote);
    int GetNumPoly();  ///< most notes sounding at once in the merged song

    // ==== song level I: channels, track classification and order, song-wide
    // queries (MidiF1Data_Channels.cpp, MidiF1Data_Tracks.cpp,
    // MidiF1Data_Queries.cpp). Drum status comes from
    // retrograde::detail::DrumChannelTable (midi/song/detail/DrumChannels.h).
    // Track indexes are checked: out of range is reported (0x2000001) and
    // nothing changes. ====

    // -- channels --
    /// The lowest channel 0..15 no track uses; -1 when all are; 0 without tracks.
    int GetUnusedChanel();
    int GetNumChanel(bool* secondPort);     ///< distinct channels 0..31 (second port + 16)
    void DeleteChanel(int channel);         ///< deletes the non-master tracks of channel
    int IsDontMove(int channel, int* keep, int count);  ///< 1 when channel is among keep[0..count)
    /// velocity * 9 / 10, steps times (negative steps count as 0); velocity
    /// itself once that falls below velocity / 2.
    int GetOffsetVelocity(int velocity, int steps);
    /// Delete the first matching exclusive of the song, asking track by track;
    /// 1 when one was deleted, 0 when no track had one.
    ///@{
    int DeleteSysExF0();                                 ///< any F0 exclusive
    int DeleteSysExF7();                                 ///< any F7 message
    int DeleteSysExF0(unsigned char type);               ///< an F0 exclusive of type
    int DeleteSysExF0(int channel, unsigned char type);  ///< of type, addressed to channel
    ///@}

    // -- voices, drums, track classification and order --
    int GetNumVoice();    ///< sum of the tracks' voices (drum tracks: distinct drum notes)
    int CheckNumVoice();  ///< the same sum
    /// Channel 9, or a channel a GS rhythm-part exclusive switches to drums.
    /// Channels 16..254 are reported and false; 255 (no channel) is false.
    bool IsDrumTrack(int track);
    bool IsDrumProgramChangeSet();   ///< true when a drum track holds a program change
    void DeleteDrumProgramChange();  ///< the program changes of every drum track
    void AdjustDrumDuration();       ///< Q2: each drum track's notes end at its next hit
    void DeleteTrack(int track);  ///< frees the track; the later ones move down
    void DeleteNoNoteTrack();     ///< track 0 stays when it is a master track
    void DeleteNoNoteSysExTrack();      ///< tracks without notes and exclusives; a master track 0 stays
    void DeleteChanelSysExOnlyTrack();  ///< tracks of part exclusives only (IsChanelSysExOnlyTrack)
    void DeleteEmptyTrack();            ///< tracks holding only an end of track
    void DeleteDuplicateSongTitle();  ///< one song title in the whole song
    /// Rebuilds the song as 16 tracks, track n holding channel n (tracks
    /// without a channel, or with one above 15, go to track 1). Refused with a
    /// message when a merged track would not fit kMaxEvents.
    void AssignSameNumberToTrackAndChanel();
    void SortTrack();  ///< by channel, tracks without one first; stable
    void SwapTrack(int a, int b);  ///< exchanges two tracks (bad indexes reported)
    bool DeleteControlChange(int controller);  ///< the first per track; true when any
    bool GetMetaData(int type, char* text);    ///< text: room for 256 bytes
    int GetNumEvent(int from, int to);         ///< events between two ticks, all tracks
    int GetNumMetaEvent(int type);  ///< meta events of type, all tracks
    int GetNumNoteEvent();          ///< notes, all tracks
    bool GetTimeSign(int* value);  ///< the first time signature of the tracks
    bool CheckDoubleNote();          ///< true when a track has a note struck again while sounding
    bool CheckMiltiProgramChange();  ///< true when a track holds two program changes or more
    bool CheckDuplicateChanelTrack();  ///< two non-master tracks on one channel
    /// Gives volume 100 to every channel track without one. message: room for
    /// kCheckTrackVolumeMessageSize bytes; it always ends with the closing sentence.
    bool CheckTrackVolume(char* message);
    static constexpr int kCheckTrackVolumeMessageSize = 2048;  ///< bytes of CheckTrackVolume's text

    // -- every track / first answer --
    void InsertBlankArea(int tick, int length);         ///< every track: length ticks of silence at tick
    void DeleteAreaNoteAndPitchBend(int from, int to);  ///< every track: notes and bends of [from, to)
    void ChangeDuration(int percent);  ///< Q2
    void ShortenData(long ticks);      ///< Q2
    void ConvertExpressionToVolume();  ///< Q1 or Q2
    /// Q2 and 1..0x7FFF only (else 0x2000003 and no change); 1 or 0.
    int ChangeDivision(int newDivision);
    void DeleteChanelData(int channel);  ///< every track of channel (255: conductor tracks)
    void InsertMetaEvent(unsigned char type, char* text);  ///< into track 0, at its start
    void InsertMetaEventWithDelta(int tick, unsigned char type, char* text);  ///< into track 0, at tick
    /// Takes event over. The first track holding channel's events and none of
    /// another channel gets it at tick; without one a new track is appended.
    void InsertEventToChanelWithDelta(int channel, MidiEvent* event, int tick);
    int DeleteMetaEvent(unsigned char type);  ///< Q2; 1 or 0
    int GetTempo(long* tempo);                ///< 1 and the first tempo; 0
    int GetTempo(long* tempo, int n);         ///< n-th tempo (from 1) of the first track with one
    int GetChanelVolume(int channel);         ///< -1 when none
    int GetChanelProgramChange(int channel);  ///< -1 when none
    int GetTrackNumberOfChanel(int channel);  ///< -1 when none
    int GetTrackNoOfSequenceName(char* pattern);  ///< wildcards; -1 when none
    int GetMasterVolume();                    ///< the first; each further one reported; -1
    int GetCenterNote(int channel);           ///< of the last track of channel; 64
    void GetNoteRange(int channel, int* low, int* high);  ///< 127 and 0 without notes
    /// table: room for kMaxTempoData entries. Returns the entries stored; a
    /// 513th tempo is reported (the result stays 512).
    int ExtractTempoData(_TempoData* table);
    static constexpr int kMaxTempoData = 512;  ///< entries ExtractTempoData writes at most
    /// slots: 17 buffers of kTitleSlotSize bytes (channels 0..15, then tracks
    /// without a channel); at most 255 bytes and a zero are written to each.
    void BackupTrackTitle(char** slots);
    void RestoreTrackTitle(char** slots);  ///< empty slots add nothing
    static constexpr int kTitleSlots = 17;      ///< slots BackupTrackTitle fills
    static constexpr int kTitleSlotSize = 256;  ///< bytes of each slot
    // ==== end of song level I ====

    // ==== song level III: time edits, checks and texts (MidiF1Data_SongTime.cpp).
    // Track indexes are checked as in song level I. Arguments only passed on
    // mean what they mean to the track-level operation of the same name. ====

    /// Every track: AdjustNoteRange(-1, low, high, 1); true when any Note was outside.
    bool AdjustNoteRange(int low, int high);
    /// Tracks with a channel that are not drum tracks: ModifyDeltaTime(grid)
    /// and ModifyDuration(grid). A grid of 0 or less is refused (0x2000003).
    void ModifyEventTime(int grid);
    void ModifyEventTime(int from, int to, int grid);  ///< drum tracks skipped
    /// Tracks with a channel: the ranged ModifyDeltaTime and ModifyDuration,
    /// drum tracks skipped when skipDrums. A grid of 0 or less is refused.
    void ModifyEventTime(int from, int to, int grid, bool skipDrums);
    void ShortenNoteAfterSpecifiedDelta(long tick);          ///< every track, Q2
    void DeleteEventAfterSpecifiedDelta(long tick, int status);  ///< every track, Q2
    /// Every track: MidiTrackData::ReplaceSysExF0Data with the same arguments.
    void ReplaceSysExF0Data(unsigned char unused, char* pattern, unsigned char number,
                            char* replacement);
    /// Every track: MidiTrackData::ReplaceMetaEventData with the same arguments.
    void ReplaceMetaEventData(unsigned char type, char* text, unsigned char newType, char* bytes);
    void ReplaceMetaEvent(unsigned char type, unsigned char newType);  ///< every track
    /// Every track: full-width Shift-JIS letters and digits (letters) and
    /// katakana (kana) to one byte, in the texts of events of status and number.
    void DbcsToSbcs(bool letters, bool kana, int status, int number);
    /// Q2: the velocities of the last length ticks of the tune fade to 0;
    /// a length of 0 or less is refused (0x2000003).
    void SetFadeOut(int length);
    double DeltaTimeToSecond(int from, int to);  ///< the first track's tempos; 0.0 without tracks
    /// false at the first checked track with an event off the grid; drum
    /// tracks skipped when skipDrums. A grid of 0 or less is refused: false.
    bool CheckEventTime(int from, int to, int grid, bool skipDrums);
    /// The same over the tracks of channel.
    bool CheckEventTime(int from, int to, int channel, int grid, bool skipDrums);
    /// Every track but master tracks; false at the first out of order.
    bool CheckOrderOfBankSelectAndProgramChange();
    /// The same; Q1 or Q2 (else 0x2000003 and false); the failing index into *track.
    bool CheckOrderOfBankSelectAndProgramChange(int* track);
    long GetLastNotePos();  ///< the latest track's; 0 without tracks
    /// The tick of the first marker reading text; -1 when none.
    long GetEndMarkerDelta(char* text);
    long GetMarkerLocation(char* text);    ///< as GetEndMarkerDelta; 0 without tracks
    long GetEndCuePointDelta(char* text);  ///< the same for cue points; 0 without tracks
    /// Every song title of the master track becomes title; a song without one
    /// is left as it is.
    void ReplaceSongTitle(char* title);
    bool CheckMetaEventLocation(int t, int type);  ///< master track; true without one
    bool CheckMetaEventLocation(int t, int type, int value);  ///< master track; true without one
    bool CheckAreaTempoRange(int from, int to, int minBpm, int maxBpm);  ///< master track
    bool CheckTempoRange(int minBpm, int maxBpm);                        ///< master track
    double GetDurationTime(int from, int to);  ///< master track's seconds; 0.0 without one
    /// Q1: keeps the count areas [begin, end) of every track, joined end to
    /// end; the first master track's measures are split at the cuts first so
    /// each cut falls on a bar line. At most kMaxAreas ascending, disjoint,
    /// non-empty, non-negative areas; anything else is refused (0x2000003).
    void ExtractArea(int (*areas)[2], int count);
    static constexpr int kMaxAreas = 1024;  ///< areas ExtractArea takes at most
    /// Every event of track moves ticks earlier; notes before that tick go,
    /// other events before it move to the start. 0 or less: no change.
    void SetBegin(int track, int ticks);
    /// track ends at its first event at or after ticks: later events go, and
    /// notes sounding there end there (Q1: note offs added; Q2: cut).
    void SetDuration(int track, int ticks);
    void SetBegin(int ticks);     ///< SetBegin on every track, without the channel check
    /// Every track ends at ticks exactly: later events go, notes sounding
    /// there end there (Q1: note offs added; Q2: cut).
    void SetDuration(int ticks);
    /// MidiTrackData::QuantizeData(divisor, division) on track; a divisor
    /// outside 1..division is refused (0x2000003).
    void QuantizeData(int track, int divisor);
    /// Every change of controller scaled so the song's largest becomes 127;
    /// when all are 0 every one becomes 127.
    void SetControlChangeRelativelyMaxValue(int controller);
    bool IsChanelUsed(int channel);  ///< true when a Q2 Note of some track is on channel
    /// Q2: bytes of the song written as a format-1 file (0x2000003 and 0
    /// otherwise); the song itself is not touched.
    unsigned GetFileSize();
    /// "mmmm:bb:ttt" of time into text (room for kLocationTextSize bytes); text.
    char* GetLocationString(int time, char* text);
    static constexpr int kLocationTextSize = 40;  ///< bytes GetLocationString may write
    // ==== end of song level III: time edits ====
    // ==== channel moves and splits (MidiF1Data_ChangeChanel.cpp) ====
    /// Moves the given track's channel to channel (0..15) in every track whose
    /// instrument name (meta type 4) equals the given track's; tracks without
    /// one all match. The last track's result of the track-level move (0
    /// applied, 1 not); -1, reported, for a bad index, a track without a
    /// channel or a channel outside 0..15.
    int ChangeChanel(int track, int channel);
    /// Gives every track on the second port a first-port channel: its own
    /// number when free (its second-port name is then deleted), else the
    /// lowest free channel, with the drum switch a move to or from channel 10
    /// needs. Tracks for which no channel is free keep theirs.
    void SetChanelOrder();
    /// Numbers the channels 0, 1, ... in the order of their first track,
    /// skipping and keeping the channels of keep[0..count) (entries outside
    /// 0..15 ignored, a null list empty). Drum tracks get the drum switch of
    /// their new channel, a melodic track landing on channel 10 the switch
    /// off; instrument names are deleted. 1; 0, reported and nothing changed,
    /// when more than 16 channels would be needed. Duplicates left are reported.
    int ReNumberChanel(int* keep, int count);
    /// For each non-master track of channel: a drum track keeps at most
    /// maxVoices note numbers (ReduceDrumVoice), another at most maxVoices
    /// notes sounding at once (ReduceVoice). Q2.
    void ReduceChanelVoice(int channel, int maxVoices);
    /// Q1 or Q2. Gathers the exclusive-only tracks (several are reported)
    /// and moves each part exclusive into the track of its channel at its
    /// tick (a new track when none holds that channel alone). Exclusives
    /// without a channel, F7 messages and the metas stay in one track at the
    /// first gathered track's place. Refused, reported and nothing changed
    /// when the result would not fit. Running it again changes nothing.
    void SysExToChanel();
    /// Q2, channel 0..15, criterion 1 (note number), 2 (duration) or 3
    /// (velocity): every track of channel becomes two, the first with the
    /// notes whose key is at least threshold, the one after it with the
    /// others; both keep every other event. Refused and reported when the
    /// tracks would not fit.
    void SplitChanel(int channel, int threshold, int criterion);
    /// Q2: a track playing several instruments (bank MSB, LSB, program; notes
    /// before the first program change play 0, 0, 0) becomes one track per
    /// instrument, appended on the lowest free channels (second-port channels
    /// get the instrument name "SC88B"); fewer than two instruments change
    /// nothing. 0; -1, reported and nothing changed, for a bad index or form,
    /// a drum track, or too few channels or track places (0x2000011).
    int SplitProgramChange(int track);

    // ==== song level II, combining tracks (MidiF1Data_Combine.cpp). Track
    // lists are ascending indexes, the first the target; a bad list is
    // refused (0x2000003). A merge that would not fit kMaxEvents is refused
    // before anything changes. ====
    /// Q2: moves tracks indices[1..count) to the channel of indices[0], merges
    /// them into it in that order (names joined " / ") and deletes them; with
    /// cleanNotes then CleanUpDuplicateNoteOnOff(). 1 when done (one index
    /// changes nothing), 0 when refused.
    int CombineTrack(int count, int* indices, bool cleanNotes);
    int CombineSameChanelTrack();  ///< CombineSameChanelTrack(nullptr)
    /// Q2: merges the non-drum tracks sharing a channel and a port. report:
    /// kCombineReportSize bytes or nullptr; one line per shared channel, as
    /// many as fit. 1 when any channel had several tracks, else 0.
    int CombineSameChanelTrack(char* report);
    static constexpr int kCombineReportSize = 4096;  ///< bytes of CombineSameChanelTrack's report
    void CombineSameToneTrack();  ///< CombineSameToneTrack(0, nullptr)
    /// Q2: merges the channel tracks (neither drums nor on a keepChannels
    /// channel, at most one program change) of the same instrument name, bank
    /// (none counts as 0) and program.
    void CombineSameToneTrack(int count, int* keepChannels);
    /// Q2: every drum track merged into the first (one on channel 10 preferred).
    void CombineDrumTrack();
    /// 1 when a uses at most one program and every program change of b has it
    /// (a without any: b must have none); else 0.
    int IsDrumProgramChangeSame(MidiF1TrackData* a, MidiF1TrackData* b);
    /// Q2: merges the channel tracks of each family of eight programs (neither
    /// master nor drums) under the program of the member with the most Notes,
    /// then merges the tracks with the fewest Notes while more than
    /// maxChannels channels are used; ends with SetChanelOrder().
    void CombineSameGroupToneTrack(int maxChannels);
    /// Q2: two ports brought down to 16 channels: drums combined, then tracks
    /// of one sound, then of one family, until 16 channels or fewer remain.
    void ConvChanel32To16();
    /// The different instrument names (meta type 4) of the tracks in order of
    /// first appearance, "" for tracks without one; names: kMaxTracks rows of
    /// kInstNameSize bytes, at most 255 bytes of a name copied. Their number.
    int GetInstNameList(char (*names)[256]);
    static constexpr int kInstNameSize = 256;  ///< bytes of a GetInstNameList row
    /// Each track's clean-up of the same name (Q2, else 0x2000003).
    void CleanUpDuplicateNoteOnOff();
    void CleanUpDuplicateProgramChange();  ///< every track; Q1 or Q2, else 0x2000003
    /// Every track; Q1 or Q2, else 0x2000003.
    void CleanUpDuplicateBankSelectAndProgramChange();
    /// Every track, with the controllers kept; Q1 or Q2, else 0x2000003.
    void CleanUpDuplicateControlChangeExceptSpecifiedCmd(int* controllers, int count);
    void CleanUpDuplicateVolumeExpressionOfSameTiming();  ///< every track; Q1 or Q2
    void CleanUpDuplicatePitchBend();                     ///< every track
    void CleanUpPan();                                    ///< every track
    // ==== end of combining tracks ====
    // ==== song level III: drums (MidiF1Data_Drums.cpp) and pitch bends to
    // notes (MidiF1Data_Bend.cpp). Master tracks are left alone by the
    // mappings. ====

    int GetNumDrumTrack();  ///< tracks that play drums
    /// Every drum track that is not a master track, from the last to the first:
    /// its MidiTrackData::DrumDrumMapping(bank, map, flag). map: 128 rows.
    void DrumDrumMapping(int bank, char (*map)[128], bool flag);
    /// Q2 (else 0x2000003). Moves drum sounds to tone tracks: for every drum
    /// track (not a master track, the last first) whose bank (the first control
    /// change 32, 0 without one) equals bank, each drum note n that it plays
    /// and whose map[kit][n] (kit: the track's program, 0 without one) holds a
    /// program 0..127 leaves the track for a new one: a copy holding only those
    /// notes, renamed "DrumToneMapping " plus the old name, on the lowest free
    /// channel that does not play drums, the notes changed to the entry's note,
    /// with bank selects 0 and the entry's program, and without the drum
    /// track's exclusives. A negative program leaves the note alone; a note
    /// outside 0..127 is skipped with a message. Without a free channel
    /// (reported once per process) or a free track slot the notes stay.
    /// resetKit: every such drum track's bank selects and program become 0.
    /// map: 128 kits of 128 entries. 1 when any sound moved, else 0.
    int DrumToneMapping(int bank, char (*map)[128][2], bool resetKit);
    void DeleteInvalidDrum();  ///< DeleteInvalidDrum(true)
    /// Q2 (else 0x2000003): every drum track's MidiTrackData::DeleteInvalidDrum(report);
    /// with report, each drum track with a program of 1 or more is reported.
    void DeleteInvalidDrum(bool report);
    /// Q2 (else 0x2000003): on every drum track whose bank (the first control
    /// change 0, 0 without one) and program (0 without one) are bank and
    /// program, MidiF1TrackData::DeleteNote(note, same).
    void DeleteDrumNote(int bank, int program, int note, bool same);

    /// The bend range the song sets in semitones: a data entry (control change
    /// 6) on a channel whose registered parameter (controls 101 and 100) is 0/0,
    /// over the tracks that do not play drums, the last one winning; 2 (the
    /// receivers' default) when there is none.
    int GetPitchBendSensitivity();
    /// Q2 (else 0x2000003); sensitivity 1..8191 (else reported, no change).
    /// On every track that does not play drums, each note sounding under a bend
    /// is shifted by the bend's whole semitones (clamped to 0..127) and split
    /// at each later bend it sounds under, softer for larger shifts
    /// (GetOffsetVelocity); then the track holds no pitch bends and no
    /// modulation. Meant for melodic lines: the notes that sound together with
    /// a note being split (chords) are neither split nor shifted.
    void ConvPitchBendToNote(int sensitivity);
    // ==== end of song level III: drums and pitch bends ====

private:
    void LoadImage(const unsigned char* bytes, long size);
    // Reads the file in the buffer: a format-1 file directly, a format-0 file
    // (with the words of the format-0 reading) split into kF1TracksFromF0 tracks.
    void ReadBuffer();
    // SetQ1; with a pairing the notes of each track are paired as it is
    // read, and the song comes out in form Q2.
    void SetQ1(retrograde::detail::NotePairing* pairing);
    void MergeIntoSong(MidiF0Data* song, bool move);
    // Splits a Q2 track of a format-0 song into kF1TracksFromF0 tracks.
    void SplitTrack(MidiTrackData* source, int division, bool move);

    int header_tracks_ = 0;  // tracks the header announced (at most 32 after an error)
};
