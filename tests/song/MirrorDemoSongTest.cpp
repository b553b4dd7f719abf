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
    EXPECT_EQ(song.division, kDemoSongDivision);

    TempDir dir;
    auto loader = LoadDemo(dir);
    MidiF0Data* demo = loader->GetMidiF0Data();
    ASSERT_NE(demo, nullptr);
    const MidiTrackData& t = *demo->GetTrack();
    std::set<int> channels;
    long time = 0;
    double seconds = 0;
    long tempo = 500000;
    long timed = 0;
    for (int k = 0; k < t.event_count; ++k) {
        const MidiEvent* e = t.event_table[k];
        time += e->delta;
        if (e->status == kEvNote) channels.insert(e->channel);
        if (e->IsMeta(kMetaTempo)) {
            seconds += (time - timed) * tempo / 480e6;
            timed = time;
            tempo = e->value;
        }
    }
    seconds += (demo->GetSongDuration() - timed) * tempo / 480e6;
    // Melody, chords, bass and drums, for about half a minute.
    EXPECT_EQ(channels, (std::set<int>{0, 1, 2, 9}));
    EXPECT_NEAR(seconds, 30.0, 1.0);
    EXPECT_GT(NotesOf(t).size(), 300u);
    EXPECT_EQ(demo->GetTrack()->IsDrumChanel(9), 1);
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
    EXPECT_EQ(drums_before, drums_after);
    EXPECT_NE(after, notes);

    // Both ways, then written and read again: every note is still there.
    MidiF0Data both(demo);
    both.Q2toQ1();
    both.HorizontalReverse();
    both.VerticalReverse();
    ASSERT_EQ(both.Q1toRaw(), 1);
    MidiF0Data read(both.buffer, both.size);
    EXPECT_EQ(NotesOf(*read.GetTrack()).size(), notes.size());
    // The loaded song itself is never changed by the copies.
    EXPECT_EQ(NotesOf(*demo->GetTrack()), notes);
}
