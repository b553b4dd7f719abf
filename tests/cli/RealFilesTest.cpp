// Real files, not only made-up ones: the MIDI files Debian's mma and
// openttd-openmsx packages ship are loaded, mirrored every way, saved, and
// read back by mido with every note present.

#include "CliFixture.h"

using namespace cli_test;

namespace {

// The tempo in force from each tick on: the last change at a tick wins, and
// 500,000 holds before the first; repeats of the tempo in force go.
std::vector<std::pair<long long, int>> TempoMap(const std::vector<std::pair<long long, int>>& in) {
    std::vector<std::pair<long long, int>> map = {{0, 500000}};
    for (const auto& [tick, tempo] : in) {
        if (map.back().first == tick) map.pop_back();
        if (map.empty() || map.back().second != tempo) map.push_back({tick, tempo});
    }
    return map;
}

// The notes with their starts counted from the first note's start.
Notes FromFirstNote(Notes notes) {
    const long first = notes.empty() ? 0 : notes.front().start;
    for (NoteValue& n : notes) n.start -= first;
    std::sort(notes.begin(), notes.end());
    return notes;
}

}  // namespace

// Every note of the input is in every saved file; backwards each note lies
// where the mirror puts it, the song lasts as long, and twice gives the song
// back; a plain save keeps the tempo in force at every tick.
TEST(RealFiles, MirroredEveryWayAndReadBackByMido) {
    REQUIRE_REAL_FILES(files);

    TempDir out;
    // Per file: plain, -H, -V, -H -V, then -H of the -H output.
    const std::vector<std::string> flags = {"", "-H", "-V", "-H -V", "-H"};
    std::vector<std::string> paths = files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t f = 0; f < flags.size(); ++f) {
            const std::string input = f == 4 ? paths[paths.size() - 3] : files[i];
            paths.push_back(out.File(std::to_string(i) + "_" + std::to_string(f) + ".mid"));
            const RunResult run = Retrograde("mirror " + flags[f] + " " + Quote(input) + " -o " +
                                             Quote(paths.back()));
            ASSERT_EQ(run.status, 0) << files[i] << " " << flags[f] << ": " << run.err;
        }
    }
    const auto views = ReadWithMido(paths);
    std::size_t total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const MidoView& input = views.at(files[i]);
        ASSERT_TRUE(input.ok) << input.error;
        const std::size_t notes = NotesOfFile(files[i]).size();
        total += notes;
        const auto saved = [&](std::size_t f) -> const std::string& {
            return paths[files.size() + i * flags.size() + f];
        };
        for (std::size_t f = 0; f < flags.size(); ++f) {
            const MidoView& view = views.at(saved(f));
            ASSERT_TRUE(view.ok) << flags[f] << view.error;
            EXPECT_EQ(view.format, 0);
            EXPECT_EQ(view.note_ons, input.note_ons) << flags[f];
            EXPECT_EQ(view.notes.size(), notes) << flags[f];
        }
        EXPECT_EQ(TempoMap(views.at(saved(0)).tempos), TempoMap(input.tempos));
        EXPECT_EQ(views.at(saved(1)).notes, ExpectedMirror(files[i], true, false));
        EXPECT_NEAR(views.at(saved(1)).seconds, views.at(saved(0)).seconds, 0.020);
        EXPECT_EQ(FromFirstNote(views.at(saved(4)).notes), FromFirstNote(views.at(saved(0)).notes));
    }
    EXPECT_GT(total, 10000u) << "the files hold fewer notes than expected";
}
