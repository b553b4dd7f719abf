// The sequencer on a virtual clock: what goes out, and when.
#include "PlaybackTestSupport.h"

using namespace std::chrono_literals;
using Sends = std::vector<Sent>;

namespace {

int stop_calls = 0;

constexpr std::int64_t kQuarterAt120 = 500000;  // microseconds

// Plays song on the rig's clock until nothing is due; the firings it took.
int PlayThrough(PlaybackRig& rig, MidiF0Data* song) {
    MidiPlayer player(song, kMidiMapperIndex);
    return rig.timer.RunUntilIdle();
}

}  // namespace

// Exclusive messages go out without their file length (that of the long one
// takes two bytes), an escape's bytes as they are.
TEST(Sequencer, LeadingEventsGoOutAtOnceAndTheFirstNoteDoesNotWait) {
    PlaybackRig rig;
    const Bytes long_message(300, 0x11);
    auto song = Q1Song(96, {Pc(0, 0, 5), Cc(10, 0, 7, 100), Tempo(20, 500000),
                            Framed(30, {0x7E, 0x7F, 0x09, 0x01}), Framed(0, long_message),
                            Escape(0, {0xF3, 0x01}), On(200, 0, 60, 100), Off(48, 0, 60), Eot(0)});
    const std::vector<Bytes> leading = {Msg({0xC0, 5}), Msg({0xB0, 7, 100}),
                                        Msg({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
                                        Concat({{0xF0}, long_message, {0xF7}}), Msg({0xF3, 0x01})};
    {
        MidiPlayer player(song.get(), kMidiMapperIndex);
        // Everything before the first note went out while the player was made.
        EXPECT_EQ(rig.out.MessageBytes(), leading);
        // The note's own delta of 200 ticks is not waited for.
        EXPECT_EQ(rig.timer.NextDue(), 0us);
        EXPECT_EQ(rig.timer.RunUntilIdle(), 2);
    }
    Sends expected;
    for (const Bytes& bytes : leading) expected.push_back({0, bytes});
    expected.insert(
        expected.end(),
        {{0, Msg({0x90, 60, 100})}, {250000, Msg({0x80, 60, 0})}, {250000, Msg({0xB0, 123, 0})}});
    EXPECT_EQ(rig.out.Messages(), expected);
}

TEST(Sequencer, WaitsFollowTheTempoMapWithoutRoundingDrift) {
    PlaybackRig rig;
    // No tempo event: 120 beats per minute, a quarter (96 ticks) is 500 ms.
    auto song =
        Q1Song(96, {On(0, 0, 60, 100), Off(48, 0, 60),  // 250 ms
                    On(1, 0, 61, 100), Off(1, 0, 61),   // 5.208 ms each
                    On(1, 0, 62, 100), Off(1, 0, 62), On(1, 0, 63, 100), Off(91, 0, 63), Eot(0)});
    PlayThrough(rig, song.get());
    std::vector<std::int64_t> times;
    for (const auto& sent : rig.out.Messages()) times.push_back(sent.micros);
    // A tick is 5208 1/3 us: the fractions add up instead of being dropped,
    // and 96 ticks after the first note-off come exactly 500 ms later.
    EXPECT_EQ(times, (std::vector<std::int64_t>{0, 250000, 255208, 260416, 265625, 270833, 276041,
                                                250000 + kQuarterAt120, 250000 + kQuarterAt120}));
}

TEST(Sequencer, TempoChangesApplyFromTheFollowingWait) {
    PlaybackRig rig;
    CaptureSink sink;
    auto song = Q1Song(96, {Tempo(0, 1000000),                      // 60 bpm from the start
                            On(0, 0, 60, 100), Tempo(96, 250000),   // at 1 s: 240 bpm
                            Off(0, 0, 60), On(96, 0, 62, 100),      // 250 ms later
                            Tempo(0, 466000),                       // 128.76 bpm, kept exact
                            Off(96, 0, 62), Tempo(0, 999),          // too fast: 60 bpm
                            On(96, 0, 64, 100), Tempo(0, 7000000),  // 8 bpm: raised to 10
                            Off(96, 0, 64), Eot(0)});
    {
        MidiPlayer player(song.get(), kMidiMapperIndex);
        rig.timer.RunUntilIdle();
        EXPECT_EQ(MidiPlayer::BpmTempo, 10);
    }
    std::vector<std::int64_t> note_times;
    for (const auto& sent : rig.out.Messages())
        if ((sent.bytes[0] & 0xE0) == 0x80) note_times.push_back(sent.micros);
    EXPECT_EQ(note_times,
              (std::vector<std::int64_t>{0, 1000000, 1250000, 1716000, 2716000, 8716000}));
    EXPECT_EQ(sink.Count("設定されているテンポが遅すぎます。"), 1);
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_NOMEMORY"), 1);
}

TEST(Sequencer, EventsAtOneInstantGoOutInOneFiring) {
    PlaybackRig rig;
    auto song = Q1Song(96, {On(0, 0, 60, 100), On(0, 1, 64, 90), Cc(0, 2, 10, 64),
                            Bend(0, 3, 0x40 * 128 + 0x11), Off(96, 0, 60), Off(0, 1, 64), Eot(0)});
    MidiPlayer player(song.get(), kMidiMapperIndex);
    EXPECT_EQ(rig.timer.AdvanceTo(0us), 1);
    EXPECT_EQ(rig.out.MessageBytes(),
              (std::vector<Bytes>{Msg({0x90, 60, 100}), Msg({0x91, 64, 90}), Msg({0xB2, 10, 64}),
                                  Msg({0xE3, 0x11, 0x40})}));
    EXPECT_EQ(rig.timer.AdvanceTo(499999us), 0);
    EXPECT_EQ(rig.timer.AdvanceTo(500000us), 1);
    EXPECT_EQ(rig.out.Messages().size(), 6u);
}

TEST(Sequencer, CancelDuringALongRestEndsAtOnceAndSilencesTheNote) {
    PlaybackRig rig;
    stop_calls = 0;
    SetStopCallback([] { ++stop_calls; }, nullptr);
    auto song = Q1Song(
        96, {On(0, 0, 60, 100), On(0, 9, 36, 100), Off(1920, 0, 60), On(0, 4, 70, 100), Eot(0)});
    {
        MidiPlayer player(song.get(), kMidiMapperIndex);
        rig.timer.AdvanceTo(1s);  // in the middle of a 10 s rest
        MidiPlayer::Cancel();
        // The wake fired the routine: it saw the cancel and primed no more.
        EXPECT_EQ(MidiPlayer::Runing.load(), 0);
        EXPECT_FALSE(rig.timer.NextDue().has_value());
    }
    EXPECT_EQ(stop_calls, 0);  // a cancel is no natural end
    EXPECT_EQ(rig.out.Messages(), (Sends{{0, Msg({0x90, 60, 100})},
                                         {0, Msg({0x99, 36, 100})},
                                         {1000000, Msg({0x80, 60, 0})},
                                         {1000000, Msg({0xB0, 123, 0})},
                                         {1000000, Msg({0x89, 36, 0})},
                                         {1000000, Msg({0xB9, 123, 0})}}));
}

TEST(Sequencer, NaturalEndCallsTheStopCallbackOnce) {
    PlaybackRig rig;
    stop_calls = 0;
    SetStopCallback([] { ++stop_calls; }, nullptr);
    auto song = Q1Song(96, {On(0, 3, 60, 100), Off(24, 3, 60), Eot(48)});
    {
        MidiPlayer player(song.get(), kMidiMapperIndex);
        rig.timer.RunUntilIdle();
        EXPECT_EQ(stop_calls, 1);
    }
    // The end waits for the end-of-track delta; only the channel that played
    // is told to stop its notes.
    EXPECT_EQ(rig.out.Messages(), (Sends{{0, Msg({0x93, 60, 100})},
                                         {125000, Msg({0x83, 60, 0})},
                                         {375000, Msg({0xB3, 123, 0})}}));

    // A song without a note sends everything at set-up and ends at the
    // first firing, as a song that has ended: no alarm, the callback runs.
    CaptureSink sink;
    auto silent = Q1Song(96, {Pc(0, 1, 3), Cc(96, 1, 7, 80), Eot(0)});
    EXPECT_EQ(PlayThrough(rig, silent.get()), 1);
    EXPECT_EQ(stop_calls, 2);
    EXPECT_TRUE(sink.Alerts().empty());
}

TEST(Sequencer, RefusesWhatItCannotPlay) {
    PlaybackRig rig;
    CaptureSink sink;
    auto q2 = std::make_unique<MidiF0Data>(kFormQ2, 96);
    {
        MidiPlayer player(q2.get(), kMidiMapperIndex);
        EXPECT_EQ(MidiPlayer::MidiCtrl, nullptr);
        EXPECT_FALSE(rig.timer.NextDue().has_value());
    }
    EXPECT_TRUE(sink.Saw("MidiPlayerで内部エラーが起きました。"));
    EXPECT_EQ(MusicPlayer.PlayMidi(q2.get()), 0);
    EXPECT_FALSE(MusicPlayer.IsPlayerExist());

    // Division 0 gives no ticks per minute: the first note goes, then the end.
    auto timeless = Q1Song(0, {On(0, 0, 60, 100), Off(96, 0, 60), Eot(0)});
    PlayThrough(rig, timeless.get());
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_NOMEMORY"), 1);
    EXPECT_EQ(rig.out.MessageBytes(),
              (std::vector<Bytes>{Msg({0x90, 60, 100}), Msg({0x80, 60, 0}), Msg({0xB0, 123, 0})}));
}
