// `renumber`, `split` and `split-programs` end to end; files read back by mido.
#include <gtest/gtest.h>

#include "CliFixture.h"

using namespace cli_test;

TEST(ChannelsCli, RenumberSplitAndSplitPrograms) {
    const auto chunk = [](const Bytes& body) { return TrackChunk(Concat({body, smf::Eot(0)})); };
    TempDir dir;
    const std::string in = dir.File("in.mid");
    WriteBytes(
        in,
        Concat({HeaderChunk(1, 3, 480), chunk(smf::Tempo(0, 500000)),
                chunk(Concat({smf::Program(0, 5, 0), smf::On(0, 5, 48), smf::Off(480, 5, 48),
                              smf::Program(0, 5, 48), smf::On(0, 5, 72), smf::Off(480, 5, 72)})),
                chunk(Concat({smf::On(0, 9, 36), smf::Off(240, 9, 36)}))}));
    const auto run = [&](const std::string& verb, const std::string& out) {
        const RunResult r = Retrograde(verb + " " + Quote(in) + " -o " + Quote(dir.File(out)));
        EXPECT_EQ(r.status, 0) << verb << r.err;
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
    EXPECT_EQ(Retrograde("split-programs " + Quote(in) + " -o " + Quote(dir.File("x.mid"))).status,
              2);
}
