// Track queries: values in force at a tick, first and last occurrences,
// positions, counts and lengths.

#include "support/TestEvents.h"

TEST(Query, ValuesProgramsTextsPositionsCountsExclusivesAndAverageNoteDistance) {
    CaptureSink sink;
    auto t = Track(kFormQ1, {Cc(0, 0, 7, 100), Pc(0, 0, 3), Bend(0, 2, 9000), MasterVolume(0),
                             Cc(480, 0, 7, 50), Cc(0, 1, 7, 20), Pc(0, 0, 4), Eot(480)});
    EXPECT_EQ(t->GetControlChangeValueWithDelta(7, 0, 480), 100);
    EXPECT_EQ(t->GetControlChangeValueWithDelta(7, 0, 481), 50);
    EXPECT_EQ(t->GetControlChangeValueWithDelta(7, 0, 0), -1);  // nothing lies before tick 0
    EXPECT_EQ(t->GetProgramChangeValueWithDelta(0, 1000), 4);
    EXPECT_EQ(t->GetSysExF0ValueWithDelta(1, 100), 100);
    // The bend of any channel counts; none before the tick gives the centre.
    EXPECT_EQ(t->GetPitchBendValueWithDelta(0, 100), 9000);
    EXPECT_EQ(t->GetPitchBendValueWithDelta(0, 0), 8192);

    auto q2 = Track(kFormQ2, {Cc(0, 0, 7, 100), Eot(0)});
    EXPECT_EQ(q2->GetControlChangeValueWithDelta(7, 0, 10), -1);  // Q1 only
    EXPECT_EQ(sink.Messages(), Lines{kInternal});

    MidiTrackData empty(kFormQ2);
    EXPECT_EQ(empty.GetTimeSign(0), 0x404);
    EXPECT_EQ(empty.GetTempo(0), 60000);

    t = Track(kFormQ2, {TimeSign(0, 3, 2), Tempo(0, 600000), TimeSign(1440, 6, 3), Tempo(0, 400000),
                        Eot(960)});
    EXPECT_EQ(t->GetTimeSign(1439), 0x304);
    EXPECT_EQ(t->GetTimeSign(1440), 0x608);
    EXPECT_EQ(t->GetTempo(1439), 600000);
    EXPECT_EQ(t->GetTempo(5000), 400000);

    long tempo = 0;
    EXPECT_EQ(t->GetTempo(&tempo, 2), 1);
    EXPECT_EQ(tempo, 400000);
    EXPECT_EQ(t->GetTempo(&tempo, 3), 0);
    EXPECT_EQ(t->ReplaceTempo(100), 1);
    EXPECT_EQ(t->GetTempo(0), 600000);  // nothing was replaced

    auto zeros = Track(kFormQ2, {Pc(0, 0, 0), Pc(0, 0, 0), Pc(0, 0, 5), Eot(0)});
    EXPECT_EQ(zeros->GetProgramChange(), 5);
    EXPECT_EQ(empty.GetProgramChange(), -1);

    const auto xg = [](int program) {
        return SysEx(0, {0xF0, 0x08, 0x43, 0x10, 0x4C, 0x08, 0x02, 0x03,
                         static_cast<std::uint8_t>(program), 0xF7});
    };
    t = Track(kFormQ2, {Pc(0, 1, 0), Pc(0, 0, 7), Pc(0, 1, 9), Pc(0, 1, 12), xg(40), xg(41),
                        Cc(0, 2, 7, 3), Cc(0, 2, 7, 4), Eot(0)});
    EXPECT_EQ(t->GetProgramChange(1), 0);
    EXPECT_EQ(t->GetChanelProgramChange(1), 9);
    EXPECT_EQ(t->GetInst(2), 41);
    EXPECT_EQ(t->IsBendableInst(1), 0);  // programs 0..15 are not bent
    EXPECT_EQ(t->IsBendableInst(2), 1);
    EXPECT_EQ(t->GetControlChange(7, 2), 3);  // the first one

    t = Track(kFormQ2, {Meta(0, kMetaTrackName, "Piano"), Meta(10, kMetaMarker, "A"),
                        Meta(10, kMetaMarker, "B"), Meta(0, kMetaTrackName, "Two"), Eot(0)});
    char text[64] = "junk";
    EXPECT_EQ(t->GetMetaData(kMetaTrackName, text), 1);
    EXPECT_STREQ(text, "Piano");
    EXPECT_EQ(t->GetMetaData(kMetaLyric, text), 0);
    EXPECT_STREQ(text, "");
    char marker_b[] = "B", marker_c[] = "C";
    EXPECT_EQ(t->GetDeltaOfMetaEvent(kMetaMarker, marker_b), 20);
    EXPECT_EQ(t->GetDeltaOfMetaEvent(kMetaMarker, marker_c), -1);
    sink.Clear();
    t = Track(kFormQ2, {Cc(0, 3, 7, 1), Cc(100, 4, 10, 1), Note(380, 0, 60, 10), Bend(0, 5, 100),
                        Cc(0, 6, 10, 2), Note(480, 0, 62, 10), Note(0, 0, 64, 10), Eot(0)});
    EXPECT_EQ(t->GetIndexOfDelta(50), 1);
    EXPECT_EQ(t->GetIndexOfDelta(1000), 7);  // past the last event: the last index
    EXPECT_EQ(empty.GetIndexOfDelta(0), -1);
    EXPECT_EQ(t->GetDeltaOfEventIndex(-3), 0);
    EXPECT_EQ(t->GetDeltaOfEventIndex(99), 960);
    EXPECT_EQ(t->GetLastIndexOfSameDelta(2), 4);

    int channel = -1;
    EXPECT_EQ(t->GetPosOfControlChangeWithDeltaTime(10, &channel, 101, 480), 480);
    EXPECT_EQ(channel, 6);
    EXPECT_EQ(t->GetPosOfControlChangeWithDeltaTime(10, &channel, 481, 900), -1);
    EXPECT_EQ(t->GetPosOfPitchBend(&channel), 480);
    EXPECT_EQ(channel, 5);

    EXPECT_EQ(t->GetDeltaToNextNote(2), 480);
    EXPECT_EQ(t->GetDeltaToNextNote(6), -1);
    auto quiet = Track(kFormQ1, {Cc(30, 0, 7, 1), Eot(70)});
    EXPECT_EQ(quiet->GetDeltaOfFirstNote(), 100);  // no note: the last event's tick
    EXPECT_EQ(quiet->GetIndexOfFirsthNote(), 0);   // Q2 only

    t = Track(kFormQ2, {Note(0, 0, 60, 960), Note(0, 1, 60, 10), Note(10, 1, 62, 10), Eot(470)});
    EXPECT_EQ(t->GetTrackDuration(), 960);  // the long note outlasts the end of track
    EXPECT_EQ(t->GetNumNoteEventWithNoteNumber(60), 2);

    auto q1 = Track(kFormQ1, {On(0, 0, 60), On(0, 0, 62, 0), Off(10, 0, 60), Eot(0)});
    EXPECT_EQ(q1->GetNumNoteEvent(), 1);   // velocity 0 is no note start
    EXPECT_EQ(q1->GetTrackDuration(), 0);  // Q2 only
    EXPECT_EQ(sink.Messages(), (Lines{kInternal, kInternal}));

    char a[256] = {'\xF0', '\x05', '\x7E', '\x7F', '\x09', '\x01', '\xF7', '\x33'};
    char b[256] = {'\xF0', '\x05', '\x7E', '\x7F', '\x09', '\x01', '\xF7', '\x44'};
    EXPECT_EQ(empty.CompareSysExF0(a, b), 0);  // bytes after the F7 do not count
    b[4] = 0x08;
    EXPECT_EQ(empty.CompareSysExF0(a, b), -1);
    // Without an F7 in reach there is no message.
    char c[256];
    std::fill(std::begin(c), std::end(c), 0x11);
    EXPECT_EQ(empty.GetLengthOfSysExF0(reinterpret_cast<unsigned char*>(c)), 0);
    EXPECT_EQ(empty.CompareSysExF0(c, c), -1);
    EXPECT_EQ(empty.CompareSysExF0(nullptr, a), -1);
    sink.Clear();
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> delta(0, 3), kind(0, 4), chan(0, 2);
    for (int round = 0; round < 30; ++round) {
        EvList events;
        for (int i = 0; i < 200; ++i) {
            const int d = delta(rng) * 60;
            events.push_back(kind(rng) == 0 ? Cc(d, chan(rng), 7, 1) : Note(d, chan(rng), 60, 30));
        }
        events.push_back(Eot(100));
        auto t = Track(kFormQ2, events);
        MidiTrackData copy(t.get());
        copy.DeleteAllEventExceptNote();
        for (int c = 0; c < 3; ++c) {
            long sum = 0, count = 0;
            for (int i = 0; i < copy.event_count; ++i) {
                const MidiEvent* e = copy.event_table[i];
                if (e->channel == c && e->delta != 0) {
                    sum += e->delta;
                    ++count;
                }
            }
            ASSERT_EQ(t->GetAverageDeltaTimeOfNote(c), count == 0 ? 0 : sum / count);
        }
    }
    EXPECT_TRUE(sink.Messages().empty());
}
