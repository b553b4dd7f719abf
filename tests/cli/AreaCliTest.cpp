// `clear` and `length` end to end on real files, read back by mido.
#include <gtest/gtest.h>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Per track, the setup at tick 0 (no notes, texts, markers or lyrics), then
// "HANGING n": the note ons that no note off ends; or "LENGTH s".
std::vector<std::string> Mido(const std::string& path) {
    const RunResult run = RunShell(
        "/usr/bin/python3 -c 'import sys, mido, collections\n"
        "song = mido.MidiFile(sys.argv[1])\n"
        "for n, track in enumerate(song.tracks):\n"
        "    tick = 0\n"
        "    for m in track:\n"
        "        tick += m.time\n"
        "        if tick == 0 and m.type not in (\"note_on\", \"note_off\", \"end_of_track\", "
        "\"text\", \"marker\", \"lyrics\"): "
        "print(n, m)\n"
        "open = collections.Counter()\n"
        "for m in mido.merge_tracks(song.tracks):\n"
        "    if m.type == \"note_on\" and m.velocity > 0: open[(m.channel, m.note)] += 1\n"
        "    elif m.type in (\"note_on\", \"note_off\") and open[(m.channel, m.note)]: "
        "open[(m.channel, m.note)] -= 1\n"
        "print(\"HANGING\", sum(open.values()))\n"
        "print(\"LENGTH %.3f\" % song.length)' " +
        Quote(path));
    EXPECT_EQ(run.status, 0) << run.err;
    return SplitLines(run.out);
}

TEST(AreaCli, ClearKeepsSetupAndEndsNotesAndLengthAgreesWithMido) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    for (std::size_t k = 0; k < files.size(); k += files.size() / 4) {
        SCOPED_TRACE(files[k]);
        const std::string out = dir.File("cleared" + std::to_string(k) + ".mid");
        const RunResult run =
            Retrograde("clear --from 1:1 --to 3:1 " + Quote(files[k]) + " -o " + Quote(out));
        ASSERT_EQ(run.status, 0) << run.err;
        const auto before = Mido(files[k]), after = Mido(out);
        ASSERT_GE(after.size(), 2u);
        EXPECT_EQ(after[after.size() - 2], "HANGING 0");
        // The setup at the start stays, in order, ahead of what the span moved there.
        const std::vector<std::string> setup(before.begin(), before.end() - 2);
        std::size_t found = 0;
        for (const std::string& line : after) found += found < setup.size() && line == setup[found];
        EXPECT_EQ(found, setup.size());
        // The cleared song plays as long as before.
        const RunResult length = Retrograde("length " + Quote(out));
        EXPECT_EQ(length.status, 0) << length.err;
        EXPECT_NE(length.out.find(after.back().substr(7) + " seconds"), std::string::npos)
            << length.out << after.back();
    }
    EXPECT_EQ(Retrograde("clear --from 3:1 --to 1:1 " + Quote(files[0]) + " -o " +
                         Quote(dir.File("x.mid")))
                  .status,
              2);
}

}  // namespace
