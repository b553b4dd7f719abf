// The event record: the data area, copies, size reports, and records made
// and dropped in numbers and on several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "midi/event/MidiEvent.h"
#include "support/TestSupport.h"

namespace {

bool AreaIsZero(const MusicEvent& event) {
    for (int i = 0; i < event.DataCapacity(); ++i) {
        if (event.data[i] != 0) return false;
    }
    return true;
}

}  // namespace

TEST(MusicEvent, ResizeDataGivesAFreshZeroedArea) {
    CaptureSink sink;
    MusicEvent event;
    event.data[0] = 9;
    event.length = 5;
    unsigned char* area = event.ResizeData(1000);
    EXPECT_EQ(area, event.data);
    EXPECT_EQ(event.DataCapacity(), 1000);
    EXPECT_EQ(event.length, 5);  // length is the caller's business
    EXPECT_TRUE(AreaIsZero(event));
    event.data[999] = 1;
    event.ResizeData(10);  // never below the 256 bytes of a fresh area
    EXPECT_EQ(event.DataCapacity(), 256);
    EXPECT_TRUE(AreaIsZero(event));
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(MusicEvent, CopyTakesEveryFieldAndEnlargesForLongData) {
    CaptureSink sink;
    MidiEvent source(12);
    source.status = kEvMeta;
    source.number = kMetaText;
    source.note = 1;
    source.duration = 2;
    source.velocity = 3;
    source.value = 4;
    source.channel = 5;
    source.ResizeData(301);
    source.length = 300;
    for (int i = 0; i < 300; ++i) source.data[i] = static_cast<unsigned char>('a' + i % 26);

    MidiEvent copy;
    copy.Copy(&source);
    EXPECT_EQ(copy.CompareEvent(&source), 1);
    EXPECT_EQ(copy.channel, 5);
    // One byte beyond the length keeps a long text zero-terminated.
    EXPECT_EQ(copy.DataCapacity(), 301);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.data)),
              std::string(reinterpret_cast<char*>(source.data), 300));

    // A short record copied in keeps the enlarged area.
    MidiEvent small;
    small.status = kEvControl;
    small.length = 3;
    small.data[0] = 0xB0;
    small.data[1] = 7;
    small.data[2] = 100;
    copy.Copy(&small);
    EXPECT_EQ(copy.DataCapacity(), 301);
    EXPECT_EQ(copy.length, 3);
    EXPECT_EQ(Bytes(copy.data, copy.data + 4), (Bytes{0xB0, 7, 100, 0}));

    MidiEvent constructed(&source);
    EXPECT_EQ(constructed.CompareEvent(&source), 1);
    EXPECT_EQ(constructed.data[299], source.data[299]);
    copy.length = 0;
    source.length = 0;
    constructed.length = 0;
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(MusicEvent, CopyNeverReadsPastTheSourceArea) {
    CaptureSink sink;
    {
        MidiEvent broken;
        broken.length = 5000;  // claims more than its 256-byte area
        MidiEvent copy;
        copy.Copy(&broken);
        EXPECT_EQ(copy.length, 5000);
        EXPECT_GE(copy.DataCapacity(), 256);
        copy.length = 0;
    }
    // The broken record reports its size when it goes.
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"イベントのデータサイズが大きすぎます。"});
}

TEST(MusicEvent, LongDataInAnEnlargedAreaIsNoSizeError) {
    CaptureSink sink;
    {
        MidiEvent event;
        event.ResizeData(1024);
        event.length = 1000;
    }
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(MusicEvent, ManyRecordsComeAndGo) {
    // Records of both classes made and destroyed in great numbers, interleaved.
    std::vector<std::unique_ptr<MusicEvent>> plain;
    std::vector<std::unique_ptr<MidiEvent>> midi;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 20000; ++i) {
            plain.push_back(std::make_unique<MusicEvent>(i));
            midi.push_back(std::make_unique<MidiEvent>(i));
        }
        for (int i = 0; i < 20000; ++i) {
            ASSERT_EQ(plain[i]->delta, i);
            ASSERT_EQ(midi[i]->channel, 255);
            ASSERT_NE(static_cast<void*>(plain[i].get()), static_cast<void*>(midi[i].get()));
        }
        for (std::size_t i = 0; i < plain.size(); i += 2) plain[i].reset();
        plain.clear();
        midi.clear();
    }
}

TEST(MusicEvent, RecordsAreMadeOnSeveralThreadsAtOnce) {
    // The play thread and the window make and drop records at the same time.
    std::vector<std::thread> threads;
    std::vector<int> faults(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &faults] {
            std::vector<std::unique_ptr<MidiEvent>> events;
            for (int round = 0; round < 5; ++round) {
                for (int i = 0; i < 5000; ++i) {
                    events.push_back(std::make_unique<MidiEvent>(t * 100000 + i));
                    events.back()->data[0] = static_cast<unsigned char>(t);
                }
                for (int i = 0; i < 5000; ++i) {
                    if (events[i]->delta != t * 100000 + i || events[i]->data[0] != t) ++faults[t];
                }
                events.clear();
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(faults, std::vector<int>(4, 0));
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
    std::vector<std::unique_ptr<MidiEvent>> kept;
    std::vector<std::vector<std::unique_ptr<MidiEvent>>> made(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&made, &make, t] { made[t] = make(3000 + 77 * t, t + 1); });
    }
    for (auto& thread : threads) thread.join();
    threads.clear();
    // Each thread drops the records of another one and makes some of its own,
    // which may reuse those slots, then ends.
    std::vector<std::vector<std::unique_ptr<MidiEvent>>> remade(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&made, &remade, &make, t] {
            made[(t + 1) % 4].resize(made[(t + 1) % 4].size() / 3);
            remade[t] = make(2000, t + 11);
        });
    }
    for (auto& thread : threads) thread.join();
    for (auto& list : made) {
        for (auto& event : list) kept.push_back(std::move(event));
    }
    for (auto& list : remade) {
        for (auto& event : list) kept.push_back(std::move(event));
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
    for (const auto& event : kept) {
        if (event->data[0] != event->data[255] || event->data[0] == 0) ++damaged;
    }
    EXPECT_EQ(damaged, 0);
    std::vector<const void*> addresses;
    for (const auto& event : kept) addresses.push_back(event.get());
    for (const auto& event : fresh) addresses.push_back(event.get());
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()), addresses.end());
}
