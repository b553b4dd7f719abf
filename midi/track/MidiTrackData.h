/// @file
/// One track of a song: the chunk bytes (form Raw) or the decoded event list
/// (forms Q1 and Q2), with the reader, the writer, the form conversions, the
/// event-list primitives and the track-level operations. The class is large;
/// its operations are split by family over MidiTrackData_*.cpp.
#pragma once

#include <memory>

#include "midi/event/MidiEvent.h"
#include "midi/track/MusicData.h"

namespace retrograde::detail {
class NotePairing;
}

/// Modes of InsertEvent; any mode but kInsertBefore inserts after.
inline constexpr int kInsertAfter = 1;   ///< after the event at index, or the events at tick
inline constexpr int kInsertBefore = 2;  ///< before the event at index, or the events at tick

// Track forms.
/// Not yet read or made.
inline constexpr int kFormNone = -1;
/// The chunk's bytes in the buffer.
inline constexpr int kFormRaw = 0;
inline constexpr int kFormQ1 = 1;  ///< note on and note off as separate events
inline constexpr int kFormQ2 = 2;  ///< every note one Note event with its duration

/// Error codes of MidiTrackData (top byte 0x0D): each names the message that
/// ErrorMsg or ErrorMsgOnce sends to the message sink.
///@{
inline constexpr int kErrTrackInternal = 0xD000001;
inline constexpr int kErrTrackUndefinedEvent = 0xD000002;
inline constexpr int kErrTrackChannel = 0xD000003;
inline constexpr int kErrTrackTempo = 0xD000005;
inline constexpr int kErrTrackTooMuchData = 0xD000006;
inline constexpr int kErrTrackNotMidi = 0xD000007;
inline constexpr int kErrTrackDrumRange = 0xD000008;
inline constexpr int kErrTrackMultiVolume = 0xD000009;
inline constexpr int kErrTrackMultiPan = 0xD00000A;
inline constexpr int kErrTrackEventTooLarge = 0xD00000B;
inline constexpr int kErrTrackProgram = 0xD00000C;
inline constexpr int kErrTrackDoubleNoteOn = 0xD00000D;
inline constexpr int kErrTrackDoubleNoteOff = 0xD00000E;
inline constexpr int kErrTrackThinOut = 0xD00000F;
inline constexpr int kErrTrackTopNoteMissing = 0xD000010;
inline constexpr int kErrTrackMultiMasterVolume = 0xD000011;
inline constexpr int kErrTrackTopNoteWarn = 0xD000012;
inline constexpr int kErrTrackDrumBank = 0xD000013;
inline constexpr int kErrTrackNoteNumber = 0xD000014;
inline constexpr int kErrTrackTempoData = 0xD000015;
///@}

// GS message helpers.
/// The part byte of channel (0..15) into *part: base + 1..9 for channels 0..8, base
/// for channel 9 (drums), base + channel above. Other channels leave it alone.
void SetSysExF0Chanel(int channel, unsigned char* part, unsigned char base);
/// The Roland checksum of the 4 bytes at 6..9 into message[10].
void SetGSCheckSum(unsigned char* message);

/// Variable-length quantity of value into out; returns the byte count (1..4).
int GneSetVariable(int value, unsigned char* out);
/// The 4 bytes of value, most significant first.
void GneLongToChar(unsigned char* out, long value);

/// One track. Unless said otherwise an operation works in any form; a wrong form
/// or argument is refused and reported (kErrTrackInternal) with nothing changed;
/// an event that would not fit the table is reported (kErrTrackTooMuchData) and
/// dropped; running out of memory is reported (kGneErrNoMemory), the track whole.
/// Ticks are absolute (sums of deltas) unless a name says delta.
class MidiTrackData : public MusicData {
public:
    int event_count = 0;   ///< events in event_table
    int form = kFormNone;  ///< kFormRaw, kFormQ1 or kFormQ2
    /// kMaxEvents entries, allocated whole; entries below event_count are owned.
    std::unique_ptr<MidiEvent*[]> event_table;

    // ---- construction, copies and destruction (MidiTrackData.cpp) ----
    MidiTrackData();                                               ///< empty, form none
    explicit MidiTrackData(int form);                              ///< empty, given form
    MidiTrackData(long total, long offset, unsigned char* image);  ///< decodes one MTrk chunk
    /// The same, pairing the notes as they are read (detail/NotePairing.h) and
    /// keeping no note off the pairing takes: hand pairing to Q1toQ2(pairing).
    MidiTrackData(long total, long offset, unsigned char* image,
                  retrograde::detail::NotePairing& pairing);
    explicit MidiTrackData(MidiTrackData* source);           ///< deep copy of a Q2 track
    MidiTrackData(MidiTrackData* source, int from, int to);  ///< copy of ticks [from, to)
    ~MidiTrackData();
    MidiTrackData(const MidiTrackData&) = delete;
    MidiTrackData& operator=(const MidiTrackData&) = delete;

    void SetTrackData(MidiTrackData* source);    ///< deep copy of a Q2 source, form Q2
    void SetQ1TrackData(MidiTrackData* source);  ///< deep copy of a Q1 source, form Q1
    /// The event at index; nullptr out of range.
    MidiEvent* GetEvent(int index) const {
        return index >= 0 && index < event_count ? event_table[index] : nullptr;
    }
    int GetEventCount() const { return event_count; }  ///< event_count
    int GetForm() const { return form; }               ///< form

    /// The text of code to the message sink; 0.
    int ErrorMsg(int code);
    int ErrorMsgOnce(int code);  ///< code 0 clears every once flag

    // ---- reader (MidiTrackData_Reader.cpp) ----
    /// Running status of the chunk being read and the status byte of the event
    /// being read; both start afresh with every chunk, so a track decodes the
    /// same whatever was read before it.
    ///@{
    unsigned char ex_event = 0;
    unsigned char event_id = 0;
    ///@}
    // The pieces of the reader work at position in the buffer (the chunk's bytes).
    /// Appends the next event of the chunk.
    void GetEventData();
    /// The variable-length quantity at position, which moves past it; damaged
    /// bytes are reported and move position to the end.
    int GetVariable();
    /// Decodes the message at position into event and moves past it.
    void GetEvent(MidiEvent* event);
    /// Decodes the message of status whose status byte stands (or, under running
    /// status, would stand) at position; the bytes it takes, position unmoved. 0 for
    /// a status that starts no message (event becomes kEvNone).
    int SpecifyEvent(int status, MidiEvent* event);
    /// Decodes the meta event whose FF stands at position; the bytes it takes,
    /// position unmoved; 0 at the end of the buffer.
    int SetMetaEvent(MidiEvent* event);
    int SetMetaEventFixedLen(MidiEvent* event);     ///< SetMetaEvent
    int SetMetaEventVariableLen(MidiEvent* event);  ///< SetMetaEvent
    /// The time-signature code numerator * 256 + 2^denominatorPower; numerators
    /// outside 1..255 or powers outside 1..7 are reported and give 0x404.
    int SetTimeSignValue(int numerator, int denominatorPower);
    /// The text of the last meta event of type into text, zero-terminated (the
    /// caller provides room for a whole data area); text unchanged when none.
    void SearchMetaEvent(int type, char* text);

    // ---- exclusive classification (MidiTrackData_Exclusive.cpp) ----
    /// Sets an F0 event's number to its exclusive type (kExType*, 0 for none the
    /// library knows) and value (and channel, for GS part messages) from its bytes.
    void SpecifyExclusiveType(MidiEvent* event);
    /// The GS parameter messages of address 40 01, 40 02, 40 1x and 40 4x: value
    /// from the data byte, number (and channel) for the parameters known.
    ///@{
    void Specify88SystemEffect01(MidiEvent* event);
    void Specify88SystemEffect02(MidiEvent* event);
    void Specify88SystemEffect1X(MidiEvent* event);
    ///@}
    /// See Specify88SystemEffect01.
    void Specify88SystemEffect4X(MidiEvent* event);

    // ---- forms (MidiTrackData_Forms.cpp) and writer (MidiTrackData_Writer.cpp) ----
    /// No note is lost: see detail/NotePairing.h for where each note ends.
    void Q1toQ2();
    /// The same with the pairing the reader made of this track, which lacks the
    /// note offs the pairing took (only end-of-track repairs may come between).
    void Q1toQ2(const retrograde::detail::NotePairing& pairing);
    /// A track whose note offs would not fit the table stays in Q2, reported.
    void Q2toQ1();
    /// Q1: note ons of velocity 0 become note offs.
    void NoteOnVelocityZeroToNoteOff();
    /// 1 when written; 0 when refused (wrong form, no closing end of track, or
    /// bytes that do not fit the buffer): then buffer, size and form are unchanged.
    int Q1toRaw();
    /// The three below write to out, which must have room; they return the byte
    /// count (0 for a null event or out, reported).
    ///@{
    int SetEventData(MidiEvent* event, unsigned char* out);  ///< the message, without delta
    int SetVariable(MidiEvent* event, unsigned char* out);   ///< the delta as a VLQ
    int GetMetaEvent(unsigned char* out, MidiEvent* event);  ///< a meta event from FF on
    ///@}

    // ---- event-list primitives (MidiTrackData_List.cpp, MidiTrackData_Order.cpp) ----
    int AddEvent(MidiEvent* event);      ///< adopts event; 1, or 0 when full (destroyed, reported)
    int AddCopyEvent(MidiEvent* event);  ///< stores a copy; 1 or 0
    /// Appends a tempo at delta 0; tempo 0 is reported and becomes 500000.
    void AddTempo(unsigned long tempo);
    /// Appends an end of track at delta 0 (or delta) unless the track ends with one.
    void AddEndOfTrack();
    void AddEndOfTrack(int delta);  ///< see AddEndOfTrack()
    /// Appends a control change at delta 0; the arguments are stored as given.
    void AddControlChange(int channel, unsigned char number, int value);
    void AddProgramChange(int channel, int program);  ///< at delta 0, as given
    /// Appends a Note (form Q2) at delta; the arguments are stored as given.
    void AddNote(int channel, int delta, int note, int velocity, int duration);
    /// Appends bank select MSB and LSB and a program change at delta 0; all or none.
    void AddGSInstSelect(int channel, unsigned char msb, unsigned char lsb, int program);
    void AddXGInstSelect(int channel, unsigned char msb, unsigned char lsb, int program);  ///< = GS
    /// Appends bank select MSB and a program change at delta 0; both or none.
    void AddGMInstSelect(int channel, int msb, int program);
    /// The InsertEvent operations take event over in every case: a record that
    /// cannot be stored (full table, index outside it) is destroyed, reported.
    ///@{
    /// At index (kInsertBefore) or after it (any other mode); every record keeps
    /// its delta.
    void InsertEvent(int index, int mode, MidiEvent* event);
    /// At tick (its delta made to fit; -1: just before the last event), after the
    /// events at tick but before an end of track there.
    void InsertEvent(int tick, MidiEvent* event);
    /// At tick as above; kInsertBefore: before the events at tick.
    void InsertEvent(int tick, MidiEvent* event, int mode);
    ///@}
    /// Inserts a tempo (0 is reported and becomes 500000) at index, delta 0.
    void InsertTempo(int index, unsigned long tempo);
    /// Removes the event at index; its delta goes to the next, so times stay.
    void DeleteEvent(int index);
    /// Removes the events marked kEvNone; the times of the others stay.
    void DeleteNop();
    /// Destroys every event; the table is left empty.
    void DeleteAllEvent();
    /// Removes every end of track.
    void DeleteEndOfTrack();
    /// Removes every end of track but a closing one, which is added when missing.
    void DeleteDuplicateEndOfTrack();
    /// Removes every track name after the first; 1 when the track has one, else 0.
    int DeleteDuplicateSongTitle();
    void DeleteSongTitle();  ///< every track name
    /// The swaps exchange the events at i and j; an index outside the table is
    /// reported and nothing moves.
    ///@{
    void SwapEventWithDelta(int i, int j);    ///< with their deltas: both move in time
    void SwapEventExceptDelta(int i, int j);  ///< the deltas stay with the places
    /// With their deltas; meant for events of one tick (others are reported).
    void SwapEvent(int i, int j);
    ///@}
    /// Moves the event at from back to to (from >= to), the deltas staying with
    /// the places.
    void SwapEventExceptDeltaBetween(int from, int to);
    /// The Move operations bring the matching events of each tick to its front,
    /// keeping the order of the rest.
    ///@{
    void MoveEventFromt(int status, int number);  ///< events of status and number
    void MoveEventFromt(int status);              ///< events of status
    void MoveControlChangeFront();                ///< control changes
    void MoveSysExFront();                        ///< F0 and F7 messages
    ///@}
    /// Q1: every event but notes and the end of track.
    void MoveCommandFirst();
    /// Q1: each note off before the note ons of its tick.
    void MoveNoteOffFront();
    /// MoveCommandFirst, MoveSysExFront and MoveNoteOffFront in turn, the
    /// order of events at one tick in which a song is written. Q1.
    void OrderForWriting();
    /// Q2: every delta and duration rescaled from division from to to, rounding
    /// never adding up; a Note shrunk to 0 ticks becomes 1 tick (removeZero: is
    /// removed). 1 when any Note shrank to 0, else 0.
    int ChangeDivision(int from, int to);
    int ChangeDivision(int from, int to, bool removeZero);  ///< see ChangeDivision(from, to)

    // ---- merges (MidiTrackData_Merge.cpp) ----
    /// n-way merge of copies of count tracks (at most 256) into this track: at
    /// one tick the events of lower-numbered tracks come first, one per track
    /// and pass. One end of track is left, at the end. The sources are unchanged.
    void MergeTrack(int count, MidiTrackData** tracks);
    /// The same order, but the records are moved: the sources are left empty.
    void MergeTrackMoving(int count, MidiTrackData** tracks);
    void MergeTrack(MidiTrackData* other);  ///< two-way merge, track names joined " / "
    void MergeTrackWithoutTrackTitle(MidiTrackData* other);  ///< MergeTrack(other, false)
    /// Two-way merge of a copy of other into this track; at one tick other's
    /// events come first. One end of track is left, at the end.
    void MergeTrack(MidiTrackData* other, bool withTitle);
    /// The result of MergeTrack(tracks[count - 1], withTitle) ... MergeTrack(
    /// tracks[0], withTitle) in turn, made in one pass by moving the records:
    /// the sources are left empty.
    void MergeTrackInTurn(int count, MidiTrackData** tracks, bool withTitle);
    /// Merges a copy of other into this track; at one tick this track's events
    /// come first. Without titles this track's track names are left out. The
    /// end-of-track events of both stay.
    void MergeTrackOwnFirst(MidiTrackData* other, bool withTitle);
    /// Appends copies of other's events after this track's end of track.
    void Connect(MidiTrackData* other);

    // ---- duplicate clean-up (MidiTrackData_Duplicate.cpp) ----
    /// Chains of program changes with no note between them collapse into the
    /// first, carrying the last value; repeated values go. Q1 or Q2.
    void CleanUpDuplicateProgramChange();
    /// The same for program changes and bank selects (controls 0 and 32)
    /// together; channels are not told apart. Q1 or Q2.
    void CleanUpDuplicateBankSelectAndProgramChange();
    /// Q2: removes note ons of sounding notes (split false) or ends the sounding
    /// note where the repeated one begins (split true), and note offs of silent
    /// notes. 1 when anything was found, else 0.
    int CleanUpDuplicateNoteOnOff(bool split);
    /// Q2: Notes doubled at one tick (same pitch and duration; in octaves
    /// inside a chord). Return the number of Notes removed.
    ///@{
    int DeleteDuplicateNote();
    int DeleteDuplicateOctaveNote();  ///< the outer voices of a chord stay
    ///@}
    /// Moves Notes met by a walk through each tick group to the group's end.
    void GatherNoteEvent();
    // ---- deletion and truncation (MidiTrackData_Delete.cpp) ----
    // Every operation keeps the absolute time of the remaining events. The
    // "first" variants return 1 when they removed one, else 0.
    /// Removes every control change number in ticks [from, to].
    void DeleteControlChange(unsigned char number, int from, int to);  ///< ticks inclusive
    /// Removes every control change.
    void DeleteAllControlChange();
    int DeleteControlChange(unsigned char number);  ///< the first one; 1 or 0
    int DeleteProgramChange(int channel);           ///< every one; -1: every channel; 1 when any
    /// Removes every program change; 1 when any was removed, else 0.
    int DeleteProgramChange();
    int DeletePitchBend();                               ///< 1 when any was removed
    int DeleteSysExF0(unsigned char type);               ///< the first of that exclusive type
    int DeleteSysExF0(int channel, unsigned char type);  ///< ... and that channel
    int DeleteSysExF0();                                 ///< the first F0 message
    int DeleteSysExF7();                                 ///< the first F7 message
    void DeleteMasterVolume();                           ///< every exclusive of type 1
    int DeleteChanel(int channel);                       ///< every event of channel
    int DeleteMetaEvent(int tick, unsigned char type, char* text);  ///< the first match
    int DeleteMetaEvent(unsigned char type);                        ///< the first of type
    int DeleteAllMetaEvent(unsigned char type);                     ///< always 0
    void DeleteAllMetaEvent();  ///< every meta event except end of track
    /// Removes every meta event except track names and the end of track.
    void DeleteAllMetaEventExceptSeqName();
    void DeleteAllEventExceptEndOfTrack();                       ///< Q1 or Q2
    void DeleteAllEventExceptNote();                             ///< Q2
    void DeleteEventAfterSpecifiedDelta(long tick, int status);  ///< Q2
    /// Q2: drum Notes outside 35..81 go to 35; then CleanUpDuplicateNoteOnOff(false),
    /// whose result is returned.
    int DeleteInvalidDrum(bool report);
    /// DeleteInvalidDrum(true): moved notes reported.
    int DeleteInvalidDrum();
    void ShortenData(long tick);                     ///< cut at tick; end of track stays
    void ShortnTrackDuration(int tick);              ///< first event at/after tick moves to tick
    void ShortenNoteAfterSpecifiedDelta(long tick);  ///< Q2: Notes end at tick at the latest
    /// Each expression becomes a volume of volume x expression / 127 (per channel,
    /// 127 until set); volumes are rewritten the same way.
    void ConvertExpressionToVolume();
    // ---- queries (MidiTrackData_Query.cpp) ----
    // Absolute ticks are sums of deltas, computed in 64 bits. "Not found" is -1
    // unless said otherwise.
    /// Value in force just before tick. Q1 only (else a message and -1).
    ///@{
    int GetControlChangeValueWithDelta(int number, int channel, int tick);
    int GetProgramChangeValueWithDelta(int channel, int tick);
    /// Value of the exclusive of type in force just before tick; Q1 only (else -1).
    int GetSysExF0ValueWithDelta(unsigned char type, int tick);
    int GetPitchBendValueWithDelta(int channel, int tick);  ///< 8192 when none; Q1 only
    ///@}
    int GetTimeSign(int tick);  ///< code in force at tick; 0x404 when none
    long GetTempo(int tick);    ///< tempo in force at tick; 60000 when none
    // First and last occurrences: values, -1 when none.
    /// Value of the first control change number on channel.
    int GetControlChange(int number, int channel);
    /// Value of the first control change number.
    int GetControlChange(int number);
    int GetProgramChange();  ///< the first non-zero program; 0 when all are 0
    /// The first program of channel.
    int GetProgramChange(int channel);
    /// The first non-zero one of channel, else 0.
    int GetChanelProgramChange(int channel);
    /// The last program of channel.
    int GetLastProgramChange(int channel);
    /// GetLastProgramChange(channel).
    int GetGSInstSelect(int channel);
    /// Program of the last XG part-program message of channel.
    int GetXGInstSelect(int channel);
    /// The last program change, else the XG, else the GS instrument of channel.
    int GetInst(int channel);
    /// 1 when GetInst is 16 or above, else 0.
    int IsBendableInst(int channel);
    int GetChanelVolume(bool report);  ///< the last volume; several are reported once
    /// GetChanelVolume(true).
    int GetChanelVolume();
    /// The last pan; several are reported once.
    int GetChanelPanpot(bool report);
    /// GetChanelPanpot(true).
    int GetChanelPanpot();
    /// The last master volume; several are reported once.
    int GetMasterVolume();
    int GetSysExF0(unsigned char type);  ///< value of the first exclusive of type
    /// Copies the first message of that type (length bytes) into bytes; 1 or 0.
    int GetSysExF0(int type, unsigned char* bytes);
    /// Copies the first meta text of that type, zero-terminated; 1, or 0 and "".
    /// The caller provides room for the text and its terminating zero.
    int GetMetaData(int type, char* text);
    /// Meta events of type.
    int GetNumMetaEvent(int type);
    int GetTimeSign(int* code);        ///< the first; 1 or 0
    int GetTempo(long* tempo);         ///< the first; 1 or 0
    int GetTempo(long* tempo, int n);  ///< the n-th, counting from 1; 1 or 0
    int GetKey(unsigned char* bytes);  ///< 2 bytes of the first key signature; 1 or 0
    int ReplaceTempo(long tempo);      ///< 1 when the track holds a tempo; no change
    // Positions.
    int GetIndexOfDelta(long tick);        ///< first event at or after tick, else the last
    long GetDeltaOfEventIndex(int index);  ///< absolute tick of index
    /// Last index of the tick of index (the events after it with delta 0).
    int GetLastIndexOfSameDelta(int index);
    int GetIndexOfMetaEvent(int type, char* text);   ///< first meta of type with text; -1
    long GetDeltaOfMetaEvent(int type, char* text);  ///< tick of that event; -1
    /// Tick of the first match (in [from, to] for the WithDelta forms), its channel
    /// into *channel (when not null); -1 when none.
    ///@{
    long GetPosOfControlChange(int number, int* channel);
    long GetPosOfControlChangeWithDeltaTime(int number, int* channel, int from, int to);
    long GetPosOfPitchBend(int* channel);
    long GetPosOfPitchBendWithDelta(int* channel, int from, int to);
    ///@}
    int GetIndexOfFirsthNote();          ///< Q2; the event count when there is none
    long GetDeltaOfFirstNote();          ///< else the tick of the last event
    long GetDeltaToNextNote(int index);  ///< -1 when there is none
    int GetNumEvent(int from, int to);   ///< events between two ticks
    // Counts and lengths.
    /// Events of status.
    int GetNumEvent(int status);
    /// Notes and note ons of velocity above 0.
    int GetNumNoteEvent();
    int GetNumNoteEvent(int channel);             ///< Q2
    int GetNumNoteEventWithNoteNumber(int note);  ///< Q2
    long GetTrackDuration();                      ///< Q2: last event or note end
    int GetAverageDeltaTimeOfNote(int channel);   ///< Q2
    /// 0 when a and b agree up to and including the first F7 of a, else -1.
    /// Messages are compared over at most 256 bytes.
    int CompareSysExF0(char* a, char* b);
    /// Bytes up to and including the first F7; 0 when there is none within 256.
    int GetLengthOfSysExF0(unsigned char* bytes);
    // ---- drum set packing (MidiTrackData_Drum.cpp) ----
    /// 1 for channel 9 and for a channel that a rhythm-part exclusive message of
    /// the track assigns to drums, else 0.
    int IsDrumChanel(int channel);
    int GetNumNoteOfDrumSet(int note);  ///< Q2 Note count times the drum channel count
    /// Of the count drum notes, the one the track uses most (the earlier on a tie).
    int GetMostUsedDrumSetOfGroup(int* notes, int count);
    /// Q2: within each group of interchangeable drum sounds, every sound becomes
    /// the one the track uses most. 1, or 0 on the wrong form.
    int PackDrumSet();
    // ---- channel, search and text operations (MidiTrackData_Channel.cpp) ----
    int GetChanel();                  ///< first channel of a channel event; 255 when none
    int GetChanelWithInstName();      ///< + 16 for the B port of a two-port SC-88
    void SetChanel(int channel);      ///< every event that has a channel
    int SearchMetaEvent(char* text);  ///< index of a marker; -1
    int SearchEventAndCommand(int status, int number);  ///< number 255: any; -1
    /// Tick of the marker text; -1.
    long GetMarkerPos(char* text);
    int GetPitchBendDirection(int index);  ///< 1 rising, -1 falling, 0
    /// Every F0 message equal to pattern becomes the replacement: another F0
    /// message (it starts with F0) or a meta text of type number.
    void ReplaceSysExF0Data(unsigned char unused, char* pattern, unsigned char number,
                            char* replacement);
    /// Full-width letters and digits (letters) and katakana (kana) to their
    /// one-byte forms in the texts of every event with this status and number.
    void DbcsToSbcs(bool letters, bool kana, int status, int number);

    // ---- quantize and swing (MidiTrackData_Quantize.cpp, MidiTrackData_Swing.cpp) ----
    /// Ticks to the track's end; in Q2 the ends of sounding Notes count, as
    /// they would once the track is in Q1. The track is not copied.
    long GetTrackLen();
    /// Every event to the nearest point of a grid of division / steps ticks (a
    /// remainder of exactly half a step rounds down). Any form.
    void QuantizeData(int steps, int division);
    /// Q2: the Notes of each window of unit ticks to the swing positions (0,
    /// unit / 3, unit / 3 * 2); the melody rule counts Notes, the harmony and
    /// drum rule counts onsets (the Notes starting at one tick move together).
    /// A wrong form or too small a unit is reported, nothing changed.
    ///@{
    void SwingData(int unit);
    void SwingHarmonyAndDrumData(int unit);
    ///@}
    /// Placement of the Notes of the window [start, end) when it holds one, two,
    /// three or count of them.
    ///@{
    void SetSwingPositionOne(int start, int end, int unit);
    void SetSwingPositionTwo(int start, int end, int unit);
    void SetSwingPositionThree(int start, int end, int unit);
    void SetSwingPositionMany(int start, int end, int unit, int count);  ///< count <= 64
    ///@}
    /// Moves the event at index (at time, offset within its unit) to target
    /// offset; events passed on the way move with it, later ones keep their
    /// times. Returns the event's new time.
    int FixPostion(int index, int time, int offset, int target);
    int GetFirstNotePos(int start, int end);   ///< else where the scan stopped
    int GetSecondNotePos(int start, int end);  ///< the last Note's time; else 0
    int CountNote(int start, int end);         ///< Q2: Notes in [start, end)

    // ---- event checks (MidiTrackData_Check.cpp) ----
    /// Location queries: 1 when an event at tick t matches, else 0.
    ///@{
    int CheckEventLocation(int t, int status);
    int CheckEventLocation(int t, int status, int number);
    int CheckEventLocation(int t, int status, int number, int value);
    int CheckMetaEventLocation(int t, int type);
    int CheckMetaEventLocation(int t, int type, int value);
    int CheckSysExLocation(int t, int type);
    int CheckSysExLocation(int t, int type, int value);
    int CheckControlChangeLocation(int t, int controller);
    int CheckControlChangeLocation(int t, int controller, int value);
    int CheckProgramChangeLocation(int t);
    ///@}
    int IsEventExist(int status, int from, int to);  ///< ticks [from, to)
    /// Value queries (1 for an empty track) and edits. Channel messages take
    /// 0..127; exclusive messages of a known layout (master volume, GS
    /// parameters) and time signatures are rewritten in their bytes; tempos
    /// take 1..0xFFFFFF. Anything else is refused, reported, unchanged.
    ///@{
    /// 1 when all of them have value.
    int CheckEventValue(int status, int number, int value);
    /// The same over status alone.
    int CheckEventValue(int status, int value);
    /// All in [low, high].
    int CheckEventValueRange(int status, int number, int low, int high);
    /// All of them to value.
    void ModifyEventValue(int status, int number, int value);
    /// The same over status alone.
    void ModifyEventValue(int status, int value);
    /// All of them into [low, high]; low above high is reported.
    void ModifyEventValueRange(int status, int number, int low, int high);
    ///@}
    /// 1 when every tempo lies within minBpm..maxBpm, else 0.
    int CheckTempoRange(int minBpm, int maxBpm);
    /// The same for the tempos in ticks [from, to).
    int CheckAreaTempoRange(int from, int to, int minBpm, int maxBpm);
    int CheckTimeSingLocation(int division);  ///< time signatures on measure starts
    /// Q1 or Q2: 1 when every program change follows a bank select MSB and LSB, in
    /// that order; else 0.
    int CheckOrderOfBankSelectAndProgramChange();

    // ---- grid edits (MidiTrackData_Grid.cpp) ----
    // Grids in ticks, at least 1 (else refused, reported, 0). Ranges include
    // both ends.
    /// Q2: 1 when every event but meta events, and every Note's duration, lies on
    /// the grid (in ticks [from, to]), else 0.
    ///@{
    int CheckEventTime(int grid);  ///< Q2
    int CheckEventTime(int from, int to, int grid);
    ///@}
    /// Events to their nearest grid point (in ticks [from, to]); the ticks given or
    /// taken come from the following events, never from the last.
    ///@{
    void ModifyDeltaTime(int grid);  ///< a remainder of half the grid rounds up
    void ModifyDeltaTime(int from, int to, int grid);
    ///@}
    void ModifyDuration(int grid, int mode);  ///< Q2; mode 1 down, 2 nearest
    void ModifyDuration(int grid);            ///< Q2; never below 1 tick
    /// Q2: durations of the Notes in ticks [from, to] to the nearest multiple of grid.
    void ModifyDuration(int from, int to, int grid);
    void ModifyInterval(int gap);  ///< Q2: gap ticks at least before the next onset

    // ---- controller, program, exclusive and meta edits (MidiTrackData_Edit.cpp) ----
    // Every record made or rewritten is what the reader makes of the bytes the
    // writer writes for it. Arguments out of range (channel 0..15, number,
    // value and program 0..127) are refused: reported (0xD000001), nothing
    // changed. Values are computed in 64 bits and clamped to 0..127.
    /// Addition adds amount to, Ratio scales by percent, the value of every control
    /// change number (clamped to 0..127).
    void AdditionControlChange(int channel, int number, int amount);  ///< channel not compared
    void RatioControlChange(int channel, int number, int percent);    ///< channel not compared
    /// Every control change number (of channel; in ticks [from, to)) gets value.
    ///@{
    void ReplaceControlChange(int channel, int number, int value);
    void ReplaceControlChange(int from, int to, int number, int value);  ///< ticks [from, to)
    void ReplaceControlChange(int number, int value);
    ///@}
    /// Every program change (of channel) gets program.
    ///@{
    void ReplaceProgramChange(int channel, int program);
    void ReplaceProgramChange(int program);
    ///@}
    /// The first master volume message (universal or GS form); a volume above
    /// 127 is reported and clamped. 1, or 0 when there is none.
    int ReplaceMasterVolume(int volume);
    /// Texts are zero-terminated; a text longer than the data area gets a
    /// larger one. End of track and meta types the reader drops are refused.
    ///@{
    int ReplaceMetaData(int type, char* text);             ///< the first of type; 1 or 0
    int ReplaceMetaEvent(unsigned char type, char* text);  ///< every one; 1 when any changed
    /// Every meta event of type becomes one of newType with the same text.
    void ReplaceMetaEvent(unsigned char type, unsigned char newType);
    ///@}
    /// Every meta event of type whose text is text becomes bytes: an F0
    /// message when bytes begins with F0 (its F7 is looked for within 256
    /// bytes, which the caller provides; refused without it), else a meta
    /// text of newType.
    void ReplaceMetaEventData(unsigned char type, char* text, unsigned char newType, char* bytes);
    /// "Insert" puts the new event first in the track (delta 0), "Add" appends.
    ///@{
    void InsertControlChange(int channel, unsigned char number, int value);
    void InsertProgramChange(int channel, int program);
    void InsertMasterVolume(int volume);  ///< above 127: reported and clamped
    /// A meta text of type.
    void InsertMetaEvent(unsigned char type, char* text);
    void InsertMetaEventWithDelta(int tick, unsigned char type, char* text);  ///< last at tick
    /// A meta event of type holding length bytes, at delta (not negative).
    void AddMetaEvent(int delta, unsigned char type, unsigned char* bytes, int length);
    void AddMarker(int delta, char* text);   ///< a marker, at delta
    void AddMetaData(int type, char* text);  ///< at tick 0, after the events there
    ///@}
    /// Pitch-bend sensitivity: controls 101 = 0, 100 = 0, 6 = semitones.
    void AddBendRange(int delta, int channel, int semitones);
    /// Display messages of XG and GS modules; texts of bytes below 0x80 only.
    void AddXGDisplay(int delta, char* text);
    /// The same for a GS module (Roland's text message, with its checksum).
    void AddGSDisplay(int delta, char* text);

    // ---- note and channel edits (MidiTrackData_NoteEdit.cpp) ----
    // Channel -1: every channel. Note numbers and velocities stay in 0..127.
    /// Notes and note ons of channel (-1: all) by semitones, folded into 0..127 by
    /// octaves; a channel outside 0..15 is refused, reported.
    void ShiftNote(int channel, int semitones);  ///< folded into 0..127 by octaves
    /// ShiftNote(-1, semitones).
    void ShiftNote(int semitones);
    void ShitfOctave(int octaves);  ///< Q2; clamped
    /// Q2; a Note that had a velocity keeps at least 1 (velocity 0 is no note).
    void AddVelocity(int amount);
    void ChangeDuration(int percent);                  ///< never below 1 tick
    int UnifyNoteDuration(int channel, int duration);  ///< Q2; Notes changed
    void SetNoteNo(int note, int duration);            ///< Q2; duration -1 keeps it
    /// Q2: every Note to note.
    void SetNoteNo(int note);
    /// Channels 0..15; GS part messages get their part byte and checksum too.
    void UnifyChanel(int channel);
    /// to 16..31 (the B port of a two-port module) is stored as to - 16.
    void ChangeChanelOfExclusive(MidiEvent* event, int from, int to);
    /// Events of channel from (16..31: the B port, when an instrument name says so)
    /// move to to; GS part messages too.
    void ChangeChanel(int from, int to);
    int ChangeChanel(char* name, int from, int to);  ///< 0 when applied, else 1
    /// Q2: each Note through map[drum set][note] of the bank; an entry outside
    /// 0..127 leaves the note as it is. map must hold 128 rows.
    void DrumDrumMapping(int bank, char (*map)[128], bool clear);

    // ---- time-span and setup edits (MidiTrackData_Setup.cpp) ----
    void InsertBlankArea(int tick, int length);  ///< everything from tick on moves later
    /// Q2: removes the Notes and bends of [from, to) and closes the gap; the
    /// other events of the span stay, at from.
    void DeleteAreaNoteAndPitchBend(int from, int to);
    /// Within each tick, the events of status (and number, -1: any) whose text
    /// holds text (when not empty) go first.
    void PutSpecifiedEventFirst(int status, int number, char* text);
    /// Appended with delta 0.
    ///@{
    void GMExclusiveOn();  ///< GM System On
    void GSExclusiveOn();  ///< GS Reset
    void XGExclusiveOn();  ///< XG System On
    ///@}
    void SetTempo(long tempo);  ///< 0 or beyond 0xFFFFFF: reported, 500000
    /// Appends a time signature of numerator / 2^denominatorPower; first is unused.
    void SetTimeSign(int first, int numerator, int denominatorPower);
    void SetKeySignature(int delta, int key);  ///< the major key of pitch class key
    /// Before the first event of channel, at its tick; 1, or 0 when none.
    int SetProgramChange(int channel, int program);

    // ---- polyphony counting and reduction (MidiTrackData_Poly.cpp) ----
    // The counts read a Q2 track in the order of its Q1 form without
    // converting it (detail/Q1Order.h). Flags are 16 channels x 128 notes.
    /// The notes set in flags (16 channels x 128 notes).
    int GetNumPolyCountTrue(bool (*flags)[128]);
    int GetNumPoly();             ///< GetNumPoly(true)
    int GetNumPoly(bool report);  ///< Q2: most notes sounding at a tick's end; else 0
    int GetNumVoice();            ///< Q2: most note numbers sounding at once, all channels
    int GetNumDrumVoice();        ///< distinct note numbers of the Notes
    /// Cuts a sounding note (lowest channel, lowest note) where a note on
    /// would exceed limit (at least 1). Q1, or Q2 through Q1.
    void SetNumPoly(int limit);
    /// Q1: cuts notes at tick boundaries until at most limit sound. The
    /// reductions build the new list aside: when it would not fit the table
    /// the track stays unchanged, reported.
    void ReduceNumPoly(int limit);
    /// method 1: the busiest channel's second-lowest note; method 2: by the
    /// chord of the last marker (priority[4][12], rows major, minor,
    /// diminished, other). excluded (count entries; nullptr with 0 is none)
    /// channels are never cut. Bad arguments: reported, nothing changed.
    void ReduceNumPoly(int limit, int* excluded, int excludedCount, int method, int (*priority)[12],
                       bool keepTopNote);
    /// -1 when no channel that is not excluded has a sounding note.
    int ReduceNumPolyGetMaxUsedChanel(bool (*flags)[128], int* excluded, int excludedCount);
    int ReduceIsTopNote(int note, bool* channelFlags);  ///< 1 for the channel's highest
    /// Both give the note to cut through channel and note (-1 when none);
    /// chord is a ChordNameCtl (nullptr: no chord).
    void ReduceNumPolySpecifyTargetByOrder(bool (*flags)[128], int* excluded, int excludedCount,
                                           int* channel, int* note, bool keepTopNote);
    /// The same by the chord's tones, in the order of priority (see ReduceNumPoly).
    void ReduceNumPolySpecifyTargetByChordTone(bool (*flags)[128], int* excluded, int excludedCount,
                                               int* channel, int* note, void* chord,
                                               int (*priority)[12], bool keepTopNote);

    // ---- note range, velocity and time spans (MidiTrackData_Range.cpp) ----
    /// Q2: Notes of channel (-1: all) outside [low, high]: mode 0 deletes them,
    /// mode 1 moves them one octave toward the range. 1 when any was outside.
    int AdjustNoteRange(int channel, int low, int high, int mode);
    int CheckDoubleNote();  ///< Q1 (reordered in place) or Q2: 1 when a note is struck twice
    void SetMaxVelocity(int channel);     ///< Q2: the loudest Note of channel becomes 127
    void SetFadeOut(int from, int to);    ///< Q2: velocities fade from full at from to 0 at to
    void ExtractChanelData(int channel);  ///< only channel's events and the end of track stay
    long GetLastNotePos();                ///< tick of the last note off; else of the first event
    double GetDurationTime(int from, int to, int division);  ///< seconds of ticks [from, to)
    void ExtractArea(int from, int to);  ///< Q2: ticks [from, to) become the track

    // ---- balance of merged tracks (MidiTrackData_Balance.cpp) ----
    /// A note's velocity (a Q2 Note, or a note on above 0) scaled so that it
    /// sounds as loud under the merged track's volume and expression as it did
    /// under its own: velocity x volume x expression / (mergedVolume x
    /// mergedExpression), truncated, 1..127. Other events, and a merged
    /// volume or expression of 0, are left alone.
    void AdjustVolumeExpressionVelocity(MidiEvent* event, int mergedVolume, int mergedExpression,
                                        int volume, int expression);

    // ---- what the reader skipped (MidiTrackData_Reader.cpp) ----
    /// Bytes of the chunk that could not be read as events when the track was
    /// read from a file: stray system bytes, data bytes without a status, and
    /// the rest of the chunk from a damaged event on.
    long skipped_bytes = 0;

private:
    struct MergeSource {  // one input of MergeSources
        MidiTrackData* track;
        bool move;         // take the records over instead of copying them
        bool drop_titles;  // leave out track-name events
    };
    // The merge behind the MergeTrack family; see MidiTrackData_Merge.cpp.
    void MergeSources(const MergeSource* sources, int count, bool roundRobin, bool singleEndOfTrack,
                      MidiEvent* title);
    bool HasRoom() const { return event_count < kMaxEvents; }
    static std::unique_ptr<MidiEvent*[]> NewEventTable();  // kMaxEvents entries, not cleared
    void DestroyEvent(MidiEvent* event);  // shrinks long sequencer-specific areas first
    void TakePairing(const retrograde::detail::NotePairing& pairing);  // Q1toQ2's walk
};

// ---- channel, search and text operations: free helper (MidiTrackData_Channel.cpp) ----
/// Full-width (Shift-JIS) digits and Latin letters to ASCII, in place; the text
/// shrinks by one byte per converted character.
void GneSetSbcsAlphaNum(unsigned char* text);
