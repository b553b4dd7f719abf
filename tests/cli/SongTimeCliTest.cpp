// `keep`, `trim`, `title`, `text`, `clear` and `length` end to end; every
// file written read back strictly by mido (a data byte of 0x80 or more is
// refused there; midi_setup.py: the setup at tick 0, "HANGING n" and
// "LENGTH s").
#include <gtest/gtest.h>

#include "CliFixture.h"

using namespace cli_test;

namespace {

// mido's view: "tick type channel detail" per message, tracks merged.
std::string MidoLines(const std::string& path, const std::string& folder) {
    const RunResult run = RunShell(
        "/usr/bin/python3 -c 'import mido,sys\n"
        "t = 0\n"
        "for m in mido.merge_tracks(mido.MidiFile(sys.argv[1]).tracks):\n"
        "  t += m.time\n"
        "  d = bytes(m.data).hex() if m.type == \"sysex\" else bytes(m.bytes()).hex() if not "
        "m.is_meta else "
        "getattr(m, \"name\", getattr(m, \"text\", \"\"))\n"
        "  print(t, m.type, getattr(m, \"channel\", \"-\"), d)' " +
            Quote(path),
        folder);
    EXPECT_EQ(run.status, 0) << path << ": " << run.err;
    return run.out;
}

}  // namespace

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
    const RunResult keep = Retrograde("keep --bars 5-8 " + Quote(dir.File("gs.mid")) + " -o " +
                                      Quote(dir.File("k.mid")));
    ASSERT_EQ(keep.status, 0) << keep.err;
    const std::vector<std::string> lines = SplitLines(MidoLines(dir.File("k.mid"), dir.Path()));
    Lines sysex;
    std::size_t first_note = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find(" sysex ") != std::string::npos && first_note == lines.size())
            sysex.push_back(lines[i]);
        if (lines[i].find(" note_on ") != std::string::npos) first_note = std::min(first_note, i);
    }
    ASSERT_GE(sysex.size(), 2u) << MidoLines(dir.File("k.mid"), dir.Path());
    EXPECT_EQ(sysex[0], "0 sysex - 4110421240007f0041");
    EXPECT_EQ(sysex[1], "0 sysex - 41104212401a15020f");
    int drums = 0, late = 0;
    for (const std::string& line : lines) {
        if (line.find(" note_on 10 ") != std::string::npos) ++drums;
        if (std::stol(line) > 4 * 4 * 192) ++late;
    }
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
    TempDir dir;
    const std::string in = dir.File("in.mid");
    const std::string sjis = "\x82\x60\x82\x61\x82\x4f", utf8 = "\xEF\xBC\xA1";  // ＡＢ０, Ａ
    WriteBytes(
        in,
        Concat({HeaderChunk(1, 2, 480), TrackChunk(Concat({smf::Tempo(0, 500000), smf::Eot(7680)})),
                TrackChunk(Concat({smf::Text(0, 5, sjis), smf::Text(0, 1, utf8),
                                   smf::Program(0, 2, 5), smf::On(0, 2, 60), smf::Off(2400, 2, 60),
                                   smf::On(0, 2, 62), smf::Off(4800, 2, 62), smf::Eot(0)}))}));
    const RunResult trim =
        Retrograde("trim --start 2:1 --end 4:1 " + Quote(in) + " -o " + Quote(dir.File("t.mid")));
    ASSERT_EQ(trim.status, 0) << trim.err;
    const std::string trimmed = MidoLines(dir.File("t.mid"), dir.Path());
    for (const char* line :
         {"0 program_change 2 c205", "480 note_on 2 923e64", "3840 end_of_track"})
        EXPECT_NE(trimmed.find(line), std::string::npos) << line << "\n" << trimmed;
    EXPECT_EQ(trimmed.find("note_on 2 923c"), std::string::npos) << trimmed;  // before the start

    const RunResult title = Retrograde("title --set 'New song' " + Quote(dir.File("t.mid")) +
                                       " -o " + Quote(dir.File("n.mid")));
    ASSERT_EQ(title.status, 0) << title.err;
    const RunResult again = Retrograde("title --set Renamed " + Quote(dir.File("n.mid")) + " -o " +
                                       Quote(dir.File("r.mid")));
    ASSERT_EQ(again.status, 0) << again.err;
    const std::string renamed = MidoLines(dir.File("r.mid"), dir.Path());
    EXPECT_NE(renamed.find("0 track_name - Renamed\n"), std::string::npos) << renamed;
    EXPECT_EQ(renamed.find("New song"), std::string::npos) << renamed;

    const RunResult text =
        Retrograde("text --halfwidth --letters " + Quote(in) + " -o " + Quote(dir.File("h.mid")));
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("1 texts converted"), std::string::npos) << text.out;
    MidiF1Data half(dir.File("h.mid").c_str());
    Lines texts;
    for (const std::string& line : Dump(*half.GetTrack(1)))
        if (line.starts_with("0 META")) texts.push_back(line);
    EXPECT_EQ(texts, (Lines{"0 META5 AB0", "0 META1 " + utf8}));
    MidoLines(dir.File("h.mid"), dir.Path());
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
}
