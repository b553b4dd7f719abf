// Appending, inserting and deleting events: delta folding, insertion at a
// tick, the end-of-track helpers, the table limit, exchanges of events, the
// refusals of the move-to-front walks and the rescaling to another division.

#include "support/TestEvents.h"

namespace {

const auto P = [](int delta) { return Tag(delta, 1); };
const auto Q = [](int delta) { return Tag(delta, 2); };
const auto R = [](int delta) { return Tag(delta, 3); };
const auto E = [](int delta) { return Tag(delta, 99); };  // the event being inserted

EvList InsertAtTick(EvList events, int tick, int mode) {
    auto track = Track(kFormQ1, events);
    track->InsertEvent(tick, Make(E(0)), mode);
    return Events(*track);
}

}  // namespace

TEST(TrackList, AppendInsertDeleteExchangeRescaleAndAFullTable) {
    CaptureSink sink;
    MidiTrackData appended(kFormQ2);
    appended.AddNote(5, 30, 60, 90, 240);
    appended.AddTempo(0);  // reported, and the default tempo instead
    appended.AddEndOfTrack(15);
    appended.AddEndOfTrack();  // already there: nothing
    EXPECT_EQ(Events(appended), (EvList{Note(30, 5, 60, 240, 90), Tempo(0, 500000), Eot(15)}));
    EXPECT_EQ(DataOf(*appended.event_table[1], 3), (Bytes{0x07, 0xA1, 0x20}));
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
    EXPECT_EQ(Events(*track), (EvList{Tag(7, 8), P(0), E(5), Q(10), R(20), Tag(6, 7)}));
    // Outside the table: reported, the record is destroyed, nothing moves.
    track->InsertEvent(7, 2, Make(E(1)));
    track->InsertEvent(-3, 1, Make(E(1)));
    EXPECT_EQ(track->event_count, 6);
    EXPECT_EQ(sink.Messages(), (Lines{kInternal, kInternal}));

    const EvList group = {P(0), Q(480), R(0), Eot(0)};
    // Mode 2: before everything already at the tick.
    EXPECT_EQ(InsertAtTick(group, 480, 2), (EvList{P(0), E(480), Q(0), R(0), Eot(0)}));
    // Mode 1: after them, but before the end of track.
    EXPECT_EQ(InsertAtTick(group, 480, 1), (EvList{P(0), Q(480), R(0), E(0), Eot(0)}));
    // Between two events.
    EXPECT_EQ(InsertAtTick(group, 200, 1), (EvList{P(0), E(200), Q(280), R(0), Eot(0)}));

    const EvList short_track = {P(0), Eot(480)};
    EXPECT_EQ(InsertAtTick(short_track, 240, 1), (EvList{P(0), E(240), Eot(240)}));
    EXPECT_EQ(InsertAtTick(short_track, -1, 1), (EvList{P(0), E(480), Eot(0)}));

    // An end of track inserted into a track that has one moves it.
    track = Track(kFormQ1, {P(0), Q(100), Eot(50)});
    track->InsertEvent(900, Make(Eot(0)));
    EXPECT_EQ(Events(*track), (EvList{P(0), Q(100), Eot(800)}));
    // Into a track without one it goes at the end's tick when it would lie
    // before the last event.
    sink.Clear();
    track = Track(kFormQ1, {P(0), Q(100), R(500)});
    track->InsertEvent(200, Make(Eot(0)));
    EXPECT_EQ(Events(*track), (EvList{P(0), Q(100), R(500), Eot(0)}));
    EXPECT_EQ(sink.Count(kGeneric), 1);
    track = Track(kFormQ1, {P(5), Q(100), R(20), Eot(0)});
    track->DeleteEvent(1);
    EXPECT_EQ(Events(*track), (EvList{P(5), R(120), Eot(0)}));
    track->DeleteEvent(3);
    EXPECT_EQ(sink.Count(kInternal), 1);

    track = Track(kFormQ1, {Nop(10), P(5), Nop(7), Nop(8), Q(1), R(2), Nop(30)});
    track->DeleteNop();
    // A none event at the end takes its delta with it.
    EXPECT_EQ(Events(*track), (EvList{P(15), Q(16), R(2)}));

    track = Track(kFormQ1, {Eot(10), P(5)});
    track->DeleteDuplicateEndOfTrack();
    EXPECT_EQ(Events(*track), (EvList{P(15), Eot(0)}));

    track = Track(kFormQ1, {P(0), Eot(10), Q(5), Eot(3), R(1), Eot(2)});
    track->DeleteDuplicateEndOfTrack();
    EXPECT_EQ(Events(*track), (EvList{P(0), Q(15), R(4), Eot(2)}));

    track = Track(kFormQ1, {});
    track->DeleteDuplicateEndOfTrack();
    EXPECT_EQ(Events(*track), (EvList{Eot(0)}));
    sink.Clear();
    // No operation writes past the table; a record that cannot be stored is
    // destroyed (the sanitizer build would see a leak).
    MidiTrackData full(kFormQ1);
    for (int i = 0; i < kMaxEvents; ++i) ASSERT_EQ(full.AddEvent(Make(P(1))), 1);

    MidiEvent spare;
    EXPECT_EQ(full.AddEvent(Make(P(1))), 0);
    EXPECT_EQ(full.AddCopyEvent(&spare), 0);
    full.AddTempo(500000);
    full.AddEndOfTrack(0);
    full.AddNote(0, 0, 60, 1, 1);
    full.AddGSInstSelect(0, 1, 2, 3);
    full.InsertEvent(5, 2, Make(E(0)));
    full.InsertEvent(50, Make(E(0)), 2);
    full.InsertEvent(kMaxEvents * 2, Make(E(0)));
    full.InsertTempo(0, 500000);
    EXPECT_EQ(full.event_count, kMaxEvents);
    EXPECT_EQ(sink.Messages(), Lines(10, kTooMuch));

    // An end of track inserted where one is only moves it: no room needed.
    full.DeleteEvent(kMaxEvents - 1);
    full.AddEndOfTrack(0);
    full.InsertEvent(kMaxEvents * 3, Make(Eot(0)));
    EXPECT_EQ(full.event_count, kMaxEvents);
    EXPECT_EQ(full.event_table[kMaxEvents - 1]->delta, kMaxEvents * 3 - (kMaxEvents - 1));

    // Room for two but not three: an instrument selection goes in whole or not at all.
    full.DeleteEvent(0);
    full.DeleteEvent(0);
    full.AddGSInstSelect(0, 1, 2, 3);
    EXPECT_EQ(full.event_count, kMaxEvents - 2);
    full.AddGMInstSelect(0, 1, 3);
    EXPECT_EQ(full.event_count, kMaxEvents);

    sink.Clear();
    const EvList events = {Tag(10, 1), Tag(0, 2), Tag(20, 3), Tag(0, 4)};
    track = Track(kFormQ1, events);
    track->SwapEventWithDelta(0, 2);
    EXPECT_EQ(Events(*track), (EvList{Tag(20, 3), Tag(0, 2), Tag(10, 1), Tag(0, 4)}));

    track = Track(kFormQ1, events);
    track->SwapEvent(1, 3);  // both at delta 0: quiet
    EXPECT_TRUE(sink.Messages().empty());
    track->SwapEvent(0, 1);  // a timed event: reported, exchanged all the same
    EXPECT_EQ(Events(*track), (EvList{Tag(0, 4), Tag(10, 1), Tag(20, 3), Tag(0, 2)}));
    EXPECT_EQ(sink.Messages(), Lines{kGeneric});

    track = Track(kFormQ1, events);
    track->SwapEventExceptDeltaBetween(3, 0);
    EXPECT_EQ(Events(*track), (EvList{Tag(10, 4), Tag(0, 1), Tag(20, 2), Tag(0, 3)}));
    track->SwapEventExceptDeltaBetween(0, 2);  // upwards: reported, nothing done
    EXPECT_EQ(Events(*track), (EvList{Tag(10, 4), Tag(0, 1), Tag(20, 2), Tag(0, 3)}));
    track->SwapEventExceptDelta(0, 4);
    EXPECT_EQ(sink.Messages(), (Lines{kGeneric, kGeneric, kInternal}));

    // The walks themselves are checked against their literal versions in
    // FormsOracleTest; here only what they refuse.
    sink.Clear();
    track = Track(kFormQ2, {On(5, 0, 60), Tag(0, 1)});
    track->MoveCommandFirst();
    track->MoveNoteOffFront();
    EXPECT_EQ(Events(*track), (EvList{On(5, 0, 60), Tag(0, 1)}));
    EXPECT_EQ(sink.Messages(), (Lines{kInternal, kInternal}));
    sink.Clear();
    track = Track(kFormQ2, {Tag(7, 1), Tag(7, 2), Tag(7, 3), Tag(7, 4), Tag(7, 5)});
    EXPECT_EQ(track->ChangeDivision(480, 96), 0);
    EXPECT_EQ(Events(*track), (EvList{Tag(1, 1), Tag(1, 2), Tag(2, 3), Tag(1, 4), Tag(2, 5)}));

    track = Track(kFormQ2, {Tag(5, 1), Note(3, 0, 60, 1000, 90), Tag(7, 3)});
    EXPECT_EQ(track->ChangeDivision(96, 480), 0);
    EXPECT_EQ(Events(*track), (EvList{Tag(25, 1), Note(15, 0, 60, 5000, 90), Tag(35, 3)}));
    // Up by 5/2: each event within a tick of its exact time, no drift.
    track = Track(kFormQ2, {Tag(1, 1), Tag(0, 2), Tag(1, 3), Tag(0, 4)});
    EXPECT_EQ(track->ChangeDivision(192, 480), 0);
    EXPECT_EQ(Events(*track), (EvList{Tag(2, 1), Tag(0, 2), Tag(3, 3), Tag(0, 4)}));

    // A Note that becomes too short is removed or lengthened to one tick.
    const EvList short_note = {Tag(0, 1), Note(480, 0, 60, 3, 90), Tag(480, 3)};
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96, true), 1);
    EXPECT_EQ(Events(*track), (EvList{Tag(0, 1), Tag(192, 3)}));
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96, false), 1);
    EXPECT_EQ(Events(*track), (EvList{Tag(0, 1), Note(96, 0, 60, 1, 90), Tag(96, 3)}));

    // A division of 0 or the wrong form: reported, nothing changed.
    for (auto [form, division] : {std::pair{kFormQ2, 0}, {kFormQ1, 96}}) {
        track = Track(form, short_note);
        EXPECT_EQ(track->ChangeDivision(480, division), 0);
        EXPECT_EQ(Events(*track), short_note);
    }
    EXPECT_EQ(sink.Messages(), (Lines{kInternal, kInternal}));  // none for the changes above

    // Times that pass 32 bits in between do not overflow.
    track = Track(kFormQ2, {Tag(2000000000, 1), Tag(2000000000, 2)});
    track->ChangeDivision(960, 480);
    EXPECT_EQ(Events(*track), (EvList{Tag(1000000000, 1), Tag(1000000000, 2)}));
}
