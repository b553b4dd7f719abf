// Hostile input: files built to break a reader. Each one goes through every
// reading path (the loader by name, both song classes from bytes, the format
// conversion) and then through the save path (mirror both ways, encode, write).
// Nothing may crash, hang, leak or touch memory it does not own (the sanitizer
// build runs this suite); what loads must encode into a file that loads again
// with the same notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/song/MidiData.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/MidiFileLoader.h"
#include "midi/song/MidiStatus.h"
#include "midi/track/detail/NotePairing.h"
#include "support/TestEvents.h"

namespace {

using Builder = std::function<Bytes()>;

struct HostileCase {
    std::string name;
    Builder build;
};

// A few ordinary notes, for the tails of damaged files.
Bytes SomeNotes() {
    return {0x00, 0xC0, 0x05, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0x40,
            0x00, 0x99, 36, 90, 0x30, 0x89, 36, 0x40};
}
Bytes EndOfTrack() { return {0x00, 0xFF, 0x2F, 0x00}; }
Bytes Format0(const Bytes& body) {
    return Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({body, EndOfTrack()}))});
}
Bytes Format1(std::initializer_list<Bytes> bodies) {
    Bytes out = HeaderChunk(1, static_cast<int>(bodies.size()), 96);
    for (const auto& body : bodies) {
        const Bytes chunk = TrackChunk(Concat({body, EndOfTrack()}));
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}
Bytes WithHeaderLength(std::uint32_t length) {
    Bytes file = Format0(SomeNotes());
    file[4] = std::uint8_t(length >> 24);
    file[5] = std::uint8_t(length >> 16);
    file[6] = std::uint8_t(length >> 8);
    file[7] = std::uint8_t(length);
    return file;
}
Bytes WithTrackCount(int format, int count, int present) {
    Bytes file = HeaderChunk(format, count, 96);
    for (int i = 0; i < present; ++i) {
        const Bytes chunk = TrackChunk(Concat({SomeNotes(), EndOfTrack()}));
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return file;
}
Bytes SetChunkLength(Bytes file, std::size_t at, std::uint32_t length) {
    file[at + 4] = std::uint8_t(length >> 24);
    file[at + 5] = std::uint8_t(length >> 16);
    file[at + 6] = std::uint8_t(length >> 8);
    file[at + 7] = std::uint8_t(length);
    return file;
}
Bytes Meta(int type, const Bytes& data) {
    return Concat({{0x00, 0xFF, std::uint8_t(type)},
                   smf::Vlq(static_cast<std::uint32_t>(data.size())),
                   data});
}
Bytes MacBinary(const Bytes& rest) {
    Bytes header(128, 0);
    header[1] = 8;
    std::memcpy(&header[2], "song.mid", 8);
    return Concat({header, rest});
}
// Notes on every channel, running status, as many as fit in bytes.
Bytes DenseFile(std::size_t bytes) {
    Bytes body;
    int channel = 0;
    while (body.size() + 16 < bytes - 26) {
        const std::uint8_t note = std::uint8_t(30 + (body.size() / 7) % 60);
        body.insert(body.end(), {0x00, std::uint8_t(0x90 | channel), note, 90});
        body.insert(body.end(), {0x01, note, 0});  // running status, velocity 0 = note off
        channel = (channel + 1) % 16;
    }
    return Format0(body);
}
Bytes PaddedTo(std::size_t total) {
    Bytes file = Format0(SomeNotes());
    file.resize(total, 0);  // trailing bytes after the last track
    return file;
}

std::vector<HostileCase> Corpus() {
    std::vector<HostileCase> c;
    auto add = [&c](std::string name, Builder build) { c.push_back({std::move(name), build}); };
    add("EmptyFile", [] { return Bytes{}; });
    add("HeaderTagOnly", [] { return Bytes{'M', 'T', 'h', 'd', 0, 0}; });
    add("HeaderLength0", [] { return WithHeaderLength(0); });
    add("HeaderLength5", [] { return WithHeaderLength(5); });
    add("HeaderLength8", [] { return WithHeaderLength(8); });
    add("HeaderLength1000", [] { return WithHeaderLength(1000); });
    add("HeaderLengthMax", [] { return WithHeaderLength(0xFFFFFFFF); });
    add("Format2", [] { return WithTrackCount(2, 1, 1); });
    add("FormatFFFF", [] { return WithTrackCount(0xFFFF, 1, 1); });
    add("Format0TwoTracks", [] { return WithTrackCount(0, 2, 2); });
    add("TrackCount0", [] { return WithTrackCount(1, 0, 1); });
    add("TrackCount64", [] { return WithTrackCount(1, 64, 2); });
    add("TrackCount300", [] { return WithTrackCount(1, 300, 3); });
    add("TrackCount65535", [] { return WithTrackCount(1, 65535, 1); });
    add("TrackCountBelowChunks", [] { return WithTrackCount(1, 1, 5); });
    add("Division0", [] {
        Bytes f = Format0(SomeNotes());
        f[12] = f[13] = 0;
        return f;
    });
    add("SmpteDivision", [] {
        Bytes f = Format0(SomeNotes());
        f[12] = 0xE7;
        f[13] = 0x28;
        return f;
    });
    add("UnknownChunkBetweenTracks", [] {
        const Bytes unknown = {'M', 'U', 'n', 'k', 0, 0, 0, 4, 1, 2, 3, 4};
        return Concat({HeaderChunk(1, 2, 96), TrackChunk(Concat({SomeNotes(), EndOfTrack()})),
                       unknown, TrackChunk(Concat({SomeNotes(), EndOfTrack()}))});
    });
    add("UnknownChunkPastEnd", [] {
        const Bytes unknown = {'M', 'U', 'n', 'k', 0x7F, 0xFF, 0xFF, 0xFF, 1, 2};
        return Concat({HeaderChunk(1, 2, 96), TrackChunk(Concat({SomeNotes(), EndOfTrack()})),
                       unknown});
    });
    add("GarbageForChunkTag", [] {
        return Concat({HeaderChunk(1, 2, 96), TrackChunk(Concat({SomeNotes(), EndOfTrack()})),
                       Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}});
    });
    add("TrackLengthPastEnd", [] { return SetChunkLength(Format0(SomeNotes()), 14, 5000); });
    add("TrackLengthMax", [] { return SetChunkLength(Format0(SomeNotes()), 14, 0xFFFFFFFF); });
    add("TrackLengthShort", [] { return SetChunkLength(Format0(SomeNotes()), 14, 9); });
    add("TrackLengthLong", [] {
        Bytes f = SetChunkLength(Format0(SomeNotes()), 14, 40);
        f.resize(f.size() + 17, 0);
        return f;
    });
    add("LastByteMissing", [] {
        Bytes f = Format0(SomeNotes());
        f.pop_back();
        return f;
    });
    add("TrailingBytes", [] { return Concat({Format0(SomeNotes()), Bytes(300, 0xAB)}); });
    add("NoEndOfTrack", [] {
        return Concat({HeaderChunk(0, 1, 96), TrackChunk(SomeNotes())});
    });
    add("BytesAfterEndOfTrack", [] {
        return Concat(
            {HeaderChunk(0, 1, 96), TrackChunk(Concat({SomeNotes(), EndOfTrack(), SomeNotes()}))});
    });
    add("FiveByteDelta", [] {
        return Format0(Concat({Bytes{0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100}, SomeNotes()}));
    });
    add("DeltaCutAtChunkEnd", [] {
        return Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({SomeNotes(), Bytes{0x81, 0x80}}))});
    });
    add("HugeDeltas", [] {
        Bytes body;
        for (int i = 0; i < 20; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100});
        for (int i = 0; i < 20; ++i) body.insert(body.end(), {0x00, 0x80, 60, 0});
        return Format0(body);
    });
    add("RunningStatusFirst", [] { return Format0(Concat({Bytes{0x00, 60, 100}, SomeNotes()})); });
    add("RunningStatusAfterMeta", [] {
        return Format0(Concat({Bytes{0x00, 0x90, 60, 100}, Meta(0x01, {'h', 'i'}),
                               Bytes{0x10, 60, 0}}));
    });
    add("RunningStatusAfterSysEx", [] {
        return Format0(Bytes{0x00, 0x90, 60, 100, 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,
                             0x10, 60, 0});
    });
    add("DataByteAboveLimitInNote", [] { return Format0(Bytes{0x00, 0x90, 0xFF, 0x40, 0x10, 0x80, 0xFF, 0x40}); });
    add("NoteAbove127", [] { return Format0(Bytes{0x00, 0x90, 0xC8, 0x40, 0x10, 0x80, 0xC8, 0x40}); });
    add("ChannelMessageCut", [] {
        return Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({SomeNotes(), Bytes{0x00, 0x90, 60}}))});
    });
    add("SysExLength0", [] { return Format0(Concat({Bytes{0x00, 0xF0, 0x00}, SomeNotes()})); });
    add("SysExPastChunk", [] {
        return Concat({HeaderChunk(0, 1, 96),
                       TrackChunk(Concat({SomeNotes(), Bytes{0x00, 0xF0, 0x7F, 0x41, 0x10}}))});
    });
    add("SysExWithoutF7", [] {
        return Format0(Concat({Bytes{0x00, 0xF0, 0x04, 0x41, 0x10, 0x42, 0x12}, SomeNotes()}));
    });
    add("ShortSysEx", [] { return Format0(Bytes{0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}); });
    add("SysExShorterThanClassification", [] { return Format0(Bytes{0x00, 0xF0, 0x03, 0x41, 0x10, 0xF7}); });
    add("EscapeLength0", [] { return Format0(Concat({Bytes{0x00, 0xF7, 0x00}, SomeNotes()})); });
    add("EscapePastChunk", [] {
        return Concat({HeaderChunk(0, 1, 96),
                       TrackChunk(Concat({SomeNotes(), Bytes{0x00, 0xF7, 0x7F, 0x01}}))});
    });
    add("SystemStatusBytes", [] {
        Bytes body;
        for (int s = 0xF1; s <= 0xFE; ++s) {
            if (s == 0xF7) continue;
            body.insert(body.end(), {0x00, std::uint8_t(s), 0x01});
        }
        return Format0(Concat({body, SomeNotes()}));
    });
    add("MetaLengthPastChunk", [] {
        return Concat({HeaderChunk(0, 1, 96),
                       TrackChunk(Concat({SomeNotes(), Bytes{0x00, 0xFF, 0x01, 0x7F, 'a'}}))});
    });
    add("Meta200Bytes", [] { return Format0(Concat({Meta(0x03, Bytes(200, 'x')), SomeNotes()})); });
    add("Meta5000Bytes", [] {
        return Format0(Concat({Meta(0x01, Bytes(5000, 'y')), Meta(0x7F, Bytes(5000, 1)), SomeNotes()}));
    });
    add("WrongFixedMetaLengths", [] {
        return Format0(Concat({Meta(0x51, {}), Meta(0x51, {0x07, 0xA1}), Meta(0x51, {0, 0x07, 0xA1, 0x20}),
                               Meta(0x58, {3, 3, 24}), Meta(0x59, {}), Meta(0x2F, {0}), SomeNotes()}));
    });
    add("Tempo0And1", [] {
        return Format0(Concat({Meta(0x51, {0, 0, 0}), SomeNotes(), Meta(0x51, {0, 0, 1}), SomeNotes()}));
    });
    add("ZeroLengthSong", [] { return Format1({Bytes{}, Bytes{}}); });
    add("RiffRmid", [] {
        const Bytes smf = Format0(SomeNotes());
        const auto n = static_cast<std::uint32_t>(smf.size() + 12);
        const auto d = static_cast<std::uint32_t>(smf.size());
        return Concat({Bytes{'R', 'I', 'F', 'F', std::uint8_t(n), std::uint8_t(n >> 8),
                             std::uint8_t(n >> 16), std::uint8_t(n >> 24), 'R', 'M', 'I', 'D',
                             'd', 'a', 't', 'a', std::uint8_t(d), std::uint8_t(d >> 8),
                             std::uint8_t(d >> 16), std::uint8_t(d >> 24)},
                       smf});
    });
    add("MacBinaryBeforeGarbage", [] { return MacBinary(Bytes(300, 0x5A)); });
    add("MacBinaryShortFile", [] { return Bytes(100, 0); });
    add("MacBinaryBeforeSong", [] { return MacBinary(Format0(SomeNotes())); });
    add("Exactly256KiB", [] { return PaddedTo(262144); });
    add("OneByteOver256KiB", [] { return PaddedTo(262145); });
    add("DensestFile", [] { return DenseFile(262144); });
    add("Exactly1MiB", [] { return PaddedTo(1048576); });
    add("OneByteOver1MiB", [] { return PaddedTo(1048577); });
    add("Densest1MiBFile", [] { return DenseFile(1048576); });
    add("ThousandsOfTempos", [] {
        Bytes body;
        for (int i = 0; i < 5000; ++i) {
            const std::uint32_t tempo = 300000 + static_cast<std::uint32_t>(i % 400) * 1000;
            body.insert(body.end(), {0x01, 0xFF, 0x51, 0x03, std::uint8_t(tempo >> 16),
                                     std::uint8_t(tempo >> 8), std::uint8_t(tempo)});
            if (i % 10 == 0) body.insert(body.end(), {0x00, 0x90, 60, 100, 0x05, 0x80, 60, 0});
        }
        return Format0(body);
    });
    add("Format1ManyShortTracks", [] {
        Bytes f = HeaderChunk(1, 63, 96);
        for (int i = 0; i < 63; ++i) {
            const Bytes chunk = TrackChunk(Concat(
                {Bytes{0x00, std::uint8_t(0x90 | (i % 16)), std::uint8_t(40 + i), 64, 0x10,
                       std::uint8_t(0x80 | (i % 16)), std::uint8_t(40 + i), 0},
                 EndOfTrack()}));
            f.insert(f.end(), chunk.begin(), chunk.end());
        }
        return f;
    });
    return c;
}

int CountNotes(MidiTrackData* track) {
    int notes = 0;
    for (int i = 0; track && i < track->GetEventCount(); ++i) {
        const MidiEvent* e = track->GetEvent(i);
        if (e->status == kEvNote || (e->status == kEvNoteOn && e->velocity > 0)) ++notes;
    }
    return notes;
}

// Every editing operation on a copy of a loaded track: events keep their
// count, order and notes; the track length is what a copy in Q1 would have.
void EditEverything(MidiTrackData& loaded, int division) {
    MidiTrackData t(&loaded);
    MidiTrackData q1(&loaded);
    q1.Q2toQ1();
    long q1_length = 0;
    for (int i = 0; i < q1.event_count; ++i) q1_length += q1.event_table[i]->delta;
    EXPECT_EQ(t.GetTrackLen(), q1_length);
    const int count = t.event_count;
    const int notes = CountNotes(&t);
    const int grid = std::max(division / 4, 1);
    t.QuantizeData(4, division);
    t.SwingData(division);
    t.SwingHarmonyAndDrumData(grid * 2);
    t.SetSwingPositionOne(0, division, division);
    t.SetSwingPositionTwo(0, division, division);
    t.SetSwingPositionThree(division, 2 * division, division);
    t.SetSwingPositionMany(0, division, division, 64);
    t.FixPostion(t.event_count - 1, 0, 5, 0);
    t.GetFirstNotePos(0, 1 << 30);
    t.GetSecondNotePos(0, 1 << 30);
    t.CountNote(0, 1 << 30);
    t.ModifyDeltaTime(grid);
    t.ModifyDeltaTime(division, 8 * division, grid + 1);
    t.ModifyDuration(grid, 1);
    t.ModifyDuration(grid, 2);
    t.ModifyDuration(grid + 3);
    t.ModifyDuration(0, 4 * division, grid);
    t.ModifyInterval(grid / 2);
    t.ModifyEventValue(kEvControl, kCcVolume, 100);
    t.ModifyEventValue(kEvProgram, 3);
    t.ModifyEventValueRange(kEvControl, kCcPan, 20, 100);
    t.ModifyEventValue(kEvSysEx, kExTypeMasterVolume, 90);
    t.ModifyEventValue(kEvMeta, kMetaTempo, 400000);
    t.ModifyEventValue(kEvMeta, kMetaTimeSignature, 3 * 256 + 4);
    for (int probe : {0, division, 4 * division}) {
        t.CheckEventLocation(probe, kEvNote);
        t.CheckMetaEventLocation(probe, kMetaTempo);
        t.CheckMetaEventLocation(probe, kMetaTempo, 400000);
        t.CheckSysExLocation(probe, kExTypeMasterVolume);
        t.CheckSysExLocation(probe, kExTypeMasterVolume, 90);
        t.CheckControlChangeLocation(probe, kCcVolume);
        t.CheckControlChangeLocation(probe, kCcVolume, 100);
        t.CheckProgramChangeLocation(probe);
        t.IsEventExist(kEvControl, probe, probe + division);
        t.CheckAreaTempoRange(probe, probe + division, 40, 200);
        t.CheckEventTime(probe, probe + division, grid);
    }
    EXPECT_EQ(t.CheckEventValue(kEvControl, kCcVolume, 100), 1);
    EXPECT_EQ(t.CheckEventValue(kEvProgram, 3), 1);
    EXPECT_EQ(t.CheckEventValueRange(kEvControl, kCcPan, 20, 100), 1);
    t.CheckTempoRange(40, 200);
    t.CheckTimeSingLocation(division);
    t.CheckOrderOfBankSelectAndProgramChange();
    t.CheckEventTime(grid);
    EXPECT_EQ(t.event_count, count);
    EXPECT_EQ(CountNotes(&t), notes);
    for (int i = 0; i < t.event_count; ++i) ASSERT_GE(t.event_table[i]->delta, 0) << i;
}

// The window's save action on a loaded song; the bytes of the format-0 file,
// or nothing when the encoder refused.
Bytes MirrorAndEncode(MidiF0Data* song, bool horizontal, bool vertical) {
    MidiF0Data copy(song);
    copy.Q2toQ1();
    if (horizontal) copy.HorizontalReverse();
    if (vertical) copy.VerticalReverse();
    if (copy.Q1toRaw() != 1 || copy.size <= 0) return {};
    return Bytes(copy.buffer, copy.buffer + copy.size);
}

class Hostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, EveryReadingPathSurvivesAndWhatLoadsSavesFaithfully) {
    const Bytes file = GetParam().build();
    // The fuzzers start from these cases: tests/fuzz.sh asks for them.
    if (const char* seeds = std::getenv("RETROGRADE_WRITE_SEEDS")) {
        WriteBytes(std::string(seeds) + "/" + GetParam().name + ".mid", file);
    }
    CaptureSink sink;
    TempDir dir;
    const std::string path = dir.File("hostile.mid");
    WriteBytes(path, file);

    // Both song classes straight from the bytes.
    { MidiF0Data f0(file.data(), static_cast<long>(file.size())); }
    { MidiF1Data f1(file.data(), static_cast<long>(file.size())); }

    // The conversion of a whole image, in a buffer of the containers' size.
    for (int format : {0, 1}) {
        std::vector<unsigned char> image(kMusicDataBufferSize, 0);
        long size = static_cast<long>(std::min<std::size_t>(file.size(), image.size()));
        std::copy_n(file.begin(), size, image.begin());
        MidiChangeFormat(image.data(), &size, format);
        EXPECT_GE(size, 0);
        EXPECT_LE(size, kMusicDataBufferSize);
    }

    // The loader by name, then the save path, as the window does it.
    MidiFileLoader loader(path.c_str());
    if (!loader.GetMidiF1Data() || loader.GetMidiF1Data()->GetTrackCount() == 0) return;
    EXPECT_GE(loader.GetMidiF1Data()->GetNumBeat(), 0);
    loader.SetMidiF0Data();
    MidiF0Data* song = loader.GetMidiF0Data();
    if (!song || !song->GetTrack()) return;
    const int notes = CountNotes(song->GetTrack());
    EditEverything(*song->GetTrack(), song->division);
    {
        // Every note on of the Q1 list ends inside it, at or after itself.
        MidiF0Data q1(song);
        q1.Q2toQ1();
        const MidiTrackData& t = *q1.GetTrack();
        const std::vector<int> ends =
            retrograde::detail::PairNoteEnds(t.event_table.get(), t.event_count);
        for (int i = 0; i < t.event_count; ++i) {
            const MidiEvent& e = *t.event_table[i];
            const bool on = e.status == kEvNoteOn && e.velocity > 0;
            EXPECT_TRUE(on ? ends[std::size_t(i)] >= i && ends[std::size_t(i)] < t.event_count
                           : ends[std::size_t(i)] == -1);
        }
    }

    // The state-carrying reverse and the channel-state record on the same song.
    {
        MidiF0Data carried(song);
        carried.Q2toQ1();
        const int ons = CountNotes(carried.GetTrack());
        carried.HorizontalReverse(true);
        EXPECT_EQ(CountNotes(carried.GetTrack()), ons);
        MidiStatus status;
        int reached = 0;
        status.SetStatusAtDelta(&carried, 1 << 30, &reached);
        std::vector<MidiEvent*> made(kMidiStatusMaxEvents);
        const int n = status.CreateStatusEventInSendOrder(made.data());
        for (int i = 0; i < n; ++i) delete made[i];
    }

    const Bytes mirrored = MirrorAndEncode(song, true, true);
    if (mirrored.empty()) {
        EXPECT_FALSE(sink.Messages().empty()) << "a refused encode must say why";
        return;
    }
    const std::string out = dir.File("mirrored.mid");
    ASSERT_EQ(GneSaveFile(out.c_str(), mirrored.data(), static_cast<long>(mirrored.size())), 1);
    EXPECT_EQ(ReadBytes(out), mirrored);

    // What was written loads again, with every note the loaded song had.
    MidiF0Data again(mirrored.data(), static_cast<long>(mirrored.size()));
    ASSERT_NE(again.GetTrack(), nullptr);
    EXPECT_EQ(CountNotes(again.GetTrack()), notes);
}

std::string CaseName(const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Corpus, Hostile, ::testing::ValuesIn(Corpus()), CaseName);

// Where the file format says what must happen, it does.
TEST(HostileExpectations, RefusalsAndRepairsSayWhatHappened) {
    {
        CaptureSink sink;
        const Bytes empty;
        MidiF0Data song(empty.data(), 0);
        EXPECT_TRUE(sink.Messages().empty()) << "an empty image fails with no message";
    }
    {
        CaptureSink sink;
        const Bytes file = Format0(Concat({Meta(0x51, {0, 0, 0}), SomeNotes()}));
        MidiF0Data song(file.data(), static_cast<long>(file.size()));
        EXPECT_TRUE(sink.Saw("テンポに誤りがあります。"));
        ASSERT_NE(song.GetTrack(), nullptr);
        EXPECT_EQ(song.GetClockTempo(), 500000);
    }
    {
        CaptureSink sink;
        const Bytes file = Format0(Concat({Bytes{0x00, 0xC0, 0x80}, SomeNotes()}));
        MidiF0Data song(file.data(), static_cast<long>(file.size()));
        EXPECT_TRUE(sink.Saw("プログラム・チェンジで不正な番号がありました。0に調整しました。"));
    }
    {
        // A track built in code past the event table: the rest is refused, never stored.
        CaptureSink sink;
        MidiTrackData track(kFormQ1);
        int stored = 0;
        for (int i = 0; i < kMaxEvents + 10; ++i) {
            auto* e = new MidiEvent(1);
            e->status = kEvControl;
            e->channel = 0;
            e->number = 7;
            e->value = i % 128;
            stored += track.AddEvent(e);  // a refused record is destroyed by the track
        }
        EXPECT_EQ(stored, kMaxEvents);
        EXPECT_EQ(track.GetEventCount(), kMaxEvents);
        EXPECT_TRUE(sink.Saw("データの量が多すぎます。"));
    }
}

}  // namespace
