// The backwards mirror that carries each passage's sound: at every note of
// the reversed song each channel's state is the one the original had just
// before the mirrored time; fades turn round, the tempo map is mirrored.
// The channel-state record behind it, filled, compared and made into events.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "MirrorFixture.h"
#include "midi/song/MidiStatus.h"

using namespace mirror_test;

namespace {

// Seconds at each tick of a track, following its tempos.
double Seconds(const MidiTrackData& track, long until, int division) {
    double seconds = 0;
    long at = 0;
    int tempo = 500000;
    for (const Ev& e : Events(track)) {
        if (e.tick >= until) break;
        if (e.status != kEvMeta || e.number != kMetaTempo) continue;
        seconds += double(e.tick - at) * tempo / division / 1e6;
        at = e.tick;
        tempo = e.value;
    }
    return seconds + double(until - at) * tempo / division / 1e6;
}

// The events a record makes, owned, in the order made.
struct Made {
    std::vector<std::unique_ptr<MidiEvent>> events;
    explicit Made(MidiStatus& status, bool sendOrder = false) {
        std::array<MidiEvent*, kMidiStatusMaxEvents> raw{};
        const int n = sendOrder ? status.CreateStatusEventInSendOrder(raw.data())
                                : status.CreateStatusEvent(raw.data());
        for (int i = 0; i < n; ++i) events.emplace_back(raw[i]);
    }
};

bool SameRecord(const MidiStatus& a, const MidiStatus& b) {
    return a.program == b.program && a.pitch_bend == b.pitch_bend && a.controller == b.controller &&
           a.tempo == b.tempo && a.time_sign == b.time_sign;
}

}  // namespace

TEST(CarryState, EveryNoteHearsTheStateItHadBeforeTheMirroredTime) {
    std::mt19937 random(9001);
    for (int round = 0; round < 300; ++round) {
        auto original = RandomQ1Song(random, 96, false);
        MidiF0Data reversed(original.get()), notes_plain(original.get());
        reversed.HorizontalReverse(true);
        const MidiTrackData &before = *original->GetTrack(), &after = *reversed.GetTrack();
        const auto ticks = TimesOf(before), times = TimesOf(after);
        const long axis = LastEventTime(before);
        ASSERT_EQ(times.back(), ticks.back()) << "round " << round;

        State now;
        for (int i = 0; i < after.event_count; ++i) {
            const MidiEvent* e = after.event_table[i];
            if (e->status == kEvNoteOn && e->velocity > 0) {
                State then;
                for (int k = 0; ticks[k] < axis - times[i]; ++k) Apply(then, before.event_table[k]);
                ASSERT_TRUE(Same(now, then)) << "round " << round << " event " << i;
                // The tempo map mirrored: the time to here is the original's
                // time from the mirrored tick to the axis.
                ASSERT_NEAR(Seconds(after, times[i], 96),
                            Seconds(before, axis, 96) - Seconds(before, axis - times[i], 96), 1e-9);
            }
            Apply(now, e);
        }
        // The notes are those of the plain reverse.
        notes_plain.HorizontalReverse();
        notes_plain.Q1toQ2();
        reversed.Q1toQ2();
        ASSERT_EQ(NotesOf(*reversed.GetTrack()), NotesOf(*notes_plain.GetTrack())) << round;
    }
}

TEST(MidiStatus, EdgeCasesAndAFullRecordBackAndForth) {
    CaptureSink sink;
    MidiStatus fresh;
    EXPECT_TRUE(Made(fresh).events.empty());

    // Up to a time: nothing at 0; an event at exactly that time is not taken.
    auto song =
        MakeSong(kFormQ1, 480, {Cc(0, 0, 7, 1), Cc(100, 0, 7, 2), Cc(200, 0, 7, 3), Eot(200)});
    MidiStatus at;
    int reached = -1;
    EXPECT_EQ(at.SetStatusAtDelta(song.get(), 0, &reached), 0);
    EXPECT_EQ(reached, 0);
    EXPECT_EQ(at.SetStatusAtDelta(song.get(), 200, &reached), 2);
    EXPECT_EQ(reached, 100);
    EXPECT_EQ(at.controller[0][7], 2);

    // 3/4 becomes 3, 2, 18, 8.
    MidiStatus meter;
    std::unique_ptr<MidiEvent> three(TimeSign(0, 3, 2));
    meter.UpdateStatus(three.get());
    Made sign(meter);
    ASSERT_EQ(sign.events.size(), 1u);
    EXPECT_EQ(Bytes(sign.events[0]->data, sign.events[0]->data + sign.events[0]->length),
              (Bytes{3, 2, 18, 8}));

    // Events without a usable channel or number, null events and songs
    // without a track change nothing and write nowhere.
    MidiStatus ignored;
    const std::pair<int, int> wrong[] = {{kNoChannel, 7}, {16, 7}, {-1, 7}, {0, 200}, {0, -1}};
    for (auto [channel, number] : wrong) {
        std::unique_ptr<MidiEvent> control(Cc(0, 0, 7, 1)), other(Pc(0, 0, 1));
        control->channel = other->channel = channel;
        control->number = number;
        ignored.UpdateStatus(control.get());
        if (number == 7) ignored.UpdateStatus(other.get());
    }
    ignored.UpdateStatus(nullptr);
    EXPECT_TRUE(SameRecord(ignored, MidiStatus()));
    MidiF0Data raw(kFormRaw);
    EXPECT_EQ(ignored.SetStatusAtDelta(&raw, 100, &reached), 0);
    EXPECT_EQ(ignored.SetStatusAtDelta(nullptr, 100, nullptr), 0);
    EXPECT_EQ(ignored.CreateStatusEvent(nullptr), 0);
    EXPECT_EQ(sink.Count("error!"), 2);

    MidiStatus full;
    for (int c = 0; c < 16; ++c) {
        full.program[c] = c;
        full.pitch_bend[c] = {c + 1, c + 2};
        for (int n = 0; n < 128; ++n) full.controller[c][n] = (c + n) % 128;
    }
    full.tempo = 600000;
    full.time_sign = 0x0608;
    Made made(full);
    ASSERT_EQ(made.events.size(), 2082u);
    MidiStatus again;
    for (auto& e : made.events) again.UpdateStatus(e.get());
    EXPECT_TRUE(SameRecord(again, full));

    // Send order: tempo, time signature, then per channel bank, program, the
    // other controllers, pitch bend; no channel-mode message.
    Made send(full, true);
    ASSERT_EQ(send.events.size(), 2082u - 16 * 8);
    EXPECT_TRUE(send.events[0]->IsMeta(kMetaTempo));
    EXPECT_TRUE(send.events[1]->IsMeta(kMetaTimeSignature));
    const std::size_t n = 1 + 120 + 1;  // per channel
    for (int c = 0; c < 16; ++c) {
        const auto* at = &send.events[2 + c * n];
        EXPECT_EQ((std::array{at[0]->number, at[1]->number, at[2]->status, at[3]->number,
                              at[n - 2]->number, at[n - 1]->status, at[n - 1]->channel}),
                  (std::array{0, 32, kEvProgram, 1, 119, kEvPitchBend, c}));
    }
    MidiStatus resent;
    for (auto& e : send.events) resent.UpdateStatus(e.get());
    for (int c = 0; c < 16; ++c)
        for (int n = 120; n < 128; ++n) resent.controller[c][n] = full.controller[c][n];
    EXPECT_TRUE(SameRecord(resent, full));
}
