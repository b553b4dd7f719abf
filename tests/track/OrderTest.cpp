// Reordering within a tick (exchanges and the move-to-front walks) and the
// rescaling of times to another division.
#include <gtest/gtest.h>

#include <vector>

#include "TrackTestSupport.h"

using namespace forms_test;

TEST(TrackOrder, Exchanges) {
    CaptureSink sink;
    const std::vector<Ev> events = {Tag(10, 1), Tag(0, 2), Tag(20, 3), Tag(0, 4)};
    auto track = Track(kFormQ1, events);
    track->SwapEventWithDelta(0, 2);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(20, 3), Tag(0, 2), Tag(10, 1), Tag(0, 4)}));

    track = Track(kFormQ1, events);
    track->SwapEventExceptDelta(0, 2);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(10, 3), Tag(0, 2), Tag(20, 1), Tag(0, 4)}));

    track = Track(kFormQ1, events);
    track->SwapEvent(1, 3);  // both at delta 0: quiet
    EXPECT_TRUE(sink.Messages().empty());
    track->SwapEvent(0, 1);  // a timed event: reported, exchanged all the same
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(0, 4), Tag(10, 1), Tag(20, 3), Tag(0, 2)}));
    EXPECT_EQ(sink.Count(kGeneric), 1);

    track = Track(kFormQ1, events);
    track->SwapEventExceptDeltaBetween(3, 0);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(10, 4), Tag(0, 1), Tag(20, 2), Tag(0, 3)}));
    track->SwapEventExceptDeltaBetween(1, 1);
    track->SwapEventExceptDeltaBetween(0, 2);  // upwards: reported, nothing done
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(10, 4), Tag(0, 1), Tag(20, 2), Tag(0, 3)}));
    EXPECT_EQ(sink.Count(kGeneric), 2);
    track->SwapEventExceptDelta(0, 4);
    EXPECT_EQ(sink.Count(kInternal), 1);
}

TEST(TrackOrder, MoveEventToFrontOfGroup) {
    const Ev on = On(100, 0, 60);
    const Ev control = Cc(0, 0, 7, 100);
    auto track = Track(kFormQ1, {on, control, Tempo(0, 500000)});
    track->MoveEventFromt(kEvMeta, kMetaTempo);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tempo(100, 500000), On(0, 0, 60), control}));

    // A chosen event that opens its group stays first; the next one follows it.
    track = Track(kFormQ1, {Tempo(100, 1), control, Tempo(0, 2), Tag(0, 5), Tempo(0, 3)});
    track->MoveEventFromt(kEvMeta, kMetaTempo);
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{Tempo(100, 1), Tempo(0, 2), Tempo(0, 3), control, Tag(0, 5)}));

    // Groups are kept apart; the first event of the track opens a group.
    track = Track(kFormQ1, {Tag(0, 1), Tempo(0, 1), Tag(5, 2), Tag(0, 3), Tempo(0, 2)});
    track->MoveEventFromt(kEvMeta);
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{Tempo(0, 1), Tag(0, 1), Tempo(5, 2), Tag(0, 2), Tag(0, 3)}));
}

TEST(TrackOrder, ExchangingWalks) {
    CaptureSink sink;
    // A plain exchange: the record at the front goes to the chosen one's place.
    auto track = Track(kFormQ1, {On(10, 0, 60), On(0, 0, 61), Cc(0, 0, 1, 1), On(0, 0, 62),
                                 Cc(0, 0, 2, 2), Cc(30, 0, 3, 3)});
    track->MoveControlChangeFront();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Cc(10, 0, 1, 1), Cc(0, 0, 2, 2), On(0, 0, 60),
                                               On(0, 0, 62), On(0, 0, 61), Cc(30, 0, 3, 3)}));

    const Ev sysex{0, kEvSysEx, kNoChannel, 0, 0, 0, 1, 0};
    const Ev escape{0, kEvSysExEscape, kNoChannel, 0, 0, 0, 0, 0};
    track = Track(kFormQ1, {On(5, 0, 60), escape, Tag(0, 1), sysex});
    track->MoveSysExFront();
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{
                  {5, kEvSysExEscape, kNoChannel, 0, 0, 0, 0, 0}, sysex, Tag(0, 1), On(0, 0, 60)}));

    // Everything but notes and the end of track goes first.
    track = Track(kFormQ1, {On(5, 0, 60), Off(0, 0, 61), Tag(0, 1), Eot(0)});
    track->MoveCommandFirst();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(5, 1), Off(0, 0, 61), On(0, 0, 60), Eot(0)}));
    EXPECT_TRUE(sink.Messages().empty());

    track = Track(kFormQ2, {On(5, 0, 60), Tag(0, 1)});
    track->MoveCommandFirst();
    track->MoveNoteOffFront();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{On(5, 0, 60), Tag(0, 1)}));
    EXPECT_EQ(sink.Count(kInternal), 2);
}

TEST(TrackOrder, NoteOffsBeforeNoteOns) {
    // Each note off changes places with the nearest note on before it.
    auto track = Track(kFormQ1, {On(10, 0, 60), On(0, 0, 62), Off(0, 0, 50), Off(0, 0, 52),
                                 Off(20, 0, 53), On(0, 0, 70), Tag(0, 1), Off(0, 0, 54)});
    track->MoveNoteOffFront();
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{On(10, 0, 60), Off(0, 0, 50), Off(0, 0, 52), On(0, 0, 62),
                               Off(20, 0, 53), Off(0, 0, 54), Tag(0, 1), On(0, 0, 70)}));
    // A note on of the previous tick is out of reach.
    track = Track(kFormQ1, {On(10, 0, 60), Off(5, 0, 60)});
    track->MoveNoteOffFront();
    EXPECT_EQ(Events(*track), (std::vector<Ev>{On(10, 0, 60), Off(5, 0, 60)}));
}

TEST(TrackOrder, ChangeDivisionCarriesRounding) {
    CaptureSink sink;
    auto track = Track(kFormQ2, {Tag(100, 1), Tag(100, 2), Tag(100, 3), Tag(100, 4), Tag(100, 5)});
    EXPECT_EQ(track->ChangeDivision(480, 96), 0);
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{Tag(20, 1), Tag(20, 2), Tag(20, 3), Tag(20, 4), Tag(20, 5)}));

    track = Track(kFormQ2, {Tag(7, 1), Tag(7, 2), Tag(7, 3), Tag(7, 4), Tag(7, 5)});
    track->ChangeDivision(480, 96);
    EXPECT_EQ(Events(*track),
              (std::vector<Ev>{Tag(1, 1), Tag(1, 2), Tag(2, 3), Tag(1, 4), Tag(2, 5)}));

    track = Track(kFormQ2, {Tag(5, 1), Note(3, 0, 60, 90, 1000), Tag(7, 3)});
    EXPECT_EQ(track->ChangeDivision(96, 480), 0);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(25, 1), Note(15, 0, 60, 90, 5000), Tag(35, 3)}));

    // A Note that becomes too short is removed or lengthened to one tick.
    const std::vector<Ev> short_note = {Tag(0, 1), Note(480, 0, 60, 90, 3), Tag(480, 3)};
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96, true), 1);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(0, 1), Tag(192, 3)}));
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96, false), 1);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(0, 1), Note(96, 0, 60, 90, 1), Tag(96, 3)}));
    EXPECT_TRUE(sink.Messages().empty());

    // Equal divisions: nothing. Wrong form or a division of 0: reported.
    track = Track(kFormQ2, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 480, true), 0);
    EXPECT_EQ(track->ChangeDivision(0, 96), 0);
    EXPECT_EQ(track->ChangeDivision(480, 0), 0);
    EXPECT_EQ(Events(*track), short_note);
    track = Track(kFormQ1, short_note);
    EXPECT_EQ(track->ChangeDivision(480, 96), 0);
    EXPECT_EQ(Events(*track), short_note);
    EXPECT_EQ(sink.Count(kInternal), 3);

    // Times that pass 32 bits in between do not overflow.
    track = Track(kFormQ2, {Tag(2000000000, 1), Tag(2000000000, 2)});
    track->ChangeDivision(960, 480);
    EXPECT_EQ(Events(*track), (std::vector<Ev>{Tag(1000000000, 1), Tag(1000000000, 2)}));
}
