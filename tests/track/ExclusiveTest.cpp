// Classification of exclusive messages and the GS part and checksum helpers.
#include <gtest/gtest.h>

#include <cstring>

#include "TrackTestSupport.h"

using namespace reader_test;

namespace {

struct Classified {
    int number, value, channel;
    bool operator==(const Classified&) const = default;
};

void PrintTo(const Classified& c, std::ostream* os) {
    *os << "{type " << c.number << " value " << c.value << " ch " << c.channel << "}";
}

// Classifies bytes as an exclusive event; value starts at -7 so that an
// untouched value shows.
Classified Classify(const Bytes& message) {
    MidiTrackData track;
    MidiEvent event;
    event.status = kEvSysEx;
    event.value = -7;
    std::memcpy(event.data, message.data(), message.size());
    event.length = static_cast<int>(message.size());
    track.SpecifyExclusiveType(&event);
    return {event.number, event.value, event.channel};
}

}  // namespace

TEST(Exclusive, UniversalMessages) {
    CaptureSink sink;
    EXPECT_EQ(Classify({0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7}),
              (Classified{1, 100, kNoChannel}));
    EXPECT_EQ(Classify({0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x02, 0x00, 0x30, 0xF7}),
              (Classified{40, 0x30, kNoChannel}));
    EXPECT_EQ(Classify({0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
              (Classified{9, -7, kNoChannel}));
    // Master volume with the F7 one byte late is not the universal message.
    EXPECT_EQ(Classify({0xF0, 0x08, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0x00, 0xF7}).number, 0);
    // XG messages are carried through unclassified.
    EXPECT_EQ(Classify({0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}),
              (Classified{0, -7, kNoChannel}));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(Exclusive, GsMessages) {
    // Master volume at 40 00 04.
    EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x55, 0x67, 0xF7}),
              (Classified{1, 0x55, kNoChannel}));
    // A GS reset is not classified.
    EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}),
              (Classified{0, -7, kNoChannel}));
    // Rhythm part assignment: part byte 1A is channel 10 (index 10), 10 is 9.
    EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x02, 0x0F, 0xF7}),
              (Classified{18, 2, 10}));
    // Part equalizer switch.
    EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x4F, 0x20, 0x00, 0x0F, 0xF7}),
              (Classified{69, 0, 15}));
    // A 1x address other than 15 takes the value byte but no type.
    EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x12, 0x16, 0x05, 0x0F, 0xF7}),
              (Classified{0, 5, kNoChannel}));
    // Another middle address byte.
    EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x03, 0x00, 0x40, 0x00, 0xF7}),
              (Classified{0, -7, kNoChannel}));
}

// The ends of the 40 01 xx (system effect) and 40 02 xx (equalizer) runs and
// the gaps between them.
TEST(Exclusive, SystemEffectAndEqualizerTables) {
    const int expected[][3] = {{1, 0x30, 20}, {1, 0x35, 25}, {1, 0x36, 0}, {1, 0x37, 32},
                               {1, 0x5A, 64}, {1, 0x5B, 0},  {1, 0x2F, 0}, {2, 0x00, 65},
                               {2, 0x03, 68}, {2, 0x04, 0}};
    for (const auto& [middle, address, type] : expected) {
        EXPECT_EQ(Classify({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, std::uint8_t(middle),
                            std::uint8_t(address), 0x09, 0x00, 0xF7}),
                  (Classified{type, 9, kNoChannel}))
            << middle << std::hex << " " << address;
    }
}

TEST(Exclusive, ShortMessagesNeverMatchBeyondTheirBytes) {
    // Bytes past the message's length that would complete a known message
    // must not count.
    MidiTrackData track;
    MidiEvent event;
    event.status = kEvSysEx;
    const Bytes full{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    std::memcpy(event.data, full.data(), full.size());
    event.length = 4;
    track.SpecifyExclusiveType(&event);
    EXPECT_EQ(event.number, 0);

    const Bytes gs{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x02, 0x0F, 0xF7};
    for (int length = 0; length < 10; ++length) {
        MidiEvent e;
        e.status = kEvSysEx;
        e.value = -7;
        std::memcpy(e.data, gs.data(), gs.size());
        e.length = length;
        track.SpecifyExclusiveType(&e);
        EXPECT_EQ(e.number, 0) << length;
        EXPECT_EQ(e.value, -7) << length;
        EXPECT_EQ(e.channel, kNoChannel) << length;
    }
    EXPECT_EQ(Classify({0xF0, 0x03, 0x41, 0x10, 0xF7}), (Classified{0, -7, kNoChannel}));
    EXPECT_EQ(Classify({0xF0, 0xF7}), (Classified{0, -7, kNoChannel}));
}

TEST(Exclusive, ReaderClassifiesAndWrongStatusIsReported) {
    CaptureSink sink;
    const auto track = Read(TrackChunk({0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x4A, 0x20,
                                        0x01, 0x0F, 0xF7, 0x00, 0xFF, 0x2F, 0x00}));
    ASSERT_EQ(track->event_count, 2);
    EXPECT_EQ(View(*track->event_table[0]), (Ev{0, kEvSysEx, 10, 0, 0, 69, 1, 12}));
    EXPECT_TRUE(sink.Messages().empty());

    MidiEvent meta;
    meta.status = kEvMeta;
    const Bytes volume{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7};
    std::memcpy(meta.data, volume.data(), volume.size());
    meta.length = 9;
    track->SpecifyExclusiveType(&meta);
    EXPECT_EQ(meta.number, 1);  // classified all the same
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
}

// Channel -> part byte -> channel for every channel, on both bases.
TEST(Exclusive, PartByteForEveryChannel) {
    MidiTrackData track;
    for (int channel = 0; channel < 16; ++channel) {
        unsigned char part = 0;
        SetSysExF0Chanel(channel, &part, 0x10);
        const unsigned char low = part;
        SetSysExF0Chanel(channel, &part, 0x40);
        EXPECT_EQ(part, low + 0x30) << channel;
        // The classifier maps the part byte back to the channel.
        MidiEvent e;
        e.status = kEvSysEx;
        const Bytes m{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, part, 0x20, 0x01, 0x0F, 0xF7};
        std::memcpy(e.data, m.data(), m.size());
        e.length = 12;
        track.SpecifyExclusiveType(&e);
        EXPECT_EQ(e.channel, channel);
    }
    unsigned char untouched = 0x55;
    SetSysExF0Chanel(16, &untouched, 0x10);
    SetSysExF0Chanel(-1, &untouched, 0x10);
    EXPECT_EQ(untouched, 0x55);
}

TEST(Exclusive, GsCheckSum) {
    unsigned char even[12] = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x40, 0x00, 9, 0xF7};
    SetGSCheckSum(even);  // 40 + 00 + 40 + 00 = 128
    EXPECT_EQ(even[10], 0x00);
    EXPECT_EQ(even[11], 0xF7);
}
