// `drums-clean`, `drums-remove`, `drums-map` and `unbend` end to end, every
// file they write read back strictly by mido.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Format 1: a lead on channel 1 bent up a semitone halfway through its note,
// and drums on channel 10: a note below the drum map (20) that doubles the
// bass drum (35) once moved, snares, a crash and a note above the map (90).
Bytes Band() {
    return SongFile(
        {Concat({smf::Text(0, 3, "Song"), smf::Tempo(0, 500000)}),
         Concat({smf::Text(0, 3, "Lead"), smf::On(0, 0, 60), smf::Msg(480, {0xE0, 0x7F, 0x5F}),
                 smf::Off(480, 0, 60)}),
         Concat({smf::Text(0, 3, "Kit"), smf::On(0, 9, 35), smf::On(0, 9, 20), smf::On(0, 9, 38),
                 smf::Off(240, 9, 35), smf::Off(0, 9, 20), smf::Off(0, 9, 38), smf::On(0, 9, 49),
                 smf::On(0, 9, 38), smf::On(0, 9, 90), smf::Off(240, 9, 49), smf::Off(0, 9, 38),
                 smf::Off(0, 9, 90)})});
}

Notes OnChannel(const MidoView& view, int channel) {
    Notes notes;
    for (const NoteValue& n : view.notes)
        if (n.channel == channel) notes.push_back(n);
    return notes;
}

std::vector<int> Pitches(const MidoView& view, int channel) {
    std::vector<int> out;
    for (const NoteValue& n : OnChannel(view, channel)) out.push_back(n.note);
    return out;
}

}  // namespace

TEST(DrumsBendCli, DrumVerbsAndUnbendWriteCleanFiles) {
    const SongDir dir(Band());
    const auto run = [&](const std::string& verb, const std::string& out) {
        return Written(verb, dir.in, dir.File(out));
    };
    const RunResult clean = run("drums-clean", "clean.mid");
    EXPECT_TRUE(Holds(clean.out, "track 3 at 1:1:240: moved F#6 -> B1\n"));
    EXPECT_TRUE(Holds(clean.out, "track 3 at 1:1:0: removed G#0 (as B1): struck again"));
    run("drums-remove --note 49", "remove.mid");
    run("drums-remove --note 38 --kit 1", "kit1.mid");
    const std::string map = "# kit,drum,program,tone\n\n0, D2, 0, C4  # snare to piano\n";
    WriteBytes(dir.File("map.txt"), Bytes(map.begin(), map.end()));
    run("drums-map --to-tone " + Quote(dir.File("map.txt")), "map.mid");
    EXPECT_TRUE(Holds(run("unbend", "unbend.mid").out,
                      "1 pitch bends played as notes (range 2 semitones)"));

    auto views = ReadWithMido({dir.File("clean.mid"), dir.File("remove.mid"), dir.File("kit1.mid"),
                               dir.File("map.mid"), dir.File("unbend.mid")});
    for (const auto& [path, view] : views) ASSERT_TRUE(view.ok) << path << ": " << view.error;
    EXPECT_EQ(Pitches(views[dir.File("clean.mid")], 9), (std::vector<int>{35, 38, 35, 38, 49}));
    EXPECT_EQ(Pitches(views[dir.File("remove.mid")], 9), (std::vector<int>{20, 35, 38, 38, 90}));
    EXPECT_EQ(Pitches(views[dir.File("kit1.mid")], 9).size(), 6u);
    EXPECT_EQ(Pitches(views[dir.File("map.mid")], 9), (std::vector<int>{20, 35, 49, 90}));
    EXPECT_EQ(Pitches(views[dir.File("map.mid")], 1), (std::vector<int>{60, 60}));
    EXPECT_EQ(OnChannel(views[dir.File("unbend.mid")], 0),
              (Notes{{0, 0, 60, 480, 100}, {480, 0, 61, 480, 90}}));

    // A bad map line is named by its number; nothing is written.
    const std::string bad = "0,38,0,60\n0,38,1,62\n";
    WriteBytes(dir.File("bad.txt"), Bytes(bad.begin(), bad.end()));
    const RunResult refused = Retrograde("drums-map --to-tone " + Quote(dir.File("bad.txt")) + " " +
                                         Quote(dir.in) + " -o " + Quote(dir.File("x.mid")));
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Holds(refused.err, "bad.txt:2: kit 0, note 38 mapped twice"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.mid")));
}
