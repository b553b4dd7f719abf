// Polyphony of a whole song: merged, reduced and rebuilt by channel, or
// refused whole.
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

namespace {

std::unique_ptr<MidiF1Data> ThreeTracks(int fill = 0) {
    auto conductor = Track(kFormQ2, {Meta(0, kMetaTrackName, "Song"), Tempo(0, 500000), Eot(0)});
    auto piano = Track(kFormQ2, {Meta(0, kMetaTrackName, "Piano"), Note(0, 0, 60, 480),
                                 Note(0, 0, 64, 480), Note(0, 0, 67, 480), Eot(480)});
    auto bass = Track(kFormQ2, {Meta(0, kMetaTrackName, "Bass"), Note(0, 1, 36, 960)});
    for (int i = 0; i < fill; ++i) bass->AddEvent(Note(1, 1, 40, 1));
    bass->AddEvent(Eot(0));
    MidiTrackData* tracks[] = {conductor.get(), piano.get(), bass.get()};
    return std::make_unique<MidiF1Data>(tracks, 3, 480);
}

Lines SongDump(const MidiF1Data& song) {
    Lines out;
    for (int t = 0; t < song.track_count; ++t) {
        for (const auto& line : Dump(*song.GetTrack(t)))
            out.push_back(std::to_string(t) + ": " + line);
    }
    return out;
}

}  // namespace

TEST(SongPoly, ReducesAndRefuses) {
    CaptureSink sink;
    auto song = ThreeTracks();
    EXPECT_EQ(song->GetNumPoly(), 4);
    song->ReduceNumPoly(2);
    EXPECT_EQ(song->GetNumPoly(), 2);
    ASSERT_EQ(song->track_count, kF1TracksFromF0);
    // The bass, on the highest channel, goes first, then the piano's lowest
    // note; the bass track, left without a channel, gets no title back.
    Lines expected{"0: 0 META3 Song",    "0: 0 TEMPO 500000",  "0: 960 EOT", "1: 0 META3 Piano",
                   "1: 0 N c0 n64 d480", "1: 0 N c0 n67 d480", "1: 960 EOT"};
    for (int t = 2; t < kF1TracksFromF0; ++t) expected.push_back(std::to_string(t) + ": 960 EOT");
    EXPECT_EQ(SongDump(*song), expected);
    EXPECT_TRUE(sink.Messages().empty());

    sink.Clear();
    int priority[4][12] = {};
    // 15 events and Notes, and two for each filler: the most that fit, and one more.
    const int fill = (kMaxEvents - 15) / 2;
    auto big = ThreeTracks(fill);
    EXPECT_EQ(big->GetNumPoly(), 5);
    auto bigger = ThreeTracks(fill + 1);
    const Lines before = SongDump(*bigger);
    EXPECT_EQ(bigger->GetNumPoly(), 0);
    bigger->ReduceNumPoly(2);
    bigger->ReduceNumPoly(2, nullptr, 0, 1, nullptr, false);
    EXPECT_EQ(sink.Count(kTooMuch), 3);
    song = ThreeTracks();
    song->ReduceNumPoly(0);
    song->ReduceNumPoly(2, nullptr, 0, 2, nullptr, false);
    song->ReduceNumPoly(2, nullptr, 1, 1, priority, false);
    EXPECT_EQ(sink.Count(kGeneric), 3);
    EXPECT_EQ(SongDump(*bigger), before);
    EXPECT_EQ(SongDump(*song), SongDump(*ThreeTracks()));
}
