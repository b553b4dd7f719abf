// Definitions of the application's process-wide state.
#include "app/AppGlobals.h"

std::unique_ptr<MidiFileLoader> midi_file_loader;
int horizontal = 0;
int vertical = 0;
int gm = 0;
int carry_state = 0;
std::unique_ptr<MidiF0Data> MidiPlayData;

MidiF0Data* LoadedSong() {
    return midi_file_loader ? midi_file_loader->GetMidiF0Data() : nullptr;
}
