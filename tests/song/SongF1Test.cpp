// The format-1 song: splitting a format-0 song into 17 tracks, the header
// limits, saving, and damaged files.
#include <gtest/gtest.h>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestSongs.h"

namespace {

// A format-1 file in the writer's own encoding: a conductor track and two
// instrument tracks.
Bytes SmallFormat1() {
    return Concat({HeaderChunk(1, 3, 96),
                   TrackChunk(Concat({smf::Text(0, 3, "Title"), smf::Tempo(0, 600000),
                                      smf::Tempo(192, 500000), smf::Eot(0)})),
                   TrackChunk(Concat({smf::Text(0, 3, "Piano"), smf::Program(0, 0, 1),
                                      smf::On(0, 0, 60), smf::Off(96, 0, 60), smf::On(0, 0, 62),
                                      smf::Off(96, 0, 62), smf::Eot(0)})),
                   TrackChunk(Concat({smf::Cc(0, 9, 7, 100), smf::On(48, 9, 36),
                                      smf::Off(48, 9, 36), smf::Eot(100)}))});
}

Bytes ChunkTracks(int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        const Bytes chunk =
            TrackChunk(Concat({smf::On(0, i % 16, 60), smf::Off(10, i % 16, 60), smf::Eot(0)}));
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

}  // namespace

TEST(SongF1, SplitsFormatZeroAndSavesFormatOne) {
    TempDir dir;
    CaptureSink sink;
    const Bytes file = SmallFormat0();
    MidiF0Data song(file.data(), long(file.size()));
    song.track->InsertEvent(1, 2, GsSysEx(0, 3));           // an exclusive message for channel 3
    song.track->InsertEvent(1, 2, GsSysEx(0, kNoChannel));  // and one for no channel
    const auto original = Events(*song.track);

    MidiF1Data split(&song);
    ASSERT_EQ(split.track_count, 17);
    EXPECT_EQ(Events(*song.track), original);  // the format-0 song is only read

    // A meta track, then a track per channel; every event keeps its absolute
    // tick; every track ends where the song ends.
    EXPECT_EQ(
        SongDump(split),
        (Lines{
            "0: 0 META3 Song", "0: 0 TEMPO 500000",  "0: 960 EOT",          "1: 0 F0 t0 c255",
            "1: 0 PC c0 5",    "1: 0 N c0 n60 d480", "1: 480 PC c0 7",      "1: 480 N c0 n64 d480",
            "1: 960 EOT",      "2: 960 EOT",         "3: 960 EOT",          "4: 0 F0 t0 c3",
            "4: 960 EOT",      "5: 960 EOT",         "6: 960 EOT",          "7: 960 EOT",
            "8: 960 EOT",      "9: 960 EOT",         "10: 0 N c9 n36 d240", "10: 960 EOT",
            "11: 960 EOT",     "12: 960 EOT",        "13: 960 EOT",         "14: 960 EOT",
            "15: 960 EOT",     "16: 960 EOT"}));

    sink.Clear();
    const Bytes format1 = SmallFormat1();
    MidiF1Data saved(format1.data(), long(format1.size()));
    ASSERT_EQ(saved.track_count, 3);
    const auto piano = Events(*saved.GetTrack(1));
    EXPECT_EQ(saved.SaveFile(dir.File("out.mid").c_str()), 1);
    EXPECT_EQ(ReadBytes(dir.File("out.mid")), format1);  // byte for byte
    EXPECT_EQ(saved.form, kFormQ2);
    ASSERT_EQ(saved.track_count, 3);
    EXPECT_EQ(Events(*saved.GetTrack(1)), piano);
    EXPECT_TRUE(sink.Messages().empty());

    // A span of ticks copied from a Q1 song: every track, cut to the span.
    saved.Q2toQ1();
    MidiF1Data span(&saved, 96, 192);
    ASSERT_EQ(span.track_count, 3);
    EXPECT_EQ(span.form, kFormQ1);
    span.Q1toQ2();
    EXPECT_EQ(Dump(*span.GetTrack(1)),
              (Lines{"0 META3 Piano", "0 PC c0 1", "0 N c0 n62 d96", "96 EOT"}));
}

TEST(SongF1, TrackCountsWrongFormatsLargeImagesAndOnceMessages) {
    CaptureSink sink;
    TempDir dir;
    const std::string path = dir.File("f1.mid");
    // A format-0 file that is no good either way: one reading, its message.
    WriteBytes(path, Concat({HeaderChunk(0, 3, 96), ChunkTracks(3)}));
    EXPECT_EQ(MidiF1Data(path.c_str()).track_count, 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"トラック数に誤りがあります。"});
    // (header, tracks present, tracks read, message, how often): more tracks
    // than fit, none or fewer than announced, format 2.
    const std::tuple<Bytes, int, int, std::string, int> cases[] = {
        {HeaderChunk(1, 64, 96), 64, 32, "Track Error", 1},
        {HeaderChunk(1, 0, 96), 2, 0, "Track Error", 1},
        {HeaderChunk(1, 300, 96), 2, 2, "Track Error", 2},
        {HeaderChunk(2, 1, 96), 1, 0, "フォーマット１ではありません。", 1}};
    for (const auto& [header, present, read, message, times] : cases) {
        const Bytes bytes = Concat({header, ChunkTracks(present)});
        sink.Clear();
        EXPECT_EQ(MidiF1Data(bytes.data(), long(bytes.size())).track_count, read) << message;
        EXPECT_EQ(sink.Messages(), Lines(std::size_t(times), message)) << read;
    }
    // Announced and present tracks: what is read is merged into one track.
    for (const auto& [announced, present, notes] :
         std::vector<std::tuple<int, int, int>>{{64, 64, 32}, {3, 2, 2}}) {
        sink.Clear();
        WriteBytes(path, Concat({HeaderChunk(1, announced, 96), ChunkTracks(present)}));
        MidiF0Data song(path.c_str());
        ASSERT_EQ(song.form, kFormQ2);
        EXPECT_EQ(int(NotesOf(*song.track).size()), notes) << announced;
        EXPECT_EQ(sink.Messages(), std::vector<std::string>{"Track Error"}) << announced;
    }

    // The image grows past the buffer the song started with, and loads again.
    sink.Clear();
    std::vector<Ev> texts(800, Meta(0, kMetaText, std::string(120, 'x')));
    texts.push_back(Eot(0));
    auto song = Song({texts, texts, texts});
    song->Q2toQ1();
    EXPECT_EQ(song->Q1toRaw(), 1);
    EXPECT_EQ(song->size, 14 + 3 * 99212);
    MidiF1Data again(song->buffer, song->size);
    ASSERT_EQ(again.track_count, 3);
    for (int t = 0; t < 3; ++t) EXPECT_EQ(again.GetTrack(t)->event_count, 801);
    EXPECT_EQ(sink.Count("データの量が多すぎます。"), 0);
    song->ClearData();
    song->form = kFormQ1;
    EXPECT_EQ(song->Q1toRaw(), 1);  // an empty song is a header
    EXPECT_EQ(song->size, 14);

    sink.Clear();
    MidiF1Data full(96);
    for (int i = 0; i < kMaxTracks; ++i) EXPECT_EQ(full.AddTrack(), 1);
    EXPECT_EQ(full.AddTrack(), 0);
    EXPECT_TRUE(sink.Saw("Track Error"));

    sink.Clear();
    full.ErrorMsgOnce(kErrF1DrumTone);
    full.ErrorMsgOnce(kErrF1TrackCombine);
    MidiF1Data next(96);  // clears every flag but the drum-to-tone one
    next.ErrorMsgOnce(kErrF1DrumTone);
    next.ErrorMsgOnce(kErrF1TrackCombine);
    EXPECT_EQ(sink.Messages().size(), 3u);
    EXPECT_EQ(sink.Count("複数のプログラムチェンジのトラックを結合しようとしました。"), 2);
}
