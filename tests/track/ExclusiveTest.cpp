// Classification of exclusive messages and the GS part and checksum helpers.

#include <cstring>

#include "support/TestEvents.h"

namespace {

struct Classified {
    int number, value, channel;
    bool operator==(const Classified&) const = default;
};

void PrintTo(const Classified& c, std::ostream* os) {
    *os << "{type " << c.number << " value " << c.value << " ch " << c.channel << "}";
}

// Classifies bytes as an event of the status, holding the first length bytes
// (all when negative); value starts at -7 so that an untouched value shows.
Classified Classify(const Bytes& message, int length = -1, int status = kEvSysEx) {
    MidiTrackData track;
    MidiEvent event;
    event.status = status;
    event.value = -7;
    std::memcpy(event.data, message.data(), message.size());
    event.length = length < 0 ? static_cast<int>(message.size()) : length;
    track.SpecifyExclusiveType(&event);
    return {event.number, event.value, event.channel};
}

Bytes Gs(int a1, int a2, int a3, int value) {
    Bytes m = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0, 0, 0, 0, 0x00, 0xF7};
    int i = 6;
    for (int byte : {a1, a2, a3, value}) m[i++] = static_cast<std::uint8_t>(byte);
    return m;
}

const Bytes kMasterVolume = {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7};

}  // namespace

TEST(Exclusive, UniversalAndShortMessages) {
    CaptureSink sink;
    EXPECT_EQ(Classify(kMasterVolume), (Classified{1, 100, kNoChannel}));
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

    // Bytes past the message's length that would complete a known message must
    // not count.
    EXPECT_EQ(Classify({0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 4).number, 0);
    for (int length = 0; length < 10; ++length) {
        EXPECT_EQ(Classify(Gs(0x40, 0x1A, 0x15, 2), length), (Classified{0, -7, kNoChannel}))
            << length;
    }
    EXPECT_EQ(Classify({0xF0, 0x03, 0x41, 0x10, 0xF7}), (Classified{0, -7, kNoChannel}));
    EXPECT_EQ(Classify({0xF0, 0xF7}), (Classified{0, -7, kNoChannel}));

    sink.Clear();
    EXPECT_EQ(Classify(kMasterVolume, -1, kEvMeta).number, 1);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
}

TEST(Exclusive, GsMessagesAndPartBytes) {
    struct Row {
        int a1, a2, a3;
        Classified expected;
    };
    const Row rows[] = {
        {0x40, 0x00, 0x04, {1, 9, kNoChannel}},   // master volume
        {0x40, 0x00, 0x7F, {0, -7, kNoChannel}},  // GS reset: not classified
        {0x40, 0x1A, 0x15, {18, 9, 10}},          // rhythm part; part byte 1A is channel 10
        {0x40, 0x4F, 0x20, {69, 9, 15}},          // part equalizer switch
        {0x40, 0x12, 0x16, {0, 9, kNoChannel}},   // another 1x address: the value, no type
        {0x40, 0x03, 0x00, {0, -7, kNoChannel}},  // another middle address byte
        // The ends of the system effect (40 01) and equalizer (40 02) runs and
        // the gaps between them.
        {0x40, 0x01, 0x30, {20, 9, kNoChannel}},
        {0x40, 0x01, 0x35, {25, 9, kNoChannel}},
        {0x40, 0x01, 0x36, {0, 9, kNoChannel}},
        {0x40, 0x01, 0x37, {32, 9, kNoChannel}},
        {0x40, 0x01, 0x5A, {64, 9, kNoChannel}},
        {0x40, 0x01, 0x5B, {0, 9, kNoChannel}},
        {0x40, 0x01, 0x2F, {0, 9, kNoChannel}},
        {0x40, 0x02, 0x00, {65, 9, kNoChannel}},
        {0x40, 0x02, 0x03, {68, 9, kNoChannel}},
        {0x40, 0x02, 0x04, {0, 9, kNoChannel}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Classify(Gs(row.a1, row.a2, row.a3, 9)), row.expected)
            << std::hex << row.a1 << " " << row.a2 << " " << row.a3;
    }

    // Channel -> part byte -> channel for every channel, on both bases.
    for (int channel = 0; channel < 16; ++channel) {
        unsigned char part = 0;
        SetSysExF0Chanel(channel, &part, 0x10);
        const unsigned char low = part;
        SetSysExF0Chanel(channel, &part, 0x40);
        EXPECT_EQ(part, low + 0x30) << channel;
        // The classifier maps the part byte back to the channel.
        EXPECT_EQ(Classify(Gs(0x40, part, 0x20, 1)).channel, channel);
    }
    unsigned char untouched = 0x55;
    SetSysExF0Chanel(16, &untouched, 0x10);
    SetSysExF0Chanel(-1, &untouched, 0x10);
    EXPECT_EQ(untouched, 0x55);
}
