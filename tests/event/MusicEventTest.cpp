// The event record: the data area, copies, size reports, and records made
// and dropped on several threads.
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

bool AreaIsZero(const MusicEvent& event) {
    for (int i = 0; i < event.DataCapacity(); ++i) {
        if (event.data[i] != 0) return false;
    }
    return true;
}

}  // namespace

TEST(MusicEvent, DataAreaAndCopies) {
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

    sink.Clear();
    MidiEvent source(12);
    source.status = kEvMeta;
    source.ResizeData(301);
    source.length = 300;
    std::memset(source.data, 'a', 300);
    MidiEvent copy;
    copy.Copy(&source);
    EXPECT_EQ(copy.CompareEvent(&source), 1);
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
    EXPECT_TRUE(sink.Messages().empty());

    sink.Clear();
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
}

TEST(MusicEvent, RecordsFreedOnAnotherThreadAreHandedOutOnce) {
    // Records made on one thread are dropped on another (the play thread drops
    // what the window made, and the other way round), and threads end with
    // freed slots still at hand. No slot may then be given to two live records,
    // and every fresh record must start zeroed.
    auto make = [](int count, int tag) {
        std::vector<std::unique_ptr<MidiEvent>> events;
        for (int i = 0; i < count; ++i) {
            events.push_back(std::make_unique<MidiEvent>(i));
            events.back()->data[0] = static_cast<unsigned char>(tag);
            events.back()->data[255] = static_cast<unsigned char>(tag);
        }
        return events;
    };
    std::vector<std::vector<std::unique_ptr<MidiEvent>>> made(4), remade(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&made, &make, t] { made[t] = make(3000 + 77 * t, t + 1); });
    }
    for (auto& thread : threads) thread.join();
    threads.clear();
    // Each thread drops the records of another one and makes some of its own,
    // which may reuse those slots, then ends.
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&made, &remade, &make, t] {
            made[(t + 1) % 4].resize(made[(t + 1) % 4].size() / 3);
            remade[t] = make(2000, t + 11);
        });
    }
    for (auto& thread : threads) thread.join();
    std::vector<std::unique_ptr<MidiEvent>> kept;
    for (auto* lists : {&made, &remade}) {
        for (auto& list : *lists) {
            for (auto& event : list) kept.push_back(std::move(event));
        }
    }
    // The main thread now takes slots the ended threads gave back.
    std::vector<std::unique_ptr<MidiEvent>> fresh;
    int dirty = 0;
    for (int i = 0; i < 20000; ++i) {
        fresh.push_back(std::make_unique<MidiEvent>(i));
        if (!AreaIsZero(*fresh.back()) || fresh.back()->channel != kNoChannel) ++dirty;
    }
    EXPECT_EQ(dirty, 0);
    int damaged = 0;
    std::vector<const void*> addresses;
    for (const auto& event : kept) {
        if (event->data[0] != event->data[255] || event->data[0] == 0) ++damaged;
        addresses.push_back(event.get());
    }
    EXPECT_EQ(damaged, 0);
    for (const auto& event : fresh) addresses.push_back(event.get());
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()), addresses.end());
}
