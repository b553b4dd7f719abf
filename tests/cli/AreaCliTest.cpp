// `clear` and `length` end to end on real files, read back by mido (midi_setup.py: the setup at
// tick 0, "HANGING n" and "LENGTH s").

#include "CliFixture.h"

using namespace cli_test;

TEST(AreaCli, ClearKeepsSetupAndEndsNotesAndLengthAgreesWithMido) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    for (std::size_t k = 0; k < files.size(); k += files.size() / 4) {
        SCOPED_TRACE(files[k]);
        const std::string out = dir.File("cleared" + std::to_string(k) + ".mid");
        const RunResult run =
            Retrograde("clear --from 1:1 --to 3:1 " + Quote(files[k]) + " -o " + Quote(out));
        ASSERT_EQ(run.status, 0) << run.err;
        const auto before = SplitLines(RunScript("midi_setup.py", {files[k]}).out);
        const auto after = SplitLines(RunScript("midi_setup.py", {out}).out);
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
