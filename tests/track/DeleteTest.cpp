// Deletion and truncation: removal by kind, number, channel, text and time,
// cuts at a tick, and expression folded into volume.

#include "support/TestEvents.h"

TEST(Delete, ByKindNumberChannelAndTextCutsAndFolds) {
    auto t = Track(kFormQ1, {Cc(0, 0, 7, 100), Cc(0, 0, 10, 64), Cc(480, 0, 7, 90), Cc(0, 1, 7, 80),
                             Eot(480)});
    t->DeleteControlChange(7, 0, 0);
    EXPECT_EQ(Dump(*t), (Lines{"0 CC c0 #10=64", "480 CC c0 #7=90", "480 CC c1 #7=80", "960 EOT"}));
    // Bounds are inclusive, channels are not looked at.
    t->DeleteControlChange(7, 480, 480);
    EXPECT_EQ(Dump(*t), (Lines{"0 CC c0 #10=64", "960 EOT"}));

    auto u = Track(kFormQ1, {Cc(5, 0, 1, 1), Cc(5, 0, 7, 2), Cc(5, 0, 1, 3), Eot(5)});
    EXPECT_EQ(u->DeleteControlChange(static_cast<unsigned char>(1)), 1);
    EXPECT_EQ(Dump(*u), (Lines{"10 CC c0 #7=2", "15 CC c0 #1=3", "20 EOT"}));

    t = Track(kFormQ1,
              {Pc(0, 0, 1), Pc(10, 1, 2), Bend(10, 0, 9000), Bend(10, 3, 100), RhythmPart(0, 9),
               On(0, 9, 36), Off(10, 9, 36), Meta(0, kMetaTrackName, "x"), Eot(0)});
    EXPECT_EQ(t->DeleteProgramChange(1), 1);
    EXPECT_EQ(t->DeletePitchBend(), 1);
    // Channel 9 takes the drum-part assignment with it; meta events stay.
    EXPECT_EQ(t->DeleteChanel(9), 1);
    EXPECT_EQ(Dump(*t), (Lines{"0 PC c0 1", "40 META3 x", "40 EOT"}));
    // 255 is no channel: the events without one are never taken.
    EXPECT_EQ(t->DeleteChanel(kNoChannel), 0);

    t = Track(kFormQ1, {MasterVolume(0), RhythmPart(10, 3), RhythmPart(0, 9), MasterVolume(10),
                        Event(0, kEvSysExEscape), Eot(0)});
    EXPECT_EQ(t->DeleteSysExF0(9, 18), 1);
    EXPECT_EQ(t->DeleteSysExF0(9, 18), 0);
    // Repeating the first-match form removes every master volume.
    while (t->DeleteSysExF0(static_cast<unsigned char>(1)) == 1) {
    }
    EXPECT_EQ(Dump(*t), (Lines{"10 F0 t18 c3", "20 F7", "20 EOT"}));

    auto make = [] {
        return Track(kFormQ2,
                     {Meta(0, kMetaTrackName, "Song"), Tempo(0, 500000), Meta(10, kMetaMarker, "A"),
                      Meta(10, kMetaMarker, "B"), Meta(0, kMetaMarker, "A"), Note(0, 0, 60, 10),
                      Meta(0, kMetaTrackName, "Again"), Eot(10)});
    };
    t = make();
    char a[] = "A";
    EXPECT_EQ(t->DeleteMetaEvent(20, kMetaMarker, a), 1);  // the one at 20, not at 10
    EXPECT_EQ(t->DeleteMetaEvent(20, kMetaMarker, nullptr), 0);
    EXPECT_EQ(t->DeleteMetaEvent(kMetaTempo), 1);
    EXPECT_EQ(Dump(*t), (Lines{"0 META3 Song", "10 META6 A", "20 META6 B", "20 N c0 n60 d10",
                               "20 META3 Again", "30 EOT"}));

    u = make();
    u->DeleteAllMetaEventExceptSeqName();
    EXPECT_EQ(Dump(*u), (Lines{"0 META3 Song", "20 N c0 n60 d10", "20 META3 Again", "30 EOT"}));
    CaptureSink sink;
    t = Track(kFormQ2,
              {Cc(0, 0, 7, 1), Note(10, 0, 60, 100), Pc(10, 0, 1), Note(10, 0, 62, 100), Eot(200)});
    t->DeleteAllEventExceptNote();
    EXPECT_EQ(Dump(*t), (Lines{"10 N c0 n60 d100", "30 N c0 n62 d100"}));

    u = Track(kFormQ1, {On(0, 0, 60), Off(100, 0, 60), Eot(380)});
    u->DeleteAllEventExceptEndOfTrack();
    EXPECT_EQ(Dump(*u), (Lines{"480 EOT"}));
    EXPECT_TRUE(sink.Messages().empty());

    // A track that does not end with an end of track is reported after the cut.
    auto v = Track(kFormQ1, {On(0, 0, 60), Off(100, 0, 60)});
    v->DeleteAllEventExceptEndOfTrack();
    EXPECT_EQ(Dump(*v), (Lines{"100 OFF c0 n60"}));
    EXPECT_EQ(sink.Messages(), Lines{kInternal});

    t = Track(kFormQ2, {Cc(0, 0, 7, 1), Cc(100, 0, 7, 2), Note(0, 0, 60, 10), Cc(1, 0, 7, 3),
                        Note(0, 0, 62, 10), Eot(100)});
    t->DeleteEventAfterSpecifiedDelta(100, kEvControl);
    EXPECT_EQ(Dump(*t), (Lines{"0 CC c0 #7=1", "100 CC c0 #7=2", "100 N c0 n60 d10",
                               "101 N c0 n62 d10", "201 EOT"}));

    t = Track(kFormQ2, {Note(0, 9, 30, 100), Note(0, 9, 90, 100), Note(10, 9, 36, 10), Eot(200)});
    EXPECT_EQ(t->DeleteInvalidDrum(), 1);  // 30 and 90 both became 35 at one tick
    EXPECT_EQ(Dump(*t), (Lines{"0 N c9 n35 d100", "10 N c9 n36 d10", "210 EOT"}));
    EXPECT_EQ(sink.Messages().size(), 2u);  // and the one above

    auto long_note = [] {
        return Track(kFormQ2,
                     {Note(0, 0, 60, 500), Cc(100, 0, 7, 1), Note(100, 0, 62, 50), Eot(300)});
    };
    // The end of track lands at the time of the last event before the cut.
    auto a_cut = long_note();
    a_cut->ShortenData(150);
    EXPECT_EQ(Dump(*a_cut), (Lines{"0 N c0 n60 d500", "100 CC c0 #7=1", "100 EOT"}));

    auto c = long_note();
    c->ShortnTrackDuration(150);
    EXPECT_EQ(Dump(*c), (Lines{"0 N c0 n60 d500", "100 CC c0 #7=1", "150 N c0 n62 d50"}));

    auto f = Track(kFormQ2, {Note(0, 0, 60, 500), Note(100, 0, 62, 50), Eot(400)});
    f->ShortenNoteAfterSpecifiedDelta(100);  // a Note cut to nothing goes
    EXPECT_EQ(Dump(*f), (Lines{"0 N c0 n60 d100", "500 EOT"}));

    t = Track(kFormQ1, {Cc(0, 0, 7, 100), Cc(0, 0, 11, 64), Cc(0, 1, 11, 127), Cc(10, 0, 11, 127),
                        Cc(0, 0, 7, 64), Eot(0)});
    t->ConvertExpressionToVolume();
    EXPECT_EQ(Dump(*t), (Lines{"0 CC c0 #7=100", "0 CC c0 #7=50", "0 CC c1 #7=127",
                               "10 CC c0 #7=100", "10 CC c0 #7=64", "10 EOT"}));
    EXPECT_EQ(t->event_table[1]->data[1], 7);
    EXPECT_EQ(t->event_table[1]->data[2], 50);
}
