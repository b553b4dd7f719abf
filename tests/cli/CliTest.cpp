// The `retrograde` program end to end: help, failures, output protection,
// and the files it writes read back by mido, midicsv and the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "CliFixture.h"
#include "midi/song/DemoSong.h"

using namespace cli_test;

namespace {

// Writes song (Q2) as a format-0 file.
void WriteSong(MidiF0Data& song, const std::string& path) {
    MidiF0Data copy(&song);
    copy.Q2toQ1();
    ASSERT_EQ(copy.Q1toRaw(), 1);
    WriteBytes(path, Bytes(copy.buffer, copy.buffer + copy.size));
}

void WriteDemo(const std::string& path) {
    const std::vector<unsigned char> image = DemoSongImage();
    WriteBytes(path, Bytes(image.begin(), image.end()));
}

// A generated song with overlapping notes of one pitch on four channels,
// drums on channel 10, a program change and a tempo.
std::string WriteGeneratedSong(const TempDir& dir, unsigned seed) {
    std::mt19937 random(seed);
    auto song = mirror_test::RandomSong(random, 300, 10, 4);
    song->GetTrack()->InsertEvent(0, 2, mirror_test::TempoAt(0, 400000).event);
    const std::string path = dir.File("generated-" + std::to_string(seed) + ".mid");
    WriteSong(*song, path);
    return path;
}

bool IsOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

}  // namespace

TEST(Cli, HelpOnEverySubcommand) {
    for (const std::string sub : {"", "mirror", "demo", "convert", "dump", "info"}) {
        const RunResult run = Retrograde(sub + " --help");
        EXPECT_EQ(run.status, 0) << sub;
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << sub;
    }
    EXPECT_NE(Retrograde("--help").out.find("mirror"), std::string::npos);
}

TEST(Cli, FailuresAreOneLineAndNonZero) {
    TempDir dir;
    WriteBytes(dir.File("text.mid"), Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    WriteBytes(dir.File("format2.mid"),
               Concat({HeaderChunk(2, 1, 96), TrackChunk({0, 0xFF, 0x2F, 0})}));
    const std::vector<std::string> lines = {
        "",
        "mirror -H",
        "mirror " + Quote(dir.File("missing.mid")) + " -o " + Quote(dir.File("out.mid")),
        "mirror " + Quote(dir.File("text.mid")) + " -o " + Quote(dir.File("out.mid")),
        "mirror " + Quote(dir.File("format2.mid")) + " -o " + Quote(dir.File("out.mid")),
        "convert --format 2 " + Quote(dir.File("text.mid")) + " -o " + Quote(dir.File("o.mid")),
        "convert --format 1 " + Quote(dir.File("text.mid")) + " -o " + Quote(dir.File("o.mid")),
        "dump " + Quote(dir.File("missing.mid")),
        "info " + Quote(dir.File("text.mid")),
        "mirror --bogus x -o y",
    };
    for (const std::string& line : lines) {
        const RunResult run = Retrograde(line);
        EXPECT_NE(run.status, 0) << line;
        // Our own line comes last; library messages may stand before it.
        const std::vector<std::string> err = SplitLines(run.err);
        ASSERT_FALSE(err.empty()) << line;
        EXPECT_EQ(err.back().rfind("retrograde: ", 0), 0u) << line << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << line;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.mid")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("o.mid")));
    // The format-2 file is refused with the loader's message as well.
    const RunResult format2 = Retrograde("info " + Quote(dir.File("format2.mid")));
    EXPECT_NE(format2.err.find("Midiファイルではありません。"), std::string::npos) << format2.err;
}

TEST(Cli, OutputIsProtected) {
    TempDir dir;
    const std::string input = dir.File("in.mid");
    WriteDemo(input);
    const Bytes original = ReadBytes(input);
    const std::string out = dir.File("out.mid");
    WriteBytes(out, Bytes{'o', 'l', 'd'});

    RunResult run = Retrograde("mirror -H " + Quote(input) + " -o " + Quote(out));
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(IsOneLine(run.err)) << run.err;
    EXPECT_EQ(ReadBytes(out), (Bytes{'o', 'l', 'd'}));

    run = Retrograde("mirror -H " + Quote(input) + " -o " + Quote(out) + " --force");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(out).size() > 100, true);

    // Never the input, however it is spelled, --force or not.
    std::filesystem::create_directory(dir.File("sub"));
    for (const std::string& same : {input, dir.File("sub/../in.mid")}) {
        run = Retrograde("mirror -H -V " + Quote(input) + " -o " + Quote(same) + " --force");
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(IsOneLine(run.err)) << run.err;
        run = Retrograde("convert --format 0 " + Quote(input) + " -o " + Quote(same) + " --force");
        EXPECT_NE(run.status, 0);
    }
    EXPECT_EQ(ReadBytes(input), original);

    run = Retrograde("convert --format 0 " + Quote(input) + " -o " + Quote(out));
    EXPECT_NE(run.status, 0);
    run = Retrograde("demo -o " + Quote(dir.File("sub")) + " --force");
    EXPECT_NE(run.status, 0);  // a folder is never replaced
}

TEST(Cli, MirrorReadBackByMidoMidicsvAndTheLibrary) {
    TempDir dir;
    const std::string generated = WriteGeneratedSong(dir, 11);
    const std::string demo = dir.File("demo.mid");  // format 1, five tracks
    WriteDemo(demo);
    struct Case {
        std::string input;
        std::string flags;
        bool horizontal;
        bool vertical;
    };
    std::vector<Case> cases;
    for (const std::string& input : {generated, demo}) {
        cases.push_back({input, "", false, false});
        cases.push_back({input, "-H", true, false});
        cases.push_back({input, "--vertical", false, true});
        cases.push_back({input, "-H -V", true, true});
    }
    std::vector<std::string> outputs;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        outputs.push_back(dir.File("out" + std::to_string(i) + ".mid"));
        const RunResult run = Retrograde("mirror " + cases[i].flags + " " + Quote(cases[i].input) +
                                         " -o " + Quote(outputs[i]));
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
    }
    const auto views = ReadWithMido(outputs);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.input + " " + c.flags);
        const Notes expected = ExpectedMirror(c.input, c.horizontal, c.vertical);
        ASSERT_GT(expected.size(), 250u);
        const MidoView& mido = views.at(outputs[i]);
        ASSERT_TRUE(mido.ok) << mido.error;
        EXPECT_EQ(mido.format, 0);
        EXPECT_EQ(mido.tracks, 1);
        EXPECT_EQ(mido.division, 480);
        EXPECT_EQ(mido.note_ons, static_cast<int>(expected.size()));
        EXPECT_EQ(mido.notes, expected);
        int division = 0;
        EXPECT_EQ(ReadWithMidicsv(outputs[i], &division), expected);
        EXPECT_EQ(division, 480);
        EXPECT_EQ(NotesOfFile(outputs[i]), expected);
    }
    // Backwards twice: the input's notes again (the demo has no lead-in).
    const std::string twice = dir.File("twice.mid");
    ASSERT_EQ(Retrograde("mirror -H " + Quote(outputs[5]) + " -o " + Quote(twice)).status, 0);
    EXPECT_EQ(ReadWithMido(twice).notes, NotesOfFile(demo));
}

TEST(Cli, ConvertReadBack) {
    TempDir dir;
    const std::string demo = dir.File("demo.mid");
    WriteDemo(demo);
    const std::string zero = dir.File("zero.mid");
    const std::string one = dir.File("one.mid");
    const std::string same = dir.File("same.mid");
    RunResult run = Retrograde("convert --format 0 " + Quote(demo) + " -o " + Quote(zero));
    ASSERT_EQ(run.status, 0) << run.err;
    run = Retrograde("convert --format 1 " + Quote(zero) + " -o " + Quote(one));
    ASSERT_EQ(run.status, 0) << run.err;
    run = Retrograde("convert --format 1 " + Quote(demo) + " -o " + Quote(same));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(same), ReadBytes(demo));  // already format 1: unchanged

    const Notes notes = NotesOfFile(demo);
    ASSERT_GT(notes.size(), 300u);
    const auto views = ReadWithMido({zero, one});
    const MidoView& z = views.at(zero);
    const MidoView& o = views.at(one);
    ASSERT_TRUE(z.ok && o.ok) << z.error << o.error;
    EXPECT_EQ(z.format, 0);
    EXPECT_EQ(z.tracks, 1);
    EXPECT_EQ(o.format, 1);
    EXPECT_EQ(o.tracks, 17);  // the meta events, then one track per channel
    EXPECT_EQ(z.notes, notes);
    EXPECT_EQ(o.notes, notes);
    EXPECT_EQ(ReadWithMidicsv(zero), notes);
    EXPECT_EQ(ReadWithMidicsv(one), notes);

    // A MacBinary header in front is dropped, not carried into the output.
    Bytes wrapped(128, 0);
    const Bytes image = ReadBytes(zero);
    wrapped.insert(wrapped.end(), image.begin(), image.end());
    WriteBytes(dir.File("wrapped.mid"), wrapped);
    run = Retrograde("convert --format 0 " + Quote(dir.File("wrapped.mid")) + " -o " +
                     Quote(dir.File("unwrapped.mid")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadBytes(dir.File("unwrapped.mid")), image);
}

TEST(Cli, DemoEndToEnd) {
    TempDir dir;
    RunResult run = Retrograde("demo", dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    const std::string written = dir.File("retrograde-demo.mid");
    ASSERT_TRUE(std::filesystem::exists(written));

    const std::string original = dir.File("original.mid");
    WriteDemo(original);
    const MidoView mido = ReadWithMido(written);
    ASSERT_TRUE(mido.ok) << mido.error;
    EXPECT_EQ(mido.note_ons, static_cast<int>(NotesOfFile(original).size()));
    EXPECT_EQ(mido.notes, ExpectedMirror(original, true, true));

    // A second run keeps the file unless told otherwise.
    const Bytes first = ReadBytes(written);
    run = Retrograde("demo", dir.Path());
    EXPECT_NE(run.status, 0);
    run = Retrograde("demo -H --force", dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadBytes(written), first);
    EXPECT_EQ(ReadWithMidicsv(written), ExpectedMirror(original, true, false));
    run = Retrograde("demo -V -o " + Quote(dir.File("v.mid")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWithMido(dir.File("v.mid")).notes, ExpectedMirror(original, false, true));
}

TEST(Cli, DumpAndInfo) {
    TempDir dir;
    // A format-0 file whose title is Shift-JIS ("ドラム"), a tempo and a note.
    const Bytes body = {0x00, 0xFF, 0x03, 0x06, 0x83, 0x68, 0x83, 0x89, 0x83,
                        0x80, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // 120 bpm
                        0x00, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08,  // 3/4
                        0x83, 0x60, 0x99, 0x24, 0x64,  // 480: drum note on channel 10
                        0x83, 0x60, 0x89, 0x24, 0x40, 0x00, 0xFF, 0x2F, 0x00};
    const std::string path = dir.File("sjis.mid");
    WriteBytes(path, Concat({HeaderChunk(0, 1, 480), TrackChunk(body)}));
    RunResult run = Retrograde("dump " + Quote(path));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 5u) << run.out;
    // Meta events of one tick come in the order the track merge gives them.
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("        0  0001:01:000  --  タイトル ドラム")) << run.out;
    EXPECT_TRUE(has("        0  0001:01:000  --  テンポ 120")) << run.out;
    EXPECT_TRUE(has("        0  0001:01:000  --  拍子")) << run.out;
    EXPECT_EQ(lines[3], "      480  0001:02:000  10  ノート 36 480 100");
    EXPECT_EQ(lines[4], "      960  0001:03:000  --  トラック末尾");

    run = Retrograde("info " + Quote(path));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("format:    0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("drums:     10\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("names:     ドラム\n"), std::string::npos) << run.out;

    const std::string demo = dir.File("demo.mid");
    WriteDemo(demo);
    run = Retrograde("info " + Quote(demo));
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* expected :
         {"format:    1\n", "tracks:    5\n", "division:  480 ticks per quarter note\n",
          "length:    16 measures, 29.7 seconds (30720 ticks)\n", "channels:  1 2 3 10\n",
          "drums:     10\n", "tempo:     120.0 to 140.0 bpm\n", "names:\n  Retrograde Demo\n",
          "  Melody\n", "  Drums\n"}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << run.out;
    }
    run = Retrograde("dump " + Quote(demo));
    ASSERT_EQ(run.status, 0) << run.err;
    auto loader = LoadSong(demo);
    EXPECT_EQ(SplitLines(run.out).size(),
              static_cast<std::size_t>(loader->GetMidiF0Data()->GetTrack()->event_count));
}
