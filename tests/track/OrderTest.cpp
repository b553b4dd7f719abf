// Exchanges of events, the refusals of the move-to-front walks and the
// rescaling of times to another division.

#include "support/TestEvents.h"

TEST(TrackOrder, ExchangesAndWalkRefusals) {
    CaptureSink sink;
    const std::vector<Ev> events = {Tag(10, 1), Tag(0, 2), Tag(20, 3), Tag(0, 4)};
    auto track = Track(kFormQ1, events);
    track->SwapEventWithDelta(0, 2);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(20, 3), Tag(0, 2), Tag(10, 1), Tag(0, 4)}));

    track = Track(kFormQ1, events);
    track->SwapEvent(1, 3);  // both at delta 0: quiet
    EXPECT_TRUE(sink.Messages().empty());
    track->SwapEvent(0, 1);  // a timed event: reported, exchanged all the same
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(0, 4), Tag(10, 1), Tag(20, 3), Tag(0, 2)}));
    EXPECT_EQ(sink.Count(kGeneric), 1);

    track = Track(kFormQ1, events);
    track->SwapEventExceptDeltaBetween(3, 0);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(10, 4), Tag(0, 1), Tag(20, 2), Tag(0, 3)}));
    track->SwapEventExceptDeltaBetween(0, 2);  // upwards: reported, nothing done
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(10, 4), Tag(0, 1), Tag(20, 2), Tag(0, 3)}));
    EXPECT_EQ(sink.Count(kGeneric), 2);
    track->SwapEventExceptDelta(0, 4);
    EXPECT_EQ(sink.Count(kInternal), 1);

    // The walks themselves are checked against their literal versions in
    // FormsOracleTest; here only what they refuse.
    sink.Clear();
    track = Track(kFormQ2, {On(5, 0, 60), Tag(0, 1)});
    track->MoveCommandFirst();
    track->MoveNoteOffFront();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{On(5, 0, 60), Tag(0, 1)}));
    EXPECT_EQ(sink.Count(kInternal), 2);
}

TEST(TrackOrder, ChangeDivisionCarriesRounding) {
    CaptureSink sink;
    auto track = Track(kFormQ2, {Tag(7, 1), Tag(7, 2), Tag(7, 3), Tag(7, 4), Tag(7, 5)});
    EXPECT_EQ(track->ChangeDivision(480, 96), 0);
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{Tag(1, 1), Tag(1, 2), Tag(2, 3), Tag(1, 4), Tag(2, 5)}));

    track = Track(kFormQ2, {Tag(5, 1), Note(3, 0, 60, 1000, 90), Tag(7, 3)});
    EXPECT_EQ(track->ChangeDivision(96, 480), 0);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(25, 1), Note(15, 0, 60, 5000, 90), Tag(35, 3)}));

    // A Note that becomes too short is removed or lengthened to one tick.
    const std::vector<Ev> short_note = {Tag(0, 1), Note(480, 0, 60, 3, 90), Tag(480, 3)};
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96, true), 1);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(0, 1), Tag(192, 3)}));
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96, false), 1);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(0, 1), Note(96, 0, 60, 1, 90), Tag(96, 3)}));
    EXPECT_TRUE(sink.Messages().empty());

    // A division of 0 or the wrong form: reported, nothing changed.
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 0), 0);
    EXPECT_EQ(Events(*track), short_note);
    track = Track(kFormQ1, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96), 0);
    EXPECT_EQ(Events(*track), short_note);
    EXPECT_EQ(sink.Count(kInternal), 2);

    // Times that pass 32 bits in between do not overflow.
    track = Track(kFormQ2, {Tag(2000000000, 1), Tag(2000000000, 2)});
    track->ChangeDivision(960, 480);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(1000000000, 1), Tag(1000000000, 2)}));
}
