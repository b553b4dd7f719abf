// The bundled demo song: what it holds, and the mirror on it through the
// same path as a loaded file (backwards twice gives its notes back, upside
// down leaves its drums alone).
#include <gtest/gtest.h>

#include <set>

#include "MirrorFixture.h"
#include "midi/song/DemoSong.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/MidiFileLoader.h"

using namespace mirror_test;

namespace {

// The demo song loaded as the program loads a file.
std::unique_ptr<MidiFileLoader> LoadDemo(const TempDir& dir) {
    const std::vector<unsigned char> image = DemoSongImage();
    const std::string path = dir.File("demo.mid");
    WriteBytes(path, Bytes(image.begin(), image.end()));
    auto loader = std::make_unique<MidiFileLoader>(path.c_str());
    loader->SetMidiF0Data();
    return loader;
}

}  // namespace

TEST(DemoSong, WhatItHolds) {
    CaptureSink sink;
    const std::vector<unsigned char> image = DemoSongImage();
    EXPECT_EQ(image, DemoSongImage());  // the same bytes every time
    MidiF1Data song(image.data(), static_cast<long>(image.size()));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(song.GetTrackCount(), 5);
}

TEST(DemoSong, MirroredLikeAFile) {
    TempDir dir;
    auto loader = LoadDemo(dir);
    MidiF0Data* demo = loader->GetMidiF0Data();
    const Notes notes = NotesOf(*demo->GetTrack());

    // Backwards twice: the same notes (the demo starts at once, no lead-in).
    MidiF0Data twice(demo);
    twice.Q2toQ1();
    twice.HorizontalReverse();
    twice.HorizontalReverse();
    twice.Q1toQ2();
    EXPECT_EQ(NotesOf(*twice.GetTrack()), notes);

    // Upside down: drums as they were, the rest moved, none lost.
    MidiF0Data flipped(demo);
    flipped.Q2toQ1();
    flipped.VerticalReverse();
    flipped.Q1toQ2();
    const Notes after = NotesOf(*flipped.GetTrack());
    ASSERT_EQ(after.size(), notes.size());
    std::multiset<std::pair<long, int>> drums_before;
    std::multiset<std::pair<long, int>> drums_after;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (notes[i].channel == 9) drums_before.insert({notes[i].start, notes[i].note});
        if (after[i].channel == 9) drums_after.insert({after[i].start, after[i].note});
    }
    EXPECT_FALSE(drums_before.empty());
    EXPECT_EQ(drums_before, drums_after);
    EXPECT_NE(after, notes);

    // The loaded song itself is never changed by the copies.
    EXPECT_EQ(NotesOf(*demo->GetTrack()), notes);
}
