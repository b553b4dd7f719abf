// Randomly damaged images through both song classes: each one loads or is
// refused with a message, and whatever loads as format 0 can be written and
// read back. Run under the address sanitizer this also proves nothing is read
// outside the bytes given.
#include <gtest/gtest.h>

#include "SongTestSupport.h"

using namespace song_test;

namespace {

Bytes SmallFormat1() {
    return Concat({HeaderChunk(1, 3, 96),
                   TrackChunk(Concat({smf::Text(0, 3, "T"), smf::Tempo(0, 500000), smf::Eot(0)})),
                   TrackChunk(Concat({smf::On(0, 0, 60), smf::Off(96, 0, 60), smf::Eot(0)})),
                   TrackChunk(Concat({smf::Cc(0, 9, 7, 1), smf::On(5, 9, 36), smf::Off(5, 9, 36),
                                      smf::Eot(0)}))});
}

Bytes Mutate(std::mt19937& rng, Bytes bytes) {
    std::uniform_int_distribution<int> pick(0, 99);
    const int edits = 1 + pick(rng) % 6;
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        const std::size_t at = rng() % bytes.size();
        switch (pick(rng) % 6) {
            case 0:
                bytes[at] = std::uint8_t(rng());
                break;
            case 1:
                bytes.resize(at);
                break;  // cut short
            case 2:
                bytes.insert(bytes.begin() + long(at), std::uint8_t(rng()));
                break;
            case 3:
                bytes.erase(bytes.begin() + long(at));
                break;
            case 4:  // a header field: format, track count, division
                if (bytes.size() >= 14) bytes[8 + rng() % 6] = std::uint8_t(rng());
                break;
            default:  // a chunk length field
                if (bytes.size() >= 22) bytes[18 + rng() % 4] = std::uint8_t(rng());
                break;
        }
    }
    return bytes;
}

// 1 when the song was written and read back.
int ExpectWritableAndReadable(MidiF0Data& song) {
    if (song.track == nullptr || song.track->event_count == 0) return 0;
    song.Q2toQ1();
    if (song.Q1toRaw() != 1) return 0;  // refused with a message
    const Bytes written(song.buffer, song.buffer + song.size);
    CaptureSink quiet;
    MidiF0Data again(written.data(), long(written.size()));
    EXPECT_EQ(again.form, kFormQ2);
    EXPECT_GT(again.track->event_count, 0);
    EXPECT_TRUE(quiet.Messages().empty());
    return 1;
}

}  // namespace

TEST(SongRobustness, MutatedFilesLoadOrAreRefused) {
    CaptureSink sink;
    std::mt19937 rng(4711);
    const std::vector<Bytes> seeds = {SmallFormat0(), SmallFormat1(),
                                      smf::WithMacBinary(SmallFormat0())};
    int written = 0;
    for (int round = 0; round < 1500; ++round) {
        const Bytes bytes = Mutate(rng, seeds[std::size_t(round) % seeds.size()]);
        const long size = long(bytes.size());
        {
            MidiF0Data song(bytes.data(), size);
            EXPECT_EQ(song.form, kFormQ2);
            written += ExpectWritableAndReadable(song);
        }
        {
            MidiF1Data song(bytes.data(), size);
            EXPECT_LE(song.track_count, kMaxTracks);
        }
        sink.Clear();
    }
    // The mutations leave many files readable, so the paths above were taken.
    EXPECT_GT(written, 250);
}
