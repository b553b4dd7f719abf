/// @file
/// The numbers of MIDI and of the Standard MIDI File that the library works
/// with, and the library's own limits, each named once.
#pragma once

/// Channels.
inline constexpr int kMidiChannels = 16;    ///< channels 0..15
inline constexpr int kMidiDrumChannel = 9;  ///< channel 10 as musicians count
inline constexpr int kNoChannel = 255;      ///< an event without a channel

/// Notes and data bytes.
inline constexpr int kMidiNotes = 128;        ///< note numbers 0..127
inline constexpr int kMidiMaxDataByte = 127;  ///< data bytes, note numbers, velocities: 0..127
inline constexpr int kDrumLowestNote = 35;    ///< bass drum 1
inline constexpr int kDrumHighestNote = 81;   ///< open triangle

/// Controller numbers.
///@{
inline constexpr int kCcBankSelectMsb = 0;
inline constexpr int kCcVolume = 7;
inline constexpr int kCcPan = 10;
inline constexpr int kCcExpression = 11;
inline constexpr int kCcBankSelectLsb = 32;
inline constexpr int kCcHoldPedal = 64;
inline constexpr int kCcAllNotesOff = 123;
///@}

/// Exclusive types: what the classification of a system exclusive message
/// keeps in the event's number field (0: not one the library acts on).
///@{
inline constexpr int kExTypeMasterVolume = 1;
inline constexpr int kExTypeGmSystemOn = 9;
inline constexpr int kExTypeGsRhythmPart = 18;  ///< a GS part switched to drums
inline constexpr int kExTypeGsSystemMode = 19;
inline constexpr int kExTypeMasterBalance = 40;
inline constexpr int kExTypeGsPartEqSwitch = 69;
inline constexpr int kExTypeVoiceMode = 127;
///@}

/// Chunks of a Standard MIDI File.
inline constexpr int kSmfChunkHeaderSize = 8;     ///< a 4-byte tag and a 32-bit length
inline constexpr int kSmfHeaderSize = 14;         ///< the whole "MThd" chunk
inline constexpr int kMacBinaryHeaderSize = 128;  ///< may stand in front of a file

/// Limits of the library.
inline constexpr int kMaxEvents = 131072;            ///< entries of a track's event table
inline constexpr int kMaxTracks = 65;                ///< tracks of a format-1 song
inline constexpr int kEventDataSize = 256;           ///< an event's data area as created
inline constexpr int kMusicDataBufferSize = 262144;  ///< a container's buffer as it starts; grows on demand
