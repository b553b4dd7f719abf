// Read -> write -> read: a chunk in the writer's own layout comes back byte
// for byte, and random tracks keep their events.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ReaderTestSupport.h"

using namespace reader_test;

namespace {

Bytes Written(MidiTrackData& track) {
    EXPECT_EQ(track.Q1toRaw(), 1);
    return Bytes(track.buffer, track.buffer + track.size);
}

// What must survive a write: the fields, and the bytes of exclusive and meta
// events. A note off is always written with velocity 64.
struct Kept {
    Ev ev;
    Bytes data;
    bool operator==(const Kept&) const = default;
};

void PrintTo(const Kept& k, std::ostream* os) {
    PrintTo(k.ev, os);
    *os << " data " << k.data.size();
}

std::vector<Kept> KeptOf(const MidiTrackData& track) {
    std::vector<Kept> out;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        Kept k{View(e), {}};
        if (e.status == kEvNoteOff) k.ev.velocity = 64;
        if (e.status == kEvSysEx || e.status == kEvSysExEscape || e.status == kEvMeta) {
            k.data = DataOf(e, e.length);
        }
        out.push_back(k);
    }
    return out;
}

}  // namespace

TEST(TrackRoundTrip, CanonicalChunkComesBackByteForByte) {
    CaptureSink sink;
    const Bytes chunk = TrackChunk({
        0x00, 0xFF, 0x03, 0x04, 'S',  'o',  'n',  'g',   // track name
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // tempo
        0x00, 0xFF, 0x58, 0x04, 0x03, 0x03, 0x18, 0x08,  // 3/8
        0x00, 0xFF, 0x59, 0x02, 0x00, 0x00,              // key signature
        0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM on
        0x00, 0xF7, 0x03, 0x90, 0x3C, 0x40,              // escape
        0x00, 0xB1, 0x07, 0x64,                          // volume
        0x00, 0xC1, 0x05,                                // program
        0x00, 0xE1, 0x00, 0x40,                          // bend
        0x00, 0xD1, 0x10,                                // pressure
        0x00, 0x91, 0x3C, 0x64,                          // note on
        0x83, 0x60, 0x81, 0x3C, 0x40,                    // note off, delta 480
        0x81, 0x80, 0x80, 0x00, 0xFF, 0x06, 0x01, 'M',   // marker, delta 16384
        0x00, 0xFF, 0x2F, 0x00,
    });
    const auto track = Read(chunk);
    ASSERT_EQ(track->event_count, 14);
    EXPECT_EQ(Written(*track), chunk);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(TrackRoundTrip, RunningStatusAndLongEventsSurvive) {
    CaptureSink sink;
    Bytes body{0x00, 0x90, 60, 100, 0x10, 62, 100, 0x10, 60, 0, 0x10, 62, 0};
    Bytes text{0x00, 0xFF, 0x01, 0x82, 0x2C};  // 300 bytes of text
    for (int i = 0; i < 300; ++i) text.push_back(static_cast<std::uint8_t>('a' + i % 26));
    body.insert(body.end(), text.begin(), text.end());
    Bytes sysex{0x00, 0xF0, 0x82, 0x2A};  // 300 bytes F0 .. F7
    for (int i = 0; i < 296; ++i) sysex.push_back(static_cast<std::uint8_t>(i & 0x7F));
    sysex.push_back(0xF7);
    body.insert(body.end(), sysex.begin(), sysex.end());
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    auto first = Read(TrackChunk(body));
    const auto before = KeptOf(*first);
    const Bytes written = Written(*first);
    const auto second = Read(written);
    EXPECT_EQ(KeptOf(*second), before);
    // Written once more, the bytes no longer change.
    auto third = Read(written);
    EXPECT_EQ(Written(*third), written);
}

TEST(TrackRoundTrip, RandomTracksKeepTheirEvents) {
    std::mt19937 rng(7);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto b = [](int v) { return static_cast<std::uint8_t>(v); };
    CaptureSink sink;
    for (int round = 0; round < 300; ++round) {
        Bytes body;
        int running = 0;
        const int events = pick(200);
        for (int e = 0; e < events; ++e) {
            const int delta = pick(3) == 0 ? pick(2000000) : pick(200);
            if (delta >= 1 << 14) body.push_back(b(0x80 | (delta >> 14)));
            if (delta >= 1 << 7) body.push_back(b(0x80 | ((delta >> 7) & 0x7F)));
            body.push_back(b(delta & 0x7F));
            const int kind = pick(9);
            if (kind < 5) {
                // Key pressure is carried as bytes but not written back; it is left out.
                constexpr int kKinds[] = {0x80, 0x90, 0xB0, 0xC0, 0xD0, 0xE0};
                const int status = kKinds[pick(6)] | pick(16);
                if (status != running || pick(2) == 0) body.push_back(b(status));
                running = status;
                body.push_back(b(pick(128)));
                const int k = status & 0xF0;
                if (k != kEvProgram && k != kEvChannelPressure) body.push_back(b(pick(128)));
            } else if (kind == 5) {
                body.insert(body.end(), {0xF0, 0x04, 0x41, b(pick(128)), b(pick(128)), 0xF7});
                running = 0;
            } else if (kind == 6) {
                const int n = pick(20);
                body.insert(body.end(), {0xF7, b(n)});
                for (int i = 0; i < n; ++i) body.push_back(b(pick(256)));
                running = 0;
            } else if (kind == 7) {
                const int n = pick(40);
                body.insert(body.end(), {0xFF, b(1 + pick(7)), b(n)});
                for (int i = 0; i < n; ++i) body.push_back(b(' ' + pick(90)));
            } else {
                body.insert(body.end(),
                            {0xFF, 0x51, 0x03, b(1 + pick(20)), b(pick(256)), b(pick(256))});
            }
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        sink.Clear();
        auto first = Read(TrackChunk(body));
        ASSERT_TRUE(sink.Messages().empty()) << round << ": " << sink.Messages()[0];
        const auto before = KeptOf(*first);
        const auto second = Read(Written(*first));
        ASSERT_EQ(KeptOf(*second), before) << round;
    }
}
