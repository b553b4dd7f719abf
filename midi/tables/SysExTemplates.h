/// @file
/// Byte templates of the exclusive messages that editing operations put into
/// tracks. All but SysExGmReset are laid out as an F0 event keeps them in its
/// data area: F0, a one-byte length of the rest, the message bytes, F7. The
/// arrays are zero-filled up to their size.
#pragma once

#include <array>

/// General MIDI System On, the bare message without a length byte.
inline constexpr std::array<unsigned char, 8> SysExGmReset = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
/// Universal real-time master volume; index 7 holds the volume (high part).
inline constexpr std::array<unsigned char, 12> SysExMasterVolume = {0xF0, 0x07, 0x7F, 0x7F, 0x04,
                                                                    0x01, 0x00, 0x7F, 0xF7};
/// Roland GS data set, address 40 1x 15 (rhythm-part use of a part): index 7
/// is the part byte, index 9 the value, index 10 the checksum to fill in.
inline constexpr std::array<unsigned char, 12> SysExDrumScale = {
    0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x00, 0x00, 0xF7};
/// Yamaha voice mode and FM mode messages (the same bytes).
///@{
inline constexpr std::array<unsigned char, 12> SysExVoiceMode = {0xF0, 0x07, 0x43, 0x79, 0x06,
                                                                 0x7F, 0x11, 0x01, 0xF7};
inline constexpr std::array<unsigned char, 12> SysExFmMode = {0xF0, 0x07, 0x43, 0x79, 0x06,
                                                              0x7F, 0x11, 0x01, 0xF7};
///@}
/// Loop marks: the last message byte is 00 for the start, 01 for the end.
///@{
inline constexpr std::array<unsigned char, 12> LoopSysExStart = {0xF0, 0x09, 0x59, 0x7F, 0x48, 0x4D,
                                                                 0x02, 0x0D, 0x00, 0x00, 0xF7};
inline constexpr std::array<unsigned char, 12> LoopSysExStop = {0xF0, 0x09, 0x59, 0x7F, 0x48, 0x4D,
                                                                0x02, 0x0D, 0x00, 0x01, 0xF7};
///@}
