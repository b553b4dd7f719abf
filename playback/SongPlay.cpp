// Playing a format-0 song: the private play copy, the play thread and the
// stop request. Installed into MidiF0Data's Play, StartPlayThread,
// PlayThread and Stop by the player front end.
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <exception>
#include <functional>
#include <thread>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiPlayHooks.h"
#include "midi/song/MidiStatus.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"

using retrograde::detail::playback_state;

namespace {

constexpr int kPlayDivision = 96;
// A new play waits for the earlier play thread to end: after kForceStop its
// sequencer is forced down, after kGiveUp the new play starts anyway.
constexpr auto kForceStop = std::chrono::milliseconds(5000);
constexpr auto kGiveUp = std::chrono::milliseconds(10100);
// The play thread's wait for its sequencer to stop is unbounded; it wakes
// at every change and at this interval to look again.
constexpr auto kWatchInterval = std::chrono::hours(1);
// A stop with no sequencer yet waits this long for the play thread to make one.
constexpr auto kWaitForSequencer = std::chrono::seconds(1);
// How long a stop waits for the sequencer to let go of the song.
constexpr auto kWaitForRelease = std::chrono::seconds(5);
constexpr auto kWaitForIdle = std::chrono::milliseconds(21);

bool PlayThreadActive() {
    return MusicPlayer.idle.load() == 0;
}

}  // namespace

std::unique_ptr<MidiF0Data> MakePlayCopy(MidiF0Data* song, int* removed) {
    auto copy = std::make_unique<MidiF0Data>(song);
    copy->ChangeDivision(kPlayDivision);
    copy->Q2toQ1();
    const int ticks = copy->BeginImmidiately();
    if (removed != nullptr) *removed = ticks;
    return copy;
}

std::unique_ptr<MidiF0Data> MakePlayCopyFrom(MidiF0Data* song, int tick) {
    auto copy = std::make_unique<MidiF0Data>(song);
    MidiTrackData* source = copy->GetTrack();
    if (source == nullptr || copy->form != kFormQ2) return copy;
    MidiStatus state;
    int reached = 0;
    const int first = state.SetStatusAtDelta(copy.get(), tick, &reached);

    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    // The exclusive messages before the point go first, in their order: a
    // reset or a rhythm-part setting among them would undo the state sent
    // after it otherwise.
    for (int i = 0; i < first; ++i) {
        MidiEvent* event = source->GetEvent(i);
        if (event->status != kEvSysEx && event->status != kEvSysExEscape) continue;
        if (track->AddCopyEvent(event) != 1) break;
        track->GetEvent(track->event_count - 1)->delta = 0;
    }
    std::array<MidiEvent*, kMidiStatusMaxEvents> made{};
    const int count = state.CreateStatusEventInSendOrder(made.data());
    for (int i = 0; i < count; ++i) track->AddEvent(made[i]);
    // The rest from the point on, the first event's delta now counted from
    // the point rather than from the last event taken.
    for (int i = first; i < source->event_count; ++i) {
        if (track->AddCopyEvent(source->GetEvent(i)) != 1) break;
        if (i == first) {
            MidiEvent* moved = track->GetEvent(track->event_count - 1);
            // In 64 bits, so that a far event cannot overflow.
            moved->delta = static_cast<int>(
                std::clamp<std::int64_t>(std::int64_t{reached} + moved->delta - tick, 0, INT_MAX));
        }
    }
    copy->track = std::move(track);
    copy->ChangeDivision(kPlayDivision);
    copy->Q2toQ1();
    return copy;
}

namespace {

// Plays the copy made of song; origin is the tick of song at which the copy
// begins, for the position the cursor shows. With fromPoint the rest between
// the origin and the first note is played too.
int PlayCopy(MidiF0Data& song, bool fromPoint,
             const std::function<std::unique_ptr<MidiF0Data>(std::int64_t* origin)>& make) {
    try {
        // A copy that still plays must not be freed under the sequencer.
        if (song.play_data && PlayThreadActive() &&
            MidiF0Data::MacPlayData.song.load() == song.play_data.get()) {
            song.Stop();
        }
        song.play_data.reset();
        std::int64_t origin = 0;
        song.play_data = make(&origin);
        playback_state.origin_tick = origin;
        playback_state.played_division = song.division;
        playback_state.wait_lead_in.store(fromPoint);
        return song.play_data->StartPlayThread();
    } catch (const std::exception&) {
        song.ErrorMsg(kErrF0Internal);
        return ENOMEM;
    }
}

int PlaySong(MidiF0Data& song) {
    return PlayCopy(song, false, [&song](std::int64_t* origin) {
        int removed = 0;
        auto copy = MakePlayCopy(&song, &removed);
        *origin = static_cast<std::int64_t>(removed) * song.division / kPlayDivision;
        return copy;
    });
}

int StartPlayThread(MidiF0Data& song) {
    bool previous_ended = true;
    const auto start = std::chrono::steady_clock::now();
    bool forced = false;
    while (!MusicPlayer.TryClaim()) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        if (waited >= kGiveUp) {
            GneErrorMsg(kGneErrPlayerBusy);
            MusicPlayer.SetIdle(0);
            previous_ended = false;
            break;
        }
        if (!forced && waited >= kForceStop) {
            forced = true;
            MusicPlayer.StopMidi();
        }
        playback_state.WaitFor([] { return !PlayThreadActive(); },
                               (forced ? kGiveUp : kForceStop) - waited);
    }
    MidiF0Data::MacPlayData.song.store(&song);
    return MusicPlayer.StartThread(MidiF0Data::MacPlayData.entry, previous_ended);
}

void PlayThreadBody() {
    MusicPlayer.SetIdle(0);
    try {
        // A failed start leaves no sequencer, and the wait below ends at once.
        MusicPlayer.PlayMidi(MidiF0Data::MacPlayData.song.load());
        while (!playback_state.WaitFor([] { return MusicPlayer.IsPlayerRuning() != 1; },
                                       kWatchInterval)) {
        }
    } catch (const std::exception&) {
        MusicPlayer.ErrorMsg(kErrMusicPlayerInternal);
    }
    // The sequencer takes its output and its timer with it.
    MusicPlayer.StopMidi();
    MusicPlayer.SetIdle(1);
}

int StopSong(MidiF0Data& song) {
    MusicPlayer.RequestStop();
    if (PlayThreadActive()) {
        playback_state.WaitFor([] { return MusicPlayer.IsPlayerExist() || !PlayThreadActive(); },
                               kWaitForSequencer);
    }
    MusicPlayer.CancelPlay();
    // The song may go once the sequencer has seen the cancel (it reads the
    // song no more) or the play thread has ended.
    const bool released = playback_state.WaitFor(
        [] {
            return !PlayThreadActive() ||
                   (MusicPlayer.IsPlayerExist() && MusicPlayer.IsPlayerRuning() == 0);
        },
        kWaitForRelease);
    playback_state.WaitFor([] { return !PlayThreadActive(); }, kWaitForIdle);
    if (released) {
        song.play_data.reset();
    } else {
        // A play thread that does not answer keeps its song: freeing it
        // under the thread would be worse than the leak.
        MusicPlayer.ErrorMsg(kErrMusicPlayerInternal);
        (void)song.play_data.release();
    }
    return 1;
}

}  // namespace

int PlaySongFrom(MidiF0Data* song, int tick) {
    if (song == nullptr) return ENODEV;
    tick = std::max(tick, 0);
    return PlayCopy(*song, true, [song, tick](std::int64_t* origin) {
        *origin = tick;
        return MakePlayCopyFrom(song, tick);
    });
}

MidiPlayHooks SongPlayHooks() {
    MidiPlayHooks hooks;
    hooks.play = PlaySong;
    hooks.start_play_thread = StartPlayThread;
    hooks.play_thread = PlayThreadBody;
    hooks.stop = StopSong;
    return hooks;
}
