// Every track operation on random, partly nonsensical track contents: channels, notes and
// values out of range, texts without a terminating zero, messages without F7,
// empty tracks and tracks without an end of track. Run under the sanitizers
// this finds any access outside the table or an area.
#include <gtest/gtest.h>

#include <random>

#include "fuzz/TrackOperations.h"
#include "support/TestEvents.h"

namespace {

MidiEvent* RandomEvent(std::mt19937& rng) {
    static constexpr int kStatuses[] = {
        kEvNone,        kEvNote,        kEvNote,    kEvNote,    kEvNoteOff,         kEvNoteOn,
        kEvKeyPressure, kEvControl,     kEvControl, kEvProgram, kEvChannelPressure, kEvPitchBend,
        kEvSysEx,       kEvSysExEscape, kEvMeta,    kEvMeta};
    static constexpr int kChannels[] = {0, 3, 9, 9, 15, -3, 16, 200, kNoChannel};
    std::uniform_int_distribution<int> pick(0, 1 << 20);
    auto any = [&](int low, int high) { return low + pick(rng) % (high - low + 1); };

    auto* e = new MidiEvent(any(0, 3) == 0 ? 0 : any(0, 500));
    e->status = kStatuses[any(0, std::size(kStatuses) - 1)];
    e->channel = kChannels[any(0, std::size(kChannels) - 1)];
    e->note = any(-5, 300);
    e->velocity = any(0, 3) == 0 ? 0 : any(1, 127);
    e->duration = any(0, 5) == 0 ? 0 : any(1, 2000);
    e->number = any(0, 3) == 0 ? 18 : any(0, 130);  // 18: a rhythm-part assignment
    if (e->status == kEvMeta && any(0, 3) == 0) e->number = any(0, 1) ? kMetaEndOfTrack : 0x58;
    e->value = any(-5, 300);
    if (any(0, 9) == 0) {
        e->ResizeData(400);
        e->length = any(0, 400);
    } else {
        e->length = any(0, MusicEvent::kDataSize);
    }
    // Bytes that are rarely zero and rarely F7.
    for (int i = 0; i < e->DataCapacity(); ++i)
        e->data[i] = static_cast<unsigned char>(any(1, 0xF6));
    if (any(0, 1) == 0) e->data[any(0, e->DataCapacity() - 1)] = 0xF7;
    return e;
}

void CheckTable(const MidiTrackData& t, const char* step) {
    ASSERT_GE(t.event_count, 0) << step;
    ASSERT_LE(t.event_count, kMaxEvents) << step;
    for (int i = 0; i < t.event_count; ++i) {
        ASSERT_NE(t.event_table[i], nullptr) << step;
        ASSERT_GE(t.event_table[i]->delta, 0) << step;
        ASSERT_LE(t.event_table[i]->length, t.event_table[i]->DataCapacity()) << step;
    }
}

}  // namespace

TEST(TrackOps, AnyContentIsSafe) {
    CaptureSink sink;  // the messages are expected; they must not reach stderr
    std::mt19937 rng(31337);
    for (int round = 0; round < 60; ++round) {
        const int count = round % 10 == 0 ? 0 : static_cast<int>(rng() % 300);
        auto t = std::make_unique<MidiTrackData>(round % 2 == 0 ? kFormQ2 : kFormQ1);
        for (int i = 0; i < count; ++i) t->AddEvent(RandomEvent(rng));
        if (round % 3 != 0) t->AddEvent(Eot(static_cast<int>(rng() % 100)));
        TrackOpArgs a;
        a.channel = static_cast<int>(rng() % 20) - 2;
        a.from = static_cast<int>(rng() % 5000) - 100;
        a.to = a.from + static_cast<int>(rng() % 3000);
        a.pick = round;
        Queries(*t, a);
        CheckTable(*t, "queries");
        const auto copy = [&] {
            auto c = std::make_unique<MidiTrackData>(t->form);
            for (int i = 0; i < t->event_count; ++i) c->AddCopyEvent(t->event_table[i]);
            return c;
        };
        auto kept = copy(), edited = copy(), q1 = copy();
        KeepingEdits(*kept, a);
        CheckTable(*kept, "edits");
        EventEdits(*edited, a);
        CheckTable(*edited, "event edits");
        PolyAndRange(*t, *q1, a);
        CheckTable(*t, "polyphony");
        CheckTable(*q1, "reductions");
        Deletions(*t, a);
        CheckTable(*t, "deletions");
    }
    EXPECT_FALSE(sink.Messages().empty());
}
