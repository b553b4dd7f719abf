// The shared vocabulary under the name the song tests once used.
#pragma once
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"
namespace song_test {}
