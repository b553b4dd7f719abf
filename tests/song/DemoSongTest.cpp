// The bundled demo song: the same bytes every time, a format-1 song of five
// tracks that reads without a message. The command-line tests mirror it.
#include <gtest/gtest.h>

#include "midi/song/DemoSong.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

TEST(DemoSong, WhatItHolds) {
    CaptureSink sink;
    const std::vector<unsigned char> image = DemoSongImage();
    EXPECT_EQ(image, DemoSongImage());
    MidiF1Data song(image.data(), static_cast<long>(image.size()));
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(song.GetTrackCount(), 5);
}
