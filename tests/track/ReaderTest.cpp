// The track reader on hand-built chunks: channel messages and running status,
// meta and exclusive events, and the reader's messages.
#include <gtest/gtest.h>

#include <string>

#include "TrackTestSupport.h"

using namespace reader_test;

TEST(TrackReader, RunningStatusAndVelocityZero) {
    CaptureSink sink;
    const auto track = Read(TrackChunk({0x00, 0x93, 60,   100,  // note on, channel 3
                                        0x10, 64,   90,         // running status: note on
                                        0x20, 60,   0,          // velocity 0 = note off
                                        0x00, 0x83, 64,   30,   // note off with its velocity
                                        0x05, 0xB3, 7,    100,  // control change
                                        0x00, 10,   64,         // running status: control
                                        0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(track->form, kFormQ1);
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{NoteOn(0, 3, 60, 100), NoteOn(0x10, 3, 64, 90),
                               NoteOff(0x20, 3, 60, 0), NoteOff(0, 3, 64, 30),
                               Control(5, 3, 7, 100), Control(0, 3, 10, 64), EndOfTrack(0)}));
    // Under running status the data area holds the implied status byte first.
    EXPECT_EQ(DataOf(*track->event_table[1], 3), (Bytes{0x93, 64, 90}));
    EXPECT_EQ(DataOf(*track->event_table[5], 3), (Bytes{0xB3, 10, 64}));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(TrackReader, ChannelMessagesOfEveryKind) {
    CaptureSink sink;
    const auto track = Read(TrackChunk({0x00, 0xA1, 60,   33,    // key pressure
                                        0x00, 0xC2, 5,           // program change
                                        0x00, 0xD4, 77,          // channel pressure
                                        0x00, 0xE5, 0x11, 0x40,  // pitch bend LSB, MSB
                                        0x00, 0xC2, 0x80,        // program 0x80: reported, 0
                                        0x00, 0xFF, 0x2F, 0x00}));
    // Key pressure is carried as its bytes only.
    EXPECT_EQ(Events(*track), (std::vector<Ev>{{0, kEvKeyPressure, kNoChannel, 0, 0, 0, 0, 3},
                                               {0, kEvProgram, 2, 0, 0, 0, 5, 2},
                                               {0, kEvChannelPressure, 4, 0, 0, 0, 77, 2},
                                               {0, kEvPitchBend, 5, 0x11, 0, 0, 0x40, 3},
                                               {0, kEvProgram, 2, 0, 0, 0, 0, 2},
                                               EndOfTrack(0)}));
    EXPECT_EQ(DataOf(*track->event_table[0], 3), (Bytes{0xA1, 60, 33}));
    EXPECT_EQ(track->event_table[3]->GetPitchBendValue(), 0x40 * 128 + 0x11);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kProgram});
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
    const auto meta = [](int type, int value, int length) {
        return Ev{0, kEvMeta, kNoChannel, 0, 0, type, value, length};
    };
    // A device name is kept as an instrument name, an unknown type is marked
    // for removal and a tempo of 0 is reported and taken as the default.
    EXPECT_EQ(Events(*track), (std::vector<Ev>{meta(0x00, 0, 2),
                                               meta(0x01, 0, 3),
                                               meta(0x02, 0, 1),
                                               meta(0x03, 0, 4),
                                               meta(0x04, 0, 2),
                                               meta(0x05, 0, 2),
                                               meta(0x06, 0, 1),
                                               meta(0x07, 0, 1),
                                               meta(0x04, 0, 3),
                                               meta(0x20, 0, 1),
                                               meta(0x51, 500000, 3),
                                               meta(0x54, 0, 5),
                                               meta(0x58, 0x308, 4),
                                               meta(0x59, 0, 2),
                                               meta(0x7F, 0, 3),
                                               {0, kEvNone, kNoChannel, 0, 0, 0x21, 0, 1},
                                               meta(0x51, 500000, 3),
                                               EndOfTrack(0)}));
    const auto text = [&](int i) {
        return std::string(reinterpret_cast<char*>(track->event_table[i]->data));
    };
    EXPECT_EQ(text(1), "abc");
    EXPECT_EQ(text(3), "Song");
    EXPECT_EQ(text(8), "Dev");
    EXPECT_EQ(DataOf(*track->event_table[0], 2), (Bytes{0x00, 0x07}));
    EXPECT_EQ(DataOf(*track->event_table[9], 1), (Bytes{0x05}));
    EXPECT_EQ(DataOf(*track->event_table[11], 5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(DataOf(*track->event_table[12], 4), (Bytes{3, 3, 24, 8}));
    EXPECT_EQ(DataOf(*track->event_table[14], 4), (Bytes{0x41, 0x10, 0x42, 0x00}));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTempo});
}

TEST(TrackReader, TimeSignatureCode) {
    CaptureSink sink;
    MidiTrackData track;
    EXPECT_EQ(track.SetTimeSignValue(6, 3), 0x608);
    EXPECT_TRUE(sink.Messages().empty());
    // Denominators beyond 128 do not fit the code's low byte.
    for (const auto& [n, power] : {std::pair{0, 2}, {3, 0}, {3, 40}}) {
        EXPECT_EQ(track.SetTimeSignValue(n, power), 0x404) << n << "/" << power;
    }
    EXPECT_EQ(sink.Count(kGeneric), 3);
}

TEST(TrackReader, LongMetaAndExclusiveEventsKeptWhole) {
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
    body.push_back(0x00);
    body.insert(body.end(), sysex.begin(), sysex.end());
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    auto track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 5);
    for (int i = 0; i < 3; ++i) {
        const MidiEvent& e = *track->event_table[i];
        EXPECT_EQ(e.length, 300);
        EXPECT_EQ(e.data[299], 'A' + 299 % 26);
        EXPECT_EQ(e.data[300], 0);  // zero-terminated
    }
    EXPECT_EQ(track->event_table[3]->status, kEvSysEx);
    EXPECT_EQ(track->event_table[3]->length, 300);
    EXPECT_EQ(DataOf(*track->event_table[3], 300), sysex);
    // One message for the long events, and again for the next chunk read.
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTooLarge});
    sink.Clear();
    const auto again = Read(TrackChunk(body));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTooLarge});
}

TEST(TrackReader, ExclusiveAndEscapedExclusive) {
    CaptureSink sink;
    const auto track =
        Read(TrackChunk({0x00, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7,  // master vol
                         0x00, 0xF7, 0x03, 0x90, 0x3C, 0x40,              // escape: raw bytes
                         0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM on
                         0x00, 0xF7, 0x81, 0x00,  // escape of 128 bytes: the length is a VLQ
                         0x00, 0xFF, 0x2F, 0x00}));
    // The 128-byte escape runs past the chunk: it is dropped, reading stops
    // there and the track is closed with an end of track.
    ASSERT_EQ(track->event_count, 4);
    EXPECT_EQ(View(*track->event_table[0]), (Ev{0, kEvSysEx, kNoChannel, 0, 0, 1, 100, 9}));
    EXPECT_EQ(View(*track->event_table[1]), (Ev{0, kEvSysExEscape, kNoChannel, 0, 0, 0, 0, 5}));
    EXPECT_EQ(DataOf(*track->event_table[1], 5), (Bytes{0xF7, 0x03, 0x90, 0x3C, 0x40}));
    EXPECT_EQ(View(*track->event_table[2]).number, 9);
    EXPECT_EQ(View(*track->event_table[3]), EndOfTrack(0));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});

    Bytes body{0x00, 0xF7, 0x81, 0x00};
    for (int i = 0; i < 128; ++i) body.push_back(static_cast<std::uint8_t>(i));
    body.insert(body.end(), {0x00, 0x90, 60, 1, 0x00, 0xFF, 0x2F, 0x00});
    sink.Clear();
    const auto escape = Read(TrackChunk(body));
    ASSERT_EQ(escape->event_count, 3);
    EXPECT_EQ(escape->event_table[0]->length, 131);
    EXPECT_EQ(escape->event_table[0]->data[130], 127);
    EXPECT_EQ(View(*escape->event_table[1]), NoteOn(0, 0, 60, 1));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(TrackReader, RunningStatusStartsAfreshWithEveryChunk) {
    CaptureSink sink;
    const Bytes first = TrackChunk({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes image = Concat({first, TrackChunk({0x00, 62, 100, 0x00, 0xFF, 0x2F, 0x00})});
    const auto a = Read(image, 0);
    EXPECT_TRUE(sink.Messages().empty());
    // The second chunk begins with a data byte: no running status carries over
    // from the first, so it is reported and stepped over. The note's velocity
    // byte then reads as a delta (100) and the EOT's delta as a data byte.
    const auto b = Read(image, static_cast<long>(first.size()));
    EXPECT_EQ(sink.Count(kUndefined), 3);
    EXPECT_EQ(Events(*b), (std::vector<Ev>{None(0), None(100), None(0x7F * 128 + 0x2F)}));

    // An exclusive message ends running status.
    sink.Clear();
    const auto d = Read(TrackChunk(
        {0x00, 0x90, 60, 100, 0x00, 0xF0, 0x01, 0xF7, 0x00, 62, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kUndefined});
    ASSERT_EQ(d->event_count, 4);
    EXPECT_EQ(d->event_table[1]->status, kEvSysEx);
    EXPECT_EQ(View(*d->event_table[2]), None(0));
}

TEST(TrackReader, ChunkTagAndEmptyChunk) {
    CaptureSink sink;
    Bytes image = TrackChunk({0x00, 0xFF, 0x2F, 0x00});
    image[0] = 'X';
    const auto bad = Read(image);
    EXPECT_EQ(bad->event_count, 0);
    EXPECT_EQ(bad->form, kFormNone);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kNotMidi});

    sink.Clear();
    const auto empty = Read(TrackChunk({}));
    EXPECT_EQ(empty->event_count, 0);
    EXPECT_EQ(empty->form, kFormQ1);
    EXPECT_TRUE(sink.Messages().empty());

    // Too short to hold the length.
    const auto headless = Read(Bytes{'M', 'T', 'r', 'k', 0, 0});
    EXPECT_EQ(headless->form, kFormNone);
    EXPECT_EQ(sink.Count(kInternal), 1);
}

TEST(TrackReader, ChunkBytesStayInTheBuffer) {
    const Bytes chunk =
        TrackChunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
    const auto track = Read(Concat({HeaderChunk(0, 1, 480), chunk, Bytes{1, 2, 3}}), 14);
    EXPECT_EQ(ChunkBytes(*track), chunk);
    EXPECT_EQ(track->event_count, 3);
}
