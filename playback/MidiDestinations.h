/// @file
/// The destinations of the MIDI system, as the device list shows them:
/// "MIDI_MAPPER" (the built-in synthesizer) first, then each destination.
#pragma once

#include <string>
#include <vector>

/// One destination: its position in the list and its name as the MIDI
/// system gives it. An empty reference (index -1) stands for none.
struct MIDIEndpointRef {
    int index = -1;                                        ///< -1: none
    std::string name;                                      ///< as the MIDI system gives it
    explicit operator bool() const { return index >= 0; }  ///< a destination, not none
};

/// The number of destinations; 0 without a MIDI system.
int MIDIGetNumberOfDestinations();
/// Destination index (0 = the first); an empty reference when out of range.
MIDIEndpointRef MIDIGetDestination(int index);
/// The destination's name; "" for an empty reference.
std::string MIDIGetDestinationName(const MIDIEndpointRef& endpoint);

/// The next call lists the destinations afresh instead of using the list
/// taken less than a quarter of a second ago.
void MIDIRefreshDestinations();

/// The window's device list: "MIDI_MAPPER", then the name of each
/// destination; item k is output index k - 1. Empty only when memory ran out.
std::vector<std::string> MidiDeviceList();
