// Appending, inserting and deleting events: delta folding, insertion at a
// tick, the end-of-track helpers and the table limit.

#include "support/TestEvents.h"

namespace {

const auto P = [](int delta) { return Tag(delta, 1); };
const auto Q = [](int delta) { return Tag(delta, 2); };
const auto R = [](int delta) { return Tag(delta, 3); };
const auto E = [](int delta) { return Tag(delta, 99); };  // the event being inserted

std::vector<Ev> InsertAtTick(std::vector<Ev> events, int tick, int mode) {
    auto track = Track(kFormQ1, events);
    track->InsertEvent(tick, Make(E(0)), mode);
    return Events(*track);
}

}  // namespace

TEST(TrackList, AppendAndInsert) {
    CaptureSink sink;
    MidiTrackData appended(kFormQ2);
    appended.AddNote(5, 30, 60, 90, 240);
    appended.AddTempo(0);  // reported, and the default tempo instead
    appended.AddEndOfTrack(15);
    appended.AddEndOfTrack();  // already there: nothing
    EXPECT_EQ(Events(appended),
              (std::vector<Ev>{Note(30, 5, 60, 240, 90), Tempo(0, 500000), Eot(15)}));
    EXPECT_EQ(Bytes(appended.event_table[1]->data, appended.event_table[1]->data + 3),
              (Bytes{0x07, 0xA1, 0x20}));
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{kTempoData}));

    // A copy belongs to the appended; the caller keeps its own record.
    MidiEvent own(40);
    ASSERT_EQ(appended.AddCopyEvent(&own), 1);
    own.delta = 0;
    EXPECT_EQ(appended.event_table[3]->delta, 40);
    EXPECT_NE(appended.event_table[3], &own);

    sink.Clear();
    auto track = Track(kFormQ1, {P(0), Q(10), R(20)});
    track->InsertEvent(1, 2, Make(E(5)));        // before index 1
    track->InsertEvent(3, 1, Make(Tag(6, 7)));   // after index 3: appended
    track->InsertEvent(-1, 1, Make(Tag(7, 8)));  // after -1: first
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(7, 8), P(0), E(5), Q(10), R(20), Tag(6, 7)}));
    EXPECT_TRUE(sink.Messages().empty());
    // Outside the table: reported, the record is destroyed, nothing moves.
    track->InsertEvent(7, 2, Make(E(1)));
    track->InsertEvent(-3, 1, Make(E(1)));
    EXPECT_EQ(track->event_count, 6);
    EXPECT_EQ(sink.Count(kInternal), 2);

    const std::vector<Ev> group = {P(0), Q(480), R(0), Eot(0)};
    // Mode 2: before everything already at the tick.
    EXPECT_EQ(InsertAtTick(group, 480, 2), (std::vector<Ev>{P(0), E(480), Q(0), R(0), Eot(0)}));
    // Mode 1: after them, but before the end of track.
    EXPECT_EQ(InsertAtTick(group, 480, 1), (std::vector<Ev>{P(0), Q(480), R(0), E(0), Eot(0)}));
    // Between two events.
    EXPECT_EQ(InsertAtTick(group, 200, 1), (std::vector<Ev>{P(0), E(200), Q(280), R(0), Eot(0)}));

    const std::vector<Ev> short_track = {P(0), Eot(480)};
    EXPECT_EQ(InsertAtTick(short_track, 240, 1), (std::vector<Ev>{P(0), E(240), Eot(240)}));
    EXPECT_EQ(InsertAtTick(short_track, -1, 1), (std::vector<Ev>{P(0), E(480), Eot(0)}));

    // An end of track inserted into a track that has one moves it.
    track = Track(kFormQ1, {P(0), Q(100), Eot(50)});
    track->InsertEvent(900, Make(Eot(0)));
    EXPECT_EQ(Events(*track), (std::vector<Ev>{P(0), Q(100), Eot(800)}));
    // Into a track without one it goes at the end's tick when it would lie
    // before the last event.
    sink.Clear();
    track = Track(kFormQ1, {P(0), Q(100), R(500)});
    track->InsertEvent(200, Make(Eot(0)));
    EXPECT_EQ(Events(*track), (std::vector<Ev>{P(0), Q(100), R(500), Eot(0)}));
    EXPECT_EQ(sink.Count(kGeneric), 1);
}

TEST(TrackList, DeleteAndEndOfTrack) {
    CaptureSink sink;
    auto track = Track(kFormQ1, {P(5), Q(100), R(20), Eot(0)});
    track->DeleteEvent(1);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{P(5), R(120), Eot(0)}));
    track->DeleteEvent(3);
    EXPECT_EQ(sink.Count(kInternal), 1);

    track = Track(kFormQ1, {Nop(10), P(5), Nop(7), Nop(8), Q(1), R(2), Nop(30)});
    track->DeleteNop();
    // A none event at the end takes its delta with it.
    EXPECT_EQ(Events(*track), (std::vector<Ev>{P(15), Q(16), R(2)}));

    track = Track(kFormQ1, {Eot(10), P(5)});
    track->DeleteDuplicateEndOfTrack();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{P(15), Eot(0)}));

    track = Track(kFormQ1, {P(0), Eot(10), Q(5), Eot(3), R(1), Eot(2)});
    track->DeleteDuplicateEndOfTrack();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{P(0), Q(15), R(4), Eot(2)}));

    track = Track(kFormQ1, {});
    track->DeleteDuplicateEndOfTrack();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Eot(0)}));
}

// No operation writes past the table; a record that cannot be stored is
// destroyed (the sanitizer build would see a leak).
TEST(TrackList, FullTableRefusesEveryAddition) {
    CaptureSink sink;
    MidiTrackData track(kFormQ1);
    for (int i = 0; i < kMaxEvents; ++i) ASSERT_EQ(track.AddEvent(Make(P(1))), 1);
    EXPECT_TRUE(sink.Messages().empty());

    MidiEvent own;
    EXPECT_EQ(track.AddEvent(Make(P(1))), 0);
    EXPECT_EQ(track.AddCopyEvent(&own), 0);
    track.AddTempo(500000);
    track.AddEndOfTrack(0);
    track.AddNote(0, 0, 60, 1, 1);
    track.AddGSInstSelect(0, 1, 2, 3);
    track.InsertEvent(5, 2, Make(E(0)));
    track.InsertEvent(50, Make(E(0)), 2);
    track.InsertEvent(kMaxEvents * 2, Make(E(0)));
    track.InsertTempo(0, 500000);
    EXPECT_EQ(track.event_count, kMaxEvents);
    EXPECT_EQ(sink.Count(kTooMuch), 10);

    // An end of track inserted where one is only moves it: no room needed.
    track.DeleteEvent(kMaxEvents - 1);
    track.AddEndOfTrack(0);
    track.InsertEvent(kMaxEvents * 3, Make(Eot(0)));
    EXPECT_EQ(track.event_count, kMaxEvents);
    EXPECT_EQ(track.event_table[kMaxEvents - 1]->delta, kMaxEvents * 3 - (kMaxEvents - 1));

    // Room for two but not three: an instrument selection goes in whole or not at all.
    track.DeleteEvent(0);
    track.DeleteEvent(0);
    track.AddGSInstSelect(0, 1, 2, 3);
    EXPECT_EQ(track.event_count, kMaxEvents - 2);
    track.AddGMInstSelect(0, 1, 3);
    EXPECT_EQ(track.event_count, kMaxEvents);
}
