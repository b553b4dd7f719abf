// The window's questions to the player front end and the MIDI output.
#include "app/PlaybackBridge.h"

#include <chrono>

#include "playback/MidiDestinations.h"
#include "playback/StaticMusicPlayer.h"

namespace {

// Longer than a sequencer takes to notice a cancel and tear down.
constexpr auto kIdleWait = std::chrono::seconds(6);
// Longer than a sequencer takes to set up its output.
constexpr auto kSettleWait = std::chrono::seconds(3);

}  // namespace

bool IsPlaying() {
    // A play thread without a sequencer is either still making one or
    // already tearing it down; which of the two shows within moments.
    StaticMusicPlayer::WaitFor(
        [] { return MusicPlayer.idle.load() == 1 || MusicPlayer.IsPlayerExist(); }, kSettleWait);
    return MusicPlayer.IsPlayerRuning() == 1;
}

bool IsSequencerRunning() {
    return MusicPlayer.IsPlayerRuning() == 1;
}

bool WaitUntilPlayerIdle() {
    return StaticMusicPlayer::WaitFor([] { return MusicPlayer.idle.load() == 1; }, kIdleWait);
}

int PlayFrom(MidiF0Data* song, int tick) {
    return PlaySongFrom(song, tick);
}

long long PlayPositionTick() {
    return MusicPlayer.GetPlayTick();
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
