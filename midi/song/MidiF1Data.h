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

private:
    void LoadImage(const unsigned char* bytes, long size);
    // Reads the file in the buffer: a format-1 file directly, a format-0 file
    // (with the words of the format-0 reading) split into kF1TracksFromF0 tracks.
    void ReadBuffer();
    // SetQ1; with pairings the notes of each track are paired as it is read
    // (one pairing per track appended), for Q1toQ2(pairings) next.
    void SetQ1(std::vector<retrograde::detail::NotePairing>* pairings);
    void Q1toQ2(const std::vector<retrograde::detail::NotePairing>& pairings);
    void MergeIntoSong(MidiF0Data* song, bool move);
    // Splits a Q2 track of a format-0 song into kF1TracksFromF0 tracks.
    void SplitTrack(MidiTrackData* source, int division, bool move);

    int header_tracks_ = 0;  // tracks the header announced (at most 32 after an error)
};
