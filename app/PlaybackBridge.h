// The few questions the window asks the player front end and the MIDI
// output, in the window's terms.
#pragma once

#include <string>

inline constexpr int kSynthesizerOutput = -1;  // the built-in synthesizer behind "QZ"

// True while a song plays; a play that is still starting or ending is
// waited for (moments) so that the answer is settled.
bool IsPlaying();
// True while a sequencer exists and sends.
bool IsSequencerRunning();
// Waits, within a bound, until no play thread is left; true when idle.
bool WaitUntilPlayerIdle();
// The output every new sequencer uses: -1 the synthesizer, k destination k.
void SetOutput(int index);
int CurrentOutput();
// The MIDI destinations, asked afresh at every call.
int OutputCount();
std::string OutputName(int index);
