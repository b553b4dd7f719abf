// MirrorInPlace against the literal steps it stands for (Q2toQ1, then the
// backwards mirror, then the upside-down one) on random songs: keys near both
// ends of the range, restruck keys, notes that sound nothing, drum channels.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "midi/song/SongPipeline.h"
#include "song/MirrorFixture.h"

using namespace mirror_test;

namespace {

std::unique_ptr<MidiF0Data> WideSong(std::mt19937& random) {
    std::uniform_int_distribution<int> gap(0, 2), length(0, 4), channel(0, 5), kind(0, 19);
    // Some songs play at both ends of the key range, where turned keys are
    // held within 0..127 and several become one; most stay in the middle.
    const bool wide = random() % 3 == 0;
    std::uniform_int_distribution<int> middle(40, 80), low(0, 8), high(118, 127);
    auto key = [&](std::mt19937& r) { return !wide ? middle(r) : r() % 2 ? low(r) : high(r); };
    std::vector<Ev> events;
    if (random() % 2 == 0) events.push_back(RhythmPart(0, channel(random)));
    long tick = 0;
    long end = 0;
    for (int i = 0; i < 60; ++i) {
        tick += gap(random) * 60;
        const int c = channel(random);
        const int k = kind(random);
        if (k == 0) events.push_back(Pc(tick, c, 5));
        if (k == 1) events.push_back(Tempo(tick, 400000 + 1000 * i));
        // A note of no length or no velocity sounds nothing and goes.
        const int d = k == 2 ? 0 : length(random) * 60 + 30;
        events.push_back(Note(tick, c, key(random), d, k == 3 ? 0 : 1 + i));
        end = std::max(end, tick + d);
    }
    events.push_back(Eot(end + 60));
    return MakeSong(kFormQ2, 480, std::move(events));
}

}  // namespace

TEST(MirrorInPlace, MatchesTheLiteralStepsOnRandomSongs) {
    std::mt19937 random(21);
    const MirrorChoice choices[] = {
        {true, true, false}, {true, true, true}, {false, true, false}, {true, false, false}};
    for (int round = 0; round < 150; ++round) {
        auto song = WideSong(random);
        for (const MirrorChoice& choice : choices) {
            MidiF0Data literal(song.get());
            literal.Q2toQ1();
            if (choice.horizontal) literal.HorizontalReverse(choice.carry_state);
            if (choice.vertical) literal.VerticalReverse();
            MidiF0Data own(song.get());
            MirrorInPlace(own, choice);
            ASSERT_EQ(own.form, kFormQ1);
            ASSERT_EQ(Image(*own.GetTrack()), Image(*literal.GetTrack()))
                << "round " << round << " H " << choice.horizontal << " V " << choice.vertical
                << " carry " << choice.carry_state;
        }
    }
}
