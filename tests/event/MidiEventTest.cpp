// The MIDI event: setters, value helpers, comparisons, the mobile-format
// conversions and the one-line descriptions.
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

TEST(MidiEvent, SettersAndPitchBend) {
    MidiEvent event;
    event.velocity = 64;
    event.SetControlChange(3, 7, 100);
    EXPECT_EQ(event.status, kEvControl);
    EXPECT_EQ(event.channel, 3);
    EXPECT_EQ(event.number, 7);
    EXPECT_EQ(event.value, 100);
    event.SetNoteOffEvent(9, 36);
    EXPECT_EQ(event.status, kEvNoteOff);
    EXPECT_EQ(event.channel, 9);
    EXPECT_EQ(event.note, 36);
    EXPECT_EQ(event.velocity, 64);  // unchanged

    event.SetPitchBendValue(8192);
    EXPECT_EQ(event.note, 0);
    EXPECT_EQ(event.value, 64);
    EXPECT_EQ(event.GetPitchBendValue(), 8192);
    for (int bend : {0, 1, 127, 128, 8191, 16383}) {
        event.SetPitchBendValue(bend);
        EXPECT_EQ(event.GetPitchBendValue(), bend);
    }
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
    const auto program = convert(33, 0);
    EXPECT_EQ(program->status, kEvProgram);
    EXPECT_EQ(program->channel, 4);
    EXPECT_EQ(program->value, 100);
    EXPECT_EQ(convert(33, 1)->status, kEvNone);
    const auto volume = convert(35, 0);
    EXPECT_EQ(volume->status, kEvControl);
    EXPECT_EQ(volume->number, 7);
    EXPECT_EQ(volume->value, 100);
    EXPECT_EQ(convert(36, 0)->number, 10);
    const auto tempo = convert(37, 0);
    EXPECT_EQ(tempo->status, kEvMeta);
    EXPECT_EQ(tempo->number, kMetaTempo);
    EXPECT_EQ(tempo->channel, 4);
    const auto bend = convert(39, 0);
    EXPECT_EQ(bend->status, kEvPitchBend);
    EXPECT_EQ(bend->value, 100);
    EXPECT_EQ(bend->note, 0);
    const auto master = convert(65, 0);
    EXPECT_EQ(master->status, kEvSysEx);
    EXPECT_EQ(master->number, 1);
    EXPECT_EQ(master->length, 9);
    EXPECT_EQ(Bytes(master->data, master->data + 9),
              (Bytes{0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 100, 0xF7}));
    for (int silent : {34, 38, 69, 71, 240}) EXPECT_EQ(convert(silent, 0)->status, kEvNone);
    EXPECT_TRUE(sink.Messages().empty());

    EXPECT_EQ(convert(50, 0)->status, kEvNone);
    system.value = 200;
    EXPECT_EQ(convert(39, 0)->value, 200);  // reported, kept
    EXPECT_EQ(sink.Count("MidiEventでエラーが発生しました。"), 2);
}

TEST(MidiEvent, DescriptionsOfChannelEvents) {
    MidiEvent event;
    event.status = kEvNote;
    event.note = 60;
    event.duration = 480;
    event.velocity = 100;
    EXPECT_EQ(Describe(event), "ノート 60 480 100");
    event.status = kEvNoteOff;
    EXPECT_EQ(Describe(event), "ノートオフ ");
    event.status = kEvNoteOn;
    EXPECT_EQ(Describe(event), "ノートオン ");
    event.status = kEvKeyPressure;
    EXPECT_EQ(Describe(event), "ポリプレス ");
    event.status = kEvChannelPressure;
    EXPECT_EQ(Describe(event), "チャネルプレス ");
    event.status = kEvPitchBend;
    EXPECT_EQ(Describe(event), "ピッチベンド ");
    event.status = kEvProgram;
    event.value = 0;
    EXPECT_EQ(Describe(event), "プログラムチェンジ 1");
    event.SetControlChange(0, 120, 0);
    EXPECT_EQ(Describe(event), "未定義のコントロールチェンジ0");
    event.SetControlChange(0, 7, 100);
    EXPECT_EQ(Describe(event), "チャネルボリュームMSB 100");
    event.SetControlChange(0, 94, 5);
    EXPECT_EQ(Describe(event), "セレステ・デプス 5");
    event.SetControlChange(0, 101, 0);
    EXPECT_EQ(Describe(event), "RPN MSB 0");
    event.status = 0x42;
    EXPECT_EQ(Describe(event), "未定義のイベント");
    event.status = kEvNone;
    EXPECT_EQ(Describe(event), "未定義のイベント");
}

TEST(MidiEvent, DescriptionsOfSystemAndMetaEvents) {
    MidiEvent event;
    event.status = kEvSysEx;
    event.number = 1;
    event.value = 127;
    EXPECT_EQ(Describe(event), "マスターボリューム 127");
    event.number = 69;
    EXPECT_EQ(Describe(event), "EQ ON OFF");
    event.number = 2;
    EXPECT_EQ(Describe(event), "未定義のシステムエクスクルーシブ");
    event.status = kEvSysExEscape;
    EXPECT_EQ(Describe(event), "システムエクスクルーシブ ");

    EXPECT_EQ(Describe(*Meta(kMetaTrackName, "Song")), "タイトル Song");
    // Shift-JIS bytes stay as they are.
    EXPECT_EQ(Describe(*Meta(kMetaLyric, "\x82\xA0")), "歌詞　\x82\xA0");
    const std::vector<std::pair<int, std::string>> texts = {
        {kMetaText, "テキスト　x"},
        {kMetaCopyright, "著作権情報　x"},
        {kMetaInstrument, "インストルメント名　x"},
        {kMetaMarker, "マーカー　x"},
        {kMetaCuePoint, "キューポイント　x"}};
    for (const auto& [type, expected] : texts) {
        EXPECT_EQ(Describe(*Meta(type, "x")), expected);
    }
    const std::vector<std::pair<int, std::string>> names = {
        {kMetaSequenceNumber, "シーケンス番号"},
        {kMetaChannelPrefix, "チャネルプリフィックス"},
        {kMetaEndOfTrack, "トラック末尾"},
        {kMetaSmpteOffset, "SMPTEオフセット"},
        {kMetaTimeSignature, "拍子"},
        {kMetaKeySignature, "調号"},
        {kMetaSequencerSpecific, "シーケンサー特有"},
        {0x21, "未定義のメタイベント"}};
    for (const auto& [type, expected] : names) {
        EXPECT_EQ(Describe(*Meta(type, "ignored")), expected);
    }
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
