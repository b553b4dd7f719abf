// `info` with its song-level sections and --json, `tidy --tracks` and
// `division`, end to end; files read back by the library and by mido.

#include <filesystem>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Format 1: a conductor track with two tempos, channel 4 with volume and
// program, an empty track, a name-only track, channel 2.
Bytes Layout() {
    return SongFile(
        {Concat({smf::Text(0, 3, "Song"), smf::Tempo(0, 500000), smf::Tempo(1920, 400000)}),
         Concat({smf::Text(0, 3, "Bass"), smf::Cc(0, 3, 7, 90), smf::Program(0, 3, 32),
                 smf::On(0, 3, 40), smf::Off(480, 3, 40), smf::On(0, 3, 52), smf::Off(480, 3, 52)}),
         {},
         smf::Text(0, 3, "Notes to self"),
         Concat({smf::Text(0, 3, "Lead"), smf::On(0, 1, 72), smf::Off(960, 1, 72)})});
}

}  // namespace

TEST(SongLevelCli, InfoSectionsJsonTidyTracksAndDivision) {
    const SongDir dir(Layout());
    const RunResult text = RetrogradeOk("info " + Quote(dir.in));
    for (const char* line :
         {"tempos:\n  1:1:0  120.0 bpm\n  2:1:0  150.0 bpm\n",
          "by channel:\n  2: no volume, no program, notes C5 to C5\n"
          "  4: volume 90, program 33, notes E2 to E3\n",
          "voices:    2\n",
          "channel report: 2 channels used, first free 1, one track per channel\n"})
        EXPECT_TRUE(Holds(text.out, line));
    const RunResult json = RetrogradeOk("info --json " + Quote(dir.in) + " " + Quote(dir.in));
    WriteBytes(dir.File("info.json"), Bytes(json.out.begin(), json.out.end()));
    const RunResult parsed = RunShell(
        "/usr/bin/python3 -c 'import json\n"
        "for l in open(\"info.json\"): d = json.loads(l); print(d[\"by_channel\"][1][\"volume\"], "
        "d[\"tempos\"][1][\"bpm\"], d[\"first_free_channel\"], d[\"division\"])'",
        dir.Path());
    EXPECT_EQ(parsed.out, "90 150.0 1 480\n90 150.0 1 480\n") << json.out << parsed.err;

    EXPECT_TRUE(Holds(Written("tidy --tracks", dir.in, dir.File("t.mid")).out,
                      "; 2 empty or name-only tracks"));
    MidiF1Data tidied(dir.File("t.mid").c_str());
    ASSERT_EQ(tidied.track_count, 3);
    std::vector<std::string> firsts;
    for (int t = 0; t < 3; ++t) firsts.push_back(Dump(*tidied.GetTrack(t))[0]);
    EXPECT_EQ(firsts, (Lines{"0 META3 Song", "0 META3 Lead", "0 META3 Bass"}));

    Written("division --set 960", dir.in, dir.File("d.mid"));
    const auto views = ReadWithMido({dir.in, dir.File("d.mid")});
    const MidoView& before = views.at(dir.in);
    const MidoView& after = views.at(dir.File("d.mid"));
    EXPECT_EQ(after.division, 960);
    ASSERT_EQ(after.notes.size(), before.notes.size());
    for (std::size_t k = 0; k < before.notes.size(); ++k) {
        EXPECT_EQ(after.notes[k].start, 2 * before.notes[k].start);
        EXPECT_EQ(after.notes[k].duration, 2 * before.notes[k].duration);
    }
    // Usage errors write nothing. The verbs that work on the whole song take
    // no --track.
    for (const std::string usage :
         {"division --set 40000", "thin --voices 2", "clear --from 3:1 --to 1:1", "split-programs",
          "combine --drums --same-tone", "trim", "trim --start 3:1 --end 2:1", "swing",
          "swing --unit 1/x", "swing --unit 1/8 --track 18", "bend-range --semitones 0",
          "merge-tracks --tracks 2", "range --low C4 --high A4", "velocity --add 3 --normalize",
          "reduce-poly --voices 2 --keep-top", "division --set 96 --track 2", "unbend --track 2",
          "fit16 --track 2", "keep --bars 1-2 --track 2"}) {
        const RunResult r = Retrograde(usage + " " + Quote(dir.in) + " -o x.mid", dir.Path());
        EXPECT_EQ(r.status, 2) << usage;
        if (usage.ends_with("--track 2")) {
            EXPECT_TRUE(Holds(r.err, "--track"));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.mid")));
}
