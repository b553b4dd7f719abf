// `fit16`, `combine`, `renumber`, `split` and `split-programs` end to end:
// files read back by the library and by mido.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Format 1 on two ports, 21 channels: port A's 16 (drums on 10, programs
// repeating 0..7), and port B's channels 1..4 and 10.
Bytes TwoPorts() {
    std::vector<Bytes> tracks;
    const auto part = [&](int channel, int program, bool portB, int note) {
        Bytes body = smf::Text(0, 3, "T" + std::to_string(tracks.size()));
        if (portB) body = Concat({body, smf::Text(0, 4, "SC88B")});
        if (channel != 9) body = Concat({body, smf::Program(0, channel, program)});
        tracks.push_back(
            Concat({body, smf::On(note, channel, note), smf::Off(240, channel, note)}));
    };
    for (int c = 0; c < 16; ++c) part(c, c % 8, false, 40 + c);
    for (int c : {0, 1, 2, 3, 9}) part(c, 20 + c, true, 70 + c);
    return SongFile(tracks);
}

// (start, note, duration, velocity) of every note, channels left out.
std::multiset<std::array<long long, 4>> Sounds(const MidoView& view) {
    std::multiset<std::array<long long, 4>> sounds;
    for (const NoteValue& n : view.notes) sounds.insert({n.start, n.note, n.duration, n.velocity});
    return sounds;
}

}  // namespace

TEST(CombineCli, Fit16KeepsNotesDrumsAndChannelsAndTheCombineModes) {
    const SongDir dir(TwoPorts());
    const std::string out = dir.File("out.mid");
    EXPECT_TRUE(Holds(Written("fit16", dir.in, out).out, "21 -> 13 tracks, 21 -> 13 channels"));
    const auto views = ReadWithMido({dir.in, out});
    ASSERT_TRUE(views.at(out).ok) << views.at(out).error;
    EXPECT_EQ(Sounds(views.at(out)), Sounds(views.at(dir.in)));
    MidiF1Data song(out.c_str());
    bool second = true;
    EXPECT_LE(song.GetNumChanel(&second), 16);
    EXPECT_FALSE(second);
    std::set<int> channels;
    int drumNotes = 0;
    for (int t = 0; t < song.track_count; ++t) {
        const int channel = song.GetTrack(t)->GetChanel();
        EXPECT_TRUE(channels.insert(channel).second) << "channel " << channel << " twice";
        if (song.IsDrumTrack(t)) drumNotes += song.GetTrack(t)->GetNumNoteEvent();
    }
    EXPECT_EQ(drumNotes, 2);  // both kits, on channel 10

    const auto combine = [&](const std::string& mode) {
        return Written("combine --force " + mode, dir.in, dir.File("o.mid")).out;
    };
    EXPECT_TRUE(Holds(combine("--same-channel"), "; no channel had several"));
    EXPECT_TRUE(Holds(combine("--drums"), "21 -> 20 tracks, 21 -> 20 channels"));
    EXPECT_TRUE(Holds(combine("--same-tone"), "21 -> 14 tracks"));
    EXPECT_TRUE(Holds(combine("--families 8"), "channels"));
    MidiF1Data combined(dir.File("o.mid").c_str());
    EXPECT_LE(combined.GetNumChanel(nullptr), 8);
}

TEST(ChannelsCli, RenumberSplitAndSplitPrograms) {
    const SongDir dir(
        SongFile({smf::Tempo(0, 500000),
                  Concat({smf::Program(0, 5, 0), smf::On(0, 5, 48), smf::Off(480, 5, 48),
                          smf::Program(0, 5, 48), smf::On(0, 5, 72), smf::Off(480, 5, 72)}),
                  Concat({smf::On(0, 9, 36), smf::Off(240, 9, 36)})}));
    const auto run = [&](const std::string& verb, const std::string& out) {
        Written(verb, dir.in, dir.File(out));
        return dir.File(out);
    };
    const auto views = ReadWithMido({run("renumber --keep 10", "r.mid"),
                                     run("split --channel 6 --by pitch --at C4", "s.mid"),
                                     run("split-programs --track 2", "p.mid")});
    std::vector<std::string> seen;
    for (const auto& [path, view] : views) {
        ASSERT_TRUE(view.ok) << path << view.error;
        std::string channels;
        for (const auto& n : view.notes) channels += std::to_string(n.channel) + " ";
        seen.push_back(std::to_string(view.tracks) + ": " + channels);
    }
    // p.mid: the two programs on channels 1 and 2; r.mid: 6 becomes 1, 10
    // stays; s.mid: channel 6 in two tracks.
    EXPECT_EQ(seen, (std::vector<std::string>{"4: 0 9 1 ", "3: 0 9 0 ", "4: 5 9 5 "}));
}
