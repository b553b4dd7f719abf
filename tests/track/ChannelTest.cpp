// Channel, search and text operations, the classification of exclusive
// messages and the GS part and checksum helpers.

#include <cstring>

#include "support/TestEvents.h"

namespace {

// type, value, channel
using Classified = std::tuple<int, int, int>;
const Classified kNone{0, -7, kNoChannel};  // not classified, value untouched

// Classifies bytes as an event of the status, holding the first length bytes
// (all when negative); value starts at -7 so that an untouched value shows.
Classified Classify(const Bytes& message, int length = -1, int status = kEvSysEx) {
    MidiTrackData track;
    MidiEvent event;
    event.status = status;
    event.value = -7;
    std::memcpy(event.data, message.data(), message.size());
    event.length = length < 0 ? static_cast<int>(message.size()) : length;
    track.SpecifyExclusiveType(&event);
    return {event.number, event.value, event.channel};
}

Bytes Gs(int a1, int a2, int a3, int value) {
    Bytes m = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0, 0, 0, 0, 0x00, 0xF7};
    int i = 6;
    for (int byte : {a1, a2, a3, value}) m[i++] = static_cast<std::uint8_t>(byte);
    return m;
}

}  // namespace

TEST(Channel, ChannelsBendsExclusivesClassifiedOrReplacedAndTextsNarrowed) {
    CaptureSink sink;
    auto t =
        Track(kFormQ2, {RhythmPart(0, 9), Meta(0, kMetaTrackName, "Bass"),
                        Event(0, kEvSysExEscape, 7), Pc(0, 3, 33), Note(0, 4, 40, 10), Eot(10)});
    EXPECT_EQ(t->GetChanel(), 3);

    t->SetChanel(5);
    EXPECT_EQ(Dump(*t), (Lines{"0 F0 t18 c5", "0 META3 Bass", "0 F7", "0 PC c5 33",
                               "0 N c5 n40 d10", "10 EOT"}));
    EXPECT_EQ(t->event_table[1]->channel, kNoChannel);
    // A channel that no status byte can hold is refused.
    t->SetChanel(16);
    EXPECT_EQ(t->GetChanel(), 5);
    EXPECT_EQ(sink.Messages(), Lines{kChannelError});

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
    EXPECT_EQ(t->GetPitchBendDirection(1), 0);
    EXPECT_EQ(t->GetPitchBendDirection(99), 0);
    EXPECT_EQ(sink.Messages(), (Lines{kGeneric, kGeneric}));
    sink.Clear();
    const Bytes start = {0xF0, 0x09, 0x59, 0x7F, 0x48, 0x4D, 0x02, 0x0D, 0x00, 0x00, 0xF7};
    const Bytes other = {0xF0, 0x09, 0x59, 0x7F, 0x48, 0x4D, 0x02, 0x0D, 0x00, 0x01, 0xF7};
    t = Track(kFormQ1, {SysEx(0, start, 0, 4), SysEx(10, other), SysEx(10, start), Eot(0)});
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

    // A text longer than the area is cut, with the size message.
    MidiTrackData clear;
    clear.ErrorMsgOnce(0);
    auto u = Track(kFormQ1, {SysEx(0, start), Eot(0)});
    std::string long_text(400, 'x');
    u->ReplaceSysExF0Data(0, pattern, kMetaText, long_text.data());
    EXPECT_EQ(u->event_table[0]->length, 255);
    EXPECT_EQ(u->event_table[0]->data[255], 0);
    EXPECT_EQ(sink.Messages(), Lines{kTooLarge});
    clear.ErrorMsgOnce(0);

    sink.Clear();
    // ＰＩＡＮＯ ８ and ピアノ in Shift-JIS; a lyric that must stay as it is.
    const std::string piano = "\x82\x6F\x82\x68\x82\x60\x82\x6D\x82\x6E \x82\x57";
    const std::string pianoKana = "\x83\x73\x83\x41\x83\x6D";
    t = Track(kFormQ2, {Meta(0, kMetaTrackName, piano), Meta(0, kMetaTrackName, pianoKana),
                        Meta(0, kMetaLyric, piano), Eot(0)});
    t->DbcsToSbcs(true, true, kEvMeta, kMetaTrackName);
    // The semi-voiced ピ is in neither katakana table; ア and ノ narrow.
    EXPECT_EQ(Dump(*t),
              (Lines{"0 META3 PIANO 8", "0 META3 \x83\x73\xB1\xC9", "0 META5 " + piano, "0 EOT"}));

    // The trail byte 82 of the two-byte character 8A 82 followed by 60 is no
    // letter: 8A 82 60 must not become 8A 'A'.
    unsigned char kanji[] = {0x8A, 0x82, 0x60, 0x82, 0x60, 0};
    GneSetSbcsAlphaNum(kanji);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(kanji)), "\x8A\x82\x60\x41");  // 41 is A

    // An area filled to the brim, without a terminating zero, is safe.
    auto full = Track(kFormQ2, {Meta(0, kMetaText), Eot(0)});
    MidiEvent* e = full->event_table[0];
    for (int i = 0; i < e->DataCapacity(); ++i) e->data[i] = 'z';
    e->length = 1000;
    full->DbcsToSbcs(true, true, kEvMeta, kMetaText);
    EXPECT_EQ(e->length, e->DataCapacity());

    EXPECT_EQ(Classify(kMasterVolume), (Classified{1, 100, kNoChannel}));
    EXPECT_EQ(Classify({0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x02, 0x00, 0x30, 0xF7}),
              (Classified{40, 0x30, kNoChannel}));
    EXPECT_EQ(Classify({0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
              (Classified{9, -7, kNoChannel}));
    // Master volume with the F7 one byte late is not the universal message.
    EXPECT_EQ(std::get<0>(Classify({0xF0, 0x08, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0x00, 0xF7})),
              0);
    // XG messages are carried through unclassified.
    EXPECT_EQ(Classify({0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}), kNone);

    // Bytes past the message's length that would complete a known message must
    // not count.
    EXPECT_EQ(std::get<0>(Classify({0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, 4)), 0);
    for (int length = 0; length < 10; ++length) {
        EXPECT_EQ(Classify(Gs(0x40, 0x1A, 0x15, 2), length), kNone) << length;
    }
    EXPECT_EQ(Classify({0xF0, 0x03, 0x41, 0x10, 0xF7}), kNone);
    EXPECT_EQ(Classify({0xF0, 0xF7}), kNone);
    // A meta event holding such bytes is reported, and classified all the same;
    // nothing above was reported.
    EXPECT_EQ(std::get<0>(Classify(kMasterVolume, -1, kEvMeta)), 1);
    EXPECT_EQ(sink.Messages(), Lines{kInternal});
    // {address after 40, type, value, channel}: master volume, GS reset (not
    // classified), rhythm part (part byte 1A is channel 10), part equalizer
    // switch, another 1x address (the value, no type), another middle byte;
    // then the ends of the system effect (40 01) and equalizer (40 02) runs
    // and the gaps between them.
    constexpr int no = kNoChannel;
    const int rows[][5] = {
        {0x00, 0x04, 1, 9, no},  {0x00, 0x7F, 0, -7, no}, {0x1A, 0x15, 18, 9, 10},
        {0x4F, 0x20, 69, 9, 15}, {0x12, 0x16, 0, 9, no},  {0x03, 0x00, 0, -7, no},
        {0x01, 0x30, 20, 9, no}, {0x01, 0x35, 25, 9, no}, {0x01, 0x36, 0, 9, no},
        {0x01, 0x37, 32, 9, no}, {0x01, 0x5A, 64, 9, no}, {0x01, 0x5B, 0, 9, no},
        {0x01, 0x2F, 0, 9, no},  {0x02, 0x00, 65, 9, no}, {0x02, 0x03, 68, 9, no},
        {0x02, 0x04, 0, 9, no}};
    for (const auto& r : rows) {
        EXPECT_EQ(Classify(Gs(0x40, r[0], r[1], 9)), (Classified{r[2], r[3], r[4]}))
            << std::hex << r[0] << " " << r[1];
    }

    // Channel -> part byte -> channel for every channel, on both bases.
    for (int channel = 0; channel < 16; ++channel) {
        unsigned char part = 0;
        SetSysExF0Chanel(channel, &part, 0x10);
        const unsigned char low = part;
        SetSysExF0Chanel(channel, &part, 0x40);
        EXPECT_EQ(part, low + 0x30) << channel;
        // The classifier maps the part byte back to the channel.
        EXPECT_EQ(std::get<2>(Classify(Gs(0x40, part, 0x20, 1))), channel);
    }
    unsigned char untouched = 0x55;
    SetSysExF0Chanel(16, &untouched, 0x10);
    SetSysExF0Chanel(-1, &untouched, 0x10);
    EXPECT_EQ(untouched, 0x55);
}
