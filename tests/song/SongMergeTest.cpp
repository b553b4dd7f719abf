// The track merges behind the format conversions and the loader, checked
// against literal step-by-step versions on random tracks.
#include <gtest/gtest.h>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

namespace {

std::vector<std::unique_ptr<MidiTrackData>> RandomTracks(std::mt19937& rng, int count) {
    std::vector<std::unique_ptr<MidiTrackData>> tracks;
    for (int t = 0; t < count; ++t) {
        tracks.push_back(RandomTrack(rng, int(rng() % 40), int(rng() % 16)));
    }
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
        for (int i = int(tracks.size()) - 1; i >= 0; --i) {
            expected = LiteralMerge2(expected, Events(*tracks[std::size_t(i)]), withTitle);
        }
        auto pointers = Pointers(tracks);
        own->MergeTrackInTurn(int(pointers.size()), pointers.data(), withTitle);
        ASSERT_EQ(Events(*own), Absolute(expected)) << "round " << round;
    }
}

// The title rules by example; with a title missing on either side they are
// checked by the two-way oracle above.
TEST(SongMerge, TitlesAreJoined) {
    auto titled = [](const std::string& title, int tick) {
        return Track(kFormQ2, {Meta(0, kMetaTrackName, title), Note(tick, 0, 60, 10), Eot(10)});
    };
    auto titleOf = [](const MidiTrackData& t) {
        for (const Ev& e : Events(t)) {
            if (e.status == kEvMeta && e.number == kMetaTrackName) return e.text;
        }
        return std::string("<none>");
    };
    auto countTitles = [](const MidiTrackData& t) {
        int n = 0;
        for (const Ev& e : Events(t)) n += e.status == kEvMeta && e.number == kMetaTrackName;
        return n;
    };
    {
        auto a = titled("Piano", 5), b = titled("Bass", 5);
        a->MergeTrack(b.get());
        EXPECT_EQ(titleOf(*a), "Piano / Bass");
        EXPECT_EQ(countTitles(*a), 1);
        // The joined title leads the track at tick 0.
        EXPECT_TRUE(a->event_table[0]->IsMeta(kMetaTrackName));
        EXPECT_EQ(a->event_table[0]->delta, 0);
    }
    {
        auto a = titled(std::string(60, 'a'), 5), b = titled(std::string(64, 'b'), 5);
        a->MergeTrack(b.get());  // 60 + 3 + 64 = 127 characters still fit
        EXPECT_EQ(titleOf(*a).size(), 127u);
        auto c = titled(std::string(61, 'a'), 5), d = titled(std::string(64, 'b'), 5);
        c->MergeTrack(d.get());
        EXPECT_EQ(titleOf(*c), "long name");
    }
    {
        // Without titles a single-channel other track loses its names, this one keeps its own.
        auto a = titled("Piano", 5), b = titled("Bass", 5);
        a->MergeTrackWithoutTrackTitle(b.get());
        EXPECT_EQ(titleOf(*a), "Piano");
        EXPECT_EQ(countTitles(*a), 1);
    }
}

TEST(SongMerge, MergeWithItselfAndConnect) {
    auto a = Track(kFormQ2, {Note(0, 0, 60, 10), Note(10, 0, 62, 10), Eot(10)});
    a->MergeTrackWithoutTrackTitle(a.get());
    const auto merged = Events(*a);
    ASSERT_EQ(merged.size(), 5u);
    EXPECT_EQ(merged[1].note, 60);
    EXPECT_EQ(merged[3].tick, 10);
    EXPECT_EQ(merged[4].tick, 20);

    auto first = Track(kFormQ2, {Note(0, 0, 60, 10), Eot(30)});
    auto second = Track(kFormQ2, {Note(5, 0, 64, 10), Eot(10)});
    first->Connect(second.get());
    const auto joined = Events(*first);
    ASSERT_EQ(joined.size(), 3u);
    EXPECT_EQ(joined[1].note, 64);
    EXPECT_EQ(joined[1].tick, 35);  // the second song starts where the first ended
    EXPECT_EQ(joined[2].tick, 45);
}
