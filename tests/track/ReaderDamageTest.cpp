// The track reader on damaged chunks: it keeps the song up to the damage,
// says so, and never reads past the chunk.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "TrackTestSupport.h"

using namespace reader_test;

namespace {

const Bytes kNotes{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 64};  // note on, note off

}  // namespace

TEST(TrackReaderDamage, ChunkRunningPastTheImage) {
    // A file cut short (the chunk says 12 bytes, 8 are there) and a length of
    // 0xFFFFFFFF: the events up to the end of the image are kept.
    Bytes cut = TrackChunk(Concat({kNotes, {0x00, 0xFF, 0x2F, 0x00}}));
    cut.resize(cut.size() - 4);
    Bytes huge = TrackChunk(kNotes);
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
    for (const Bytes& image : {cut, huge}) {
        CaptureSink sink;
        const auto track = Read(image);
        EXPECT_EQ(track->size, static_cast<int>(image.size()));
        EXPECT_EQ(Events(*track), (std::vector<Ev>{NoteOn(0, 0, 60, 100), NoteOff(0x60, 0, 60, 64),
                                                   EndOfTrack(0)}));
        EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
    }
    // An offset beyond the image.
    CaptureSink sink;
    Bytes small = TrackChunk({});
    const auto none =
        std::make_unique<MidiTrackData>(static_cast<long>(small.size()), 100, small.data());
    EXPECT_EQ(none->form, kFormNone);
    EXPECT_EQ(none->event_count, 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
}

// The buffer grows to hold a chunk larger than it starts with.
TEST(TrackReaderDamage, ChunkLargerThanTheBuffer) {
    CaptureSink sink;
    Bytes body;
    while (body.size() < 300000) body.insert(body.end(), {0x00, 0x90, 60, 100});
    const auto track = Read(TrackChunk(body));
    EXPECT_EQ(track->size, long(body.size()) + 8);
    EXPECT_EQ(track->event_count, int(body.size() / 4));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(TrackReaderDamage, EventsCutByTheChunkEnd) {
    struct Case {
        const char* what;
        Bytes tail;
        int end_delta;  // delta of the closing end of track
    };
    const Case cases[] = {
        {"channel message", {0x00, 0x90, 60}, 0},
        {"channel message after a delta", {0x30, 0x90, 60}, 0x30},
        {"running status message", {0x10, 62}, 0x10},
        {"delta", {0x81}, 0},
        {"delta of five bytes", {0x81, 0x81, 0x81, 0x81, 0x00, 0x90, 60, 1}, 0},
        {"exclusive without F7", {0x00, 0xF0, 0x03, 0x41, 0x10, 0x42}, 0},
        {"escape length cut off", {0x00, 0xF7, 0x85}, 0},
        {"meta longer than the chunk", {0x00, 0xFF, 0x01, 0x10, 'a'}, 0},
        {"meta length cut off", {0x05, 0xFF, 0x01, 0x81}, 5},
    };
    for (const auto& c : cases) {
        CaptureSink sink;
        const auto track = Read(TrackChunk(Concat({kNotes, c.tail})));
        EXPECT_EQ(Events(*track), (std::vector<Ev>{NoteOn(0, 0, 60, 100), NoteOff(0x60, 0, 60, 64),
                                                   EndOfTrack(c.end_delta)}))
            << c.what;
        EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal}) << c.what;
    }
}

TEST(TrackReaderDamage, BadBytesAreSteppedOver) {
    CaptureSink sink;
    const auto track = Read(TrackChunk({0x00, 0x90, 0xFF, 0x40,  // data byte with bit 7 set
                                        0x00, 0xB0, 7,    0x80,  // the same in a control
                                        0x00, 0xF8,              // a real-time status
                                        0x00, 0xF2, 0x01, 0x02,  // song position: 3 bytes
                                        0x00, 0xF4,              // undefined status
                                        0x10, 0x90, 60,   100,   // still in step
                                        0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(Events(*track), (std::vector<Ev>{None(0), None(0), None(0), None(0), None(0),
                                               NoteOn(0x10, 0, 60, 100), EndOfTrack(0)}));
    EXPECT_EQ(sink.Count(kGeneric), 2);
    EXPECT_EQ(sink.Count(kUndefined), 3);
    // Running status survives a dropped message of its own kind.
    sink.Clear();
    const auto run = Read(TrackChunk(
        {0x00, 0x91, 60, 100, 0x00, 0x90, 0x81, 0x00, 0x00, 61, 100, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(Events(*run), (std::vector<Ev>{NoteOn(0, 1, 60, 100), None(0), NoteOn(0, 0, 61, 100),
                                             EndOfTrack(0)}));
}

TEST(TrackReaderDamage, FixedMetaOfWrongLength) {
    CaptureSink sink;
    // Each meta event is consumed by its declared length, so what follows
    // stays in step.
    const auto track =
        Read(TrackChunk({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1,  // short tempo
                         0x00, 0x90, 60,   100,               //
                         0x00, 0xFF, 0x58, 0x02, 6,    3,     // short 6/8
                         0x00, 0x90, 61,   100,               //
                         0x00, 0xFF, 0x51, 0x04, 0x0F, 0x42, 0x40, 0x99, 0x00, 0x90, 62, 100,  //
                         0x00, 0xFF, 0x20, 0x00,           // empty prefix
                         0x00, 0x90, 63,   100,            //
                         0x00, 0xFF, 0x2F, 0x01, 0x00}));  // EOT of 1 byte
    const auto meta = [](int type, int value, int length) {
        return Ev{0, kEvMeta, kNoChannel, 0, 0, type, value, length};
    };
    EXPECT_EQ(
        Events(*track),
        (std::vector<Ev>{meta(0x51, kDefaultTempo, 3), NoteOn(0, 0, 60, 100), meta(0x58, 0x608, 4),
                         NoteOn(0, 0, 61, 100), meta(0x51, 1000000, 3), NoteOn(0, 0, 62, 100),
                         meta(0x20, 0, 1), NoteOn(0, 0, 63, 100), EndOfTrack(0)}));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTempo});
}

TEST(TrackReaderDamage, AbsoluteTimeHeldAtLargestTick) {
    CaptureSink sink;
    Bytes body{0x00, 0xC0, 1};
    for (int i = 0; i < 9; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 2});
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    const auto track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 11);
    long long sum = 0;
    for (int i = 0; i < track->event_count; ++i) sum += track->event_table[i]->delta;
    EXPECT_EQ(sum, INT_MAX);
    EXPECT_EQ(track->event_table[9]->delta, INT_MAX - 8 * 0x0FFFFFFF);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
}

TEST(TrackReaderDamage, FullTableStopsReading) {
    CaptureSink sink;
    auto track = Read(TrackChunk({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}));
    // Refill the table to the brim and read on: nothing may be stored.
    for (int i = track->event_count; i < kMaxEvents; ++i) track->event_table[i] = new MidiEvent(0);
    track->event_count = kMaxEvents;
    track->form = kFormRaw;
    track->position = 8;
    track->GetEventData();
    EXPECT_EQ(track->event_count, kMaxEvents);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTooMuch});
}

// Random damage to valid chunks: whatever the bytes, the events read are
// well-formed and reading is repeatable.
TEST(TrackReaderDamage, RandomDamageGivesWellFormedEvents) {
    std::mt19937 rng(20240611);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto b = [&](int n) { return static_cast<std::uint8_t>(pick(n)); };
    CaptureSink sink;
    for (int round = 0; round < 3000; ++round) {
        Bytes body;
        const int events = 1 + pick(30);
        for (int e = 0; e < events; ++e) {
            body.push_back(pick(4) == 0 ? 0x81 : b(128));
            if (body.back() & 0x80) body.push_back(b(128));
            const Bytes kinds[] = {{std::uint8_t(0x90 + pick(16)), b(128), b(128)},
                                   {b(128), b(128)},
                                   {0xC0, b(128)},
                                   {0xF0, 0x04, 0x41, 0x10, 0x42, 0xF7},
                                   {0xFF, b(0x80), 0x02, 'x', 'y'},
                                   {0xF7, 0x02, 0x01, 0x02}};
            const Bytes& kind = kinds[pick(6)];
            body.insert(body.end(), kind.begin(), kind.end());
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        Bytes chunk = TrackChunk(body);
        const int damage = 1 + pick(4);
        for (int d = 0; d < damage; ++d) {
            chunk[8 + pick(static_cast<int>(chunk.size()) - 8)] = static_cast<std::uint8_t>(rng());
        }
        if (pick(3) == 0) chunk.resize(8 + pick(static_cast<int>(chunk.size()) - 7));
        if (pick(5) == 0) chunk[4 + pick(4)] = static_cast<std::uint8_t>(rng());

        const auto track = Read(chunk);
        ASSERT_LE(track->size, static_cast<int>(chunk.size()));
        long long ticks = 0;
        for (int i = 0; i < track->event_count; ++i) {
            const MidiEvent& e = *track->event_table[i];
            ticks += e.delta;
            ASSERT_GE(e.delta, 0);
            ASSERT_LE(e.length, e.DataCapacity());
            ASSERT_GE(e.length, 0);
            switch (e.status) {
                case kEvNoteOn:
                case kEvNoteOff:
                case kEvControl:
                case kEvProgram:
                case kEvChannelPressure:
                case kEvPitchBend:
                    ASSERT_TRUE(e.channel >= 0 && e.channel <= 15) << round;
                    for (const int v : {e.note, e.velocity, e.number, e.value}) {
                        ASSERT_TRUE(v >= 0 && v <= 127) << round;
                    }
                    break;
                case kEvKeyPressure:
                    ASSERT_EQ(e.length, 3);
                    ASSERT_LT(e.data[1] | e.data[2], 0x80);
                    break;
                case kEvSysEx:
                    ASSERT_EQ(e.data[0], 0xF0);
                    ASSERT_EQ(e.data[e.length - 1], 0xF7);
                    break;
                case kEvSysExEscape:
                    ASSERT_EQ(e.data[0], 0xF7);
                    break;
                case kEvMeta:
                case kEvNone:
                    break;
                default:
                    FAIL() << "status " << e.status;
            }
        }
        ASSERT_LE(ticks, INT_MAX);
        const auto again = Read(chunk);
        ASSERT_EQ(Events(*again), Events(*track)) << round;
        sink.Clear();
    }
}
