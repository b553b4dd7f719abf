// The song readers pair note offs with note ons while a chunk is read: the
// songs must come out record for record, message for message, as reading the
// chunk into Q1 and converting it with Q1toQ2 gives them, on random chunks with
// running status, overlapping notes, ends of track in the wrong place, damage
// and hostile bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

namespace {

// A chunk body of random events, many of them notes of few pitches (so that
// notes of one pitch overlap), often under running status.
Bytes RandomBody(std::mt19937& rng) {
    Bytes body;
    std::uniform_int_distribution<int> pick(0, 99);
    const int events = pick(rng) * 3;
    for (int i = 0; i < events; ++i) {
        const int r = pick(rng);
        std::uint32_t delta = r < 40 ? 0 : r < 90 ? std::uint32_t(pick(rng)) : std::uint32_t(rng());
        if (r == 99) delta = 0x0FFFFFFF;  // absolute time runs into the clamp
        const Bytes vlq = smf::Vlq(delta & 0x0FFFFFFF);
        body.insert(body.end(), vlq.begin(), vlq.end());
        const int ch = pick(rng) % 3;
        const auto key = std::uint8_t(60 + pick(rng) % 4);
        const int kind = pick(rng);
        const auto on = std::uint8_t(0x90 | ch);
        // Running status: two data bytes of whatever channel status went
        // before; a real-time byte makes no file event; a data byte with bit
        // 7 set drops its message.
        const Bytes message =
            kind < 30   ? Bytes{on, key, 100}
            : kind < 45 ? Bytes{on, key, 0}
            : kind < 60 ? Bytes{std::uint8_t(0x80 | ch), key, 64}
            : kind < 75 ? Bytes{key, std::uint8_t(pick(rng) % 2 ? 90 : 0)}
            : kind < 80 ? Bytes{std::uint8_t(0xB0 | ch), 7, std::uint8_t(pick(rng))}
            : kind < 83 ? Bytes{std::uint8_t(0xC0 | ch), std::uint8_t(pick(rng))}
            : kind < 86 ? Bytes{0xFF, 0x2F, 0x00}  // an end of track amid the events
            : kind < 89 ? Bytes{0xFF, 0x03, 0x02, 'T', 'n'}
            : kind < 91 ? Bytes{0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}
            : kind < 93 ? Bytes{0xF8}
            : kind < 95 ? Bytes{on, key, 0x91}
            : kind < 97 ? Bytes{0xE0, 0x00, 0x40}
                        : Bytes{0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
        body.insert(body.end(), message.begin(), message.end());
    }
    if (pick(rng) < 80) body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    if (pick(rng) < 10 && !body.empty()) body.resize(rng() % body.size());  // cut mid-event
    return body;
}

Bytes RandomFile(std::mt19937& rng, int format) {
    const int tracks = format == 0 ? 1 : 1 + int(rng() % 4);
    Bytes file = HeaderChunk(format, tracks, 96);
    for (int t = 0; t < tracks; ++t) {
        Bytes chunk = TrackChunk(RandomBody(rng));
        // Now and then a chunk that claims more bytes than the file holds.
        if (t + 1 == tracks && rng() % 8 == 0) chunk[7] = std::uint8_t(chunk[7] + 9);
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    // Now and then a byte changed anywhere after the header.
    if (rng() % 4 == 0 && file.size() > 22)
        file[22 + rng() % (file.size() - 22)] = std::uint8_t(rng());
    return file;
}

// The image of every track a reading gives (every field of every record,
// the data area's bytes included), then the messages it gave.
Lines Outcome(const std::function<void(Lines&)>& read) {
    CaptureSink sink;
    Lines out;
    read(out);
    out.insert(out.end(), sink.Messages().begin(), sink.Messages().end());
    return out;
}
void Add(Lines& out, const MidiTrackData* track) {
    const Lines image = track ? Image(*track, true) : Lines{"<no track>"};
    out.insert(out.end(), image.begin(), image.end());
}
void AddTracks(Lines& out, MidiF1Data& song) {
    for (int t = 0; t < song.track_count; ++t) Add(out, song.GetTrack(t));
}

}  // namespace

TEST(PairedRead, SongsComeOutAsQ1toQ2MakesThem) {
    std::mt19937 rng(20240601);
    TempDir dir;
    for (int round = 0; round < 400; ++round) {
        const Bytes file = RandomFile(rng, round % 2);
        const long size = long(file.size());

        // Format 0: the image reader pairs as it reads; the public steps
        // SetQ1 and Q1toQ2 do not.
        const Lines paired = Outcome([&](Lines& out) {
            MidiF0Data song(file.data(), size);
            Add(out, song.track.get());
        });
        const Lines plain = Outcome([&](Lines& out) {
            MidiF0Data song(kFormQ2);
            std::memcpy(song.buffer, file.data(), file.size());
            song.size = int(size);
            song.form = kFormRaw;
            song.position = 0;
            if (song.GetHeaderInfo()) {
                song.SetQ1();
                song.Q1toQ2();
            } else {
                song.track = std::make_unique<MidiTrackData>(kFormQ2);
            }
            Add(out, song.track.get());
        });
        ASSERT_EQ(paired, plain) << "round " << round;

        // Format 1: reading a file pairs as it reads; the image constructor
        // takes the public steps.
        if (round % 2 == 0) continue;
        const std::string path = dir.File("song.mid");
        WriteBytes(path, file);
        ASSERT_EQ(Outcome([&](Lines& out) {
                      MidiF1Data song(path.c_str());
                      AddTracks(out, song);
                  }),
                  Outcome([&](Lines& out) {
                      MidiF1Data song(file.data(), size);
                      AddTracks(out, song);
                  }))
            << "round " << round;
    }
}
