/// @file
/// The format-0 song: one track holding every event of the song. The form in
/// which the program keeps, mirrors, plays and saves a loaded file.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "midi/song/MidiData.h"
#include "midi/track/MidiTrackData.h"

// Error codes of MidiF0Data (top byte 0x04).
/// The file is not format 0.
inline constexpr int kErrF0NotFormat0 = 0x4000001;
/// The file could not be read.
inline constexpr int kErrF0OpenFile = 0x4000002;
/// The header's track count is wrong.
inline constexpr int kErrF0TrackCount = 0x4000003;
/// No Standard MIDI File.
inline constexpr int kErrF0NotMidi = 0x4000004;
/// MidiF0Data's general failure: a wrong form or missing track, refused.
inline constexpr int kErrF0Internal = 0x4000005;
inline constexpr int kErrF0TimeSign = 0x4000007;  ///< ErrorMsgOnce only

/// Where an event lies: its absolute tick and its measure, beat and tick within
/// the beat, counted from 0.
struct MidiMeasurePosition {
    int tick = 0;          ///< absolute tick
    int measure = 0;       ///< from 0
    int beat = 0;          ///< from 0
    int tick_in_beat = 0;  ///< from 0
};

/// A format-0 song: one track holding every channel. Operations on the wrong form,
/// or without a track, are refused and reported (kErrF0Internal).
class MidiF0Data : public MidiData {
public:
    std::unique_ptr<MidiF0Data> play_data;  ///< the copy that plays while this song plays
    std::unique_ptr<MidiTrackData> track;   ///< the one track (Q1 or Q2); null in form Raw

    // ---- construction, forms and saving (MidiF0Data.cpp) ----
    MidiF0Data();                   ///< form Q2, an empty Q2 track
    explicit MidiF0Data(int form);  ///< an empty track of that form
    /// An empty track of that form, at division.
    MidiF0Data(int form, long division);
    explicit MidiF0Data(const char* name);              ///< loads the file; format 1 is merged
    MidiF0Data(const unsigned char* bytes, long size);  ///< a file image; ends in Q2
    explicit MidiF0Data(MidiF0Data* other);             ///< deep copy of a Q2 song
    MidiF0Data(MidiF0Data* other, int from, int to);    ///< the ticks [from, to) of other
    MidiF0Data(MidiTrackData* track, int division);     ///< a copy of a Q2 track
    ~MidiF0Data();
    MidiF0Data(const MidiF0Data&) = delete;
    MidiF0Data& operator=(const MidiF0Data&) = delete;

    MidiTrackData* GetTrack() const { return track.get(); }  ///< the song's track; may be null

    int GetHeaderInfo();             ///< with messages; 1 accepted, 0 refused
    int GetHeaderInfo(bool report);  ///< reads the header at position; sets division
    void SetHeaderInfo();            ///< writes the 14-byte format-0 header
    void SetQ1();                    ///< Raw -> Q1 (reads the track chunk at position)
    /// Q1: the track's Q1toQ2; form Q2.
    void Q1toQ2();
    /// Q2: the track's Q2toQ1; form Q1.
    void Q2toQ1();
    /// Q1 -> Raw: the buffer then holds a complete format-0 file of size bytes.
    /// 1 when written; 0 when refused (wrong form, or the file would not fit the
    /// buffer: the song then stays in Q1 as it was).
    int Q1toRaw();
    /// Q2: rescales every time to division; 1 when a Note shrank to 0 ticks (kept at 1).
    int ChangeDivision(int division);
    int ChangeDivision(int division, bool flag);  ///< the track's result
    void AddTrack(MidiTrackData* track);          ///< merges a copy of track, titles kept
    /// AddTrack(track, false).
    void AddTrackWithoutTrackTitle(MidiTrackData* track);
    /// Merges a copy of track in (MergeTrackOwnFirst), then removes doubled notes.
    void AddTrack(MidiTrackData* track, bool withTitle);
    void Connect(MidiF0Data* other);  ///< appends other's events after this song's end
    /// Removes every event of channel.
    void DeleteChanelData(int channel);

    /// The text of code to the message sink; 0.
    int ErrorMsg(int code);
    int ErrorMsgOnce(int code);  ///< code 0 clears the flag

    // ---- playback (MidiF0Data_Play.cpp): done by the player that the
    // playback layer installs (MidiPlayHooks.h); without one, Play and
    // StartPlayThread answer ENODEV and Stop has nothing to stop ----
    /// What the next play thread plays, and how.
    struct PlayThreadData {
        std::atomic<MidiF0Data*> song;  ///< what the next play thread plays
        void* (*entry)(void*);          ///< the play thread's routine
    };
    /// Shared by every song.
    static PlayThreadData MacPlayData;
    int Play();             ///< plays a copy at division 96; 0 when its thread started
    int StartPlayThread();  ///< on the play copy: waits for an earlier play, starts a thread
    /// Runs the installed player's play thread.
    static void* PlayThread(void* unused);
    int Stop();  ///< stops the playing copy and destroys it; 1

    // ---- mirror transforms (MidiF0Data_Mirror.cpp) ----
    /// Q1: the song backwards in time. Every note keeps its length, program
    /// changes again precede the passage they govern, the silence before the
    /// first event is dropped. The song must end with its end of track.
    void HorizontalReverse();
    /// With carryState, each passage keeps the sound it had: every state event
    /// (controller, pitch bend, pressure, program, tempo, time and key
    /// signature, RPN and NRPN parameter) sets, at its mirrored time, the
    /// value from before it, and the song's final state leads at time 0.
    void HorizontalReverse(bool carryState);
    void HorizontalReverseSub();  ///< Q1: each program change takes its predecessor's place
    /// Q1: every melodic channel's notes mirrored about the octave boundary at
    /// or below the middle of the channel's range; drum channels stay.
    void VerticalReverse();
    void HoldPedalToNote();  ///< Q2: the hold pedal (controller 64) becomes longer notes
    /// Q1 or Q2: removes the whole empty measures before the first note;
    /// returns the ticks removed.
    int BeginImmidiately();
    void MakeDeltaZero(int ticks);  ///< time 0..ticks collapses to 0, the rest moves earlier
    int GetDeltaOfFirstNote();      ///< Q2: the tick of the first note
    /// Q2: the index of the last event sounding at the first note's instant.
    int GetPostionOfFirstNote();
    /// Q2: the lowest and highest note of channel; 127 and 0 when it has none.
    void GetNoteRange(int channel, int* low, int* high);

    // ---- measure, beat and tempo (MidiF0Data_Measure.cpp / MidiF1Data_Measure.cpp) ----
    /// The fixed time signature, else the track's first: 1 and *value, or 0.
    int GetTimeSign(int* value);
    /// Ticks of one measure of the song's time signature; 384 when the song
    /// has no time signature or no division.
    int GetOneMeasureTick();
    /// Q1 or Q2: the position of tick, beats counted in quarter notes or, with
    /// byDenominator, in the time signature's note value. 1, or 0 (all 0)
    /// when the song has no positive division or measure length.
    int GetMeasureBeatTick(int tick, int* measure, int* beat, int* tickInBeat, bool byDenominator);
    /// Q1 or Q2: the position of every event at its own tick, as
    /// GetMeasureBeatTick gives it, in one walk. 1, or 0 as above.
    int GetEventPositions(std::vector<MidiMeasurePosition>* positions, bool byDenominator);
    int GetTickFromMeasure(int measure);  ///< Q1: the tick at which measure begins
    int GetNextMeasureDelta(int tick);    ///< the first measure boundary at or after tick
    int GetNumMeasure();                  ///< Q1: measures, a partial one counting whole
    /// Microseconds per quarter note of the first tempo; 500000 when none.
    long GetClockTempo();
    long GetSongDuration();         ///< Q2: ticks to the end of the last note or event
    void SetStartTempo();           ///< Q2: 100 bpm at the first note when no tempo comes earlier
    void MoveTempoBeforeNote();     ///< every tempo leads its instant; the later of two wins
    void DeleteUnnecessaryTempo();  ///< Q2: only the last tempo before the first note stays
    void DeleteTempo(int first, int last);  ///< tempos at indexes first..last
    /// Q1 or Q2: the song starts at its "START" marker (notes before it go)
    /// or ends at its "STOP" marker; 1 when the marker was found, else 0.
    ///@{
    int BeginStartMarker();
    int EndStopMarker();
    ///@}
    void ChangeMarker(const char* from, const char* to);  ///< Q2: marker texts from -> to

    // ---- track operations passed through to the one track (MidiF0Data_PassThrough.cpp) ----
    /// Each gives the track's result; a song without a track (form Raw) is
    /// reported and gives 0.
    ///@{
    int DeleteControlChange(unsigned char controller);  ///< every one of controller; 0
    void ExtractChanelData(int channel);                ///< keeps the events of channel only
    int PackDrumSet();                                  ///< each drum group to its most used sound
    int IsEventExist(int status, int from, int to);     ///< 1 when an event of status is in [from, to)
    int CheckDoubleNote();                              ///< 1 when a note is struck while sounding
    int GetNumEvent(int from, int to);                  ///< events in [from, to)
    ///@}

private:
    void LoadByName(const char* name, bool allowFallback);
    void LoadImage(const unsigned char* bytes, long size, bool report);
    // Reads the file in the buffer: true when its events were read. When it
    // is no format-0 file and allowFallback is set, it is read as a format-1
    // file whose tracks are merged into this song's track.
    bool ReadBuffer(bool report, bool allowFallback);
    bool MergeFormat1Image();  // the format-1 reading of ReadBuffer
    // SetQ1; with a pairing the notes are paired as the track is read, and
    // a track read comes out in form Q2. True when the chunk was read.
    bool ReadTrackChunk(retrograde::detail::NotePairing* pairing);
};
