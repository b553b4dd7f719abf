// `keep`, `trim`, `title`, `text`, `clear` and `length` end to end; every
// file written read back strictly by mido (a data byte of 0x80 or more is
// refused there; midi_lines.py: every message; midi_setup.py: the setup at
// tick 0, "HANGING n" and "LENGTH s").
#include <gtest/gtest.h>

#include "CliFixture.h"

using namespace cli_test;

TEST(SongTimeCli, KeepBarsOfAGsSongKeepsItsSetupAndDrums) {
    REQUIRE_REAL_FILES(files);
    const auto bossa = std::find_if(files.begin(), files.end(),
                                    [](const std::string& f) { return f.ends_with("/bossa.mid"); });
    ASSERT_NE(bossa, files.end());
    // The song made a GS song: a reset, then the part on channel 11 made a
    // rhythm part, its drums moved from channel 10 there.
    TempDir dir;
    const RunResult made = RunShell(
        "/usr/bin/python3 -c 'import mido,sys\n"
        "s = mido.MidiFile(sys.argv[1])\n"
        "for tr in s.tracks:\n"
        "  for m in tr:\n"
        "    if not m.is_meta and getattr(m, \"channel\", -1) == 9: m.channel = 10\n"
        "s.tracks[0][0:0] = [mido.Message(\"sysex\", "
        "data=[0x41,0x10,0x42,0x12,0x40,0,0x7F,0,0x41]),\n"
        "  mido.Message(\"sysex\", data=[0x41,0x10,0x42,0x12,0x40,0x1A,0x15,2,0x0F])]\n"
        "s.save(\"gs.mid\")' " +
            Quote(*bossa),
        dir.Path());
    ASSERT_EQ(made.status, 0) << made.err;
    Written("keep --bars 5-8", dir.File("gs.mid"), dir.File("k.mid"));
    // The exclusives before the first note; drums; nothing past the 4 bars.
    const std::string kept_lines = RunScript("midi_lines.py", {dir.File("k.mid")}).out;
    Lines sysex;
    bool noted = false;
    int drums = 0, late = 0;
    for (const std::string& line : SplitLines(kept_lines)) {
        noted = noted || line.find(" note_on ") != std::string::npos;
        if (!noted && line.find(" sysex ") != std::string::npos) sysex.push_back(line);
        drums += line.find(" note_on 10 ") != std::string::npos;
        late += std::stol(line) > 4 * 4 * 192;
    }
    ASSERT_GE(sysex.size(), 2u) << kept_lines;
    EXPECT_EQ(Lines(sysex.begin(), sysex.begin() + 2),
              (Lines{"0 sysex - 4110421240007f0041", "0 sysex - 41104212401a15020f"}));
    EXPECT_GT(drums, 20);
    EXPECT_EQ(late, 0);
    // The library still sees the drum part: channel 11's track plays drums.
    MidiF1Data kept(dir.File("k.mid").c_str());
    bool found = false;
    for (int t = 0; t < kept.track_count; ++t)
        if (kept.GetTrack(t)->GetChanel() == 10) found = kept.IsDrumTrack(t);
    EXPECT_TRUE(found);
}

TEST(SongTimeCli, TrimTitleAndHalfWidthTexts) {
    const std::string sjis = "\x82\x60\x82\x61\x82\x4f", utf8 = "\xEF\xBC\xA1";  // ＡＢ０, Ａ
    const SongDir dir(
        Concat({HeaderChunk(1, 2, 480), TrackChunk(Concat({smf::Tempo(0, 500000), smf::Eot(7680)})),
                TrackChunk(Concat({smf::Text(0, 5, sjis), smf::Text(0, 1, utf8),
                                   smf::Program(0, 2, 5), smf::On(0, 2, 60), smf::Off(2400, 2, 60),
                                   smf::On(0, 2, 62), smf::Off(4800, 2, 62), smf::Eot(0)}))}));
    Written("trim --start 2:1 --end 4:1", dir.in, dir.File("t.mid"));
    const std::string trimmed = RunScript("midi_lines.py", {dir.File("t.mid")}).out;
    for (const char* line :
         {"0 program_change 2 c205", "480 note_on 2 923e64", "3840 end_of_track"})
        EXPECT_TRUE(Holds(trimmed, line));
    EXPECT_EQ(trimmed.find("note_on 2 923c"), std::string::npos) << trimmed;  // before the start

    Written("title --set 'New song'", dir.File("t.mid"), dir.File("n.mid"));
    Written("title --set Renamed", dir.File("n.mid"), dir.File("r.mid"));
    const std::string renamed = RunScript("midi_lines.py", {dir.File("r.mid")}).out;
    EXPECT_TRUE(Holds(renamed, "0 track_name - Renamed\n"));
    EXPECT_EQ(renamed.find("New song"), std::string::npos) << renamed;

    EXPECT_TRUE(Holds(Written("text --halfwidth --letters", dir.in, dir.File("h.mid")).out,
                      "1 texts converted"));
    MidiF1Data half(dir.File("h.mid").c_str());
    Lines texts;
    for (const std::string& line : Dump(*half.GetTrack(1)))
        if (line.starts_with("0 META")) texts.push_back(line);
    EXPECT_EQ(texts, (Lines{"0 META5 AB0", "0 META1 " + utf8}));
    RunScript("midi_lines.py", {dir.File("h.mid")});  // mido reads it
}

TEST(AreaCli, ClearKeepsSetupAndEndsNotesAndLengthAgreesWithMido) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    for (std::size_t k = 0; k < files.size(); k += files.size() / 4) {
        SCOPED_TRACE(files[k]);
        const std::string out = dir.File("cleared" + std::to_string(k) + ".mid");
        Written("clear --from 1:1 --to 3:1", files[k], out);
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
        const RunResult length = RetrogradeOk("length " + Quote(out));
        EXPECT_TRUE(Holds(length.out, after.back().substr(7) + " seconds"));
    }
}
