// Hostile input: files built to break a reader. Each one goes through every
// reading path (the loader by name, both song classes from bytes, the format
// conversion) and then through the save path (mirror both ways, encode, write).
// Nothing may crash, hang, leak or touch memory it does not own (the sanitizer
// build runs this suite); what loads must encode into a file that loads again
// with the same notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "General/GeneralMac.h"
#include "fuzz/F1TrackOperations.h"
#include "fuzz/SongLevelOperations.h"
#include "fuzz/TrackOperations.h"
#include "midi/song/MidiData.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/MidiFileLoader.h"
#include "midi/song/MidiStatus.h"
#include "midi/song/SongPipeline.h"
#include "midi/track/detail/NotePairing.h"
#include "support/TestEvents.h"
#ifdef RETROGRADE_HOSTILE_WINDOW
#include "app/PianoRollModel.h"
#include "playback/StaticMusicPlayer.h"
#endif

namespace {

struct HostileCase {
    std::string name;
    Bytes file;
};

// A few ordinary notes, for the tails of damaged files.
Bytes SomeNotes() {
    return {0x00, 0xC0, 0x05, 0x00, 0x90, 60,   100,  0x60, 0x80, 60,
            0x40, 0x00, 0x99, 36,   90,   0x30, 0x89, 36,   0x40};
}
Bytes EndOfTrack() {
    return {0x00, 0xFF, 0x2F, 0x00};
}
Bytes Format0(const Bytes& body) {
    return Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({body, EndOfTrack()}))});
}
// The file with the 32-bit big-endian length of the chunk at offset at replaced.
Bytes SetChunkLength(Bytes file, std::size_t at, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) file[at + 4 + i] = std::uint8_t(length >> (24 - 8 * i));
    return file;
}
Bytes WithTrackCount(int format, int count, int present) {
    Bytes file = HeaderChunk(format, count, 96);
    for (int i = 0; i < present; ++i)
        file = Concat({file, TrackChunk(Concat({SomeNotes(), EndOfTrack()}))});
    return file;
}
Bytes Meta(int type, const Bytes& data) {
    return Concat({{0x00, 0xFF, std::uint8_t(type)}, smf::Vlq(std::uint32_t(data.size())), data});
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

// The file with bytes written over it from offset at.
Bytes Patched(Bytes file, std::size_t at, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + long(at));
    return file;
}
Bytes Repeated(const Bytes& part, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), part.begin(), part.end());
    return out;
}
// Thousands of tempo changes, a short note every ten of them.
Bytes ManyTempos() {
    Bytes body;
    for (int i = 0; i < 5000; ++i) {
        body = Concat({body, smf::Tempo(1, 300000 + std::uint32_t(i % 400) * 1000)});
        if (i % 10 == 0) body.insert(body.end(), {0x00, 0x90, 60, 100, 0x05, 0x80, 60, 0});
    }
    return Format0(body);
}
Bytes ManyShortTracks() {
    Bytes f = HeaderChunk(1, 63, 96);
    for (int i = 0; i < 63; ++i) {
        const auto c = std::uint8_t(i % 16), n = std::uint8_t(40 + i);
        f = Concat({f, TrackChunk(Concat({Bytes{0x00, std::uint8_t(0x90 | c), n, 64, 0x10,
                                                std::uint8_t(0x80 | c), n, 0},
                                          EndOfTrack()}))});
    }
    return f;
}
// Every system status byte but F0, F7 and FF, each with one data byte.
Bytes SystemStatusBytes() {
    Bytes body;
    for (int s = 0xF1; s <= 0xFE; ++s) {
        if (s != 0xF7) body.insert(body.end(), {0x00, std::uint8_t(s), 0x01});
    }
    return Format0(Concat({body, SomeNotes()}));
}

std::vector<HostileCase> Corpus() {
    const Bytes notes = SomeNotes(), plain = Format0(SomeNotes()), end = EndOfTrack();
    const Bytes unknown = {'M', 'U', 'n', 'k', 0, 0, 0, 4, 1, 2, 3, 4};
    const Bytes track = TrackChunk(Concat({notes, end}));
    return {
        {"EmptyFile", {}},
        {"HeaderTagOnly", {'M', 'T', 'h', 'd', 0, 0}},
        {"HeaderLength0", SetChunkLength(plain, 0, 0)},
        {"HeaderLength5", SetChunkLength(plain, 0, 5)},
        {"HeaderLength8", SetChunkLength(plain, 0, 8)},
        {"HeaderLength1000", SetChunkLength(plain, 0, 1000)},
        {"HeaderLengthMax", SetChunkLength(plain, 0, 0xFFFFFFFF)},
        {"Format2", WithTrackCount(2, 1, 1)},
        {"FormatFFFF", WithTrackCount(0xFFFF, 1, 1)},
        {"Format0TwoTracks", WithTrackCount(0, 2, 2)},
        {"TrackCount0", WithTrackCount(1, 0, 1)},
        {"TrackCount64", WithTrackCount(1, 64, 2)},
        {"TrackCount300", WithTrackCount(1, 300, 3)},
        {"TrackCount65535", WithTrackCount(1, 65535, 1)},
        {"TrackCountBelowChunks", WithTrackCount(1, 1, 5)},
        {"Division0", Patched(plain, 12, {0, 0})},
        {"SmpteDivision", Patched(plain, 12, {0xE7, 0x28})},
        {"UnknownChunkBetweenTracks", Concat({HeaderChunk(1, 2, 96), track, unknown, track})},
        {"UnknownChunkPastEnd", Concat({HeaderChunk(1, 2, 96), track,
                                        Bytes{'M', 'U', 'n', 'k', 0x7F, 0xFF, 0xFF, 0xFF, 1, 2}})},
        {"GarbageForChunkTag",
         Concat({HeaderChunk(1, 2, 96), track,
                 Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 4, 0, 0xFF, 0x2F, 0}})},
        {"TrackLengthPastEnd", SetChunkLength(plain, 14, 5000)},
        {"TrackLengthMax", SetChunkLength(plain, 14, 0xFFFFFFFF)},
        {"TrackLengthShort", SetChunkLength(plain, 14, 9)},
        {"TrackLengthLong", Concat({SetChunkLength(plain, 14, 40), Bytes(17, 0)})},
        {"LastByteMissing", Bytes(plain.begin(), plain.end() - 1)},
        {"TrailingBytes", Concat({plain, Bytes(300, 0xAB)})},
        {"NoEndOfTrack", Concat({HeaderChunk(0, 1, 96), TrackChunk(notes)})},
        {"BytesAfterEndOfTrack",
         Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({notes, end, notes}))})},
        {"FiveByteDelta",
         Format0(Concat({Bytes{0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 100}, notes}))},
        {"DeltaCutAtChunkEnd",
         Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({notes, Bytes{0x81, 0x80}}))})},
        {"HugeDeltas", Format0(Concat({Repeated({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100}, 20),
                                       Repeated({0x00, 0x80, 60, 0}, 20)}))},
        {"RunningStatusFirst", Format0(Concat({Bytes{0x00, 60, 100}, notes}))},
        {"RunningStatusAfterMeta",
         Format0(Concat({Bytes{0x00, 0x90, 60, 100}, Meta(0x01, {'h', 'i'}), Bytes{0x10, 60, 0}}))},
        {"RunningStatusAfterSysEx", Format0({0x00, 0x90, 60, 100, 0x00, 0xF0, 0x05, 0x7E, 0x7F,
                                             0x09, 0x01, 0xF7, 0x10, 60, 0})},
        {"DataByteAboveLimitInNote", Format0({0x00, 0x90, 0xFF, 0x40, 0x10, 0x80, 0xFF, 0x40})},
        {"NoteAbove127", Format0({0x00, 0x90, 0xC8, 0x40, 0x10, 0x80, 0xC8, 0x40})},
        {"ChannelMessageCut",
         Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({notes, Bytes{0x00, 0x90, 60}}))})},
        {"SysExLength0", Format0(Concat({Bytes{0x00, 0xF0, 0x00}, notes}))},
        {"SysExPastChunk",
         Concat({HeaderChunk(0, 1, 96),
                 TrackChunk(Concat({notes, Bytes{0x00, 0xF0, 0x7F, 0x41, 0x10}}))})},
        {"SysExWithoutF7",
         Format0(Concat({Bytes{0x00, 0xF0, 0x04, 0x41, 0x10, 0x42, 0x12}, notes}))},
        {"ShortSysEx", Format0({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})},
        {"SysExShorterThanClassification", Format0({0x00, 0xF0, 0x03, 0x41, 0x10, 0xF7})},
        {"EscapeLength0", Format0(Concat({Bytes{0x00, 0xF7, 0x00}, notes}))},
        {"EscapePastChunk", Concat({HeaderChunk(0, 1, 96),
                                    TrackChunk(Concat({notes, Bytes{0x00, 0xF7, 0x7F, 0x01}}))})},
        {"SystemStatusBytes", SystemStatusBytes()},
        {"MetaLengthPastChunk",
         Concat({HeaderChunk(0, 1, 96),
                 TrackChunk(Concat({notes, Bytes{0x00, 0xFF, 0x01, 0x7F, 'a'}}))})},
        {"Meta200Bytes", Format0(Concat({Meta(0x03, Bytes(200, 'x')), notes}))},
        {"Meta5000Bytes",
         Format0(Concat({Meta(0x01, Bytes(5000, 'y')), Meta(0x7F, Bytes(5000, 1)), notes}))},
        {"WrongFixedMetaLengths",
         Format0(
             Concat({Meta(0x51, {}), Meta(0x51, {0x07, 0xA1}), Meta(0x51, {0, 0x07, 0xA1, 0x20}),
                     Meta(0x58, {3, 3, 24}), Meta(0x59, {}), Meta(0x2F, {0}), notes}))},
        {"Tempo0And1",
         Format0(Concat({Meta(0x51, {0, 0, 0}), notes, Meta(0x51, {0, 0, 1}), notes}))},
        {"ZeroLengthSong", Concat({HeaderChunk(1, 2, 96), TrackChunk(end), TrackChunk(end)})},
        {"RiffRmid", smf::Rmid(Format0(SomeNotes()))},
        {"MacBinaryBeforeGarbage", smf::WithMacBinary(Bytes(300, 0x5A))},
        {"MacBinaryShortFile", Bytes(100, 0)},
        {"MacBinaryBeforeSong", smf::WithMacBinary(plain)},
        {"Exactly256KiB", PaddedTo(262144)},
        {"OneByteOver256KiB", PaddedTo(262145)},
        {"DensestFile", DenseFile(262144)},
        {"Exactly1MiB", PaddedTo(1048576)},
        {"OneByteOver1MiB", PaddedTo(1048577)},
        {"Densest1MiBFile", DenseFile(1048576)},
        {"ThousandsOfTempos", ManyTempos()},
        {"Format1ManyShortTracks", ManyShortTracks()},
    };
}

int CountNotes(MidiTrackData* track) {
    int notes = 0;
    for (int i = 0; track && i < track->GetEventCount(); ++i) {
        const MidiEvent* e = track->GetEvent(i);
        if (e->status == kEvNote || (e->status == kEvNoteOn && e->velocity > 0)) ++notes;
    }
    return notes;
}

// Every track operation on copies of a loaded track: the edits keep every
// event and note; the track length is what a copy in Q1 would have. The
// controller, program, exclusive, meta, note, channel, time-span and setup
// edits, with values out of range: every value stays one a file can hold,
// and the result saves.
void EditEverything(MidiTrackData& loaded, int division) {
    MidiTrackData t(&loaded);
    MidiTrackData q1(&loaded);
    q1.Q2toQ1();
    long q1_length = 0;
    for (int i = 0; i < q1.event_count; ++i) q1_length += q1.event_table[i]->delta;
    EXPECT_EQ(t.GetTrackLen(), q1_length);
    const int count = t.event_count;
    const int notes = CountNotes(&t);
    TrackOpArgs a{division, std::max(division / 4, 1), 0, 4 * division, 100, 0, 4};
    KeepingEdits(t, a);
    EXPECT_EQ(t.event_count, count);
    EXPECT_EQ(CountNotes(&t), notes);
    EXPECT_EQ(t.CheckEventValue(kEvControl, kCcVolume, 100), 1);
    EXPECT_EQ(t.CheckEventValue(kEvProgram, 100), 1);
    EXPECT_EQ(t.CheckEventValueRange(kEvControl, kCcPan, 100, 100), 1);
    for (int i = 0; i < t.event_count; ++i) ASSERT_GE(t.event_table[i]->delta, 0) << i;
    for (int probe : {0, division, 4 * division}) {
        a.from = probe;
        a.to = probe + division;
        Queries(t, a);
    }
    MidiTrackData cut(&loaded);
    Deletions(cut, a);
    ASSERT_LE(cut.event_count, 1);

    // The operations of a song's track: clean-ups keep every note.
    MidiF1TrackData f1(&loaded);
    F1CleanUpsAndQueries(f1, a);
    EXPECT_EQ(CountNotes(&f1), CountNotes(&loaded));
    MidiF1TrackData other(&loaded);
    F1Edits(f1, other, a);
    for (int i = 0; i < f1.event_count; ++i) ASSERT_GE(f1.event_table[i]->delta, 0) << i;

    // Area editing on a copy: valid deltas, and the result saves.
    CaptureSink area_sink;
    MidiF1TrackData area(&loaded);
    F1AreaEdits(area, a);
    for (int i = 0; i < area.event_count; ++i) ASSERT_GE(area.event_table[i]->delta, 0) << i;
    area.Q2toQ1();
    EXPECT_TRUE(area.Q1toRaw() == 1 || !area_sink.Messages().empty());
    // Analysis and reduction of a song's track.
    MidiF1TrackData analysed(&loaded);
    F1Analysis(analysed, other, a);
    for (int i = 0; i < analysed.event_count; ++i)
        ASSERT_GE(analysed.event_table[i]->delta, 0) << i;

    MidiTrackData edited(&loaded);
    EventEdits(edited, {division, division / 4, division, 8 * division, -300, 9, 3, kCcVolume});
    EXPECT_TRUE(FileValues(edited));
    CaptureSink edit_sink;
    edited.Q2toQ1();
    const bool saved = edited.form == kFormQ1 && edited.Q1toRaw() == 1;
    EXPECT_TRUE(saved || !edit_sink.Messages().empty()) << "a refused save must say why";
}

// Polyphony, note range, velocity and time spans on a copy of a loaded
// track and on the song: the counts read without a copy agree with those of
// the copy in Q1, and the reduced song saves.
void CheckPolyAndRange(MidiTrackData& loaded, int division, MidiF0Data& loaded_song) {
    MidiTrackData q1(&loaded);
    q1.Q2toQ1();
    MidiTrackData t(&loaded);
    if (q1.form == kFormQ1) {
        EXPECT_EQ(t.GetLastNotePos(), q1.GetLastNotePos());
        EXPECT_EQ(t.CheckDoubleNote(), q1.CheckDoubleNote());
    }
    EXPECT_GE(t.GetNumPoly(false), 0);
    EXPECT_LE(t.GetNumVoice(), 128);
    EXPECT_LE(t.GetNumDrumVoice(), 128);
    EXPECT_GE(t.GetDurationTime(0, 1 << 30, division), 0.0);
    for (int pick : {4, 9, 14}) {  // each method once
        MidiTrackData r(kFormQ1);
        r.SetQ1TrackData(&q1);
        MidiTrackData edited(&loaded);
        PolyAndRange(
            edited, r,
            TrackOpArgs{division, division / 4, division, 16 * division, 100, 9, pick, kCcVolume});
        EXPECT_TRUE(FileValues(edited));
        EXPECT_TRUE(FileValues(r));
    }
    for (int pass = 0; pass < 12 && t.AdjustNoteRange(-1, 36, 96, 1) == 1; ++pass) {
    }
    EXPECT_TRUE(FileValues(t));
    int priority[4][12] = {{-13, 7, 99}, {4}, {2}, {11}};
    int keep[] = {9, -1, 40};
    MidiF1Data song(&loaded_song);
    EXPECT_GE(song.GetNumPoly(), 0);
    song.ReduceNumPoly(4);
    song.ReduceNumPoly(3, keep, 3, 2, priority, false);
    song.Q2toQ1();
    EXPECT_EQ(song.Q1toRaw(), 1);
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
    const Bytes& file = GetParam().file;
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
    // What could not be read is told consistently: a line for each fault.
    const MidiDamage& damage = loader.damage;
    EXPECT_EQ(damage.Lines().size(),
              damage.cut.size() + damage.skipped.size() + (damage.found < damage.announced));
    EXPECT_EQ(damage.IsDamaged(), !damage.Summary().empty());
    for (const MidiDamage::CutTrack& c : damage.cut) EXPECT_LT(c.read, c.declared);
    EXPECT_GE(loader.GetMidiF1Data()->GetNumBeat(), 0);
    {
        // The song-level operations on a copy: what is left still saves, or says why not.
        CaptureSink levels_sink;
        MidiF1Data levels(loader.GetMidiF1Data());
        SongLevelOperations(levels);
        levels_sink.Clear();
        levels.Q2toQ1();
        EXPECT_TRUE(levels.Q1toRaw() == 1 || !levels_sink.Messages().empty());
    }
    loader.SetMidiF0Data();
    MidiF0Data* song = loader.GetMidiF0Data();
    if (!song || !song->GetTrack()) return;
    const int notes = CountNotes(song->GetTrack());
    EditEverything(*song->GetTrack(), song->division);
    CheckPolyAndRange(*song->GetTrack(), song->division, *song);
    {
        // The format-0 song's pass-through operations.
        MidiF0Data passed(song);
        passed.IsEventExist(kEvControl, 0, 1 << 30);
        passed.GetNumEvent(0, 1 << 30);
        passed.CheckDoubleNote();
        passed.PackDrumSet();
        EXPECT_EQ(passed.DeleteControlChange(kCcVolume), 0);
        passed.ExtractChanelData(0);
    }
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

#ifdef RETROGRADE_HOSTILE_WINDOW
    // The window's piano roll of the song, and a play copy from its middle.
    {
        PianoRollModel roll;
        roll.SetOriginal(song);
        roll.SetShown(song);
        for (int bar = 1; bar <= 4; ++bar) EXPECT_EQ(roll.BarAt(roll.BarTick(bar)), bar);
        const auto [first, last] = roll.Shown().Span(0, roll.EndTick() + 1);
        EXPECT_EQ(last - first, roll.Shown().All().size());
        const auto from = MakePlayCopyFrom(song, static_cast<int>(song->GetSongDuration() / 2));
        EXPECT_EQ(from->form, kFormQ1);
        EXPECT_LE(CountNotes(from->GetTrack()), notes);
    }
#endif

    const Bytes mirrored = MirrorAndEncode(song, true, true);
    {
        // The command line mirrors the loaded song itself: the same file.
        MidiF0Data own(song);
        MirrorInPlace(own, {true, true, false});
        EXPECT_EQ(own.Q1toRaw() == 1 ? Bytes(own.buffer, own.buffer + own.size) : Bytes{},
                  mirrored);
    }
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

std::string CaseName(const ::testing::TestParamInfo<HostileCase>& info) {
    return info.param.name;
}

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
}

}  // namespace
