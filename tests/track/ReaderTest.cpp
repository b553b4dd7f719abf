// The track reader on hand-built chunks: channel messages and running status,
// meta and exclusive events, and the reader's messages.
#include <gtest/gtest.h>

#include <cstring>
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
    EXPECT_EQ(DataOf(*track->event_table[2], 3), (Bytes{0x93, 60, 0}));
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
    ASSERT_EQ(track->event_count, 6);
    // Key pressure is carried as its bytes only.
    EXPECT_EQ(View(*track->event_table[0]), (Ev{0, kEvKeyPressure, kNoChannel, 0, 0, 0, 0, 3}));
    EXPECT_EQ(DataOf(*track->event_table[0], 3), (Bytes{0xA1, 60, 33}));
    EXPECT_EQ(View(*track->event_table[1]), (Ev{0, kEvProgram, 2, 0, 0, 0, 5, 2}));
    EXPECT_EQ(DataOf(*track->event_table[1], 2), (Bytes{0xC2, 5}));
    EXPECT_EQ(View(*track->event_table[2]), (Ev{0, kEvChannelPressure, 4, 0, 0, 0, 77, 2}));
    EXPECT_EQ(View(*track->event_table[3]), (Ev{0, kEvPitchBend, 5, 0x11, 0, 0, 0x40, 3}));
    EXPECT_EQ(track->event_table[3]->GetPitchBendValue(), 0x40 * 128 + 0x11);
    EXPECT_EQ(View(*track->event_table[4]), (Ev{0, kEvProgram, 2, 0, 0, 0, 0, 2}));
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
    ASSERT_EQ(track->event_count, 18);
    const auto meta = [&](int i) { return View(*track->event_table[i]); };
    const auto text = [&](int i) {
        return std::string(reinterpret_cast<char*>(track->event_table[i]->data));
    };
    EXPECT_EQ(meta(0), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x00, 0, 2}));
    EXPECT_EQ(DataOf(*track->event_table[0], 2), (Bytes{0x00, 0x07}));
    for (int i = 1; i <= 7; ++i) EXPECT_EQ(meta(i).number, i) << i;
    EXPECT_EQ(text(1), "abc");
    EXPECT_EQ(meta(1).length, 3);
    EXPECT_EQ(text(3), "Song");
    // A device name is kept as an instrument name.
    EXPECT_EQ(meta(8), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x04, 0, 3}));
    EXPECT_EQ(text(8), "Dev");
    EXPECT_EQ(meta(9), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x20, 0, 1}));
    EXPECT_EQ(track->event_table[9]->data[0], 5);
    EXPECT_EQ(meta(10), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x51, 500000, 3}));
    EXPECT_EQ(meta(11), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x54, 0, 5}));
    EXPECT_EQ(DataOf(*track->event_table[11], 5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(meta(12), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x58, 0x308, 4}));
    EXPECT_EQ(DataOf(*track->event_table[12], 4), (Bytes{3, 3, 24, 8}));
    EXPECT_EQ(meta(13), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x59, 0, 2}));
    EXPECT_EQ(meta(14), (Ev{0, kEvMeta, kNoChannel, 0, 0, 0x7F, 0, 3}));
    EXPECT_EQ(DataOf(*track->event_table[14], 4), (Bytes{0x41, 0x10, 0x42, 0x00}));
    // An unknown meta type is marked for removal.
    EXPECT_EQ(meta(15).status, kEvNone);
    EXPECT_EQ(meta(16).value, 500000);
    EXPECT_EQ(meta(17), EndOfTrack(0));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTempo});

    char found[64] = "untouched";
    track->SearchMetaEvent(0x05, found);
    EXPECT_STREQ(found, "la");
    track->SearchMetaEvent(0x30, found);
    EXPECT_STREQ(found, "la");
}

TEST(TrackReader, TimeSignatureCode) {
    CaptureSink sink;
    MidiTrackData track;
    EXPECT_EQ(track.SetTimeSignValue(4, 2), 0x404);
    EXPECT_EQ(track.SetTimeSignValue(6, 3), 0x608);
    EXPECT_EQ(track.SetTimeSignValue(3, 3), 0x308);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(track.SetTimeSignValue(0, 2), 0x404);
    EXPECT_EQ(track.SetTimeSignValue(3, 0), 0x404);
    // Denominators beyond 128 do not fit the code's low byte.
    EXPECT_EQ(track.SetTimeSignValue(3, 40), 0x404);
    EXPECT_EQ(sink.Count(kGeneric), 3);
}

TEST(TrackReader, LongMetaAndExclusiveEventsKeptWhole) {
    CaptureSink sink;
    Bytes body;
    const auto add_meta = [&](int type) {
        Bytes e{0x00, 0xFF, static_cast<std::uint8_t>(type), 0x82, 0x2C};  // length 300
        for (int i = 0; i < 300; ++i) e.push_back(static_cast<std::uint8_t>('A' + i % 26));
        body.insert(body.end(), e.begin(), e.end());
    };
    add_meta(0x01);
    add_meta(0x7F);
    add_meta(0x05);
    Bytes sysex{0x00, 0xF0, 0x82, 0x2A};  // 300 bytes F0 .. F7
    for (int i = 0; i < 296; ++i) sysex.push_back(static_cast<std::uint8_t>(i & 0x7F));
    sysex.push_back(0xF7);
    body.insert(body.end(), sysex.begin(), sysex.end());
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    auto track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 5);
    for (int i = 0; i < 3; ++i) {
        const MidiEvent& e = *track->event_table[i];
        EXPECT_EQ(e.length, 300);
        EXPECT_GE(e.DataCapacity(), 301);
        EXPECT_EQ(e.data[299], 'A' + 299 % 26);
        EXPECT_EQ(e.data[300], 0);  // zero-terminated
    }
    const MidiEvent& ex = *track->event_table[3];
    EXPECT_EQ(ex.status, kEvSysEx);
    EXPECT_EQ(ex.length, 300);
    EXPECT_EQ(DataOf(ex, 300), Bytes(sysex.begin() + 1, sysex.end()));
    // One message for the three long events; the sequencer-specific one is
    // allowed to be long.
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTooLarge});

    // The flag is cleared by every chunk read.
    sink.Clear();
    const auto again = Read(TrackChunk(body));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kTooLarge});
    // A long sequencer-specific record is given back quietly on destruction.
    sink.Clear();
    track.reset();
    EXPECT_TRUE(sink.Messages().empty());
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
    EXPECT_EQ(View(*track->event_table[3]), EndOfTrack(0));
    EXPECT_EQ(View(*track->event_table[0]), (Ev{0, kEvSysEx, kNoChannel, 0, 0, 1, 100, 9}));
    EXPECT_EQ(View(*track->event_table[1]), (Ev{0, kEvSysExEscape, kNoChannel, 0, 0, 0, 0, 5}));
    EXPECT_EQ(DataOf(*track->event_table[1], 5), (Bytes{0xF7, 0x03, 0x90, 0x3C, 0x40}));
    EXPECT_EQ(View(*track->event_table[2]).number, 9);
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
    const Bytes second = TrackChunk({0x00, 62, 100, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes image = Concat({first, second});
    const auto a = Read(image, 0);
    EXPECT_TRUE(sink.Messages().empty());
    // The second chunk begins with a data byte: no running status carries over
    // from the first, so it is reported and stepped over. The note's velocity
    // byte then reads as a delta (100) and the EOT's delta as a data byte.
    const auto b = Read(image, static_cast<long>(first.size()));
    EXPECT_EQ(sink.Count(kUndefined), 3);
    EXPECT_EQ(Events(*b), (std::vector<Ev>{None(0), None(100), None(0x7F * 128 + 0x2F)}));
    // The same chunk read on its own decodes identically.
    sink.Clear();
    const auto c = Read(second);
    EXPECT_EQ(Events(*c), Events(*b));
    EXPECT_EQ(sink.Count(kUndefined), 3);

    // An exclusive message ends running status.
    sink.Clear();
    const auto d = Read(TrackChunk(
        {0x00, 0x90, 60, 100, 0x00, 0xF0, 0x01, 0xF7, 0x00, 62, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kUndefined});
    ASSERT_EQ(d->event_count, 4);
    EXPECT_EQ(d->event_table[0]->status, kEvNoteOn);
    EXPECT_EQ(d->event_table[1]->status, kEvSysEx);
    EXPECT_EQ(View(*d->event_table[2]), None(0));
    EXPECT_EQ(View(*d->event_table[3]), EndOfTrack(0));
}

TEST(TrackReader, ChunkTagAndEmptyChunk) {
    CaptureSink sink;
    Bytes image = TrackChunk({0x00, 0xFF, 0x2F, 0x00});
    image[0] = 'X';
    const auto bad = Read(image);
    EXPECT_EQ(bad->event_count, 0);
    EXPECT_EQ(bad->form, kFormNone);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kNotMidi});

    // A MacBinary header in front of the chunk.
    sink.Clear();
    const auto mac = Read(Concat({Bytes(128, 0), TrackChunk({0x00, 0xFF, 0x2F, 0x00})}));
    EXPECT_EQ(mac->event_count, 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kNotMidi});

    sink.Clear();
    const auto empty = Read(TrackChunk({}));
    EXPECT_EQ(empty->event_count, 0);
    EXPECT_EQ(empty->form, kFormQ1);
    EXPECT_EQ(empty->size, 8);
    EXPECT_TRUE(sink.Messages().empty());

    // Too short to hold the tag or the length.
    const auto tiny = Read(Bytes{'M', 'T'});
    EXPECT_EQ(tiny->form, kFormNone);
    const auto headless = Read(Bytes{'M', 'T', 'r', 'k', 0, 0});
    EXPECT_EQ(headless->form, kFormNone);
    EXPECT_EQ(sink.Count(kNotMidi), 1);
    EXPECT_EQ(sink.Count(kInternal), 1);
}

TEST(TrackReader, ChunkBytesStayInTheBuffer) {
    const Bytes chunk =
        TrackChunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes image = Concat({HeaderChunk(0, 1, 480), chunk, Bytes{1, 2, 3}});
    const auto track = Read(image, 14);
    EXPECT_EQ(track->size, static_cast<int>(chunk.size()));
    EXPECT_EQ(Bytes(track->buffer, track->buffer + track->size), chunk);
    EXPECT_EQ(track->event_count, 3);
}

TEST(TrackReader, PublicStepFunctions) {
    CaptureSink sink;
    auto track = Read(TrackChunk({0x00, 0xFF, 0x2F, 0x00}));
    std::memcpy(track->buffer, "MTrk\0\0\0\x0c", 8);
    const Bytes body{0x81, 0x00, 0x91, 61, 70, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x7F};
    std::memcpy(track->buffer + 8, body.data(), body.size());
    track->size = 8 + static_cast<int>(body.size());
    track->position = 8;
    EXPECT_EQ(track->GetVariable(), 128);
    EXPECT_EQ(track->position, 10);
    MidiEvent note;
    EXPECT_EQ(track->SpecifyEvent(0x91, &note), 3);
    EXPECT_EQ(View(note), NoteOn(0, 1, 61, 70));
    track->position = 13;
    MidiEvent tempo;
    EXPECT_EQ(track->SetMetaEvent(&tempo), 6);
    EXPECT_EQ(tempo.value, 1000000);
    MidiEvent unknown;
    EXPECT_EQ(track->SpecifyEvent(0xF4, &unknown), 0);
    // A quantity cut off by the end.
    track->position = 19;
    track->buffer[19] = 0x85;
    track->size = 20;
    track->GetVariable();
    EXPECT_EQ(track->position, track->size);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
    // GetEventData works only on Raw tracks.
    sink.Clear();
    track->GetEventData();
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
}
