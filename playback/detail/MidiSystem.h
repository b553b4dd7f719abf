// The MIDI system behind the output and the device list: the ALSA sequencer
// where it exists, else a running JACK server, reached through RtMidi.
#pragma once

#include <memory>
#include <string>
#include <vector>

class RtMidiIn;
class RtMidiOut;

namespace retrograde::detail {

enum class MidiSystemKind { None, Alsa, Jack };

// Which MIDI system answers now. Probing prints nothing.
MidiSystemKind ProbeMidiSystem();

// A client named "client" of the given system, with RtMidi's own error
// printing turned off; null when the system refuses.
std::unique_ptr<RtMidiOut> NewMidiOut(MidiSystemKind api);
std::unique_ptr<RtMidiIn> NewMidiIn(MidiSystemKind api);

// The names of the destinations (ports that accept messages) of the system.
std::vector<std::string> ListDestinations(MidiSystemKind api);

// A JACK server applies a new connection from its next cycle on, and an
// output port sends what it was given at its next cycle: messages sent to a
// port just connected, or left when it closes, are lost. Returns once the
// server has run two cycles after the call (at most two seconds).
void WaitTwoJackCycles();

// Tells the user, once per process, that no MIDI system was found.
void ReportNoMidiSystem();

}  // namespace retrograde::detail
