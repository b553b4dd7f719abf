// The few questions the window asks the player front end and the MIDI
// output, in the window's terms.
#pragma once

#include <string>

class MidiF0Data;

inline constexpr int kSynthesizerOutput = -1;  // the built-in synthesizer behind "QZ"

// True while a song plays; a play that is still starting or ending is
// waited for (moments) so that the answer is settled.
bool IsPlaying();
// True while a sequencer exists and sends.
bool IsSequencerRunning();
// Waits, within a bound, until no play thread is left; true when idle.
bool WaitUntilPlayerIdle();
// Plays song (form Q2) from tick on, the state of that point sent first: 0
// when the play thread started, else an error number.
int PlayFrom(MidiF0Data* song, int tick);
// Where the playing song is by the sequencer's clock, in ticks of the song
// played; -1 when nothing plays.
long long PlayPositionTick();
// The output every new sequencer uses: -1 the synthesizer, k destination k.
void SetOutput(int index);
int CurrentOutput();
// The MIDI destinations, asked afresh at every call.
int OutputCount();
std::string OutputName(int index);
