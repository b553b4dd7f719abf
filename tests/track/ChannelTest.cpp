// Channel, search and text operations.

#include "support/TestEvents.h"

namespace {

std::string Text(const MidiEvent* e) {
    return std::string(reinterpret_cast<const char*>(e->data), static_cast<std::size_t>(e->length));
}

}  // namespace

TEST(Channel, TrackChannelAndBendDirection) {
    CaptureSink sink;
    auto t =
        Track(kFormQ2, {RhythmPart(0, 9), Meta(0, kMetaTrackName, "Bass"),
                        Event(0, kEvSysExEscape, 7), Pc(0, 3, 33), Note(0, 4, 40, 10), Eot(10)});
    EXPECT_EQ(t->GetChanel(), 3);

    t->SetChanel(5);
    EXPECT_EQ(Dump(*t), (Lines{"0 F0 t18 c5", "0 META3 Bass", "0 F7", "0 PC c5 33",
                               "0 N c5 n40 d10", "10 EOT"}));
    EXPECT_EQ(t->event_table[1]->channel, kNoChannel);
    EXPECT_TRUE(sink.Messages().empty());
    // A channel that no status byte can hold is refused.
    t->SetChanel(16);
    EXPECT_EQ(t->GetChanel(), 5);
    EXPECT_TRUE(sink.Saw(kChannelError));

    // The instrument name puts the track on the B port of a two-port module.
    auto b = Track(kFormQ2, {Meta(0, kMetaInstrument, "SC-88 A"),
                             Meta(0, kMetaInstrument, "SC-88 B"), Cc(0, 2, 7, 1), Eot(0)});
    EXPECT_EQ(b->GetChanelWithInstName(), 18);

    sink.Clear();
    t = Track(kFormQ1, {Bend(0, 0, 8192), Cc(0, 0, 7, 1), Bend(10, 1, 9000), Bend(10, 0, 9000 + 5),
                        Bend(10, 0, 100), Eot(0)});
    EXPECT_EQ(t->GetPitchBendDirection(0), 0);  // no earlier bend
    EXPECT_EQ(t->GetPitchBendDirection(2), 1);  // any channel counts
    EXPECT_EQ(t->GetPitchBendDirection(3), 0);  // only the high 7 bits are compared
    EXPECT_EQ(t->GetPitchBendDirection(4), -1);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(t->GetPitchBendDirection(1), 0);
    EXPECT_EQ(t->GetPitchBendDirection(99), 0);
    EXPECT_EQ(sink.Count(kGeneric), 2);
}

TEST(Channel, ExclusiveReplacedAndTextsNarrowed) {
    CaptureSink sink;
    const Bytes start = {0xF0, 0x09, 0x59, 0x7F, 0x48, 0x4D, 0x02, 0x0D, 0x00, 0x00, 0xF7};
    const Bytes other = {0xF0, 0x09, 0x59, 0x7F, 0x48, 0x4D, 0x02, 0x0D, 0x00, 0x01, 0xF7};
    auto t = Track(kFormQ1, {SysEx(0, start, 0, 4), SysEx(10, other), SysEx(10, start), Eot(0)});
    char pattern[16] = {};
    std::copy(start.begin(), start.end(), pattern);
    char marker[] = "LOOP";
    t->ReplaceSysExF0Data(0, pattern, kMetaMarker, marker);
    EXPECT_EQ(Dump(*t), (Lines{"0 META6 LOOP", "10 F0 t0 c255", "20 META6 LOOP", "20 EOT"}));
    EXPECT_EQ(t->event_table[0]->data[4], 0);  // zero-terminated text

    // A message in place of another is kept up to and including its F7.
    char from[16] = {};
    std::copy(other.begin(), other.end(), from);
    char to[16] = {'\xF0', '\x05', '\x7E', '\x7F', '\x09', '\x01', '\xF7', '\x55'};
    t->ReplaceSysExF0Data(0, from, 9, to);
    EXPECT_EQ(t->event_table[1]->number, 9);
    EXPECT_EQ(t->event_table[1]->length, 7);
    EXPECT_TRUE(sink.Messages().empty());

    // A text longer than the area is cut, with the size message.
    MidiTrackData clear;
    clear.ErrorMsgOnce(0);
    auto u = Track(kFormQ1, {SysEx(0, start), Eot(0)});
    std::string long_text(400, 'x');
    u->ReplaceSysExF0Data(0, pattern, kMetaText, long_text.data());
    EXPECT_EQ(u->event_table[0]->length, 255);
    EXPECT_EQ(u->event_table[0]->data[255], 0);
    EXPECT_TRUE(sink.Saw(kTooLarge));
    clear.ErrorMsgOnce(0);

    sink.Clear();
    // ＰＩＡＮＯ ８ and ピアノ in Shift-JIS; a lyric that must stay as it is.
    const std::string piano = "\x82\x6F\x82\x68\x82\x60\x82\x6D\x82\x6E \x82\x57";
    const std::string pianoKana = "\x83\x73\x83\x41\x83\x6D";
    t = Track(kFormQ2, {Meta(0, kMetaTrackName, piano), Meta(0, kMetaTrackName, pianoKana),
                        Meta(0, kMetaLyric, piano), Eot(0)});
    t->DbcsToSbcs(true, true, kEvMeta, kMetaTrackName);
    EXPECT_EQ(Text(t->event_table[0]), "PIANO 8");
    // The semi-voiced ピ is in neither katakana table; ア and ノ narrow.
    EXPECT_EQ(Text(t->event_table[1]), "\x83\x73\xB1\xC9");
    EXPECT_EQ(Text(t->event_table[2]), piano);

    // The trail byte 82 of the two-byte character 8A 82 followed by 60 is no
    // letter: 8A 82 60 must not become 8A 'A'.
    unsigned char kanji[] = {0x8A, 0x82, 0x60, 0x82, 0x60, 0};
    GneSetSbcsAlphaNum(kanji);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(kanji)),
              "\x8A\x82\x60"
              "A");

    // An area filled to the brim, without a terminating zero, is safe.
    auto full = Track(kFormQ2, {Meta(0, kMetaText), Eot(0)});
    MidiEvent* e = full->event_table[0];
    for (int i = 0; i < e->DataCapacity(); ++i) e->data[i] = 'z';
    e->length = 1000;
    full->DbcsToSbcs(true, true, kEvMeta, kMetaText);
    EXPECT_EQ(e->length, e->DataCapacity());
    EXPECT_TRUE(sink.Messages().empty());
}
