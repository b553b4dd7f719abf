/// @file
/// A track of a format-1 song: a MidiTrackData with the analysis operations
/// that work on one track of a song.
#pragma once

#include "midi/track/MidiTrackData.h"

// Error codes of MidiF1TrackData (top byte 0x02, shared with MidiF1Data).
/// Polyphony cannot be reduced to 0 voices.
inline constexpr int kErrF1TrackZeroVoices = 0x200000C;  ///< the same number as kErrF1Channel
inline constexpr int kErrF1TrackInternal = 0xD000001;    ///< shows the class's general text

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
};
