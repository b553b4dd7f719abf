// Real files, not only made-up ones: the MIDI files Debian's mma and
// openttd-openmsx packages ship are loaded, mirrored every way, saved, and
// read back by mido with every note present.

#include "CliFixture.h"
#include "midi/song/DemoSong.h"

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

// Every note of the input is in every saved file, where the mirror puts it
// (read by mido and by the library); backwards the song lasts as long, and
// twice gives the song back; a plain save keeps the tempo in force at every
// tick. Beside the real files: a generated song (overlapping notes of one
// pitch on four channels, drums on 10, programs and a tempo) and the demo.
TEST(RealFiles, MirroredEveryWayAndReadBackByMido) {
    REQUIRE_REAL_FILES(files);
    TempDir out;
    std::mt19937 random(11);
    auto song = mirror_test::RandomSong(random, 300, 10, 4);
    song->GetTrack()->InsertEvent(0, 2, Tempo(0, 400000));
    song->Q2toQ1();
    ASSERT_EQ(song->Q1toRaw(), 1);
    files.push_back(out.File("generated.mid"));
    WriteBytes(files.back(), Bytes(song->buffer, song->buffer + song->size));
    files.push_back(out.File("demo.mid"));
    WriteBytes(files.back(), DemoSongImage());

    // Per file: plain, -H, -V, -H -V (by the mask 1: horizontal, 2:
    // vertical), then -H of the -H output.
    const std::vector<std::string> flags = {"", "-H", "-V", "-H -V", "-H"};
    std::vector<std::string> paths = files;
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t f = 0; f < flags.size(); ++f) {
            const std::string input = f == 4 ? paths[paths.size() - 3] : files[i];
            paths.push_back(out.File(std::to_string(i) + "_" + std::to_string(f) + ".mid"));
            const RunResult run = Retrograde("mirror " + flags[f] + " " + Quote(input) + " -o " +
                                             Quote(paths.back()));
            ASSERT_EQ(run.status, 0) << files[i] << " " << flags[f] << ": " << run.err;
            EXPECT_EQ(run.err, "") << files[i] << " " << flags[f];
        }
    }
    const auto views = ReadWithMido(paths);
    std::size_t total = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const MidoView& input = views.at(files[i]);
        ASSERT_TRUE(input.ok) << input.error;
        const auto saved = [&](std::size_t f) -> const std::string& {
            return paths[files.size() + i * flags.size() + f];
        };
        for (std::size_t f = 0; f < flags.size(); ++f) {
            const MidoView& view = views.at(saved(f));
            ASSERT_TRUE(view.ok) << flags[f] << view.error;
            EXPECT_EQ(std::make_tuple(view.format, view.tracks, view.division),
                      std::make_tuple(0, 1, input.division));
            EXPECT_EQ(view.note_ons, input.note_ons) << flags[f];
            if (f == 4) break;
            const Notes expected = ExpectedMirror(files[i], f & 1, f & 2);
            EXPECT_EQ(view.notes, expected) << flags[f];
            EXPECT_EQ(NotesOfFile(saved(f)), expected) << flags[f];
            total += expected.size();
        }
        EXPECT_EQ(TempoMap(views.at(saved(0)).tempos), TempoMap(input.tempos));
        EXPECT_NEAR(views.at(saved(1)).seconds, views.at(saved(0)).seconds, 0.020);
        // Twice: the song again, exactly when it has no lead-in to drop.
        const Notes& twice = views.at(saved(4)).notes;
        const Notes& plain = views.at(saved(0)).notes;
        EXPECT_EQ(FromFirstNote(twice), FromFirstNote(plain));
        if (!plain.empty() && plain.front().start == 0) {
            EXPECT_EQ(twice, plain);
        }
    }
    EXPECT_GT(total, 40000u) << "the files hold fewer notes than expected";
}
