// Play and stop hammered from two threads on the real timer: the front end's
// shared state holds (ThreadSanitizer watches it in tests/tsan.sh), every
// play ends, no note is left hanging and nothing is left behind.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "PlaybackTestSupport.h"
#include "playback/MidiControler.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"

using namespace std::chrono_literals;

namespace {

// Four short notes at 600 beats per minute on channel: about 50 ms.
std::unique_ptr<MidiF0Data> QuickSong(int channel) {
    const int on = 0x90 + channel;
    const int off = 0x80 + channel;
    return SongFromTrack(96, Msg({0x00, 0xFF, 0x51, 0x03, 0x01, 0x86, 0xA0,     // 100,000 us
                                  0x00, on,   60,   100,  0x0C, off,  60,   0,  // 12.5 ms each
                                  0x00, on,   62,   100,  0x0C, off,  62,   0,  //
                                  0x00, on,   64,   100,  0x0C, off,  64,   0,  //
                                  0x00, on,   65,   100,  0x0C, off,  65,   0,  //
                                  0x00, 0xFF, 0x2F, 0x00}));
}

}  // namespace

TEST(PlayerStress, PlayAndStopFromTwoThreads) {
    RecordingBackend out;
    MidiControler::UseBackend(&out);
    MidiPlayer::UseTimer(nullptr);
    constexpr int kRounds = 100;  // per thread: 200 plays in all

    auto hammer = [](MidiF0Data* song, int seed) {
        for (int i = 0; i < kRounds; ++i) {
            EXPECT_EQ(song->Play(), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds((i * seed) % 7));
            if ((i + seed) % 3 != 0) {
                EXPECT_EQ(song->Stop(), 1);
            }
        }
    };
    auto first = QuickSong(0);
    auto second = QuickSong(1);
    std::thread a(hammer, first.get(), 1);
    std::thread b(hammer, second.get(), 2);
    a.join();
    b.join();
    first->Stop();
    second->Stop();

    EXPECT_TRUE(StaticMusicPlayer::WaitFor([] { return MusicPlayer.idle.load() == 1; }, 5s));
    EXPECT_EQ(MidiPlayer::MidiCtrl, nullptr);
    EXPECT_EQ(first->play_data, nullptr);
    EXPECT_EQ(second->play_data, nullptr);
    const auto sent = out.MessageBytes();
    int note_ons = 0;
    for (const auto& m : sent) note_ons += (m[0] & 0xF0) == 0x90;
    EXPECT_GT(note_ons, 0);
    EXPECT_EQ(HangingNotes(sent), 0);
    MidiControler::UseBackend(nullptr);
}
