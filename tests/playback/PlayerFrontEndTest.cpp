// The player front end: play copies, the play thread and stops, with the
// sequencer on a virtual clock driven from the test.
#include "PlaybackTestSupport.h"

using namespace std::chrono_literals;

namespace {

// The play thread has made its sequencer, which primed its timer.
bool WaitPlaying(PlaybackRig& rig) {
    return rig.timer.WaitUntilPrimed(3s) &&
           StaticMusicPlayer::WaitFor([] { return MusicPlayer.IsPlayerExist(); }, 3s);
}

// Program 5 at once, then after note_delta (a variable-length quantity) a
// note of 480 ticks, and the end.
Bytes OneNoteTrack(const Bytes& note_delta) {
    return Concat({Msg({0x00, 0xC0, 0x05}), note_delta,
                   Msg({0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00})});
}

}  // namespace

TEST(PlayerFrontEnd, PlaysACopyAtDivision96AndEndsByItself) {
    PlaybackRig rig;
    // Division 480, the first note at tick 4000: the two empty measures
    // before it go, and it lands at tick 160, that is 32 at division 96.
    auto song = SongFromTrack(480, OneNoteTrack(Msg({0x9F, 0x20})));

    ASSERT_EQ(song->Play(), 0);
    ASSERT_TRUE(WaitPlaying(rig));
    ASSERT_NE(song->play_data, nullptr);
    EXPECT_EQ(song->play_data->division, 96);
    EXPECT_EQ(song->play_data->GetTrack()->GetEvent(1)->delta, 32);
    EXPECT_EQ(song->division, 480);  // the loaded song stays as it was

    rig.timer.RunUntilIdle();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(rig.out.Messages(), (std::vector<Sent>{{0, Msg({0xC0, 5})},
                                                     {0, Msg({0x90, 60, 100})},
                                                     {500000, Msg({0x80, 60, 0})},
                                                     {500000, Msg({0xB0, 123, 0})}}));

    // The player is idle: a new play starts at once, without a wait step.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(song->Play(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 90ms);
    ASSERT_TRUE(WaitPlaying(rig));
    EXPECT_EQ(song->Stop(), 1);
    EXPECT_TRUE(WaitIdle());
}

TEST(PlayerFrontEnd, StopRightAfterPlayCancelsTheSequencerOnceItExists) {
    PlaybackRig rig;
    auto song = SongFromTrack(96, OneNoteTrack(Msg({0x00})));
    MusicPlayer.SetDestination(3);
    ASSERT_EQ(song->Play(), 0);
    // Nobody drives the clock: only the stop makes the sequencer end.
    EXPECT_EQ(song->Stop(), 1);
    EXPECT_EQ(song->play_data, nullptr);
    ASSERT_TRUE(WaitIdle());
    // The program change went out at set-up, the note never did, and the
    // channel was told to be quiet.
    EXPECT_EQ(rig.out.MessageBytes(), (std::vector<Bytes>{Msg({0xC0, 5}), Msg({0xB0, 123, 0})}));
}

TEST(PlayerFrontEnd, PlayAgainReplacesTheFirstCopyAndWaitsForItsThread) {
    PlaybackRig rig;
    auto song = SongFromTrack(96, OneNoteTrack(Msg({0x00})));
    auto other = SongFromTrack(
        96, Msg({0x00, 0x91, 0x40, 0x50, 0x60, 0x81, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
    ASSERT_EQ(song->Play(), 0);
    ASSERT_TRUE(WaitPlaying(rig));
    rig.timer.AdvanceTo(rig.timer.Now());  // the note starts
    ASSERT_EQ(rig.out.Messages().size(), 2u);
    ASSERT_EQ(song->Play(), 0);  // while the first copy still sounds
    ASSERT_TRUE(WaitPlaying(rig));
    rig.timer.RunUntilIdle();  // the copy ends; its thread is still tearing down
    ASSERT_EQ(other->Play(), 0);
    ASSERT_TRUE(WaitPlaying(rig));
    rig.timer.RunUntilIdle();
    ASSERT_TRUE(WaitIdle());
    // Each sequencer was gone, silence included, before the next began.
    EXPECT_EQ(
        rig.out.MessageBytes(),
        (std::vector<Bytes>{Msg({0xC0, 5}), Msg({0x90, 60, 100}),     // first play
                            Msg({0x80, 60, 0}), Msg({0xB0, 123, 0}),  // stopped
                            Msg({0xC0, 5}), Msg({0x90, 60, 100}),     // again from the start
                            Msg({0x80, 60, 0}), Msg({0xB0, 123, 0}),  // its end
                            Msg({0x91, 0x40, 0x50}), Msg({0x81, 0x40, 0}), Msg({0xB1, 123, 0})}));
    song->Stop();
    other->Stop();
}
