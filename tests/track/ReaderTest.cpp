// The track reader on hand-built chunks: channel messages and running status,
// meta and exclusive events, the reader's messages, and damaged chunks (the
// song up to the damage is kept, and nothing is read past the chunk).

#include <climits>

#include "support/TestEvents.h"

namespace {

using Evs = std::vector<Ev>;
using Messages = std::vector<std::string>;

// Events as the reader fills them: channel messages carry their 3 bytes.
Ev R(Ev e) {
    e.length = 3;
    return e;
}
Ev M(int type, int value, int length, const std::string& text = "") {
    Ev e{0, kEvMeta, kNoChannel, 0, 0, 0, type, value, length};
    e.text = text;
    return e;
}
const Bytes kNotes{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 64};  // note on, note off
Evs NotesThenEnd(int end_delta) {
    return {R(On(0, 0, 60, 100)), R(Off(0x60, 0, 60, 64)), Eot(end_delta)};
}

}  // namespace

TEST(TrackReader, ChannelMessagesAndRunningStatus) {
    CaptureSink sink;
    const auto track = Read(TrackChunk({0x00, 0x93, 60,   100,   // note on, channel 3
                                        0x10, 64,   90,          // running status: note on
                                        0x20, 60,   0,           // velocity 0 = note off
                                        0x00, 0x83, 64,   30,    // note off with its velocity
                                        0x05, 0xB3, 7,    100,   // control change
                                        0x00, 10,   64,          // running status: control
                                        0x00, 0xA1, 60,   33,    // key pressure
                                        0x00, 0xC2, 5,           // program change
                                        0x00, 0xD4, 77,          // channel pressure
                                        0x00, 0xE5, 0x11, 0x40,  // pitch bend LSB, MSB
                                        0x00, 0xC2, 0x80,        // program 0x80: reported, 0
                                        0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(track->form, kFormQ1);
    // Key pressure is carried as its bytes only.
    EXPECT_EQ(Events(*track), (Evs{R(On(0, 3, 60, 100)),
                                   R(On(0x10, 3, 64, 90)),
                                   R(Off(0x20, 3, 60)),
                                   R(Off(0, 3, 64, 30)),
                                   R(Cc(5, 3, 7, 100)),
                                   R(Cc(0, 3, 10, 64)),
                                   R(Event(0, kEvKeyPressure)),
                                   {0, kEvProgram, 2, 0, 0, 0, 0, 5, 2},
                                   {0, kEvChannelPressure, 4, 0, 0, 0, 0, 77, 2},
                                   R(Bend(0, 5, 0x40 * 128 + 0x11)),
                                   {0, kEvProgram, 2, 0, 0, 0, 0, 0, 2},
                                   Eot(0)}));
    // Under running status the data area holds the implied status byte first.
    EXPECT_EQ(DataOf(*track->event_table[1], 3), (Bytes{0x93, 64, 90}));
    EXPECT_EQ(DataOf(*track->event_table[5], 3), (Bytes{0xB3, 10, 64}));
    EXPECT_EQ(DataOf(*track->event_table[6], 3), (Bytes{0xA1, 60, 33}));
    EXPECT_EQ(sink.Messages(), Messages{kProgram});
}

TEST(TrackReader, EveryMetaType) {
    CaptureSink sink;
    const auto track =
        Read(TrackChunk({0x00, 0xFF, 0x00, 0x02, 0x00, 0x07,                // sequence number
                         0x00, 0xFF, 0x01, 0x03, 'a',  'b',  'c',           // text
                         0x00, 0xFF, 0x02, 0x01, 'C',                       // copyright
                         0x00, 0xFF, 0x03, 0x04, 'S',  'o',  'n',  'g',     // track name
                         0x00, 0xFF, 0x04, 0x02, 'P',  'f',                 // instrument
                         0x00, 0xFF, 0x05, 0x02, 'l',  'a',                 // lyric
                         0x00, 0xFF, 0x06, 0x01, 'M',                       // marker
                         0x00, 0xFF, 0x07, 0x01, 'Q',                       // cue point
                         0x00, 0xFF, 0x09, 0x03, 'D',  'e',  'v',           // device name
                         0x00, 0xFF, 0x20, 0x01, 0x05,                      // channel prefix
                         0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,          // tempo 500000
                         0x00, 0xFF, 0x54, 0x05, 1,    2,    3,    4,   5,  // SMPTE offset
                         0x00, 0xFF, 0x58, 0x04, 3,    3,    24,   8,       // 3/8
                         0x00, 0xFF, 0x59, 0x02, 0xFE, 0x01,                // key signature
                         0x00, 0xFF, 0x7F, 0x03, 0x41, 0x10, 0x42,          // sequencer specific
                         0x00, 0xFF, 0x21, 0x01, 0x00,                      // port: unknown type
                         0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00,          // tempo 0
                         0x00, 0xFF, 0x2F, 0x00}));
    // A device name is kept as an instrument name, an unknown type is marked
    // for removal and a tempo of 0 is reported and taken as the default.
    EXPECT_EQ(Events(*track), (Evs{M(0x00, 0, 2),
                                   M(0x01, 0, 3, "abc"),
                                   M(0x02, 0, 1, "C"),
                                   M(0x03, 0, 4, "Song"),
                                   M(0x04, 0, 2, "Pf"),
                                   M(0x05, 0, 2, "la"),
                                   M(0x06, 0, 1, "M"),
                                   M(0x07, 0, 1, "Q"),
                                   M(0x04, 0, 3, "Dev"),
                                   M(0x20, 0, 1),
                                   M(0x51, 500000, 3),
                                   M(0x54, 0, 5),
                                   M(0x58, 0x308, 4),
                                   M(0x59, 0, 2),
                                   M(0x7F, 0, 3,
                                     "A\x10"
                                     "B"),
                                   {0, kEvNone, kNoChannel, 0, 0, 0, 0x21, 0, 1},
                                   M(0x51, 500000, 3),
                                   Eot(0)}));
    const std::pair<int, Bytes> data[] = {{0, {0x00, 0x07}},
                                          {9, {0x05}},
                                          {11, {1, 2, 3, 4, 5}},
                                          {12, {3, 3, 24, 8}},
                                          {14, {'A', 0x10, 'B', 0}}};
    for (const auto& [i, bytes] : data) {
        EXPECT_EQ(DataOf(*track->event_table[i], int(bytes.size())), bytes) << i;
    }
    EXPECT_EQ(sink.Messages(), Messages{kTempo});
}

TEST(TrackReader, LongAndEscapedExclusiveEvents) {
    CaptureSink sink;
    Bytes body;
    for (const int type : {0x01, 0x7F, 0x05}) {
        body.insert(body.end(), {0x00, 0xFF, static_cast<std::uint8_t>(type), 0x82, 0x2C});
        for (int i = 0; i < 300; ++i) body.push_back(static_cast<std::uint8_t>('A' + i % 26));
    }
    // An exclusive message of 300 bytes from F0 to F7; its data area holds
    // the length bytes as well.
    Bytes sysex{0xF0, 0x82, 0x2A};
    for (int i = 0; i < 296; ++i) sysex.push_back(static_cast<std::uint8_t>(i & 0x7F));
    sysex.push_back(0xF7);
    body = Concat({body, {0x00}, sysex, {0x00, 0xFF, 0x2F, 0x00}});
    auto track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(track->event_table[i]->length, 300);
        EXPECT_EQ(track->event_table[i]->data[299], 'A' + 299 % 26);
        EXPECT_EQ(track->event_table[i]->data[300], 0);  // zero-terminated
    }
    EXPECT_EQ(DataOf(*track->event_table[3], 300), sysex);
    // One message for the long events, and again for the next chunk read.
    EXPECT_EQ(sink.Messages(), Messages{kTooLarge});
    track = Read(TrackChunk(body));
    EXPECT_EQ(sink.Count(kTooLarge), 2);

    sink.Clear();
    track = Read(TrackChunk({0x00, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7,  // volume
                             0x00, 0xF7, 0x03, 0x90, 0x3C, 0x40,              // escape: raw bytes
                             0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM on
                             0x00, 0xF7, 0x81, 0x00,  // escape of 128 bytes: the length is a VLQ
                             0x00, 0xFF, 0x2F, 0x00}));
    // The 128-byte escape runs past the chunk: it is dropped, reading stops
    // there and the track is closed with an end of track.
    EXPECT_EQ(Events(*track), (Evs{{0, kEvSysEx, kNoChannel, 0, 0, 0, 1, 100, 9},
                                   {0, kEvSysExEscape, kNoChannel, 0, 0, 0, 0, 0, 5},
                                   {0, kEvSysEx, kNoChannel, 0, 0, 0, 9, 0, 7},
                                   Eot(0)}));
    EXPECT_EQ(DataOf(*track->event_table[1], 5), (Bytes{0xF7, 0x03, 0x90, 0x3C, 0x40}));
    EXPECT_EQ(sink.Messages(), Messages{kInternal});

    body = {0x00, 0xF7, 0x81, 0x00};
    for (int i = 0; i < 128; ++i) body.push_back(static_cast<std::uint8_t>(i));
    sink.Clear();
    track = Read(TrackChunk(Concat({body, {0x00, 0x90, 60, 1, 0x00, 0xFF, 0x2F, 0x00}})));
    ASSERT_EQ(track->event_count, 3);
    EXPECT_EQ(track->event_table[0]->length, 131);
    EXPECT_EQ(track->event_table[0]->data[130], 127);
    EXPECT_EQ(View(*track->event_table[1]), R(On(0, 0, 60, 1)));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(TrackReader, RunningStatusEndsWithTheChunkAndAtExclusiveMessages) {
    CaptureSink sink;
    const Bytes first = TrackChunk({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes image = Concat({first, TrackChunk({0x00, 62, 100, 0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(Read(image, 0)->event_count, 2);
    EXPECT_TRUE(sink.Messages().empty());
    // The second chunk begins with a data byte: no running status carries over
    // from the first, so it is reported and stepped over. The note's velocity
    // byte then reads as a delta (100) and the EOT's delta as a data byte.
    const auto b = Read(image, static_cast<long>(first.size()));
    EXPECT_EQ(sink.Count(kUndefined), 3);
    EXPECT_EQ(Events(*b), (Evs{Nop(0), Nop(100), Nop(0x7F * 128 + 0x2F)}));
    sink.Clear();
    const auto d = Read(TrackChunk(
        {0x00, 0x90, 60, 100, 0x00, 0xF0, 0x01, 0xF7, 0x00, 62, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(sink.Messages(), Messages{kUndefined});
    ASSERT_EQ(d->event_count, 4);
    EXPECT_EQ(View(*d->event_table[2]), Nop(0));
}

TEST(TrackReader, ChunkTagLengthAndOffset) {
    CaptureSink sink;
    Bytes image = TrackChunk({0x00, 0xFF, 0x2F, 0x00});
    image[0] = 'X';
    const auto bad = Read(image);
    EXPECT_EQ(bad->event_count, 0);
    EXPECT_EQ(bad->form, kFormNone);
    EXPECT_EQ(sink.Messages(), Messages{kNotMidi});
    EXPECT_EQ(Read(TrackChunk({}))->form, kFormQ1);
    EXPECT_EQ(sink.Messages().size(), 1u);
    // Too short to hold the length; an offset beyond the image.
    EXPECT_EQ(Read(Bytes{'M', 'T', 'r', 'k', 0, 0})->form, kFormNone);
    Bytes small = TrackChunk({});
    EXPECT_EQ(std::make_unique<MidiTrackData>(long(small.size()), 100, small.data())->form,
              kFormNone);
    EXPECT_EQ(sink.Count(kInternal), 2);
    // The chunk's bytes stay in the track's buffer.
    const Bytes chunk = TrackChunk(Concat({kNotes, {0x00, 0xFF, 0x2F, 0x00}}));
    EXPECT_EQ(ChunkBytes(*Read(Concat({HeaderChunk(0, 1, 480), chunk, Bytes{1, 2, 3}}), 14)),
              chunk);

    // A file cut short (the chunk says 12 bytes, 8 are there) and a length of
    // 0xFFFFFFFF: the events up to the end of the image are kept.
    Bytes cut = chunk;
    cut.resize(cut.size() - 4);
    Bytes huge = TrackChunk(kNotes);
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
    for (const Bytes& damaged : {cut, huge}) {
        sink.Clear();
        const auto track = Read(damaged);
        EXPECT_EQ(track->size, static_cast<int>(damaged.size()));
        EXPECT_EQ(Events(*track), NotesThenEnd(0));
        EXPECT_EQ(sink.Messages(), Messages{kInternal});
    }
}

TEST(TrackReader, EventsCutByTheChunkEnd) {
    const std::tuple<const char*, Bytes, int> cases[] = {
        // what, the tail, delta of the closing end of track
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
    for (const auto& [what, tail, end_delta] : cases) {
        CaptureSink sink;
        const auto track = Read(TrackChunk(Concat({kNotes, tail})));
        EXPECT_EQ(Events(*track), NotesThenEnd(end_delta)) << what;
        EXPECT_EQ(sink.Messages(), Messages{kInternal}) << what;
    }
}

TEST(TrackReader, BadBytesAreSteppedOver) {
    CaptureSink sink;
    const auto track = Read(TrackChunk({0x00, 0x90, 0xFF, 0x40,  // data byte with bit 7 set
                                        0x00, 0xB0, 7,    0x80,  // the same in a control
                                        0x00, 0xF8,              // a real-time status
                                        0x00, 0xF2, 0x01, 0x02,  // song position: 3 bytes
                                        0x00, 0xF4,              // undefined status
                                        0x10, 0x90, 60,   100,   // still in step
                                        0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(Events(*track),
              (Evs{Nop(0), Nop(0), Nop(0), Nop(0), Nop(0), R(On(0x10, 0, 60, 100)), Eot(0)}));
    EXPECT_EQ(sink.Count(kGeneric), 2);
    EXPECT_EQ(sink.Count(kUndefined), 3);
    // Running status survives a dropped message of its own kind.
    const auto run = Read(TrackChunk(
        {0x00, 0x91, 60, 100, 0x00, 0x90, 0x81, 0x00, 0x00, 61, 100, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(Events(*run), (Evs{On(0, 1, 60, 100), Nop(0), On(0, 0, 61, 100), Eot(0)}));

    // Each meta event of a fixed kind but the wrong length is consumed by its
    // declared length, so what follows stays in step.
    sink.Clear();
    const auto meta =
        Read(TrackChunk({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1,  // short tempo
                         0x00, 0x90, 60,   100,               //
                         0x00, 0xFF, 0x58, 0x02, 6,    3,     // short 6/8
                         0x00, 0x90, 61,   100,               //
                         0x00, 0xFF, 0x51, 0x04, 0x0F, 0x42, 0x40, 0x99, 0x00, 0x90, 62, 100,  //
                         0x00, 0xFF, 0x20, 0x00,           // empty prefix
                         0x00, 0x90, 63,   100,            //
                         0x00, 0xFF, 0x2F, 0x01, 0x00}));  // EOT of 1 byte
    EXPECT_EQ(Events(*meta), (Evs{M(0x51, kDefaultTempo, 3), On(0, 0, 60, 100), M(0x58, 0x608, 4),
                                  On(0, 0, 61, 100), M(0x51, 1000000, 3), On(0, 0, 62, 100),
                                  M(0x20, 0, 1), On(0, 0, 63, 100), Eot(0)}));
    EXPECT_EQ(sink.Messages(), Messages{kTempo});
}

TEST(TrackReader, AbsoluteTimeHeldAtLargestTickAndFullTable) {
    CaptureSink sink;
    Bytes body{0x00, 0xC0, 1};
    for (int i = 0; i < 9; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 2});
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    auto track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 11);
    EXPECT_EQ(Events(*track).back().tick, INT_MAX);
    EXPECT_EQ(track->event_table[9]->delta, INT_MAX - 8 * 0x0FFFFFFF);
    EXPECT_EQ(sink.Messages(), Messages{kInternal});

    // Refill the table to the brim and read on: nothing may be stored.
    sink.Clear();
    track = Read(TrackChunk({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}));
    for (int i = track->event_count; i < kMaxEvents; ++i) track->event_table[i] = new MidiEvent(0);
    track->event_count = kMaxEvents;
    track->form = kFormRaw;
    track->position = 8;
    track->GetEventData();
    EXPECT_EQ(track->event_count, kMaxEvents);
    EXPECT_EQ(sink.Messages(), Messages{kTooMuch});
}
