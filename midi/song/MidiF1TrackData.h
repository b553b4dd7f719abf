/// @file
/// A track of a format-1 song: a MidiTrackData with the analysis operations
/// that work on one track of a song.
#pragma once

#include "midi/track/MidiTrackData.h"

// Error codes of MidiF1TrackData (top byte 0x02, shared with MidiF1Data).
/// Polyphony cannot be reduced to 0 voices.
inline constexpr int kErrF1TrackZeroVoices = 0x200000C;  ///< the same number as kErrF1Channel
inline constexpr int kErrF1TrackInternal = 0xD000001;    ///< shows the class's general text
inline constexpr int kErrF1TrackVoicesLeft = 0x2000003;  ///< a reduction fell short; general text

/// The most copies ExtractEvent stores.
inline constexpr int kAreaExtractLimit = 1024;

/// One track of a format-1 song.
class MidiF1TrackData : public MidiTrackData {
public:
    // ---- construction (MidiF1TrackData.cpp) ----
    MidiF1TrackData() = default;
    explicit MidiF1TrackData(int form) : MidiTrackData(form) {}  ///< empty, given form
    MidiF1TrackData(int form, int second);  ///< only an end of track; second has no effect
    MidiF1TrackData(long size, long position, unsigned char* buffer);  ///< decodes one chunk
    /// The same, pairing the notes as they are read (see MidiTrackData).
    MidiF1TrackData(long size, long position, unsigned char* buffer,
                    retrograde::detail::NotePairing& pairing);
    explicit MidiF1TrackData(MidiTrackData* other);             ///< deep copy
    MidiF1TrackData(MidiF1TrackData* other, int from, int to);  ///< the ticks [from, to)
    /// Takes over count records (in order) and marks the track with form.
    MidiF1TrackData(MidiEvent** events, int count, int form);

    /// Hides MidiTrackData::ErrorMsg: a caller that means a MidiTrackData
    /// text through a MidiF1TrackData qualifies the call. Returns 0.
    int ErrorMsg(int code);

    // ---- clean-ups that never change what is heard (MidiF1TrackData_CleanUp.cpp) ----
    /// Every clean-up keys its state by (channel, number). A note sounds while
    /// its key is held and while the hold pedal keeps it ringing; an event is
    /// removed only when no one can hear the difference. Q1 or Q2 (others:
    /// a message, no change).
    void CleanUpVolumeChange();
    /// Controllers 0, 6, 32, 38, 64-69, 96-101 and 120-127 are always kept.
    void CleanUpDuplicateControlChangeExceptSpecifiedCmd(int* except, int count);
    /// Removes the pan changes no one hears.
    void CleanUpPan();
    /// Removes volume and expression changes that repeat the value in force.
    void CleanUpDuplicateVolumeExpressionOfSameValue();
    /// Removes volume and expression changes at one tick but the last.
    void CleanUpDuplicateVolumeExpressionOfSameTiming();
    /// Removes the pitch bends no one hears.
    void CleanUpDuplicatePitchBend();

    // ---- classification, queries and setters (MidiF1TrackData_Classify.cpp) ----
    /// True for meta events only, at least two of them, and for an empty table.
    bool IsMasterTrack();
    /// True for no master track: exclusive and meta events only, one exclusive or more.
    bool IsSysExTrack();
    /// True for a SysEx track whose exclusives all address single GS parts.
    bool IsChanelSysExOnlyTrack();
    /// True when the track holds nothing but an end of track.
    bool IsEmpty();
    /// True for two program changes or more.
    bool CheckMiltiProgramChange();
    bool IsNoteExist(int note);  ///< Q2
    /// The value of an event: controller value, program, pitch-bend high 7
    /// bits, tempo. Setters act on channel messages only and refuse values
    /// above 127.
    int GetEventValue(unsigned char status);  ///< the first with status; -1
    /// Sets the value of the first event with status.
    void SetEventValue(unsigned char status, unsigned char value);
    /// Sets the first program change to program.
    void SetProgramChangeValue(int program);
    /// Sets every control change of controller to value.
    void SetControlChangeValue(int controller, int value);
    /// The number of events with status.
    int GetNumSpecifiedEvent(unsigned char status);
    /// The number of program changes.
    int GetNumProgramChange();
    /// The number of control changes of controller.
    int GetNumControlChange(int controller);
    int GetNumControlChange(int from, int to, int controller);  ///< ticks [from, to)
    int GetControlChangeMaxValue(int controller);               ///< 0 when none
    void GetNoteRange(int* low, int* high);                     ///< Q2; 127 and 0 without notes
    int GetCenterNote();  ///< Q2: duration-weighted mean note; 64 without notes
    /// Removes every Note (Q2); the arguments are unused.
    void EraseNoteEvent(int, int);
    /// Sets every volume and expression to 127.
    void SetMaxVolume();
    using MidiTrackData::SetMaxVelocity;         ///< the channel form stays in reach
    void SetMaxVelocity();                       ///< Q2: the loudest note becomes 127
    void AdjustDrumDuration();                   ///< Q2: a drum note ends where its next hit begins
    void InsertDrumScale(bool on, int channel);  ///< the GS rhythm-part message at index 0

    // ---- merge and program unification (MidiF1TrackData_Merge.cpp) ----
    /// The track-level forms stay in reach.
    using MidiTrackData::MergeTrack;
    /// The track-level form stays in reach.
    using MidiTrackData::MergeTrackWithoutTrackTitle;
    void MergeTrack(MidiF1TrackData* other);  ///< the plain merge, track names joined
    /// The plain merge, MidiTrackData::MergeTrack(other, false): other's names left out.
    void MergeTrackWithoutTrackTitle(MidiF1TrackData* other);
    /// The merge that keeps what is heard: velocities balanced for each
    /// copy's volume and expression, pitch bends for each copy's bend range;
    /// then cleaned up. Tracks of different forms, or a result past the event
    /// table, are refused with a message and nothing changes.
    void MergeTrack(MidiF1TrackData* other, bool withTitle);
    void ExtractEventOfSpecifiedBankSelectAndProgramChange(int msb, int lsb, int program);  ///< Q2
    /// When the track holds both programs (and banks), the old ones become the new;
    /// a value outside 0..127 is refused, reported.
    void UnifyProgramChange(int program, int otherProgram);
    /// The same for bank select and program together.
    void UnifyProgramChange(int msb, int lsb, int program, int oldMsb, int oldLsb, int oldProgram);
    void UnifyPitchBendSensitivity(int sensitivity);  ///< 1..127
    /// Removes the bend-range settings that repeat the range in force.
    void CleanUpDuplicatePitchBendSensitivity();
    /// Controllers 101, 100 and 6 before index (mode 2 only); 1 when inserted.
    int InsertRpnAndDataEntry(int index, int mode, int msb, int lsb, int value);
    /// Value of the first data entry of parameter (msb, lsb) at or after
    /// *index, whose index goes to *index; -1 when none.
    int GetRpnDataEntry(int* index, int msb, int lsb);
    bool IsSC88BPort();  ///< an instrument name names the B port of an SC-88

    // ---- area and measure editing (MidiF1TrackData_Area.cpp) ----
    /// Times are absolute ticks; a span [from, to) holds from <= t < to. None
    /// of these loses the song's setup or leaves a note sounding: a note cut
    /// at an edge gets its note off there, and where a span's state is
    /// removed the state is re-established after it.
    ///
    /// Copies of the events of [from, to) into out (at most
    /// kAreaExtractLimit places; the caller owns the copies, no terminating
    /// null). Returns how many; a span with more is reported.
    int ExtractEvent(int from, int to, MidiEvent** out);
    /// Removes the notes and other events of [from, to); the span keeps its
    /// length. Controller, program, pitch-bend, tempo, time and key signature
    /// changes, exclusives and the names and other metas that hold for the
    /// whole song move to from, in order. Notes sounding at from end there.
    void ClearEvents(int from, int to);
    /// Takes over the null-terminated block events (deltas from one another,
    /// the first from time; a track of at most its end of track takes it
    /// from 0) and merges it in. The end of track moves to the block's end
    /// or to end when later. A block past the event table is refused,
    /// reported, and destroyed.
    void InsertEvents(int time, int end, MidiEvent** events);
    /// Q1: removes the contents of [from, to). Notes sounding at from end
    /// there, notes sounding at to are struck again there with their own
    /// velocity; the state the span changed (controllers, programs, bends,
    /// RPN and NRPN parameters, tempo, time and key signature) is re-made at
    /// to, after the span's exclusives and song-wide metas, which move there.
    void DeleteAreaData(int from, int to);
    void DeleteAreaTime(int from, int to);  ///< Q1: later events move earlier by to - from
    using MidiTrackData::ExtractArea;
    /// Q1: keeps only the count areas [begin, end) (ascending, not
    /// overlapping, not empty), joined end to end as DeleteAreaData leaves
    /// each gap; the end of track stands at the sum of their lengths. Other
    /// areas are refused with a message and no change.
    void ExtractArea(int (*areas)[2], int count);
    /// Splits the measure holding time at time with two time signatures in
    /// sixteenths and restores the running one at the next bar line (unless
    /// one stands there). Refused, with a message and no change, for a
    /// division below 4, a part that is not a whole number of sixteenths from
    /// 1 to 255, or a time outside the track.
    void DivideMeasureByTimeSign(int division, int time);
    void DeleteNote(int time);                ///< Q2: every note starting at or after time
    void DeleteNote(int note, bool same);     ///< Q2: the notes of note (same) or of every other
    void DeletePitchBendWithNote(int index);  ///< Q1 or Q2: the bends under the note at index
    /// Seconds from tick from to tick to (to - from may be negative); ticks
    /// past the last event go at the last tempo. 0, reported, for a division
    /// of 0 or less.
    double DeltaTimeToSecond(int from, int to, int division);
    /// Note ons (a note on of velocity 0 is a note off) become Notes ending at
    /// the first unused note off, whatever its key; notes of no length go.
    /// Form Q2 afterwards. A Raw track is refused.
    void SetQ2Data();

    // ---- repeats, similarity and decoration notes (MidiF1TrackData_Repeat.cpp) ----
    /// Q2. The most notes of a passage that come again later, in time and
    /// pitch, on a notes-only copy with decoration notes absorbed and times
    /// quantised to unit/2 (no quantising below 1 tick). Matches are counted
    /// note by note along the passage, so the measure suits melody tracks;
    /// chords in the repeat make it fall behind. *begin and *end get the ticks
    /// where the passage starts and its last note ends (both 0 without notes).
    /// The search takes a table of n(n-1)/2 entries (4 bytes each) for n notes;
    /// above 8,192 notes it is refused. 0 on the wrong form or a refusal.
    int DetectLongestRepeat(int, int* begin, int* end, int unit);
    /// Q2: percentage (0..100) of this track's notes that other has with the
    /// same note number, duration and velocity within tolerance ticks.
    int GetSimilarity(MidiF1TrackData* other, int tolerance);
    /// Q2: 1 when a note like note (number, duration, velocity) starts in the
    /// ticks [from, to], else 0.
    int IsNoteEventExist(int from, int to, MidiEvent* note);
    /// Removes every event whose status differs from status (keep) or equals it.
    void FilterEvent(int status, bool keep);
    /// Q2: a note of at most unit/2 ticks a semitone below the next note of its
    /// channel, which starts within unit/2 and lasts longer, becomes that note.
    void DeleteDecorationNote(int unit);

    // ---- phrase breaks and index queries (MidiF1TrackData_Break.cpp) ----
    /// A break is an event where no note sounds and a silence of at least
    /// minGap ticks follows (forward) or precedes (backward). Indexes outside
    /// the table give -1 from searches and 0 from times. A note on with
    /// velocity 0 counts as a note off.
    /// Q1. The break nearest to index in the direction searched, or -1. Both
    /// SearchBreak forms first move note offs ahead of note ons at each tick
    /// (MoveNoteOffFront): the track is reordered.
    int SearchBreak(int index, bool forward, int minGap);
    /// variant true: forward, the first note on after the break; backward,
    /// the break itself. variant false: forward the break, backward the last
    /// note off before it.
    int SearchBreak(int index, bool forward, int minGap, bool variant);
    int SearchBreakForword(int index, bool, int minGap, bool variant);   ///< never before index
    int SearchBreakBackword(int index, bool, int minGap, bool variant);  ///< never after index
    /// Q1: the first note on after index that follows minGap ticks without
    /// a note since the latest note off; -1 when none.
    int SearchBreakForwordOld(int index, int minGap);
    bool IsAlreadyInBreak(int index, int minGap);  ///< minGap ticks or more to the next note
    int GetDeltaTimeToNextNote(int index);      ///< to the next later note event; -1 when none
    int GetDeltaTimeToPreviousNote(int index);  ///< from the last earlier note event, or the tick
    /// T(index) - T(k) for the last k before index with status at an earlier
    /// tick; T(index) when none; 0 for index 0.
    int GetDeltaTimeToPreviousEvent(int index, int status);
    int SearchEventAfterIdx(int index, int status);   ///< first index after index with status; -1
    int SearchEventBeforeIdx(int index, int status);  ///< last index before index with status; -1
    /// An event of status at the tick of event index (index itself only with
    /// includeSelf); -1 when none.
    int SearchEventAtSameDelta(int index, int status, bool includeSelf);
    int GetLastEventIndex(int status);                ///< -1 when none
    int GetClosestIndex(int time);                    ///< first index after tick time; -1
    int GetLastIndex(int status, int from, int to);   ///< last with status in ticks [from, to]; -1
    int GetLastIndex(int from, int to);               ///< last in ticks [from, to]; -1

    // ---- voice and melody reduction (MidiF1TrackData_Voice.cpp) ----
    /// Q2. Ends notes early so that at most maxVoices note numbers sound at
    /// once: a new note cuts the highest sounding note (one voice) or the one
    /// below the highest (more voices), so the top line and new entries
    /// survive. Returns the voice count reached; 255 when the track has no
    /// channel; the message's result (0) when maxVoices < 1, the form is wrong
    /// or the count cannot be reached.
    int ReduceVoice(int maxVoices);
    void ReduceDrumVoiceOne();            ///< Q2: removes the least used note number (highest on ties)
    void ReduceDrumVoice(int maxVoices);  ///< Q2: at most maxVoices note numbers remain
    /// Q2: keeps the highest note of each group struck together and shortens
    /// notes so that none sounds past the start of the next.
    void SetMonophonic();
    /// Q2: of two notes struck together an octave apart, removes the lower. A
    /// note removed early no longer removes others (C5 C4 C3 leaves C5 C3).
    void DeleteOctaveNote();
    /// Q2: removes the notes whose pitch class sounds in other when they start,
    /// unless they are this track's top note then. other may be this track.
    void CompareTrackAndDeleteDuplicateNote(MidiF1TrackData* other);
    /// Q2: flags[128] set for the notes sounding at tick time: a note number
    /// sounds when its latest start at or before time is not before its latest
    /// end at or before time (Notes with velocity and duration above 0).
    void GetNoteOfDeltaTime(bool* flags, int time);
    int GetTopNoteOfDeltaTime(int time);  ///< Q2: -1 when none sounds
    int GetNumPolyAttack();               ///< most Notes starting at one tick
    int GetNumNote(int from, int to);     ///< Notes starting in ticks [from, to)
};
