// The track reader on hand-built chunks: channel messages and running status,
// meta and exclusive events, the reader's messages, and damaged chunks (the
// song up to the damage is kept, and nothing is read past the chunk).

#include <climits>

#include "support/TestEvents.h"

namespace {

using Evs = std::vector<Ev>;
using Messages = std::vector<std::string>;

// Events as the reader fills them: channel messages carry their 3 bytes.
Ev R(Ev e, int length = 3) {
    e.length = length;
    return e;
}
Ev M(int type, int value, int length, const std::string& text = "") {
    Ev e{0, kEvMeta, kNoChannel, 0, 0, 0, type, value, length};
    e.text = text;
    return e;
}
Ev X(int status, int type, int value, int length) {
    return {0, status, kNoChannel, 0, 0, 0, type, value, length};
}
// What the sink holds, cleared for the next step.
Messages Said(CaptureSink& sink) {
    Messages said = sink.Messages();
    sink.Clear();
    return said;
}

const Bytes kNotes{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 64};  // note on, note off
Evs NotesThenEnd(int end_delta) {
    return {R(On(0, 0, 60, 100)), R(Off(0x60, 0, 60, 64)), Eot(end_delta)};
}

}  // namespace

TEST(TrackReader, MessagesRunningStatusBadBytesMetasExclusivesAndDamagedChunks) {
    CaptureSink sink;
    // Note on (channel 3), under running status, velocity 0; note off with its
    // velocity; control change, under running status; key pressure; program
    // change; channel pressure; pitch bend (LSB, MSB); program 0x80 (reported,
    // read as 0).
    auto track = Read(
        TrackChunk({0x00, 0x93, 60,   100,  0x10, 64,   90,   0x20, 60,   0,         // ons
                    0x00, 0x83, 64,   30,   0x05, 0xB3, 7,    100,  0x00, 10,   64,  // off, ccs
                    0x00, 0xA1, 60,   33,   0x00, 0xC2, 5,    0x00, 0xD4, 77,        // kp, pc, cp
                    0x00, 0xE5, 0x11, 0x40, 0x00, 0xC2, 0x80, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(track->form, kFormQ1);
    // Key pressure is carried as its bytes only.
    EXPECT_EQ(Events(*track),
              (Evs{R(On(0, 3, 60, 100)), R(On(0x10, 3, 64, 90)), R(Off(0x20, 3, 60)),
                   R(Off(0, 3, 64, 30)), R(Cc(5, 3, 7, 100)), R(Cc(0, 3, 10, 64)),
                   R(Event(0, kEvKeyPressure)), R(Pc(0, 2, 5), 2),
                   R(Ev{0, kEvChannelPressure, 4, 0, 0, 0, 0, 77}, 2),
                   R(Bend(0, 5, 0x40 * 128 + 0x11)), R(Pc(0, 2, 0), 2), Eot(0)}));
    // Under running status the data area holds the implied status byte first.
    EXPECT_EQ(DataOf(*track->event_table[1], 3), (Bytes{0x93, 64, 90}));
    EXPECT_EQ(DataOf(*track->event_table[5], 3), (Bytes{0xB3, 10, 64}));
    EXPECT_EQ(DataOf(*track->event_table[6], 3), (Bytes{0xA1, 60, 33}));
    EXPECT_EQ(Said(sink), Messages{kProgram});

    const Bytes first = TrackChunk({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes image = Concat({first, TrackChunk({0x00, 62, 100, 0x00, 0xFF, 0x2F, 0x00})});
    EXPECT_EQ(Read(image, 0)->event_count, 2);
    // The second chunk begins with a data byte: no running status carries over
    // from the first, so it is reported and stepped over. The note's velocity
    // byte then reads as a delta (100) and the EOT's delta as a data byte.
    track = Read(image, static_cast<long>(first.size()));
    EXPECT_EQ(Events(*track), (Evs{Nop(0), Nop(100), Nop(0x7F * 128 + 0x2F)}));
    EXPECT_EQ(Said(sink), (Messages{kUndefined, kUndefined, kUndefined}));
    // Nor past an exclusive message.
    track = Read(TrackChunk(
        {0x00, 0x90, 60, 100, 0x00, 0xF0, 0x01, 0xF7, 0x00, 62, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(Said(sink), Messages{kUndefined});
    ASSERT_EQ(track->event_count, 4);
    EXPECT_EQ(View(*track->event_table[2]), Nop(0));

    track = Read(TrackChunk({0x00, 0x90, 0xFF, 0x40,  // data byte with bit 7 set
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
    sink.Clear();
    // Every meta type: the texts, a channel prefix, tempo, SMPTE offset, 3/8,
    // key signature, sequencer specific, a port (no type of ours) and tempo 0.
    track = Read(TrackChunk(
        Concat({smf::Msg(0, {0xFF, 0x00, 0x02, 0x00, 0x07}), smf::Text(0, 1, "abc"),
                smf::Text(0, 2, "C"), smf::Text(0, 3, "Song"), smf::Text(0, 4, "Pf"),
                smf::Text(0, 5, "la"), smf::Text(0, 6, "M"), smf::Text(0, 7, "Q"),
                smf::Text(0, 9, "Dev"), smf::Msg(0, {0xFF, 0x20, 0x01, 0x05}),
                smf::Tempo(0, 500000), smf::Msg(0, {0xFF, 0x54, 0x05, 1, 2, 3, 4, 5}),
                smf::Msg(0, {0xFF, 0x58, 0x04, 3, 3, 24, 8}),
                smf::Msg(0, {0xFF, 0x59, 0x02, 0xFE, 0x01}), smf::Text(0, 0x7F, "\x41\x10\x42"),
                smf::Msg(0, {0xFF, 0x21, 0x01, 0x00}), smf::Tempo(0, 0), smf::Eot(0)})));
    // A device name is kept as an instrument name, an unknown type is marked
    // for removal and a tempo of 0 is reported and taken as the default.
    EXPECT_EQ(Events(*track),
              (Evs{M(0x00, 0, 2), M(0x01, 0, 3, "abc"), M(0x02, 0, 1, "C"), M(0x03, 0, 4, "Song"),
                   M(0x04, 0, 2, "Pf"), M(0x05, 0, 2, "la"), M(0x06, 0, 1, "M"), M(0x07, 0, 1, "Q"),
                   M(0x04, 0, 3, "Dev"), M(0x20, 0, 1), M(0x51, 500000, 3), M(0x54, 0, 5),
                   M(0x58, 0x308, 4), M(0x59, 0, 2), M(0x7F, 0, 3, "\x41\x10\x42"),
                   X(kEvNone, 0x21, 0, 1), M(0x51, 500000, 3), Eot(0)}));
    const auto data = [&](int i, int n) { return DataOf(*track->event_table[i], n); };
    EXPECT_EQ(data(0, 2), (Bytes{0x00, 0x07}));
    EXPECT_EQ(data(9, 1), Bytes{0x05});
    EXPECT_EQ(data(11, 5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(data(12, 4), (Bytes{3, 3, 24, 8}));
    EXPECT_EQ(data(14, 4), (Bytes{'A', 0x10, 'B', 0}));
    EXPECT_EQ(Said(sink), Messages{kTempo});

    // Each meta event of a fixed kind but the wrong length is consumed by its
    // declared length, so what follows stays in step.
    // A short tempo, a short 6/8, a long tempo, an empty prefix, an end of
    // track of 1 byte.
    track = Read(TrackChunk(Concat({smf::Msg(0, {0xFF, 0x51, 0x02, 0x07, 0xA1}), smf::On(0, 0, 60),
                                    smf::Msg(0, {0xFF, 0x58, 0x02, 6, 3}), smf::On(0, 0, 61),
                                    smf::Msg(0, {0xFF, 0x51, 0x04, 0x0F, 0x42, 0x40, 0x99}),
                                    smf::On(0, 0, 62), smf::Msg(0, {0xFF, 0x20, 0x00}),
                                    smf::On(0, 0, 63), smf::Msg(0, {0xFF, 0x2F, 0x01, 0x00})})));
    EXPECT_EQ(Events(*track), (Evs{M(0x51, kDefaultTempo, 3), On(0, 0, 60, 100), M(0x58, 0x608, 4),
                                   On(0, 0, 61, 100), M(0x51, 1000000, 3), On(0, 0, 62, 100),
                                   M(0x20, 0, 1), On(0, 0, 63, 100), Eot(0)}));
    EXPECT_EQ(Said(sink), Messages{kTempo});

    std::string letters(300, ' ');
    for (int i = 0; i < 300; ++i) letters[i] = char('A' + i % 26);
    Bytes body;  // three metas of 300 letters (a length of two bytes)
    for (const int type : {0x01, 0x7F, 0x05}) body = Concat({body, smf::Text(0, type, letters)});
    // An exclusive message of 300 bytes from F0 to F7; its data area holds
    // the length bytes as well.
    Bytes sysex{0xF0, 0x82, 0x2A};
    for (int i = 0; i < 296; ++i) sysex.push_back(static_cast<std::uint8_t>(i & 0x7F));
    sysex.push_back(0xF7);
    body = Concat({body, {0x00}, sysex, {0x00, 0xFF, 0x2F, 0x00}});
    track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(track->event_table[i]->length, 300);
        EXPECT_EQ(track->event_table[i]->data[299], 'A' + 299 % 26);
        EXPECT_EQ(track->event_table[i]->data[300], 0);  // zero-terminated
    }
    EXPECT_EQ(DataOf(*track->event_table[3], 300), sysex);
    // One message for the long events, and again for the next chunk read.
    EXPECT_EQ(Said(sink), Messages{kTooLarge});
    track = Read(TrackChunk(body));
    EXPECT_EQ(Said(sink), Messages{kTooLarge});

    // Master volume, an escape of raw bytes, GM on, and an escape of 128 bytes
    // (the length is a VLQ).
    track = Read(
        TrackChunk(Concat({smf::Msg(0, kMasterVolume), smf::Msg(0, {0xF7, 0x03, 0x90, 0x3C, 0x40}),
                           smf::Msg(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
                           smf::Msg(0, {0xF7, 0x81, 0x00}), smf::Eot(0)})));
    // The 128-byte escape runs past the chunk: it is dropped, reading stops
    // there and the track is closed with an end of track.
    EXPECT_EQ(Events(*track), (Evs{X(kEvSysEx, 1, 100, 9), X(kEvSysExEscape, 0, 0, 5),
                                   X(kEvSysEx, 9, 0, 7), Eot(0)}));
    EXPECT_EQ(DataOf(*track->event_table[1], 5), (Bytes{0xF7, 0x03, 0x90, 0x3C, 0x40}));
    EXPECT_EQ(Said(sink), Messages{kInternal});

    body = {0x00, 0xF7, 0x81, 0x00};
    for (int i = 0; i < 128; ++i) body.push_back(static_cast<std::uint8_t>(i));
    track = Read(TrackChunk(Concat({body, {0x00, 0x90, 60, 1, 0x00, 0xFF, 0x2F, 0x00}})));
    ASSERT_EQ(track->event_count, 3);
    EXPECT_EQ(track->event_table[0]->length, 131);
    EXPECT_EQ(track->event_table[0]->data[130], 127);
    EXPECT_EQ(View(*track->event_table[1]), R(On(0, 0, 60, 1)));
    EXPECT_EQ(Said(sink), Messages{});
    Bytes tagged = TrackChunk({0x00, 0xFF, 0x2F, 0x00});
    tagged[0] = 'X';
    const auto bad = Read(tagged);
    EXPECT_EQ(bad->event_count, 0);
    EXPECT_EQ(bad->form, kFormNone);
    EXPECT_EQ(Read(TrackChunk({}))->form, kFormQ1);
    // Too short to hold the length; an offset beyond the image.
    EXPECT_EQ(Read(Bytes{'M', 'T', 'r', 'k', 0, 0})->form, kFormNone);
    EXPECT_EQ(Read(TrackChunk({}), 100)->form, kFormNone);
    EXPECT_EQ(Said(sink), (Messages{kNotMidi, kInternal, kInternal}));
    // The chunk's bytes stay in the track's buffer.
    const Bytes chunk = TrackChunk(Concat({kNotes, {0x00, 0xFF, 0x2F, 0x00}}));
    EXPECT_EQ(ChunkBytes(*Read(Concat({HeaderChunk(0, 1, 480), chunk, Bytes{1, 2, 3}}), 14)),
              chunk);

    // A file cut short (the chunk says 12 bytes, 8 are there), a length of
    // 0xFFFFFFFF and chunks ending within an event: the events up to the end
    // of the image are kept.
    Bytes huge = TrackChunk(kNotes);
    huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
    const auto tail = [](Bytes bytes) { return TrackChunk(Concat({kNotes, bytes})); };
    const std::tuple<const char*, Bytes, int> cases[] = {
        // what, the chunk, delta of the closing end of track
        {"file cut short", Bytes(chunk.begin(), chunk.end() - 4), 0},
        {"length 0xFFFFFFFF", huge, 0},
        {"channel message", tail({0x00, 0x90, 60}), 0},
        {"channel message after a delta", tail({0x30, 0x90, 60}), 0x30},
        {"running status message", tail({0x10, 62}), 0x10},
        {"delta", tail({0x81}), 0},
        {"delta of five bytes", tail({0x81, 0x81, 0x81, 0x81, 0x00, 0x90, 60, 1}), 0},
        {"exclusive without F7", tail({0x00, 0xF0, 0x03, 0x41, 0x10, 0x42}), 0},
        {"escape length cut off", tail({0x00, 0xF7, 0x85}), 0},
        {"meta longer than the chunk", tail({0x00, 0xFF, 0x01, 0x10, 'a'}), 0},
        {"meta length cut off", tail({0x05, 0xFF, 0x01, 0x81}), 5},
    };
    for (const auto& [what, damaged, end_delta] : cases) {
        const auto track = Read(damaged);
        EXPECT_EQ(track->size, static_cast<int>(damaged.size())) << what;
        EXPECT_EQ(Events(*track), NotesThenEnd(end_delta)) << what;
        EXPECT_EQ(Said(sink), Messages{kInternal}) << what;
    }

    // Absolute time is held at the largest tick.
    body = {0x00, 0xC0, 1};
    for (int i = 0; i < 9; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 2});
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    track = Read(TrackChunk(body));
    ASSERT_EQ(track->event_count, 11);
    EXPECT_EQ(Events(*track).back().tick, INT_MAX);
    EXPECT_EQ(track->event_table[9]->delta, INT_MAX - 8 * 0x0FFFFFFF);
    EXPECT_EQ(Said(sink), Messages{kInternal});

    // Refill the table to the brim and read on: nothing may be stored.
    track = Read(TrackChunk({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x2F, 0x00}));
    for (int i = track->event_count; i < kMaxEvents; ++i) track->event_table[i] = new MidiEvent(0);
    track->event_count = kMaxEvents;
    track->form = kFormRaw;
    track->position = 8;
    track->GetEventData();
    EXPECT_EQ(track->event_count, kMaxEvents);
    EXPECT_EQ(sink.Messages(), Messages{kTooMuch});
}
