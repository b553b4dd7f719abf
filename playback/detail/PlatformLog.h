// What the MIDI and audio libraries (ALSA, JACK, FluidSynth) print on their
// own: silenced, since this program reports their failures in one message
// each; FluidSynth's last error is kept for those messages.
#pragma once

#include <string>

namespace retrograde::detail {

// Silences the libraries' diagnostics. Safe to call more than once.
void QuietPlatformLibraries();
// The last error FluidSynth reported, for a message; empty when none.
std::string LastSynthError();

}  // namespace retrograde::detail
