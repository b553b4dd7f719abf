// `dump` for people and for scripts: English names and values, texts in their
// encodings, JSON a parser takes, and midicsv's columns that csvmidi turns
// back into the same events (checked with mido).

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Pairs of files compared by mido: the lines of those whose events differ.
std::vector<std::string> DifferentEvents(const std::vector<std::string>& pairs) {
    const RunResult run = RunScript("midi_compare.py", pairs);
    std::vector<std::string> different;
    for (const std::string& line : SplitLines(run.out)) {
        if (line.rfind("SAME ", 0) != 0) different.push_back(line);
    }
    EXPECT_EQ(SplitLines(run.out).size(), pairs.size() / 2) << run.out;
    return different;
}

// dump --csv of input, then csvmidi into output.
std::string CsvRoundTrip(const std::string& input, const std::string& output) {
    const RunResult run = RunShell("(" + Quote(RETROGRADE_CLI) + " dump --csv " + Quote(input) +
                                   " | csvmidi - " + Quote(output) + ")");
    return run.status == 0 ? "" : input + ": " + run.err;
}

}  // namespace

TEST(Dump, NamesValuesPositionsAndTexts) {
    TempDir dir;
    using smf::Msg;
    const Bytes body =
        Concat({smf::Text(0, 2, "\xA9 1999 Someone"),         // Latin-1
                smf::Text(0, 3, "\x83\x68\x83\x89\x83\x80"),  // Shift-JIS
                smf::Text(0, 1, "Caf\xC3\xA9 \"x\"\n"),       // UTF-8 with a quote and a line break
                smf::Tempo(0, 600000), Msg(0, {0xFF, 0x58, 0x04, 6, 3, 24, 8}),  // 6/8
                Msg(0, {0xFF, 0x59, 0x02, 0xFE, 1}),                             // two flats, minor
                Msg(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
                Msg(0, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}),
                Msg(0, {0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7}),
                Msg(0, {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7}),
                Msg(0, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x1A, 0x15, 0x02, 0x0F, 0xF7}),
                smf::Program(0, 0, 40), smf::Cc(0, 0, 7, 90), Msg(0, {0xE0, 0x00, 0x50}),
                smf::On(1920, 0, 60, 99), smf::Off(240, 0, 60), smf::Eot(720)});
    const std::string path = dir.File("names.mid");
    WriteBytes(path, Concat({HeaderChunk(0, 1, 480), TrackChunk(body)}));

    RunResult run = RetrogradeOk("dump " + Quote(path));
    EXPECT_EQ(SplitLines(run.out).at(0), "     tick  position     ch  event               value");
    for (const char* expected : {
             "--  Copyright           \"© 1999 Someone\"\n",
             "--  Track name          \"ドラム\"\n",
             "--  Text                \"Café \\\"x\\\"\\u000a\"\n",
             "--  Tempo               100.00 bpm (600000 us a quarter note)\n",
             "--  Time signature      6/8, 24 clocks a click, 8 32nds a quarter\n",
             "--  Key signature       G minor (2 flats)\n",
             "--  GM system on        7E 7F 09 01 F7\n",
             "--  GS reset            41 10 42 12 40 00 7F 00 41 F7\n",
             "--  XG system on        43 10 4C 00 00 7E 00 F7\n",
             "--  Master volume       100  7F 7F 04 01 00 64 F7\n",
             "11  GS rhythm part      part 11 drums, map 2  41 10 42 12 40 1A 15 02 0F F7\n",
             "01  Program change      41\n",
             "01  Control change      volume (7) = 90\n",
             "01  Pitch bend          +2048\n",
             "     1920  0002:03:000  01  Note                C4 (60)  length 240  velocity 99\n",
             "     2880  0003:01:000  --  End of track\n",
         }) {
        EXPECT_TRUE(Holds(run.out, expected));
    }
    // The header, then one line an event.
    EXPECT_EQ(SplitLines(run.out).size(), 17u) << run.out;
    run = RetrogradeOk("info " + Quote(path));
    EXPECT_TRUE(Holds(run.out, "names:     ドラム\n"));

    // JSON that Python reads, with the values as numbers.
    run = RunShell("(" + Quote(RETROGRADE_CLI) + " dump --json " + Quote(path) + " " + Quote(path) +
                   " | /usr/bin/python3 -c 'import json,sys; d=json.load(sys.stdin); "
                   "n=[e for e in d[1][\"events\"] if e[\"event\"]==\"Note\"][0]; "
                   "print(len(d), n[\"note\"], n[\"note_name\"], n[\"length\"], n[\"channel\"])')");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "2 60 C4 240 1\n");

    // The same events back through csvmidi, texts byte for byte.
    const std::string copy = dir.File("copy.mid");
    EXPECT_EQ(CsvRoundTrip(path, copy), "");
    EXPECT_TRUE(DifferentEvents({path, copy}).empty());

    // Usage: --csv reads one file; a missing one among several fails the run.
    EXPECT_EQ(Retrograde("dump --csv " + Quote(path) + " " + Quote(path)).status, 2);
    run = Retrograde("dump " + Quote(path) + " " + Quote(dir.File("missing.mid")));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Holds(run.out, "==> " + path + " <==\n"));
}

TEST(Dump, CsvOfEveryRealFileReadsBack) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    std::vector<std::string> pairs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string copy = dir.File(std::to_string(i) + ".mid");
        EXPECT_EQ(CsvRoundTrip(files[i], copy), "");
        pairs.insert(pairs.end(), {files[i], copy});
    }
    const std::vector<std::string> different = DifferentEvents(pairs);
    EXPECT_TRUE(different.empty()) << different.size() << " differ, first: " << different.at(0);
}
