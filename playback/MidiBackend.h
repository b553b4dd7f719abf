/// @file
/// Where the MIDI output's messages go when a program replaces the MIDI system
/// and the synthesizer: offline rendering feeds a synthesizer without audio
/// device, the tests record what was sent.
#pragma once

/// Where the player's messages go: a MIDI port or the software synthesizer.
class MidiBackend {
public:
    MidiBackend() = default;
    virtual ~MidiBackend() = default;
    MidiBackend(const MidiBackend&) = delete;
    MidiBackend& operator=(const MidiBackend&) = delete;

    /// One whole message: a channel message or an exclusive message F0 ... F7.
    /// Called from the sequencer's timer; must not block for long.
    virtual void Send(const unsigned char* bytes, int count) = 0;
};
