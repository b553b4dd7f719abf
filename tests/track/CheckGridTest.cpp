// Event checks and grid edits: the queries, the value edits with the bytes
// they rewrite, and the grid moves, against their definitions.

#include "support/TestEvents.h"

TEST(CheckGrid, LocationsValuesOrderEditsGridAndIntervalAgainstTheForwardWalk) {
    CaptureSink sink;
    auto t = Track(kFormQ2, {Pc(0, 0, 5), Cc(0, 0, 7, 127), Tempo(10, 500000), Cc(0, 0, 7, 5),
                             Tempo(50, 499999), Cc(0, 0, 7, 64), Eot(0)});
    auto late = Track(kFormQ2, {Pc(1, 0, 5), Eot(0)});
    EXPECT_EQ(t->CheckEventLocation(0, kEvProgram), 1);
    EXPECT_EQ(late->CheckProgramChangeLocation(0), 0);
    EXPECT_EQ(t->CheckControlChangeLocation(10, 7, 5), 1);
    EXPECT_EQ(t->CheckControlChangeLocation(10, 7, 127), 0);
    EXPECT_EQ(t->CheckMetaEventLocation(60, kMetaTempo, 499999), 1);
    EXPECT_EQ((std::vector{t->IsEventExist(kEvMeta, 0, 10), t->IsEventExist(kEvMeta, 0, 11)}),
              (std::vector{0, 1}));
    EXPECT_EQ(t->CheckAreaTempoRange(0, 60, 60, 120), 1);
    EXPECT_EQ(t->CheckTempoRange(60, 120), 0);  // 499999 is faster than 120
    EXPECT_EQ(Track(kFormQ2, {Tempo(0, 500000), Tempo(9, 1000000)})->CheckTempoRange(60, 120), 1);
    EXPECT_EQ(t->CheckAreaTempoRange(0, 61, 60, 119), 0);
    EXPECT_EQ(t->CheckEventValueRange(kEvControl, 7, 5, 127), 1);
    t->ModifyEventValueRange(kEvControl, 7, 20, 100);
    EXPECT_EQ(Dump(*t)[1] + "|" + Dump(*t)[3] + "|" + Dump(*t)[5],
              "0 CC c0 #7=100|10 CC c0 #7=20|60 CC c0 #7=64");
    t->ModifyEventValue(kEvControl, 7, 90);
    EXPECT_EQ(t->CheckEventValue(kEvControl, 7, 90), 1);
    EXPECT_EQ(t->event_table[1]->data[2], 90);  // the bytes agree with the value

    const auto order = [](const EvList& events) {
        return Track(kFormQ1, events)->CheckOrderOfBankSelectAndProgramChange();
    };
    EXPECT_EQ(order({Cc(0, 0, 0, 1), Cc(0, 0, 32, 0), Pc(0, 0, 3), Pc(5, 1, 4)}), 1);
    EXPECT_EQ(order({Cc(0, 0, 32, 0), Cc(0, 0, 0, 1), Pc(0, 0, 3)}), 0);
    EXPECT_EQ(order({Pc(0, 0, 3), Cc(0, 0, 0, 1), Cc(0, 0, 32, 0)}), 0);
    EXPECT_EQ(order({Cc(0, 0, 0, 1), Pc(0, 0, 3)}), 0);

    sink.Clear();
    EXPECT_EQ(Track(kFormQ2, {TimeSign(0, 3, 2), TimeSign(288, 3, 2)})->CheckTimeSingLocation(96),
              1);
    EXPECT_EQ(Track(kFormQ2, {TimeSign(0, 3, 2), TimeSign(300, 3, 2)})->CheckTimeSingLocation(96),
              0);
    // A measure of no ticks would never end: refused.
    EXPECT_EQ(Track(kFormQ2, {TimeSign(0, 0, 2), Tag(1000000, 1)})->CheckTimeSingLocation(96), 0);
    EXPECT_EQ(Track(kFormQ2, {Tag(5, 1)})->CheckTimeSingLocation(0), 0);
    EXPECT_EQ(sink.Count(kGeneric), 2);

    sink.Clear();
    const Bytes gs = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x19, 0x40, 0x56, 0xF7};
    t = Track(kFormQ2, {MasterVolume(0), SysEx(0, gs, 25), TimeSign(0, 4, 2), Tempo(0, 500000),
                        Meta(0, kMetaText, "x"), Cc(0, 0, 7, 3), Eot(0)});
    t->ModifyEventValue(kEvSysEx, kExTypeMasterVolume, 50);
    EXPECT_EQ(DataOf(*t->event_table[0], 9)[7], 50);
    t->ModifyEventValue(kEvSysEx, 25, 0x20);
    EXPECT_EQ(DataOf(*t->event_table[1], 12)[9], 0x20);
    EXPECT_EQ((0x40 + 0x11 + 0x19 + 0x20 + t->event_table[1]->data[10]) % 128, 0);
    t->ModifyEventValue(kEvMeta, kMetaTimeSignature, 3 * 256 + 8);
    EXPECT_EQ(DataOf(*t->event_table[2], 2), (Bytes{3, 3}));
    t->ModifyEventValue(kEvMeta, kMetaTempo, 0xFFFFFF);
    EXPECT_EQ(DataOf(*t->event_table[3], 3), (Bytes{0xFF, 0xFF, 0xFF}));

    const Lines unchanged = Dump(*t);
    t->ModifyEventValue(kEvControl, 7, 128);
    t->ModifyEventValue(kEvControl, -1);
    t->ModifyEventValueRange(kEvControl, 7, -5, -1);
    t->ModifyEventValueRange(kEvControl, 7, 100, 20);
    t->ModifyEventValue(kEvMeta, kMetaTempo, 0);
    t->ModifyEventValue(kEvMeta, kMetaTempo, 0x1000000);
    t->ModifyEventValue(kEvMeta, kMetaText, 1);
    t->ModifyEventValue(kEvMeta, kMetaTimeSignature, 3 * 256 + 6);
    EXPECT_EQ(Dump(*t), unchanged);
    EXPECT_EQ(sink.Messages(), Lines(8, kGeneric));  // and none for the edits above
    t = Track(kFormQ2, {Tag(35, 1), Tag(1, 2), Tag(1, 3), Tag(3, 4), Tag(20, 5)});
    t->ModifyDeltaTime(24);  // 35 36 37 40 60
    EXPECT_EQ(TimesOf(*t), (std::vector<long>{24, 48, 48, 48, 72}));
    auto r = Track(kFormQ2, {Tag(10, 1), Tag(26, 2), Tag(24, 3), Eot(10)});
    r->ModifyDeltaTime(20, 40, 24);
    EXPECT_EQ(TimesOf(*r), (std::vector<long>{10, 48, 60, 70}));  // 36 up, 60 kept

    // 35 cannot go down past the event at 30, left out of the range: it goes up.
    auto k = Track(kFormQ2, {Tag(30, 1), Tag(5, 2), Eot(20)});
    k->ModifyDeltaTime(31, 50, 24);
    EXPECT_EQ(TimesOf(*k), (std::vector<long>{30, 48, 68}));

    auto notes = [] {
        return Track(kFormQ2,
                     {Note(0, 0, 60, 10), Note(24, 0, 62, 36), Note(24, 0, 64, 47), Eot(100)});
    };
    struct Case {
        const char* what;
        void (*edit)(MidiTrackData&);
        std::vector<int> durations;
    };
    const std::vector<Case> cases = {
        {"down", [](MidiTrackData& m) { m.ModifyDuration(24, 1); }, {1, 24, 24}},
        {"nearest", [](MidiTrackData& m) { m.ModifyDuration(24, 2); }, {1, 48, 48}},
        {"nearest, never 0", [](MidiTrackData& m) { m.ModifyDuration(24); }, {1, 48, 48}},
        {"range", [](MidiTrackData& m) { m.ModifyDuration(20, 30, 24); }, {10, 48, 47}},
    };
    for (const Case& c : cases) {
        auto m = notes();
        c.edit(*m);
        EXPECT_EQ(OfNotes(*m, &MidiEvent::duration), c.durations) << c.what;
    }

    sink.Clear();
    auto m = notes();
    m->ModifyDuration(24, 3);
    m->ModifyDuration(0);
    m->ModifyDeltaTime(0);
    m->ModifyInterval(-1);
    EXPECT_EQ(m->CheckEventTime(0), 0);
    EXPECT_EQ(Events(*m), Events(*notes()));
    EXPECT_EQ(sink.Count(kGeneric), 5);
    EXPECT_EQ(m->CheckEventTime(24), 0);
    m->ModifyDuration(24);
    EXPECT_EQ(m->CheckEventTime(24), 0);  // the Note of 1 tick
    EXPECT_EQ(m->CheckEventTime(20, 100, 24), 1);
    m->Q2toQ1();
    EXPECT_EQ(m->CheckEventTime(24), 0);
    EXPECT_EQ(sink.Count(kInternal), 1);
    // The literal gap rule on random tracks: for each Note, the distance to the
    // next later onset found by walking forward.
    std::mt19937 rng(3);
    for (int round = 0; round < 100; ++round) {
        auto t = RandomTrack(rng, 120, 0);
        const int gap = int(rng() % 30);
        const std::vector<long> times = TimesOf(*t);
        std::vector<int> expected;
        for (int i = 0; i < t->event_count; ++i) {
            const MidiEvent& n = *t->event_table[i];
            if (n.status != kEvNote) continue;
            int duration = n.duration;
            for (int j = i + 1; j < t->event_count; ++j) {
                if (t->event_table[j]->status != kEvNote || times[j] == times[i]) continue;
                const long d = times[j] - times[i];
                if (d - duration < gap) duration = int(std::max(d - gap, 1L));
                break;
            }
            expected.push_back(duration);
        }
        t->ModifyInterval(gap);
        ASSERT_EQ(OfNotes(*t, &MidiEvent::duration), expected) << round;
    }
}
