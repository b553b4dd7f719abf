// Real files, not only made-up ones: the MIDI files Debian's mma and
// openttd-openmsx packages ship are loaded, mirrored both ways, saved, and
// read back by mido with every note present.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Fetches the files once into the build folder; the reason when it fails.
bool FetchRealFiles(const std::string& folder, std::string* why) {
    const RunResult run =
        RunShell(Quote(std::string(RETROGRADE_SOURCE_DIR) + "/tests/realfiles/fetch.sh") + " " +
                 Quote(folder));
    *why = run.out + run.err;
    return run.status == 0;
}

}  // namespace

TEST(RealFiles, MirroredBothWaysAndReadBackByMido) {
    const std::string folder = std::string(RETROGRADE_BINARY_DIR) + "/realfiles";
    std::string why;
    if (!FetchRealFiles(folder, &why)) {
        // Without the files this test proves nothing; it must not pass
        // quietly. Only an explicit offline run may skip it.
        if (std::getenv("RETROGRADE_OFFLINE") != nullptr) {
            GTEST_SKIP() << "RETROGRADE_OFFLINE is set and the real MIDI files could not be "
                            "fetched: "
                         << why;
        }
        FAIL() << "THE REAL MIDI FILES (Debian packages mma, openttd-openmsx) COULD NOT BE "
                  "FETCHED; set RETROGRADE_OFFLINE=1 to skip knowingly. "
               << why;
    }
    const std::vector<std::string> files = SplitLines(ReadText(folder + "/files.txt"));
    ASSERT_GE(files.size(), 50u) << "fewer MIDI files than those packages ship";

    TempDir out;
    std::vector<std::string> outputs;
    std::vector<std::size_t> expected_notes;
    std::vector<std::string> horizontal;
    std::vector<Notes> expected_horizontal;
    std::size_t total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        const Notes notes = NotesOfFile(file);
        total += notes.size();
        const std::string both = out.File(std::to_string(i) + "-hv.mid");
        const std::string back = out.File(std::to_string(i) + "-h.mid");
        RunResult run = Retrograde("mirror -H -V " + Quote(file) + " -o " + Quote(both));
        ASSERT_EQ(run.status, 0) << file << ": " << run.err;
        run = Retrograde("mirror --horizontal " + Quote(file) + " -o " + Quote(back));
        ASSERT_EQ(run.status, 0) << file << ": " << run.err;
        outputs.push_back(both);
        expected_notes.push_back(notes.size());
        horizontal.push_back(back);
        expected_horizontal.push_back(ExpectedMirror(file, true, false));
    }
    EXPECT_GT(total, 10000u) << "the files hold fewer notes than expected";

    std::vector<std::string> all = outputs;
    all.insert(all.end(), horizontal.begin(), horizontal.end());
    const auto views = ReadWithMido(all);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const MidoView& both = views.at(outputs[i]);
        ASSERT_TRUE(both.ok) << both.error;
        EXPECT_EQ(both.format, 0);
        EXPECT_EQ(static_cast<std::size_t>(both.note_ons), expected_notes[i]);
        EXPECT_EQ(both.notes.size(), expected_notes[i]);
        // Backwards only: every note where the mirror puts it, with its
        // length and velocity.
        const MidoView& back = views.at(horizontal[i]);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.notes, expected_horizontal[i]);
    }
}
