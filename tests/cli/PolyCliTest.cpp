// The chord and polyphony verbs end to end, their files read back by mido.

#include <filesystem>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// The most notes sounding at one tick; a note ending where another starts
// does not count with it.
int MostAtOnce(const Notes& notes) {
    std::map<long, int> change;
    for (const NoteValue& n : notes) {
        ++change[n.start];
        --change[n.start + n.duration];
    }
    int now = 0, most = 0;
    for (const auto& [tick, delta] : change) most = std::max(most, now += delta);
    return most;
}

// Notes of channel 0 (velocity, note) and one drum note, format 0.
Bytes Notes4() {
    return Concat(
        {HeaderChunk(0, 1, 480),
         TrackChunk(Concat({smf::Tempo(0, 500000), smf::On(0, 0, 30, 50), smf::On(0, 0, 100, 100),
                            smf::On(0, 9, 20, 90), smf::Off(480, 0, 30), smf::Off(0, 0, 100),
                            smf::Off(0, 9, 20), smf::Eot(0)}))});
}

}  // namespace

TEST(PolyCli, ReducePolyLeavesAtMostFourNotesSounding) {
    REQUIRE_REAL_FILES(files);
    files.resize(4);
    TempDir dir;
    std::string inputs;
    for (const std::string& f : files) inputs += " " + Quote(f);
    const RunResult run =
        Retrograde("reduce-poly --voices 4" + inputs + " -o " + Quote(dir.Path()));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> outputs;
    for (const std::string& f : files) {
        outputs.push_back(dir.File(std::filesystem::path(f).filename().string()));
    }
    std::vector<std::string> all = files;
    all.insert(all.end(), outputs.begin(), outputs.end());
    auto views = ReadWithMido(all);
    int reduced = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const MidoView& out = views[outputs[i]];
        ASSERT_TRUE(out.ok) << outputs[i] << ": " << out.error;
        EXPECT_LE(MostAtOnce(out.notes), 4) << files[i];
        EXPECT_FALSE(out.notes.empty()) << files[i];
        reduced += MostAtOnce(views[files[i]].notes) > 4 ? 1 : 0;
    }
    EXPECT_GT(reduced, 0);  // the files did need it
}

TEST(PolyCli, RangeVelocityAndExtract) {
    TempDir dir;
    WriteBytes(dir.File("in.mid"), Notes4());
    const auto notes_of = [&](const std::string& args) {
        const RunResult run = Retrograde(args + " in.mid -o out.mid --force", dir.Path());
        EXPECT_EQ(run.status, 0) << args << ": " << run.err;
        return ReadWithMido(dir.File("out.mid")).notes;
    };
    // Folded an octave at a time; the drum note stays where it is.
    EXPECT_EQ(notes_of("range --low C2 --high C7"),
              (Notes{{0, 0, 42, 480, 50}, {0, 0, 88, 480, 100}, {0, 9, 20, 480, 90}}));
    EXPECT_EQ(notes_of("range --low C2 --high C7 --delete"), (Notes{{0, 9, 20, 480, 90}}));
    EXPECT_EQ(notes_of("velocity --normalize --channel 1"),
              (Notes{{0, 0, 30, 480, 63}, {0, 0, 100, 480, 127}, {0, 9, 20, 480, 90}}));
    EXPECT_EQ(notes_of("extract --channel 10"), (Notes{{0, 9, 20, 480, 90}}));
    const RunResult poly = Retrograde("poly in.mid --json", dir.Path());
    EXPECT_NE(poly.out.find("\"poly\":3,\"voices\":3"), std::string::npos) << poly.out;
    EXPECT_EQ(Retrograde("range --low C4 --high A4 in.mid -o x.mid", dir.Path()).status, 2);
    EXPECT_EQ(Retrograde("velocity --add 3 --normalize in.mid -o x.mid", dir.Path()).status, 2);
    EXPECT_EQ(Retrograde("reduce-poly --voices 2 --keep-top in.mid -o x.mid", dir.Path()).status,
              2);
}
