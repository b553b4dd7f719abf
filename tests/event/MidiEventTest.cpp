// The MIDI event: value helpers, comparisons, the mobile-format conversions
// and the one-line descriptions; the record's data area, copies, and records
// made and dropped on several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/event/MidiEvent.h"
#include "support/TestEvents.h"

namespace {

std::string Describe(MidiEvent& event) {
    std::vector<char> text(2048, 'x');
    return event.GetEventString(text.data());
}

// A meta event holding text and its terminating zero.
std::unique_ptr<MidiEvent> Text(int type, const std::string& text) {
    return std::unique_ptr<MidiEvent>(Meta(0, type, text));
}

bool AreaIsZero(const MusicEvent& event) {
    return std::all_of(event.data, event.data + event.DataCapacity(), [](int b) { return b == 0; });
}

}  // namespace

TEST(MidiEvent, ValuesPortNamesComparisonsMobileFormsAndDescriptions) {
    MidiEvent event;
    event.SetTempo(500000);
    EXPECT_EQ(event.length, 3);
    EXPECT_EQ(Bytes(event.data, event.data + 4), (Bytes{0x07, 0xA1, 0x20, 0}));
    EXPECT_EQ(Describe(event), "テンポ 120");
    event.SetTempo(500000);
    EXPECT_EQ(event.length, 6);

    // No room left: refused with the size message, nothing written past the area.
    CaptureSink sink;
    event.length = 254;
    event.SetTempo(1);
    EXPECT_EQ(event.length, 254);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"イベントのデータサイズが大きすぎます。"});
    event.length = 0;

    MidiEvent bend_event;
    for (int bend : {0, 1, 127, 128, 8191, 16383}) {
        bend_event.SetPitchBendValue(bend);
        EXPECT_EQ(bend_event.GetPitchBendValue(), bend);
    }

    EXPECT_EQ(Text(kMetaDeviceName, "SC-88 B")->IsSC88BPort(), 1);
    const auto other = Text(kMetaDeviceName, "SC-88 A");
    EXPECT_EQ(other->IsSC88BPort(), 0);
    // An area without any zero byte is read no further than its end.
    std::memset(other->data, 'A', other->DataCapacity());
    EXPECT_EQ(other->IsSC88BPort(), 0);

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
    using E = MusicEvent;
    for (int E::*field :
         {&E::status, &E::note, &E::duration, &E::velocity, &E::number, &E::value, &E::length}) {
        MidiEvent c(10);
        c.SetControlChange(1, 7, 100);
        c.*field += 1;
        EXPECT_EQ(a.CompareEventExceptChanelAndDeltaTime(&c), 0);
    }
    sink.Clear();
    MusicEvent note(99);
    note.status = kEvNote;
    note.note = 60;
    MidiEvent mobile;
    mobile.SetMobileChanelEvent(&note, 2, 1);
    EXPECT_EQ(mobile.status, kEvNote);
    EXPECT_EQ(mobile.channel, 9);  // drums
    EXPECT_EQ(mobile.delta, 0);    // delta is not taken over

    MusicEvent system;
    system.status = kEvMeta;
    system.value = 100;
    const auto convert = [&](int number, int drum) {
        auto result = std::make_unique<MidiEvent>();
        system.number = number;
        result->SetMobileChanelEvent(&system, 4, drum);
        return result;
    };
    EXPECT_EQ(convert(33, 1)->status, kEvNone);  // no program change on drums
    const auto master = convert(65, 0);
    EXPECT_EQ(Bytes(master->data, master->data + master->length), kMasterVolume);

    EXPECT_EQ(convert(50, 0)->status, kEvNone);
    system.value = 200;
    EXPECT_EQ(convert(39, 0)->value, 200);  // reported, kept
    EXPECT_EQ(sink.Messages(), Lines(2, "MidiEventでエラーが発生しました。"));
    MidiEvent program;
    program.status = kEvProgram;
    EXPECT_EQ(Describe(program), "プログラムチェンジ 1");                  // counted from 1
    EXPECT_EQ(Describe(*Text(kMetaLyric, "\x82\xA0")), "歌詞　\x82\xA0");  // Shift-JIS kept
    event.value = 0;  // a broken tempo is described, not divided by
    EXPECT_EQ(Describe(event), "テンポ 0");

    const auto text = Text(kMetaText, "abcdef");
    text->length = 3;
    EXPECT_EQ(Describe(*text), "テキスト　abc");
    std::memset(text->data, 'q', text->DataCapacity());  // no terminator at all
    text->length = 100000;
    EXPECT_EQ(Describe(*text), "テキスト　" + std::string(256, 'q'));
    text->length = 0;
    const std::string long_text(1000, 'L');  // in an enlarged area
    EXPECT_EQ(Describe(*Text(kMetaLyric, long_text)), "歌詞　" + long_text);
}

TEST(MusicEvent, DataAreaCopiesAndRecordsFreedOnAnotherThreadHandedOutOnce) {
    MusicEvent event;
    event.data[0] = 9;
    EXPECT_EQ(event.ResizeData(1000), event.data);
    EXPECT_EQ(event.DataCapacity(), 1000);
    EXPECT_TRUE(AreaIsZero(event));
    event.data[999] = 1;
    event.ResizeData(10);  // never below the 256 bytes of a fresh area
    EXPECT_EQ(event.DataCapacity(), 256);
    EXPECT_TRUE(AreaIsZero(event));
    CaptureSink sink;
    {
        MidiEvent enlarged;  // long data in an enlarged area is no size error
        enlarged.ResizeData(1024);
        enlarged.length = 1000;
    }
    EXPECT_TRUE(sink.Messages().empty());

    const auto source = Text(kMetaText, std::string(300, 'a'));  // an area of 301 bytes
    MidiEvent copy;
    copy.Copy(source.get());
    EXPECT_EQ(copy.CompareEvent(source.get()), 1);
    // One byte beyond the length keeps a long text zero-terminated.
    EXPECT_EQ(copy.DataCapacity(), 301);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.data)), std::string(300, 'a'));

    // A short record copied in keeps the enlarged area.
    MidiEvent small;
    small.length = 3;
    small.data[0] = 0xB0;
    copy.Copy(&small);
    EXPECT_EQ(copy.DataCapacity(), 301);
    EXPECT_EQ(Bytes(copy.data, copy.data + 4), (Bytes{0xB0, 0, 0, 0}));

    {
        MidiEvent broken;
        broken.length = 5000;  // claims more than its 256-byte area
        MidiEvent copy;
        copy.Copy(&broken);
        EXPECT_EQ(copy.length, 5000);
        copy.length = 0;
    }
    // The broken record reports its size when it goes.
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"イベントのデータサイズが大きすぎます。"});
    // Records made on one thread are dropped on another (the play thread drops
    // what the window made, and the other way round), and threads end with
    // freed slots still at hand. No slot may then be given to two live records,
    // and every fresh record must start zeroed.
    using Records = std::vector<std::unique_ptr<MidiEvent>>;
    auto make = [](int count, int tag) {
        Records events;
        for (int i = 0; i < count; ++i) {
            events.push_back(std::make_unique<MidiEvent>(i));
            events.back()->data[0] = events.back()->data[255] = static_cast<unsigned char>(tag);
        }
        return events;
    };
    const auto on_four_threads = [](auto body) {
        std::vector<std::jthread> threads;
        for (int t = 0; t < 4; ++t) threads.emplace_back(body, t);
    };
    std::vector<Records> made(4), remade(4);
    on_four_threads([&](int t) { made[t] = make(3000 + 77 * t, t + 1); });
    // Each thread drops the records of another one and makes some of its own,
    // which may reuse those slots, then ends.
    on_four_threads([&](int t) {
        made[(t + 1) % 4].resize(made[(t + 1) % 4].size() / 3);
        remade[t] = make(2000, t + 11);
    });
    // The main thread now takes slots the ended threads gave back.
    Records fresh;
    int dirty = 0, damaged = 0;
    for (int i = 0; i < 20000; ++i) {
        fresh.push_back(std::make_unique<MidiEvent>(i));
        if (!AreaIsZero(*fresh.back()) || fresh.back()->channel != kNoChannel) ++dirty;
    }
    EXPECT_EQ(dirty, 0);
    std::vector<const void*> addresses;
    for (const auto& event : fresh) addresses.push_back(event.get());
    for (auto* lists : {&made, &remade}) {
        for (const Records& list : *lists) {
            for (const auto& event : list) {
                if (event->data[0] != event->data[255] || event->data[0] == 0) ++damaged;
                addresses.push_back(event.get());
            }
        }
    }
    EXPECT_EQ(damaged, 0);
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()), addresses.end());
}
