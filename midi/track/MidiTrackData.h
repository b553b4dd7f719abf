// One track of a song: the chunk bytes (form Raw) or the decoded event list
// (forms Q1 and Q2), with the reader, the writer, the form conversions, the
// event-list primitives and the track-level operations. The class is large;
// its operations are split by family over MidiTrackData_*.cpp.
#pragma once

#include <memory>

#include "midi/event/MidiEvent.h"
#include "midi/track/MusicData.h"

inline constexpr int kMaxEvents = 131072;  // entries of a track's event table

// Track forms.
inline constexpr int kFormNone = -1;
inline constexpr int kFormRaw = 0;
inline constexpr int kFormQ1 = 1;  // note on and note off as separate events
inline constexpr int kFormQ2 = 2;  // every note one Note event with its duration

// Error codes of MidiTrackData (top byte 0x0D).
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

// GS message helpers.
void SetSysExF0Chanel(int channel, unsigned char* part, unsigned char base);
void SetGSCheckSum(unsigned char* message);

// Variable-length quantity of value into out; returns the byte count (1..4).
int GneSetVariable(int value, unsigned char* out);
// The 4 bytes of value, most significant first.
void GneLongToChar(unsigned char* out, long value);

class MidiTrackData : public MusicData {
public:
    int event_count = 0;
    int form = kFormNone;
    // kMaxEvents entries, allocated whole; entries below event_count are owned.
    std::unique_ptr<MidiEvent*[]> event_table;

    // ---- construction, copies and destruction (MidiTrackData.cpp) ----
    MidiTrackData();          // empty, form none
    explicit MidiTrackData(int form);  // empty, given form
    MidiTrackData(long total, long offset, unsigned char* image);  // decodes one MTrk chunk
    explicit MidiTrackData(MidiTrackData* source);  // deep copy of a Q2 track
    MidiTrackData(MidiTrackData* source, int from, int to);  // copy of ticks [from, to)
    ~MidiTrackData();
    MidiTrackData(const MidiTrackData&) = delete;
    MidiTrackData& operator=(const MidiTrackData&) = delete;

    void SetTrackData(MidiTrackData* source);    // deep copy of a Q2 source, form Q2
    void SetQ1TrackData(MidiTrackData* source);  // deep copy of a Q1 source, form Q1
    MidiEvent* GetEvent(int index) const {
        return index >= 0 && index < event_count ? event_table[index] : nullptr;
    }
    int GetEventCount() const { return event_count; }
    int GetForm() const { return form; }

    int ErrorMsg(int code);
    int ErrorMsgOnce(int code);  // code 0 clears every once flag

    // ---- reader (MidiTrackData_Reader.cpp) ----
    // Running status of the chunk being read and the status byte of the event
    // being read; both start afresh with every chunk, so a track decodes the
    // same whatever was read before it.
    unsigned char ex_event = 0;
    unsigned char event_id = 0;
    void GetEventData();
    int GetVariable();
    void GetEvent(MidiEvent* event);
    int SpecifyEvent(int status, MidiEvent* event);
    int SetMetaEvent(MidiEvent* event);
    int SetMetaEventFixedLen(MidiEvent* event);
    int SetMetaEventVariableLen(MidiEvent* event);
    int SetTimeSignValue(int numerator, int denominatorPower);
    void SearchMetaEvent(int type, char* text);

    // ---- exclusive classification (MidiTrackData_Exclusive.cpp) ----
    void SpecifyExclusiveType(MidiEvent* event);
    void Specify88SystemEffect01(MidiEvent* event);
    void Specify88SystemEffect02(MidiEvent* event);
    void Specify88SystemEffect1X(MidiEvent* event);
    void Specify88SystemEffect4X(MidiEvent* event);

    // ---- forms (MidiTrackData_Forms.cpp) and writer (MidiTrackData_Writer.cpp) ----
    void Q1toQ2();
    void Q2toQ1();
    void NoteOnVelocityZeroToNoteOff();
    int Q1toRaw();  // 1 when written, 0 when refused
    int SetEventData(MidiEvent* event, unsigned char* out);
    int SetVariable(MidiEvent* event, unsigned char* out);
    int GetMetaEvent(unsigned char* out, MidiEvent* event);

    // ---- event-list primitives (MidiTrackData_List.cpp, MidiTrackData_Order.cpp) ----
    int AddEvent(MidiEvent* event);      // adopts event; 1, or 0 when the table is full
    int AddCopyEvent(MidiEvent* event);  // stores a copy; 1 or 0
    void AddTempo(unsigned long tempo);
    void AddEndOfTrack();
    void AddEndOfTrack(int delta);
    void AddControlChange(int channel, unsigned char number, int value);
    void AddProgramChange(int channel, int program);
    void AddNote(int channel, int delta, int note, int velocity, int duration);
    void AddGSInstSelect(int channel, unsigned char msb, unsigned char lsb, int program);
    void AddXGInstSelect(int channel, unsigned char msb, unsigned char lsb, int program);
    void AddGMInstSelect(int channel, int msb, int program);
    void InsertEvent(int index, int mode, MidiEvent* event);
    void InsertEvent(int tick, MidiEvent* event);
    void InsertEvent(int tick, MidiEvent* event, int mode);
    void InsertTempo(int index, unsigned long tempo);
    void DeleteEvent(int index);
    void DeleteNop();
    void DeleteAllEvent();
    void DeleteEndOfTrack();
    void DeleteDuplicateEndOfTrack();
    int DeleteDuplicateSongTitle();
    void DeleteSongTitle();
    void SwapEventWithDelta(int i, int j);
    void SwapEventExceptDelta(int i, int j);
    void SwapEvent(int i, int j);
    void SwapEventExceptDeltaBetween(int from, int to);
    void MoveEventFromt(int status, int number);
    void MoveEventFromt(int status);
    void MoveControlChangeFront();
    void MoveSysExFront();
    void MoveCommandFirst();
    void MoveNoteOffFront();
    int ChangeDivision(int from, int to);
    int ChangeDivision(int from, int to, bool removeZero);

    // ---- merges (MidiTrackData_Merge.cpp) ----
    // n-way merge of copies of count tracks (at most 256) into this track: at
    // one tick the events of lower-numbered tracks come first, one per track
    // and pass. One end of track is left, at the end. The sources are unchanged.
    void MergeTrack(int count, MidiTrackData** tracks);
    // The same order, but the records are moved: the sources are left empty.
    void MergeTrackMoving(int count, MidiTrackData** tracks);
    void MergeTrack(MidiTrackData* other);  // two-way merge, track names joined " / "
    void MergeTrackWithoutTrackTitle(MidiTrackData* other);
    // Two-way merge of a copy of other into this track; at one tick other's
    // events come first. One end of track is left, at the end.
    void MergeTrack(MidiTrackData* other, bool withTitle);
    // The result of MergeTrack(tracks[count - 1], withTitle) ... MergeTrack(
    // tracks[0], withTitle) in turn, made in one pass by moving the records:
    // the sources are left empty.
    void MergeTrackInTurn(int count, MidiTrackData** tracks, bool withTitle);
    // Merges a copy of other into this track; at one tick this track's events
    // come first. Without titles this track's track names are left out. The
    // end-of-track events of both stay.
    void MergeTrackOwnFirst(MidiTrackData* other, bool withTitle);
    // Appends copies of other's events after this track's end of track.
    void Connect(MidiTrackData* other);

    // ---- duplicate clean-up (MidiTrackData_Duplicate.cpp) ----
    // ---- deletion and truncation (MidiTrackData_Delete.cpp) ----
    // ---- queries (MidiTrackData_Query.cpp) ----
    // ---- drum set packing (MidiTrackData_Drum.cpp) ----
    // ---- channel, search and text operations (MidiTrackData_Channel.cpp) ----

private:
    struct MergeSource {  // one input of MergeSources
        MidiTrackData* track;
        bool move;         // take the records over instead of copying them
        bool drop_titles;  // leave out track-name events
    };
    // The merge behind the MergeTrack family; see MidiTrackData_Merge.cpp.
    void MergeSources(const MergeSource* sources, int count, bool roundRobin,
                      bool singleEndOfTrack, MidiEvent* title);
    bool HasRoom() const { return event_count < kMaxEvents; }
    void DestroyEvent(MidiEvent* event);  // shrinks long sequencer-specific areas first
};
