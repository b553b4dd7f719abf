// The window's questions to the player front end and the MIDI output.
#include "app/PlaybackBridge.h"

#include <chrono>

#include "playback/MidiDestinations.h"
#include "playback/StaticMusicPlayer.h"

namespace {

// Longer than a sequencer takes to notice a cancel and tear down.
constexpr auto kIdleWait = std::chrono::seconds(6);

}  // namespace

bool IsPlaying() {
    // From the play's claim until its song has ended: a sequencer that is
    // still being set up counts, one that has finished does not.
    if (MusicPlayer.idle.load() != 0) return false;
    return !(MusicPlayer.IsPlayerExist() && MusicPlayer.IsPlayerRuning() == 0);
}

bool IsSequencerRunning() {
    return MusicPlayer.IsPlayerRuning() == 1;
}

bool WaitUntilPlayerIdle() {
    return StaticMusicPlayer::WaitFor([] { return MusicPlayer.idle.load() == 1; }, kIdleWait);
}

void SetOutput(int index) {
    MusicPlayer.SetDestination(index);
}

int CurrentOutput() {
    return MusicPlayer.destination.load();
}

int OutputCount() {
    return MIDIGetNumberOfDestinations();
}

std::string OutputName(int index) {
    return MIDIGetDestinationName(MIDIGetDestination(index));
}
