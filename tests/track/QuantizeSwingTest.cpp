// Quantize and swing: the track length without a copy, grid snapping and the
// swing placements, held to their definitions on seeded random tracks.

#include "support/TestEvents.h"

namespace {

std::vector<long> NoteTimes(const MidiTrackData& t) {
    std::vector<long> out;
    for (const Ev& e : Events(t)) {
        if (e.status == kEvNote) out.push_back(e.tick);
    }
    return out;
}

// Notes at the given ticks of channel 0, closed by an end of track at end.
std::unique_ptr<MidiTrackData> NotesAt(const std::vector<int>& ticks, int end, int form = kFormQ2) {
    EvList events;
    int last = 0;
    for (int tick : ticks) {
        events.push_back(Note(tick - last, 0, 60, 10));
        last = tick;
    }
    events.push_back(Eot(end - last));
    return Track(form, events);
}

}  // namespace

TEST(QuantizeSwing, TrackLenNearestPointSwingPlacementsRefusalsAndRandomTracks) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        auto t = RandomTrack(rng, 1 + int(rng() % 60), 0);
        // Silent and lengthless Notes, and a long last Note, now and then.
        for (int i = 0; i < t->event_count; ++i) {
            MidiEvent& e = *t->event_table[i];
            if (e.status == kEvNote && rng() % 8 == 0) e.duration = 0;
            if (e.status == kEvNote && rng() % 8 == 0) e.velocity = 0;
            if (e.status == kEvNote && rng() % 8 == 0) e.duration = 500;
        }
        MidiTrackData copy(t.get());
        copy.Q2toQ1();
        const long sum = copy.event_count > 0 ? TimesOf(copy).back() : 0;  // of the deltas
        ASSERT_EQ(t->GetTrackLen(), sum) << "round " << round;
        ASSERT_EQ(copy.GetTrackLen(), sum);  // Q1: the sum of its deltas
    }
    auto t = Track(kFormQ1, {Tag(36, 1), Tag(1, 2), Tag(13, 3), Tag(0, 4)});  // 36 37 50 50
    t->QuantizeData(4, 96);
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{24, 48, 48, 48}));

    CaptureSink sink;
    for (auto [steps, division] : {std::pair{0, 96}, {4, 3}, {-1, 96}}) {
        auto u = NotesAt({5, 17}, 30);
        u->QuantizeData(steps, division);
        EXPECT_EQ(TimesOf(*u), (std::vector<long>{5, 17, 30}));
    }
    EXPECT_EQ(sink.Count(kGeneric), 3);

    // Every event of a random track to the nearest point of its own time.
    rng.seed(5);
    for (int round = 0; round < 100; ++round) {
        auto r = RandomTrack(rng, 80, 1);
        const std::vector<long> before = TimesOf(*r);
        const int grid = 1 + int(rng() % 50);
        r->QuantizeData(1, grid);
        const std::vector<long> after = TimesOf(*r);
        for (std::size_t i = 0; i < before.size(); ++i) {
            const long down = before[i] - before[i] % grid;
            ASSERT_EQ(after[i], before[i] % grid > grid / 2 ? down + grid : down);
        }
    }
    const auto swung = [](const std::vector<int>& notes, bool harmony) {
        auto t = NotesAt(notes, 1000);
        harmony ? t->SwingHarmonyAndDrumData(96) : t->SwingData(96);
        EXPECT_EQ(TimesOf(*t).back(), 1000);
        return NoteTimes(*t);
    };
    using Ticks = std::vector<long>;
    EXPECT_EQ(swung({60}, false), Ticks{64});            // one late note
    EXPECT_EQ(swung({40}, false), Ticks{0});             // one early note
    EXPECT_EQ(swung({0, 48}, false), (Ticks{0, 64}));    // a straight pair swung
    EXPECT_EQ(swung({50, 70}, false), (Ticks{32, 64}));  // both late
    EXPECT_EQ(swung({10, 40, 90}, false), (Ticks{0, 32, 64}));
    EXPECT_EQ(swung({0, 20, 40, 60}, false), (Ticks{0, 16, 32, 48}));  // a sixth of the unit each
    // A unit after a silence swings too.
    EXPECT_EQ(swung({0, 48, 500, 530}, false), (Ticks{0, 64, 480, 544}));
    // The melody rule splits a chord, the harmony rule moves it whole.
    EXPECT_EQ(swung({0, 0, 48}, false), (Ticks{0, 32, 64}));
    EXPECT_EQ(swung({0, 0, 48}, true), (Ticks{0, 0, 64}));
    EXPECT_EQ(swung({60, 60}, true), (Ticks{64, 64}));                // a late chord alone
    EXPECT_EQ(swung({10, 10, 20, 20}, true), (Ticks{0, 0, 32, 32}));  // early after late
    sink.Clear();
    std::vector<int> crowd(65);
    for (int i = 0; i < 65; ++i) crowd[i] = i;
    auto many = NotesAt(crowd, 200);
    many->SwingData(96);
    EXPECT_EQ(NoteTimes(*many).back(), 64);
    EXPECT_EQ(sink.Count(kGeneric), 1);

    auto q1 = NotesAt({10, 60, 110, 170}, 300, kFormQ1);  // one message, not one per window
    EXPECT_EQ(q1->CountNote(0, 96), 0);
    q1->SwingData(96);
    q1->SwingHarmonyAndDrumData(96);
    EXPECT_EQ(TimesOf(*q1), (std::vector<long>{10, 60, 110, 170, 300}));
    EXPECT_EQ(sink.Count(kGeneric), 4);

    auto small = NotesAt({1, 2}, 5);
    small->SwingData(2);
    small->SetSwingPositionMany(0, 3, 3, 4);  // a step of 3 / 6 is no step
    EXPECT_EQ(NoteTimes(*small), (std::vector<long>{1, 2}));
    EXPECT_EQ(sink.Count(kGeneric), 5);

    // Moving the Note at 50 to offset 10: the tag at 40 lies on its way.
    t = Track(kFormQ2, {Tag(5, 1), Tag(35, 2), Note(10, 0, 60, 5), Tag(30, 3), Eot(0)});
    EXPECT_EQ(t->FixPostion(2, 50, 50, 10), 10);
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{5, 10, 10, 80, 80}));
    EXPECT_EQ(t->FixPostion(2, 10, 10, 85), 85);  // later: the tag at 80 is passed, the track grows
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{5, 10, 85, 85, 85}));

    auto q = NotesAt({10, 30, 95, 100}, 150);
    EXPECT_EQ(q->CountNote(0, 96), 3);
    EXPECT_EQ(q->GetFirstNotePos(0, 96), 10);
    EXPECT_EQ(q->GetFirstNotePos(31, 90), 95);  // no Note: where the scan stopped
    EXPECT_EQ(q->GetFirstNotePos(101, 120), 150);
    EXPECT_EQ(q->GetSecondNotePos(0, 96), 95);
    EXPECT_EQ(q->GetSecondNotePos(40, 90), 0);
    // Swing keeps the order of events and every Note inside its unit; an event
    // other than a Note keeps its time unless a Note passed it on its way, and
    // then it stands where that Note stands.
    rng.seed(7);
    for (int round = 0; round < 200; ++round) {
        auto t = RandomTrack(rng, 20 + int(rng() % 150), 0);
        const int unit = 3 + int(rng() % 120);
        std::vector<MidiEvent*> records(t->event_table.get(),
                                        t->event_table.get() + t->event_count);
        const std::vector<long> before = TimesOf(*t);
        round % 2 ? t->SwingHarmonyAndDrumData(unit) : t->SwingData(unit);
        const std::vector<long> after = TimesOf(*t);
        ASSERT_TRUE(std::equal(records.begin(), records.end(), t->event_table.get()));
        ASSERT_TRUE(std::is_sorted(after.begin(), after.end()));
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (records[i]->status == kEvNote) {
                ASSERT_EQ(after[i] / unit, before[i] / unit) << round;
                continue;
            }
            if (after[i] == before[i]) continue;
            bool carried = false;
            for (std::size_t j = 0; j < after.size(); ++j) {
                const long lo = std::min(before[j], after[j]), hi = std::max(before[j], after[j]);
                carried |= records[j]->status == kEvNote && after[j] == after[i] &&
                           lo <= before[i] && before[i] <= hi;
            }
            ASSERT_TRUE(carried) << "round " << round << " event " << i;
        }
    }
}
