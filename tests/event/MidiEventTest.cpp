// The MIDI event: value helpers, comparisons, the mobile-format conversions
// and the one-line descriptions.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "midi/event/MidiEvent.h"
#include "support/TestSupport.h"

namespace {

std::string Describe(MidiEvent& event) {
    std::vector<char> text(2048, 'x');
    return event.GetEventString(text.data());
}

// A meta event holding text and its terminating zero.
std::unique_ptr<MidiEvent> Meta(int type, const std::string& text) {
    auto event = std::make_unique<MidiEvent>();
    event->status = kEvMeta;
    event->number = type;
    event->length = static_cast<int>(text.size());
    std::memcpy(event->data, text.c_str(), text.size() + 1);
    return event;
}

}  // namespace

TEST(MidiEvent, SetTempoAppendsThreeBytes) {
    MidiEvent event;
    event.SetTempo(500000);
    EXPECT_EQ(event.status, kEvMeta);
    EXPECT_EQ(event.number, kMetaTempo);
    EXPECT_EQ(event.value, 500000);
    EXPECT_EQ(event.channel, 255);
    EXPECT_EQ(event.length, 3);
    EXPECT_EQ(Bytes(event.data, event.data + 4), (Bytes{0x07, 0xA1, 0x20, 0}));
    event.SetTempo(500000);
    EXPECT_EQ(event.length, 6);

    // No room left: refused with the size message, nothing written past the area.
    CaptureSink sink;
    event.length = 254;
    event.SetTempo(1);
    EXPECT_EQ(event.length, 254);
    EXPECT_EQ(event.value, 1);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"イベントのデータサイズが大きすぎます。"});
    event.length = 0;
}

TEST(MidiEvent, NoteOffKeepsVelocityAndPitchBendRoundTrips) {
    MidiEvent event;
    event.velocity = 64;
    event.SetNoteOffEvent(9, 36);
    EXPECT_EQ(event.status, kEvNoteOff);
    EXPECT_EQ(event.velocity, 64);
    for (int bend : {0, 1, 127, 128, 8191, 16383}) {
        event.SetPitchBendValue(bend);
        EXPECT_EQ(event.GetPitchBendValue(), bend);
    }
    event.SetPitchBendValue(8192);  // the centre: LSB 0, MSB 64
    EXPECT_EQ(event.note, 0);
    EXPECT_EQ(event.value, 64);
}

TEST(MidiEvent, ChannelExclusiveAndPortNames) {
    MidiEvent event;
    event.status = kEvSysEx;
    for (int type : {18, 69}) {
        event.number = type;
        EXPECT_EQ(event.IsChanelSysEx(), 1);
    }
    event.number = 1;
    EXPECT_EQ(event.IsChanelSysEx(), 0);
    event.status = kEvMeta;
    event.number = 18;
    EXPECT_EQ(event.IsChanelSysEx(), 0);

    EXPECT_EQ(Meta(kMetaDeviceName, "SC-88 B")->IsSC88BPort(), 1);
    const auto other = Meta(kMetaDeviceName, "SC-88 A");
    EXPECT_EQ(other->IsSC88BPort(), 0);
    // An area without any zero byte is read no further than its end.
    std::memset(other->data, 'A', other->DataCapacity());
    EXPECT_EQ(other->IsSC88BPort(), 0);
}

TEST(MidiEvent, Comparisons) {
    MidiEvent a(10), b(10);
    a.SetControlChange(1, 7, 100);
    b.SetControlChange(1, 7, 100);
    a.data[0] = 1;  // the data areas are not compared
    b.data[0] = 2;
    EXPECT_EQ(a.CompareEvent(&b), 1);
    b.channel = 2;
    EXPECT_EQ(a.CompareEvent(&b), 0);
    EXPECT_EQ(a.CompareEventExceptChanel(&b), 1);
    b.delta = 11;
    EXPECT_EQ(a.CompareEventExceptChanel(&b), 0);
    EXPECT_EQ(a.CompareEventExceptChanelAndDeltaTime(&b), 1);
    // Every other field counts.
    for (int field = 0; field < 7; ++field) {
        MidiEvent c(10);
        c.SetControlChange(1, 7, 100);
        int* fields[] = {&c.status, &c.note,  &c.duration, &c.velocity,
                         &c.number, &c.value, &c.length};
        *fields[field] += 1;
        EXPECT_EQ(a.CompareEventExceptChanelAndDeltaTime(&c), 0) << field;
        c.length = 0;
    }
}

TEST(MidiEvent, MobileNotesAndSystemEvents) {
    CaptureSink sink;
    MusicEvent note(99);
    note.status = kEvNote;
    note.note = 60;
    note.duration = 240;
    note.velocity = 90;
    MidiEvent event;
    event.SetMobileChanelEvent(&note, 2, 0);
    EXPECT_EQ(event.status, kEvNote);
    EXPECT_EQ(event.channel, 2);
    EXPECT_EQ(event.note, 60);
    EXPECT_EQ(event.duration, 240);
    EXPECT_EQ(event.velocity, 90);
    EXPECT_EQ(event.delta, 0);  // delta is not taken over
    event.SetMobileChanelEvent(&note, 2, 1);
    EXPECT_EQ(event.channel, 9);  // drums

    MusicEvent other;
    other.status = 0x42;
    event.SetMobileChanelEvent(&other, 2, 0);
    EXPECT_EQ(event.status, kEvNone);

    MusicEvent system;
    system.status = kEvMeta;
    system.value = 100;
    const auto convert = [&](int number, int drum) {
        auto result = std::make_unique<MidiEvent>();
        system.number = number;
        result->SetMobileChanelEvent(&system, 4, drum);
        return result;
    };
    struct Case {
        int number, drum, status, out_number, value;
    };
    for (const Case& c :
         {Case{33, 0, kEvProgram, 0, 100}, Case{33, 1, kEvNone, 0, 0},
          Case{35, 0, kEvControl, 7, 100}, Case{36, 0, kEvControl, 10, 100},
          Case{37, 0, kEvMeta, kMetaTempo, -1}, Case{39, 0, kEvPitchBend, 0, 100},
          Case{65, 0, kEvSysEx, 1, -1}, Case{34, 0, kEvNone, 0, 0}, Case{38, 0, kEvNone, 0, 0},
          Case{69, 0, kEvNone, 0, 0}, Case{71, 0, kEvNone, 0, 0}, Case{240, 0, kEvNone, 0, 0}}) {
        const auto e = convert(c.number, c.drum);
        EXPECT_EQ(e->status, c.status) << c.number;
        if (c.status == kEvNone) continue;
        if (c.status != kEvSysEx) {
            EXPECT_EQ(e->channel, 4) << c.number;
        }
        EXPECT_EQ(e->number, c.out_number) << c.number;
        if (c.value >= 0) {
            EXPECT_EQ(e->value, c.value) << c.number;
        }
    }
    EXPECT_EQ(convert(39, 0)->note, 0);
    const auto master = convert(65, 0);
    EXPECT_EQ(Bytes(master->data, master->data + master->length),
              (Bytes{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 100, 0xF7}));
    EXPECT_TRUE(sink.Messages().empty());

    EXPECT_EQ(convert(50, 0)->status, kEvNone);
    system.value = 200;
    EXPECT_EQ(convert(39, 0)->value, 200);  // reported, kept
    EXPECT_EQ(sink.Count("MidiEventでエラーが発生しました。"), 2);
}

// One description of each shape: values appended, a program counted from
// 1, texts after a full-width space with their bytes as they are, names
// alone, and the fall-backs for what no table holds.
TEST(MidiEvent, Descriptions) {
    MidiEvent note;
    note.status = kEvNote;
    note.note = 60;
    note.duration = 480;
    note.velocity = 100;
    EXPECT_EQ(Describe(note), "ノート 60 480 100");
    const auto with = [](int status, int number, int value) {
        MidiEvent e;
        e.status = status;
        e.number = number;
        e.value = value;
        return Describe(e);
    };
    EXPECT_EQ(with(kEvNoteOn, 0, 0), "ノートオン ");
    EXPECT_EQ(with(kEvProgram, 0, 0), "プログラムチェンジ 1");
    EXPECT_EQ(with(kEvControl, 7, 100), "チャネルボリュームMSB 100");
    EXPECT_EQ(with(kEvControl, 120, 0), "未定義のコントロールチェンジ0");
    EXPECT_EQ(with(0x42, 0, 0), "未定義のイベント");
    EXPECT_EQ(with(kEvNone, 0, 0), "未定義のイベント");
    EXPECT_EQ(with(kEvSysEx, 1, 127), "マスターボリューム 127");
    EXPECT_EQ(with(kEvSysEx, 2, 0), "未定義のシステムエクスクルーシブ");
    EXPECT_EQ(with(kEvSysExEscape, 0, 0), "システムエクスクルーシブ ");

    EXPECT_EQ(Describe(*Meta(kMetaTrackName, "Song")), "タイトル Song");
    EXPECT_EQ(Describe(*Meta(kMetaLyric, "\x82\xA0")), "歌詞　\x82\xA0");  // Shift-JIS kept
    EXPECT_EQ(Describe(*Meta(kMetaMarker, "x")), "マーカー　x");
    EXPECT_EQ(Describe(*Meta(kMetaEndOfTrack, "ignored")), "トラック末尾");
    EXPECT_EQ(Describe(*Meta(0x21, "ignored")), "未定義のメタイベント");
    MidiEvent tempo;
    tempo.SetTempo(500000);
    EXPECT_EQ(Describe(tempo), "テンポ 120");
    tempo.value = 0;  // a broken tempo is described, not divided by
    EXPECT_EQ(Describe(tempo), "テンポ 0");
}

TEST(MidiEvent, MetaTextIsBoundedByLengthAndArea) {
    const auto text = Meta(kMetaText, "abcdef");
    text->length = 3;
    EXPECT_EQ(Describe(*text), "テキスト　abc");
    std::memset(text->data, 'q', text->DataCapacity());  // no terminator at all
    text->length = 100000;
    EXPECT_EQ(Describe(*text), "テキスト　" + std::string(256, 'q'));
    text->length = 0;

    MidiEvent long_text;
    long_text.status = kEvMeta;
    long_text.number = kMetaLyric;
    long_text.ResizeData(1001);
    long_text.length = 1000;
    std::memset(long_text.data, 'L', 1000);
    EXPECT_EQ(Describe(long_text), "歌詞　" + std::string(1000, 'L'));
}
