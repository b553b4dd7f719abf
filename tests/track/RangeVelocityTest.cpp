// Note range, repeated notes, velocities, fades, one channel, one stretch and
// the seconds of a stretch.
#include "support/TestEvents.h"

TEST(NoteRange, FoldsDeletesDoubleNotesVelocitiesFadesSecondsChannelAndArea) {
    CaptureSink sink;
    auto fold = Track(kFormQ2, {Note(0, 0, 100, 10), Note(0, 1, 20, 10), Note(0, 0, 120, 10),
                                Note(0, 0, 60, 10), Eot(10)});
    EXPECT_EQ(fold->AdjustNoteRange(-1, 36, 96, 1), 1);
    EXPECT_EQ(
        NotesOf(*fold),
        (Notes{
            {0, 0, 60, 10, 100}, {0, 0, 88, 10, 100}, {0, 0, 108, 10, 100}, {0, 1, 32, 10, 100}}));
    auto cut = Track(kFormQ2, {Note(0, 0, 100, 10), Note(0, 1, 20, 10), Note(5, 0, 30, 10),
                               Note(0, 0, 60, 10), Eot(10)});
    EXPECT_EQ(cut->AdjustNoteRange(0, 36, 96, 0), 1);
    EXPECT_EQ(Dump(*cut), (Lines{"0 N c1 n20 d10", "5 N c0 n60 d10", "15 EOT"}));
    EXPECT_EQ(cut->AdjustNoteRange(0, 36, 96, 0), 0);

    sink.Clear();
    const struct {
        EvList events;
        int doubled;
    } cases[] = {
        {{Note(0, 0, 60, 100), Note(50, 0, 60, 100), Eot(100)}, 1},
        {{Note(0, 0, 60, 100), Note(50, 1, 60, 100), Eot(100)}, 0},
        {{Note(0, 0, 60, 50), Note(50, 0, 60, 100), Eot(100)}, 0},  // struck as it ends
        {{Note(0, 20, 60, 100), Note(0, 20, 60, 100), Note(0, 0, -5, 9), Note(0, 0, -5, 9),
          Eot(100)},
         0},  // channels and notes that index nothing are skipped
    };
    for (const auto& c : cases) {
        auto q2 = Track(kFormQ2, c.events);
        EXPECT_EQ(q2->CheckDoubleNote(), c.doubled);
        q2->Q2toQ1();
        EXPECT_EQ(q2->CheckDoubleNote(), c.doubled);
    }
    auto high = Track(kFormQ1, {On(0, 0, 130), Eot(0)});
    EXPECT_EQ(high->CheckDoubleNote(), 0);
    EXPECT_EQ(sink.Messages(), Lines{"ノートナンバーの異常が検出されました。"});
    auto loud = Track(kFormQ2, {Note(0, 0, 60, 10, 100), Note(0, 0, 62, 10, 50),
                                Note(0, 1, 64, 10, 10), Eot(10)});
    loud->SetMaxVelocity(0);
    EXPECT_EQ(NotesOf(*loud), (Notes{{0, 0, 60, 10, 127}, {0, 0, 62, 10, 63}, {0, 1, 64, 10, 10}}));
    // Every maximum gives 127 exactly.
    for (int m = 1; m <= 127; ++m) {
        auto one = Track(kFormQ2, {Note(0, 0, 60, 10, m), Eot(10)});
        one->SetMaxVelocity(0);
        EXPECT_EQ(one->event_table[0]->velocity, 127) << m;
    }
    auto silent = Track(kFormQ2, {Note(0, 0, 60, 10, 0), Eot(10)});
    silent->SetMaxVelocity(0);
    EXPECT_EQ(silent->event_table[0]->velocity, 0);

    const EvList notes{Note(0, 0, 60, 10, 100), Note(480, 0, 60, 10, 100),
                       Note(480, 0, 60, 10, 100), Eot(10)};
    auto fade = Track(kFormQ2, notes);
    fade->SetFadeOut(0, 960);
    EXPECT_EQ(NotesOf(*fade),
              (Notes{{0, 0, 60, 10, 100}, {480, 0, 60, 10, 50}, {960, 0, 60, 10, 0}}));
    auto none = Track(kFormQ2, notes);
    none->SetFadeOut(960, 960);
    EXPECT_EQ(Events(*none), Events(*Track(kFormQ2, notes)));
    sink.Clear();
    auto plain = Track(kFormQ2, {Note(0, 0, 60, 10), Eot(960)});
    auto fast = Track(kFormQ2, {Note(0, 0, 60, 10), Tempo(480, 250000), Eot(480)});
    EXPECT_DOUBLE_EQ(plain->GetDurationTime(0, 960, 480), 1.0);
    EXPECT_DOUBLE_EQ(fast->GetDurationTime(0, 960, 480), 0.75);
    EXPECT_DOUBLE_EQ(fast->GetDurationTime(480, 960, 480), 0.25);   // the tempo in force at from
    EXPECT_DOUBLE_EQ(fast->GetDurationTime(240, 720, 480), 0.375);  // clipped to both ends
    EXPECT_DOUBLE_EQ(fast->GetDurationTime(0, 1920, 480), 1.25);    // past the end: the last tempo
    EXPECT_DOUBLE_EQ(fast->GetDurationTime(960, 960, 480), 0.0);
    EXPECT_DOUBLE_EQ(plain->GetDurationTime(0, 960, 0), 0.0);
    EXPECT_EQ(sink.Messages(), Lines{kGeneric});

    auto mixed = Track(kFormQ2, {Meta(0, kMetaTrackName, "t"), Cc(0, 2, 7, 90), Note(0, 1, 60, 10),
                                 Note(10, 2, 62, 10), Tempo(5, 500000), Eot(20)});
    mixed->ExtractChanelData(2);
    EXPECT_EQ(Dump(*mixed), (Lines{"0 CC c2 #7=90", "10 N c2 n62 d10", "35 EOT"}));
    mixed->ExtractChanelData(16);
    EXPECT_EQ(sink.Messages(), (Lines{kGeneric, kChannelError}));
    EXPECT_EQ(mixed->event_count, 3);

    auto area =
        Track(kFormQ2, {Pc(0, 0, 5), Note(0, 0, 60, 500), Cc(100, 0, 7, 90), Note(100, 0, 62, 500),
                        Cc(100, 0, 10, 64), Note(300, 0, 64, 10), Eot(100)});
    area->ExtractArea(200, 400);
    EXPECT_EQ(Dump(*area), (Lines{"0 PC c0 5", "0 CC c0 #7=90", "0 N c0 n62 d200",
                                  "100 CC c0 #10=64", "200 EOT"}));
    auto q2 = Track(kFormQ2, {Note(0, 0, 60, 100), Note(50, 0, 62, 20), Eot(10)});
    EXPECT_EQ(q2->GetLastNotePos(), 100);  // the Q1 walk is held to this one in PolyTest
}
