// The writer: exact chunk bytes, the refusals, and read -> write -> read
// round trips through the reader (a chunk in the writer's own layout comes
// back byte for byte; random chunks keep their events).

#include "support/TestEvents.h"

namespace {

// What must survive a write: the fields, and the bytes of exclusive and meta
// events (compared as their text). A note off is always written with
// velocity 64.
EvList KeptOf(const MidiTrackData& track) {
    EvList out = Events(track);
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status == kEvNoteOff) out[i].velocity = 64;
        if (e.status == kEvSysEx || e.status == kEvSysExEscape || e.status == kEvMeta) {
            out[i].text.assign(reinterpret_cast<const char*>(e.data), std::size_t(e.length));
        }
    }
    return out;
}

Bytes Written(MidiTrackData& track) {
    EXPECT_EQ(track.Q1toRaw(), 1);
    return ChunkBytes(track);
}

Bytes Variable(int value) {
    unsigned char out[4] = {};
    const int n = GneSetVariable(value, out);
    return Bytes(out, out + n);
}

}  // namespace

TEST(TrackWriter, QuantitiesRefusalsAndRoundTrips) {
    CaptureSink sink;
    // Up to the 28-bit limit as the literal encoder has it; beyond it the
    // largest quantity, reported, and a negative value as 0, reported.
    for (int value : {0, 127, 128, 16383, 16384, 2097151, 2097152, 0x0FFFFFFF})
        EXPECT_EQ(Variable(value), smf::Vlq(value)) << value;
    EXPECT_EQ(Variable(0x10000000), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(Variable(-1), Bytes{0x00});
    EXPECT_EQ(sink.Messages(), (Lines{kInternal, kInternal}));

    auto track = Track(kFormQ1, {On(5, 0, 60), Nop(7), Note(3, 0, 62, 10, 90), Eot(2)});
    ASSERT_EQ(track->Q1toRaw(), 1);
    // The deltas of the none event and the Note go on to the end of track.
    EXPECT_EQ(ChunkBytes(*track), TrackChunk({0x05, 0x90, 0x3C, 0x64, 0x0C, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(sink.Count(kUndefined), 2);

    // A channel beyond 15 is reported and written as its low 4 bits.
    track =
        Track(kFormQ1, {Cc(0, kNoChannel, 7, 1), {0, kEvPitchBend, 17, 0, 0, 0, 0, 64}, Eot(0)});
    ASSERT_EQ(track->Q1toRaw(), 1);
    EXPECT_EQ(ChunkBytes(*track),
              TrackChunk({0x00, 0xBF, 0x07, 0x01, 0x00, 0xE1, 0x00, 0x40, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(sink.Count(kChannelError), 2);

    sink.Clear();
    // No events, no end of track, and a Q2 track: refused, form kept.
    for (const auto& t : {Track(kFormQ1, {}), Track(kFormQ1, {On(0, 0, 60), Off(10, 0, 60)}),
                          Track(kFormQ2, {Note(0, 0, 60, 10, 90), Eot(10)})}) {
        const int form = t->form;
        EXPECT_EQ(t->Q1toRaw(), 0);
        EXPECT_EQ(t->form, form);
    }

    // The buffer grows to what the track needs: 8 + 65,536 note ons of 4
    // bytes + the end of track (4), and one event larger than the buffer was.
    MidiTrackData big(kFormQ1);
    for (int i = 0; i < kMusicDataBufferSize / 4; ++i) big.AddEvent(Make(On(0, 0, 60)));
    big.AddEndOfTrack();
    EXPECT_EQ(big.Q1toRaw(), 1);
    EXPECT_EQ(big.size, kMusicDataBufferSize + 12);
    EXPECT_EQ(Read(ChunkBytes(big))->event_count, kMusicDataBufferSize / 4 + 1);
    big.form = kFormQ1;
    big.DeleteAllEvent();
    big.AddEvent(Meta(0, kMetaSequencerSpecific, std::string(kMusicDataBufferSize, 'x')));
    big.AddEndOfTrack();
    EXPECT_EQ(big.Q1toRaw(), 1);
    EXPECT_EQ(big.size, 8 + 3 + 3 + kMusicDataBufferSize + 4);
    EXPECT_EQ(sink.Messages(), Lines(3, kInternal));  // the refusals only
    sink.Clear();
    // A chunk in the writer's own style (full status bytes, note offs at
    // velocity 64, lengths and deltas as VLQs) comes back byte for byte, also
    // through Q2 and back: metas, GM on, an escape, channel messages, a chord
    // whose notes both end at 480 and one starts again, a marker after a delta
    // of four bytes, and texts of 200 and 300 bytes.
    const Bytes setup =
        Concat({smf::Msg(0, {0xFF, 0x00, 0x02, 0x00, 0x07}), smf::Text(0, 3, "Song"),
                smf::Tempo(0, 500000), smf::Msg(0, {0xFF, 0x58, 0x04, 3, 3, 0x18, 8}),
                smf::Msg(0, {0xFF, 0x59, 0x02, 0, 0}),
                smf::Msg(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
                smf::Msg(0, {0xF7, 0x03, 0x90, 0x3C, 0x40}), smf::Cc(0, 1, 7, 100),
                smf::Program(0, 1, 5)});
    const Bytes chunk = TrackChunk(Concat(
        {setup, smf::Msg(0, {0xE1, 0x11, 0x40}), smf::Msg(0, {0xD1, 0x10}), smf::On(0, 1, 60, 100),
         smf::On(0, 1, 64, 80), smf::Off(480, 1, 64), smf::Off(0, 1, 60), smf::On(0, 1, 60, 80),
         smf::Off(240, 1, 60), smf::Text(0x200000, 6, "M"), smf::Text(0, 1, std::string(200, 'a')),
         smf::Text(0, 0x7F, std::string(300, 'c')), smf::Eot(0)}));
    track = Read(chunk);
    ASSERT_EQ(track->event_count, 21);
    EXPECT_EQ(Written(*track), chunk);

    track = Read(chunk);
    track->Q1toQ2();
    track->Q2toQ1();
    EXPECT_EQ(Written(*track), chunk);
    for (const auto& m : sink.Messages()) EXPECT_EQ(m, kTooLarge);

    // Running status, note ons of velocity 0 and note offs of any velocity
    // come back as full messages and note offs at 64, meaning the same. Key
    // pressure is written as its bytes, but reported.
    sink.Clear();
    const Bytes compact =
        TrackChunk({0x00, 0x92, 0x3C, 0x64, 0x10, 0x3E, 0x64, 0x20, 0x3C, 0x00, 0x00,
                    0x82, 0x3E, 0x1E, 0x00, 0xA1, 0x3C, 0x21, 0x00, 0xFF, 0x2F, 0x00});
    track = Read(compact);
    EXPECT_EQ(Written(*track),
              TrackChunk({0x00, 0x92, 0x3C, 0x64, 0x10, 0x92, 0x3E, 0x64, 0x20, 0x82, 0x3C, 0x40,
                          0x00, 0x82, 0x3E, 0x40, 0x00, 0xA1, 0x3C, 0x21, 0x00, 0xFF, 0x2F, 0x00}));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{kUndefined});
    // Random chunks of every kind the writer writes back (running status, long
    // texts and exclusive messages, deltas of four bytes) keep their events
    // through read -> write -> read, and a second write gives the same bytes.
    std::mt19937 rng(7);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto b = [](int v) { return static_cast<std::uint8_t>(v); };
    for (int round = 0; round < 300; ++round) {
        Bytes body;
        int running = 0;
        for (int e = 0, events = pick(200); e < events; ++e) {
            const int delta = pick(4) == 0 ? pick(3000000) : pick(200);
            const int kind = pick(9);
            Bytes m;
            if (kind < 5) {
                // Key pressure is carried as bytes but not written back; it is left out.
                constexpr int kKinds[] = {0x80, 0x90, 0xB0, 0xC0, 0xD0, 0xE0};
                const int status = kKinds[pick(6)] | pick(16), k = status & 0xF0;
                if (status != running || pick(2) == 0) m.push_back(b(status));
                running = status;
                m.push_back(b(pick(128)));
                if (k != kEvProgram && k != kEvChannelPressure) m.push_back(b(pick(128)));
            } else if (kind == 5) {
                const int n = pick(10) == 0 ? 200 + pick(200) : pick(8);
                m = Concat({{0xF0}, smf::Vlq(n + 3), {0x41, b(pick(128))}});
                for (int i = 0; i < n; ++i) m.push_back(b(pick(128)));
                m.push_back(0xF7);
            } else if (kind == 6) {
                m = {0xF7, b(pick(20))};
                for (int i = 0; i < m[1]; ++i) m.push_back(b(pick(256)));
            } else if (kind == 7) {
                std::string text(pick(10) == 0 ? 128 + pick(300) : pick(40), ' ');
                for (auto& c : text) c = static_cast<char>(' ' + pick(90));
                const int type = std::vector<int>{1, 2, 3, 5, 6, 7, 0x7F}[pick(7)];
                m = smf::Text(0, type, text);
                m.erase(m.begin());  // its delta
            } else {
                m = {0xFF, 0x51, 0x03, b(1 + pick(255)), b(pick(256)), b(pick(256))};
            }
            if (kind == 5 || kind == 6) running = 0;  // exclusives end running status
            body = Concat({body, smf::Msg(delta, m)});
        }
        body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
        sink.Clear();
        auto first = Read(TrackChunk(body));
        const auto before = KeptOf(*first);
        const Bytes written = Written(*first);
        auto second = Read(written);
        ASSERT_EQ(KeptOf(*second), before) << round;
        ASSERT_EQ(Written(*second), written) << round;
        // Long texts bring the size message; nothing else is reported.
        for (const auto& m : sink.Messages()) ASSERT_EQ(m, kTooLarge) << round;
    }
}
