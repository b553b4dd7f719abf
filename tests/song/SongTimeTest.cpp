// Song time edits: cuts at the start and end, area extraction with its
// bar lines, controller scaling, the encoded size and the argument guards.
#include <climits>

#include "midi/song/MidiF1Data.h"
#include "support/TestSongs.h"

namespace {

const std::vector<Ev> kMaster{Meta(0, kMetaTrackName, "Song"), TimeSign(0, 4, 2), Tempo(0, 500000),
                              Eot(3840)};

}  // namespace

TEST(SongTime, SetBeginMovesEverythingExactlySetDurationEndsSoundingNotes) {
    CaptureSink sink;
    // Track 2 on channel 2: a note before the cut, controllers before it, a
    // note exactly at the cut and one after.
    const std::vector<Ev> q2{Cc(0, 2, 7, 100),      Note(0, 2, 60, 600),  Cc(240, 2, 10, 64),
                             Note(240, 2, 62, 120), Note(120, 2, 64, 60), Eot(240)};
    auto song = Song({kMaster, {Eot(0)}, q2});
    song->SetBegin(2, 480);
    EXPECT_EQ(Dump(*song->GetTrack(2)), (Lines{"0 CC c2 #7=100", "0 CC c2 #10=64",
                                               "0 N c2 n62 d120", "120 N c2 n64 d60", "360 EOT"}));
    auto q1 = Song({kMaster,
                    {Eot(0)},
                    {On(0, 2, 60), Cc(100, 2, 7, 90), Off(380, 2, 60), On(0, 2, 62),
                     Off(100, 2, 62), Eot(20)}},
                   kFormQ1);
    q1->SetBegin(2, 480);
    EXPECT_EQ(Dump(*q1->GetTrack(2)),
              (Lines{"0 CC c2 #7=90", "0 ON c2 n62", "100 OFF c2 n62", "120 EOT"}));
    EXPECT_TRUE(sink.Messages().empty());
    const Lines before = SongDump(*song);
    song->SetBegin(2, 0);
    song->SetBegin(2, -5);
    song->SetBegin(3, 10);
    EXPECT_EQ(SongDump(*song), before);
    song->SetBegin(0, 10);  // a conductor track is not channel 0: said, and done
    EXPECT_EQ(sink.Messages(), (Lines{"Track Error", kF1Generic}));
    EXPECT_EQ(Dump(*song->GetTrack(0)).back(), "3830 EOT");

    // The end: notes sounding there end with it.
    sink.Clear();
    const std::vector<Ev> q2_end{Note(0, 2, 60, 1920), Cc(480, 2, 7, 90), Note(520, 2, 62, 100),
                                 Cc(500, 2, 7, 80), Eot(420)};
    auto ended = Song({kMaster, {Eot(0)}, q2_end});
    ended->SetDuration(2, 960);  // the first event at or after 960 is the note at 1000
    EXPECT_EQ(Dump(*ended->GetTrack(2)),
              (Lines{"0 N c2 n60 d1000", "480 CC c2 #7=90", "1000 EOT"}));
    auto whole = Song({kMaster, {Eot(0)}, q2_end});
    whole->SetDuration(960);  // every track, at 960 exactly
    EXPECT_EQ(Dump(*whole->GetTrack(2)), (Lines{"0 N c2 n60 d960", "480 CC c2 #7=90", "960 EOT"}));
    EXPECT_EQ(Dump(*whole->GetTrack(0)).back(), "960 EOT");
    auto q1_end = Song(
        {kMaster,
         {Eot(0)},
         {On(0, 2, 60), On(0, 2, 64), Cc(960, 2, 7, 90), Off(0, 2, 64), Off(960, 2, 60), Eot(0)}},
        kFormQ1);
    q1_end->SetDuration(2, 900);
    EXPECT_EQ(Dump(*q1_end->GetTrack(2)), (Lines{"0 ON c2 n60", "0 ON c2 n64", "960 CC c2 #7=90",
                                                 "960 OFF c2 n60", "960 OFF c2 n64", "960 EOT"}));
    const Lines kept = SongDump(*q1_end);
    q1_end->SetDuration(2, 5000);  // the track ends before
    EXPECT_EQ(SongDump(*q1_end), kept);
    q1_end->SetDuration(2, 0);
    EXPECT_EQ(Dump(*q1_end->GetTrack(2)), (Lines{"0 EOT"}));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(SongTime, ExtractAreaSplitsBarsAndArgumentGuardsRefuseWithoutChange) {
    CaptureSink sink;
    auto song = Song(
        {kMaster, {Note(0, 1, 60, 480), Note(960, 1, 62, 960), Note(960, 1, 64, 480), Eot(0)}});
    song->Q2toQ1();
    const Lines before = SongDump(*song);
    // Unsorted, overlapping, negative, empty, too many: refused, unchanged.
    std::vector<std::vector<std::array<int, 2>>> bad{
        {{960, 1920}, {0, 480}}, {{0, 960}, {480, 1920}}, {{-480, 960}}, {{960, 960}}, {}};
    for (int k = 0; k <= MidiF1Data::kMaxAreas; ++k) bad.back().push_back({k * 2, k * 2 + 1});
    for (auto& areas : bad)
        song->ExtractArea(reinterpret_cast<int(*)[2]>(areas.data()), int(areas.size()));
    song->ExtractArea(nullptr, 1);
    EXPECT_EQ(sink.Count(kF1Internal), 6);
    EXPECT_EQ(SongDump(*song), before);
    int area[1][2] = {{960, 2880}};
    song->ExtractArea(area, 1);
    EXPECT_EQ(song->GetTrack(0)->GetTrackLen(), 1920);
    EXPECT_EQ(song->GetTrack(1)->GetTrackLen(), 1920);
    EXPECT_EQ(song->GetNumMetaEvent(kMetaTimeSignature) > 1, true);  // the cut bars of their own
    song->Q1toQ2();
    EXPECT_EQ(Dump(*song->GetTrack(1)),
              (Lines{"0 N c1 n62 d960", "960 N c1 n64 d480", "1920 EOT"}));
    auto q2 = Song({kMaster});
    q2->ExtractArea(area, 1);  // Q1 only
    EXPECT_EQ(sink.Count(kF1Internal), 7);

    // The other edits refuse bad arguments without change.
    sink.Clear();
    auto guarded = Song({kMaster, {Note(7, 1, 60, 473), Eot(473)}});
    const Lines untouched = SongDump(*guarded);
    guarded->QuantizeData(1, 0);
    guarded->QuantizeData(1, 481);
    guarded->QuantizeData(1, INT_MIN);
    guarded->SetFadeOut(0);
    guarded->SetFadeOut(INT_MIN);
    guarded->ModifyEventTime(0);
    guarded->ModifyEventTime(0, 960, -1, false);
    EXPECT_FALSE(guarded->CheckEventTime(0, 960, 0, false));
    guarded->SetControlChangeRelativelyMaxValue(128);
    EXPECT_EQ(sink.Count(kF1Internal), 9);
    guarded->QuantizeData(-1, 4);
    guarded->QuantizeData(INT_MAX, 4);
    EXPECT_EQ(sink.Count("Track Error"), 2);
    EXPECT_EQ(SongDump(*guarded), untouched);
    guarded->SetFadeOut(INT_MAX);  // longer than the tune: the fade starts at once
    guarded->QuantizeData(1, 4);
    guarded->ModifyEventTime(120);
    EXPECT_EQ(Dump(*guarded->GetTrack(1)), (Lines{"0 N c1 n60 d480", "480 EOT"}));
}

TEST(SongTime, ScalingSizeAndQueries) {
    CaptureSink sink;
    auto song = Song({kMaster,
                      {Meta(0, kMetaDeviceName, "SC-88 B"), Meta(0, 0x60, "odd"), Cc(0, 1, 7, 50),
                       Note(0, 1, 60, 480), Note(240, 1, 60, 480), Cc(0, 1, 7, 100), Eot(960)},
                      {Cc(0, 2, 11, 0), Eot(0)}});
    song->SetControlChangeRelativelyMaxValue(7);
    song->SetControlChangeRelativelyMaxValue(11);  // all 0: taken as unset, full
    EXPECT_EQ(song->GetTrack(1)->event_table[2]->value, 63);
    EXPECT_EQ(song->GetTrack(1)->event_table[5]->value, 127);
    EXPECT_EQ(song->GetTrack(2)->event_table[0]->value, 127);
    // The size of what would be saved, the song untouched.
    const Lines before = SongDump(*song);
    const unsigned size = song->GetFileSize();
    EXPECT_EQ(SongDump(*song), before);
    MidiF1Data copy(song.get());
    copy.Q2toQ1();
    ASSERT_EQ(copy.Q1toRaw(), 1);
    EXPECT_EQ(size, unsigned(copy.size));
    EXPECT_EQ(copy.GetFileSize(), 0u);  // Q1
    EXPECT_EQ(sink.Messages(), (Lines{kF1Internal}));
    EXPECT_TRUE(song->IsChanelUsed(1));
    EXPECT_FALSE(song->IsChanelUsed(2));
    char text[MidiF1Data::kLocationTextSize];
    EXPECT_STREQ(song->GetLocationString(2400, text), "0002:02:000");
    char marker[] = "end";
    auto empty = Song({});
    EXPECT_EQ(empty->GetEndMarkerDelta(marker), -1);
    EXPECT_EQ(empty->GetMarkerLocation(marker), 0);
    EXPECT_EQ(empty->GetEndCuePointDelta(marker), 0);
    EXPECT_EQ(song->GetEndMarkerDelta(marker), -1);
    char title[] = "New";
    song->ReplaceSongTitle(title);
    EXPECT_EQ(Dump(*song->GetTrack(0)).front(), "0 META3 New");
    auto untitled = Song({{TimeSign(0, 4, 2), Tempo(0, 500000), Eot(0)}});
    untitled->ReplaceSongTitle(title);  // nothing to replace
    EXPECT_EQ(untitled->GetNumMetaEvent(kMetaTrackName), 0);
    EXPECT_FALSE(song->CheckMetaEventLocation(0, kMetaTempo, 400000));
    EXPECT_TRUE(song->CheckMetaEventLocation(0, kMetaTempo, 500000));
}
