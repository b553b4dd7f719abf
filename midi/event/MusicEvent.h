/// @file
/// The generic event record: kind, timing, note and value fields and an owned
/// data area (256 zeroed bytes when created, larger only on demand; records of
/// short messages made by the library hold a small area inside the record).
#pragma once

#include <array>
#include <cstdint>

#include "General/GneStatus.h"
#include "midi/event/MidiConstants.h"

// Event kinds held in status.
inline constexpr int kEvNone = 0;  ///< marked for removal (DeleteNop)
/// An event kind: the status of a channel message (channel bits clear), F0, F7
/// or FF, or 0x10 for a Note with its duration (form Q2).
///@{
inline constexpr int kEvNote = 0x10;
inline constexpr int kEvNoteOff = 0x80;
inline constexpr int kEvNoteOn = 0x90;
inline constexpr int kEvKeyPressure = 0xA0;
inline constexpr int kEvControl = 0xB0;
inline constexpr int kEvProgram = 0xC0;
inline constexpr int kEvChannelPressure = 0xD0;
inline constexpr int kEvPitchBend = 0xE0;
inline constexpr int kEvSysEx = 0xF0;
inline constexpr int kEvSysExEscape = 0xF7;
inline constexpr int kEvMeta = 0xFF;
///@}

/// Meta types: the type byte of an FF event, kept in number.
///@{
inline constexpr int kMetaSequenceNumber = 0x00;
inline constexpr int kMetaText = 0x01;
inline constexpr int kMetaCopyright = 0x02;
inline constexpr int kMetaTrackName = 0x03;
inline constexpr int kMetaInstrument = 0x04;
inline constexpr int kMetaLyric = 0x05;
inline constexpr int kMetaMarker = 0x06;
inline constexpr int kMetaCuePoint = 0x07;
inline constexpr int kMetaDeviceName = 0x09;
inline constexpr int kMetaChannelPrefix = 0x20;
inline constexpr int kMetaEndOfTrack = 0x2F;
inline constexpr int kMetaTempo = 0x51;
inline constexpr int kMetaSmpteOffset = 0x54;
inline constexpr int kMetaTimeSignature = 0x58;
inline constexpr int kMetaKeySignature = 0x59;
inline constexpr int kMetaSequencerSpecific = 0x7F;
///@}

inline constexpr int kDefaultTempo = 500000;  ///< microseconds per quarter note, 120 bpm

/// The generic event record that tracks own through their event tables.
class MusicEvent {
public:
    static constexpr int kDataSize = kEventDataSize;  ///< size of a fresh data area

    int status = 0;    ///< event kind, see kEv*
    int delta = 0;     ///< ticks since the previous event of the track
    int note = 0;      ///< note number; least significant 7 bits of a pitch bend
    int duration = 0;  ///< ticks of a Note (form Q2)
    /// Of a Note, a note on or a note off.
    int velocity = 0;
    int number = 0;                 ///< controller number, meta type or exclusive type
    int value = 0;                  ///< controller value, program, tempo, time-signature code ...
    int length = 0;                 ///< bytes of the event kept in the data area
    unsigned char* data = nullptr;  ///< the owned data area, at least DataCapacity() bytes

    /// The area of a compact record: room for any channel message and any
    /// fixed-length meta event, inside the record itself.
    static constexpr int kCompactSize = 12;
    /// Asks for a compact record: its area holds kCompactSize bytes (see
    /// DataCapacity) until ResizeData gives it a larger one. Readers and copies
    /// make their short records so, as a song holds tens of thousands of them.
    struct Compact {};

    MusicEvent();                    ///< an empty record (status 0, delta 0), 256-byte area
    explicit MusicEvent(int delta);  ///< an empty record at delta, 256-byte area
    MusicEvent(int delta, Compact);  ///< an empty compact record at delta
    ~MusicEvent();
    MusicEvent(const MusicEvent&) = delete;
    MusicEvent& operator=(const MusicEvent&) = delete;

    /// Replaces the area by a zeroed one of size bytes (at least 256); contents
    /// are not kept and length is unchanged. Returns the new area.
    unsigned char* ResizeData(int size);
    /// Copies delta, the data area (enlarged when the source needs more) and
    /// every value field.
    void Copy(MusicEvent* source);
    /// Bytes of the data area.
    int DataCapacity() const { return capacity_; }
    /// True while the area is the small one inside the record.
    bool IsCompact() const { return capacity_ < kDataSize; }
    /// The text of code to the message sink; 0.
    int ErrorMsg(int code);

    /// Records are made and destroyed in great numbers; they come from a pool.
    ///@{
    static void* operator new(std::size_t size);
    static void operator delete(void* memory, std::size_t size) noexcept;
    ///@}

protected:
    /// A record whose area is of the same kind as like's: compact when like is.
    explicit MusicEvent(const MusicEvent* like);

private:
    // The 256-byte areas come from a pool of their own (MusicEvent_Pool.cpp).
    static unsigned char* TakeArea();
    static void GiveArea(unsigned char* area) noexcept;
    void TakeFreshArea();
    void MakeCompact();
    void ReleaseArea() noexcept;

    // Next to the public fields, in the cache line that every walk reads.
    int capacity_ = kDataSize;
    // The area of a compact record; a record and its fields fill one cache line.
    std::array<unsigned char, kCompactSize> inline_;
};

inline constexpr int kErrMusicEventDataSize = 0x6000001;  ///< data that does not fit the area
