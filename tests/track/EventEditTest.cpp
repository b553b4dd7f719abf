// Controller, program, exclusive, meta, note, channel, time-span and setup
// edits: every made or rewritten record survives saving and reading, the
// documented cases, and refusals that change nothing.

#include <functional>

#include "support/TestEvents.h"

namespace {

using Op = std::function<void(MidiTrackData&)>;
// Named edits of a track t, each named by its code.
using Ops = std::vector<std::pair<std::string, Op>>;
#define OP(...) std::pair<std::string, Op>(#__VA_ARGS__, [&](MidiTrackData& t) { t.__VA_ARGS__; })
Ops Edits(auto... ops) {
    return {ops...};
}

Ev WithBytes(Ev e, Bytes data) {
    e.data = std::move(data);
    return e;
}

const Bytes kGsMasterVolume = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12,
                               0x40, 0x00, 0x04, 100,  0x00, 0xF7};

// A Q2 track without its end (appending operations add after the last event).
std::unique_ptr<MidiTrackData> Base(const Bytes& volume = kMasterVolume) {
    return Track(kFormQ2, {Meta(0, kMetaTrackName, "Title"), Meta(0, kMetaInstrument, "Piano"),
                           Meta(0, kMetaText, "abc"), SysEx(0, volume, 1, kNoChannel, 100),
                           RhythmPart(0, 9), Cc(0, 0, 7, 100), Pc(0, 0, 5), Cc(0, 1, 7, 50),
                           Note(0, 0, 60, 480), WithBytes(Bend(240, 0, 9000), {0xE0, 40, 70}),
                           Note(240, 9, 36, 240), Cc(120, 0, 7, 80), Note(360, 0, 64, 480)});
}

// Each record with its tick and, for exclusives and metas, its bytes (as
// its text); Notes compared without their area.
EvList Records(const MidiTrackData& t) {
    EvList out = Events(t);
    for (int i = 0; i < t.event_count; ++i) {
        const MidiEvent& e = *t.event_table[i];
        if (e.status == kEvSysEx || e.status == kEvMeta)
            out[i].text.assign(reinterpret_cast<const char*>(e.data), std::size_t(e.length));
        if (e.status == kEvNote) out[i].length = kAny;
    }
    return out;
}

// The track as saved (end of track added) and read back into Q2; nothing
// may be reported on the way back but the note on texts beyond 255 bytes.
EvList SavedAndRead(MidiTrackData& t) {
    MidiTrackData copy(&t);
    copy.AddEndOfTrack();
    copy.Q2toQ1();
    EXPECT_EQ(copy.Q1toRaw(), 1);
    CaptureSink sink;
    auto back = Read(ChunkBytes(copy));
    back->Q1toQ2();
    EXPECT_EQ(sink.Messages().size(), std::size_t(sink.Count(kTooLarge)));
    auto records = Records(*back);
    if (!records.empty()) records.pop_back();  // the end of track
    return records;
}

}  // namespace

TEST(EventEdit, EveryEditSurvivesSavingAndReadingDocumentedCasesAndRefusals) {
    std::string title = "New", long_text(300, 'x'), abc = "abc", lyric = "lyric", display(130, 'D'),
                empty, piano = "Piano";
    std::string sysex = {'\xF0', '\x05', '\x7E', '\x7F', '\x09', '\x01', '\xF7'};
    static char map[128][128];
    for (auto& row : map) std::fill(std::begin(row), std::end(row), char(-1));
    map[5][36] = 38;
    unsigned char seq[] = {'s', 'e', 'q'};
    const Ops ops =
        Edits(OP(AdditionControlChange(5, 7, 40)), OP(RatioControlChange(0, 7, 150)),
              OP(ReplaceControlChange(1, 7, 90)), OP(ReplaceControlChange(480, 960, 7, 90)),
              OP(ReplaceControlChange(7, 0)), OP(ReplaceProgramChange(0, 9)),
              OP(ReplaceProgramChange(127)), OP(ReplaceMasterVolume(300)),
              OP(ReplaceMetaData(3, title.data())), OP(ReplaceMetaEvent(1, long_text.data())),
              OP(ReplaceMetaEvent(1, (unsigned char)0x51)),
              OP(ReplaceMetaEventData(1, abc.data(), 6, sysex.data())),
              OP(ReplaceMetaEventData(1, abc.data(), 5, lyric.data())),
              OP(InsertControlChange(2, 10, 64)), OP(InsertProgramChange(15, 0)),
              OP(InsertMasterVolume(200)), OP(InsertMetaEvent(3, long_text.data())),
              OP(InsertMetaEventWithDelta(480, 6, title.data())),
              OP(AddMetaEvent(10, 0x7F, seq, 3)), OP(AddMetaEvent(10, 9, seq, 3)),
              OP(AddMarker(5, title.data())), OP(AddMetaData(5, title.data())),
              OP(AddBendRange(7, 3, 12)), OP(AddXGDisplay(0, display.data())),
              OP(AddGSDisplay(0, empty.data())), OP(ShiftNote(0, -70)), OP(ShitfOctave(5)),
              OP(AddVelocity(-1000)), OP(ChangeDuration(1)), OP(UnifyNoteDuration(0, 7)),
              OP(SetNoteNo(1, 2)), OP(UnifyChanel(3)), OP(ChangeChanel(9, 3)),
              OP(ChangeChanel(piano.data(), 0, 20)), OP(DrumDrumMapping(0, map, true)),
              OP(InsertBlankArea(300, 1000)), OP(DeleteAreaNoteAndPitchBend(240, 960)),
              OP(PutSpecifiedEventFirst(kEvControl, -1, nullptr)), OP(GMExclusiveOn()),
              OP(GSExclusiveOn()), OP(XGExclusiveOn()), OP(SetTempo(0x1000000)),
              OP(SetTimeSign(0, 6, 3)), OP(SetKeySignature(0, 3)), OP(SetProgramChange(1, 8)));
    const auto before = Records(*Base());
    EXPECT_EQ(SavedAndRead(*Base()), before);
    for (const auto& [name, op] : ops) {
        SCOPED_TRACE(name);
        CaptureSink sink;
        auto t = Base();
        op(*t);
        EXPECT_NE(Records(*t), before);
        EXPECT_EQ(SavedAndRead(*t), Records(*t));
    }
    // The GS form of the master volume: value at index 9, checksum after it.
    auto gs = Base(kGsMasterVolume);
    EXPECT_EQ(gs->ReplaceMasterVolume(0x20), 1);
    EXPECT_EQ(DataOf(*gs->event_table[3], 12),
              (Bytes{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x04, 0x20, 0x1C, 0xF7}));
    EXPECT_EQ(SavedAndRead(*gs), Records(*gs));
    CaptureSink sink;
    auto cc = Track(kFormQ2, {Cc(0, 0, 7, 100), Cc(480, 1, 7, 101), Cc(480, 0, 7, 5)});
    cc->AdditionControlChange(0, 7, 40);
    EXPECT_EQ(Dump(*cc), (Lines{"0 CC c0 #7=127", "480 CC c1 #7=127", "960 CC c0 #7=45"}));
    cc->AdditionControlChange(0, 7, -120);
    cc->ReplaceControlChange(480, 960, 7, 101);
    cc->RatioControlChange(0, 7, 50);
    EXPECT_EQ(Dump(*cc), (Lines{"0 CC c0 #7=3", "480 CC c1 #7=50", "960 CC c0 #7=0"}));
    cc->AdditionControlChange(0, 7, INT_MAX);  // 64-bit sums, then clamped
    cc->RatioControlChange(0, 7, INT_MAX);
    EXPECT_EQ(Dump(*cc), (Lines{"0 CC c0 #7=127", "480 CC c1 #7=127", "960 CC c0 #7=127"}));

    auto t = Track(kFormQ2, {Note(0, 0, 60, 1), Note(0, 0, 120, 10), Note(0, 0, 5, 10, 0)});
    EXPECT_EQ(t->ReplaceMetaEvent(3, empty.data()), 0);
    t->AddGSDisplay(0, empty.data());
    EXPECT_EQ(DataOf(*t->event_table[3], 11),
              (Bytes{0xF0, 0x09, 0x41, 0x10, 0x45, 0x12, 0x10, 0x00, 0x00, 0x70, 0xF7}));
    t->InsertMasterVolume(100);
    EXPECT_EQ(t->GetMasterVolume(), 100);
    EXPECT_EQ(t->event_table[0]->number, kExTypeMasterVolume);
    t->InsertMasterVolume(300);  // reported, clamped
    EXPECT_EQ(t->event_table[0]->data[7], 127);
    EXPECT_EQ(sink.Count(kInternal), 1);
    t->ShiftNote(0, -70);
    t->ChangeDuration(50);
    EXPECT_EQ(NotesOf(*t), (Notes{{0, 0, 2, 1, 100}, {0, 0, 5, 5, 0}, {0, 0, 50, 5, 100}}));
    t->ShitfOctave(7);
    t->AddVelocity(-1000);  // a sounding note keeps 1; velocity 0 stays 0
    t->ChangeDuration(0);
    EXPECT_EQ(NotesOf(*t), (Notes{{0, 0, 86, 1, 1}, {0, 0, 89, 1, 0}, {0, 0, 127, 1, 1}}));
    t->SetTempo(0);
    t->SetTimeSign(0, 6, 3);
    t->SetKeySignature(0, 9);
    const int n = t->event_count;
    EXPECT_EQ(t->event_table[n - 3]->value, kDefaultTempo);
    EXPECT_EQ(sink.Count(kTempoData), 1);
    EXPECT_EQ(DataOf(*t->event_table[n - 2], 4), (Bytes{6, 3, 0x12, 8}));
    EXPECT_EQ(t->event_table[n - 2]->value, 0x608);
    EXPECT_EQ(DataOf(*t->event_table[n - 1], 2), (Bytes{3, 0}));

    // A GS rhythm part on channel 10 moves to channel 4: part byte and checksum.
    gs = Track(kFormQ2, {RhythmPart(0, 9), Cc(0, 9, 7, 1), Cc(0, 2, 7, 1)});
    gs->ChangeChanel(9, 3);
    EXPECT_EQ(Dump(*gs), (Lines{"0 F0 t18 c3", "0 CC c3 #7=1", "0 CC c2 #7=1"}));
    EXPECT_EQ(DataOf(*gs->event_table[0], 12),
              (Bytes{0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x14, 0x15, 0x01, 0x16, 0xF7}));
    // On the B port the channels count 16..31; the part message compares its
    // own port's channel, and a target 16..31 is stored on its port.
    auto b = Track(kFormQ2, {Meta(0, kMetaInstrument, "SC-88 B"), RhythmPart(0, 3), Cc(0, 3, 7, 1),
                             Cc(0, 4, 7, 1)});
    b->ChangeChanel(19, 21);
    EXPECT_EQ(Dump(*b), (Lines{"0 META4 SC-88 B", "0 F0 t18 c5", "0 CC c5 #7=1", "0 CC c4 #7=1"}));
    b->UnifyChanel(0);
    EXPECT_EQ(b->event_table[1]->data[7], 0x11);
    // The whole of a long name is compared.
    std::string name(300, 'n');
    auto named = Track(kFormQ2, {Meta(0, kMetaInstrument, name), Cc(0, 1, 7, 1)});
    name.back() = 'x';
    EXPECT_EQ(named->ChangeChanel(name.data(), 1, 2), 1);
    name.back() = 'n';
    EXPECT_EQ(named->ChangeChanel(name.data(), 1, 2), 0);
    EXPECT_EQ(named->event_table[1]->channel, 2);

    // Notes and bends of [480, 960) go; the rest closes up.
    auto cut = Track(kFormQ2, {Note(0, 0, 60, 900), Note(480, 0, 61, 10), Cc(120, 0, 7, 1),
                               WithBytes(Bend(0, 0, 1), {0xE0, 1, 0}), Note(360, 0, 62, 10)});
    cut->DeleteAreaNoteAndPitchBend(960, 960);
    cut->DeleteAreaNoteAndPitchBend(480, 960);
    EXPECT_EQ(Dump(*cut), (Lines{"0 N c0 n60 d900", "480 CC c0 #7=1", "480 N c0 n62 d10"}));
    cut->InsertBlankArea(1, 20);
    EXPECT_EQ(TimesOf(*cut), (std::vector<long>{0, 500, 500}));
    cut->SetProgramChange(0, 9);  // at the tick of the channel's first event
    cut->SetProgramChange(0, 9);
    EXPECT_EQ(Dump(*cut)[0], "0 PC c0 9");
    EXPECT_EQ(cut->SetProgramChange(5, 9), 0);

    // Drum maps are read as signed: -1 and 200 (-56) map nothing.
    map[0][38] = char(200);
    map[0][40] = 41;
    auto drums = Track(kFormQ2, {Cc(0, 9, 0, 3), Note(0, 9, 36, 1), Note(0, 9, 38, 1),
                                 Note(0, 9, 40, 1), Cc(0, 9, 32, 1), Note(0, 9, 40, 1)});
    drums->DrumDrumMapping(0, map, true);
    EXPECT_EQ(Dump(*drums), (Lines{"0 CC c9 #0=0", "0 N c9 n36 d1", "0 N c9 n38 d1",
                                   "0 N c9 n41 d1", "0 CC c9 #32=1", "0 N c9 n40 d1"}));
    EXPECT_TRUE(sink.Saw("ドラムのバンクセレクトで０以外の値が設定されていました。"));

    // The pattern is the caller's and stays as it was.
    char pattern[] = "ke*y";
    auto texts = Track(kFormQ2, {Meta(0, 1, "a"), Meta(0, 6, "lock"), Meta(0, 1, "keys")});
    texts->PutSpecifiedEventFirst(kEvMeta, -1, pattern);
    EXPECT_EQ(Dump(*texts), (Lines{"0 META1 keys", "0 META1 a", "0 META6 lock"}));
    EXPECT_STREQ(pattern, "ke*y");
    // Long texts get an area of their size and a variable-length length.
    texts->InsertMetaEvent(1, long_text.data());
    EXPECT_EQ(Dump(*texts)[0], "0 META1 " + long_text);
    texts->AddXGDisplay(0, long_text.data() + 170);
    EXPECT_EQ(DataOf(*texts->event_table[texts->event_count - 1], 3), (Bytes{0xF0, 0x81, 0x09}));
    EXPECT_EQ(sink.Count(kGeneric), 2);

    // Each refusal is reported once and leaves the track as it was.
    static char empty_map[128][128] = {};
    std::string abc_text = "abc", end_type = "e", high = "\xC3\xA9";
    char unclosed[256] = {'\xF0', '\x05', '\x7E', '\x7F', '\x09', '\x01'};  // looked at whole
    const Ops refusals = Edits(
        OP(ReplaceControlChange(16, 7, 1)), OP(AdditionControlChange(0, 128, 1)),
        OP(ReplaceControlChange(7, 128)), OP(ReplaceProgramChange(-1)),
        OP(InsertControlChange(0, 200, 1)), OP(InsertProgramChange(-1, 1)),
        OP(AddBendRange(0, 0, 128)), OP(ShiftNote(16, 1)), OP(SetNoteNo(128)),
        OP(UnifyNoteDuration(0, 0)), OP(UnifyChanel(16)), OP(ChangeChanel(0, 32)),
        OP(InsertBlankArea(0, -1)), OP(SetKeySignature(0, 12)), OP(SetTimeSign(0, 4, 0)),
        OP(SetProgramChange(0, 128)), OP(ReplaceMetaEvent(1, (unsigned char)0x2F)),
        OP(InsertMetaEvent(0x2F, end_type.data())),
        OP(ReplaceMetaEventData(1, abc_text.data(), 1, unclosed)), OP(AddGSDisplay(0, high.data())),
        OP(DrumDrumMapping(0, nullptr, false)), OP(DrumDrumMapping(128, empty_map, false)),
        OP(form = kFormQ1, t.DeleteAreaNoteAndPitchBend(0, 10)));
    for (const auto& [name, op] : refusals) {
        SCOPED_TRACE(name);
        auto t = Track(kFormQ2, {Meta(0, 1, "abc"), Cc(0, 0, 7, 1), Note(0, 0, 60, 10)});
        const Lines before = Dump(*t);
        CaptureSink sink;
        op(*t);
        EXPECT_EQ(Dump(*t), before);
        EXPECT_EQ(sink.Messages(), std::vector<std::string>{kInternal});
    }
}
