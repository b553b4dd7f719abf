// The track merges behind the format conversions and the loader, checked
// against literal step-by-step versions on random tracks; the file loader
// by name and through the open panel, refused files.
#include <gtest/gtest.h>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/MidiFileLoader.h"
#include "support/TestEvents.h"

namespace {

std::vector<std::unique_ptr<MidiTrackData>> RandomTracks(std::mt19937& rng, int count) {
    std::vector<std::unique_ptr<MidiTrackData>> tracks;
    for (int t = 0; t < count; ++t)
        tracks.push_back(RandomTrack(rng, int(rng() % 40), int(rng() % 16)));
    return tracks;
}

std::vector<MidiTrackData*> Pointers(const std::vector<std::unique_ptr<MidiTrackData>>& tracks) {
    std::vector<MidiTrackData*> out;
    for (const auto& t : tracks) out.push_back(t.get());
    return out;
}

}  // namespace

TEST(SongMerge, NWayMatchesLiteralMergeOnRandomTracks) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; ++round) {
        auto tracks = RandomTracks(rng, 1 + int(rng() % 18));
        std::vector<EvList> copies;
        for (const auto& t : tracks) copies.push_back(Events(*t));
        const auto expected = Absolute(LiteralMergeN(copies));
        const auto before = Events(*tracks[0]);

        MidiTrackData copied(kFormQ2);
        auto pointers = Pointers(tracks);
        copied.MergeTrack(int(pointers.size()), pointers.data());
        ASSERT_EQ(Events(copied), expected) << "round " << round;
        EXPECT_EQ(Events(*tracks[0]), before);

        MidiTrackData moved(kFormQ2);
        moved.AddEvent(Cc(0, 0, 1, 1));  // discarded by the merge
        moved.MergeTrackMoving(int(pointers.size()), pointers.data());
        ASSERT_EQ(Events(moved), expected) << "round " << round;
        for (const auto& t : tracks) EXPECT_EQ(t->event_count, 0);
    }
}

TEST(SongMerge, TwoWayMatchesLiteralMergeOnRandomTracks) {
    std::mt19937 rng(99);
    for (int round = 0; round < 80; ++round) {
        const bool withTitle = round % 2 == 0;
        auto own = RandomTrack(rng, int(rng() % 30), int(rng() % 16));
        auto other = RandomTrack(rng, int(rng() % 30), int(rng() % 16));
        const auto expected = Absolute(LiteralMerge2(Events(*own), Events(*other), withTitle));
        const auto otherBefore = Events(*other);
        own->MergeTrack(other.get(), withTitle);
        ASSERT_EQ(Events(*own), expected) << "round " << round;
        EXPECT_EQ(Events(*other), otherBefore);

        // A track merged with itself merges with what it held before.
        const auto self = Absolute(LiteralMerge2(Events(*own), Events(*own), withTitle));
        own->MergeTrack(own.get(), withTitle);
        ASSERT_EQ(Events(*own), self) << "round " << round;
    }
}

TEST(SongMerge, InTurnEqualsSuccessiveTwoWayMerges) {
    std::mt19937 rng(7);
    for (int round = 0; round < 60; ++round) {
        const bool withTitle = round % 2 == 1;
        auto tracks = RandomTracks(rng, 1 + int(rng() % 17));
        auto own =
            round % 3 == 0 ? RandomTrack(rng, 5, 3) : std::make_unique<MidiTrackData>(kFormQ2);
        EvList expected = Events(*own);
        for (int i = int(tracks.size()) - 1; i >= 0; --i)
            expected = LiteralMerge2(expected, Events(*tracks[std::size_t(i)]), withTitle);
        auto pointers = Pointers(tracks);
        own->MergeTrackInTurn(int(pointers.size()), pointers.data(), withTitle);
        ASSERT_EQ(Events(*own), Absolute(expected)) << "round " << round;
    }
}

// The title rules are held to the two-way oracle above; here the longest
// joined title that still fits, and connecting one track after another.
TEST(SongMerge, LongestTitleAndConnect) {
    auto titled = [](const std::string& title) {
        return Track(kFormQ2, {Meta(0, kMetaTrackName, title), Note(5, 0, 60, 10), Eot(10)});
    };
    auto a = titled(std::string(60, 'a')), b = titled(std::string(64, 'b'));
    a->MergeTrack(b.get());  // 60 + 3 + 64 = 127 characters still fit
    EXPECT_EQ(Events(*a)[0].text.size(), 127u);
    auto c = titled(std::string(61, 'a')), d = titled(std::string(64, 'b'));
    c->MergeTrack(d.get());
    EXPECT_EQ(Events(*c)[0].text, "long name");

    auto first = Track(kFormQ2, {Note(0, 0, 60, 10), Eot(30)});
    auto second = Track(kFormQ2, {Note(5, 0, 64, 10), Eot(10)});
    first->Connect(second.get());
    const auto joined = Events(*first);
    ASSERT_EQ(joined.size(), 3u);
    EXPECT_EQ(joined[1].note, 64);
    EXPECT_EQ(joined[1].tick, 35);  // the second song starts where the first ended
    EXPECT_EQ(joined[2].tick, 45);
}

TEST(Loader, FormatZeroFileBecomesSeventeenTracksThenOneSong) {
    CaptureSink sink;
    TempDir dir;
    const std::string path = dir.File("song.mid");
    WriteBytes(path, smf::WithMacBinary(SmallFormat0()));
    MidiFileLoader loader(path.c_str());
    ASSERT_NE(loader.midi_f1_data, nullptr);
    EXPECT_EQ(loader.midi_f1_data->track_count, 17);
    EXPECT_EQ(loader.file_format, 0);
    EXPECT_EQ(loader.size, int(SmallFormat0().size()) + 128);

    EvList expected;  // the oracle: the tracks merged one by one, last to first
    for (int i = 16; i >= 0; --i)
        expected = LiteralMerge2(expected, Events(*loader.midi_f1_data->GetTrack(i)), true);
    loader.SetMidiF0Data();
    EXPECT_EQ(loader.midi_f1_data, nullptr);
    ASSERT_NE(loader.midi_f0_data, nullptr);
    EXPECT_EQ(loader.midi_f0_data->division, 480);
    EXPECT_EQ(Events(*loader.midi_f0_data->track), Absolute(expected));

    loader.SetMidiF1Data();
    ASSERT_NE(loader.midi_f1_data, nullptr);
    EXPECT_EQ(loader.midi_f0_data, nullptr);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(Loader, RefusedFilesLeaveNoSongPanelAndPattern) {
    CaptureSink sink;
    TempDir dir;
    auto refused = [&](const Bytes& bytes, const std::string& message) {
        sink.Clear();
        WriteBytes(dir.File("x.mid"), bytes);
        MidiFileLoader loader(dir.File("x.mid").c_str());
        EXPECT_EQ(loader.midi_f1_data, nullptr);
        EXPECT_EQ(loader.midi_f0_data, nullptr);
        EXPECT_EQ(loader.size, 0);
        EXPECT_TRUE(sink.Saw(message)) << message;
        loader.SetMidiF0Data();  // nothing to merge
        EXPECT_TRUE(sink.Saw("MidiFileLoaderで内部エラーが発生しました。"));
    };
    refused(Concat({HeaderChunk(2, 1, 96), TrackChunk(smf::Eot(0))}),
            "Midiファイルではありません。");
    refused(Bytes(1048577, 0), "MidiFileLoaderでエラーが発生しました。");
    refused(Bytes(), "Midiファイルではありません。");
    refused(Concat({HeaderChunk(1, 0, 96)}), "Track Error");
    refused(Concat({HeaderChunk(0, 1, 96), Bytes{'J', 'U', 'N', 'K', 0, 0, 0}}),
            "MIDIファイルではないか、マックバイナリがついているファイルです。");

    // The largest file that fits is read.
    Bytes big = Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({smf::Eot(0)}))});
    big.resize(262143, 0);
    WriteBytes(dir.File("big.mid"), big);
    MidiFileLoader loader(dir.File("big.mid").c_str());
    EXPECT_NE(loader.midi_f1_data, nullptr);

    sink.Clear();
    MidiFileLoader missing(dir.File("none.mid").c_str());
    EXPECT_EQ(missing.midi_f1_data, nullptr);
    EXPECT_EQ(sink.Alerts().size(), 1u);  // the platform says so, once

    // The open panel, a pattern and a plain name.
    const std::string path = dir.File("tune.mid");
    WriteBytes(path, SmallFormat0());
    int calls = 0;
    std::string answer;  // empty: cancelled
    GnePanelHooks hooks;
    hooks.open_file = [&](const std::string&, std::string& chosen) {
        ++calls;
        chosen = answer;
        return !answer.empty();
    };
    const GnePanelHooks previous = GneSetPanelHooks(hooks);
    EXPECT_EQ(MidiFileLoader().midi_f1_data, nullptr);
    answer = path;
    EXPECT_NE(MidiFileLoader().midi_f1_data, nullptr);
    EXPECT_STREQ(file_name, path.c_str());  // the last name chosen in the panel
    EXPECT_NE(MidiFileLoader("*.mid").midi_f1_data, nullptr);
    EXPECT_NE(MidiFileLoader(path.c_str()).midi_f1_data, nullptr);  // a plain name asks nothing
    EXPECT_EQ(calls, 3);
    GneSetPanelHooks(previous);
}
