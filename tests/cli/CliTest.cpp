// The `retrograde` program end to end: help, failures, output protection,
// and the files it writes read back by mido and the library.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "CliFixture.h"
#include "midi/song/DemoSong.h"

using namespace cli_test;

namespace {

void WriteDemo(const std::string& path) {
    const std::vector<unsigned char> image = DemoSongImage();
    WriteBytes(path, Bytes(image.begin(), image.end()));
}

bool IsOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

}  // namespace

TEST(Cli, HelpOnEverySubcommandAndFailuresAreOneLineAndNonZero) {
    for (const std::string sub : {"", "mirror", "demo", "convert", "dump", "info"}) {
        const RunResult run = Retrograde(sub + " --help");
        EXPECT_EQ(run.status, 0) << sub;
        EXPECT_NE(run.out.find("Usage:"), std::string::npos) << sub;
    }

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
    EXPECT_NE(format2.err.find("Not a MIDI file."), std::string::npos) << format2.err;
}

TEST(Cli, OutputIsProtected) {
    TempDir dir;
    const std::string input = dir.File("in.mid");
    WriteDemo(input);
    const Bytes original = ReadBytes(input);
    // An existing file is refused unless forced.
    const std::string out = dir.File("out.mid");
    WriteBytes(out, Bytes{'o', 'l', 'd'});
    EXPECT_NE(Retrograde("convert --format 0 " + Quote(input) + " -o " + Quote(out)).status, 0);
    const RunResult run =
        Retrograde("mirror -H " + Quote(input) + " -o " + Quote(out) + " --force");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadBytes(out), (Bytes{'o', 'l', 'd'}));

    // Never the input, however it is spelled, --force or not.
    std::filesystem::create_directory(dir.File("sub"));
    for (const std::string& same : {input, dir.File("sub/../in.mid")}) {
        for (const char* command : {"mirror -H -V ", "convert --format 0 "}) {
            const RunResult refused =
                Retrograde(command + Quote(input) + " -o " + Quote(same) + " --force");
            EXPECT_NE(refused.status, 0) << command;
            EXPECT_TRUE(IsOneLine(refused.err)) << refused.err;
        }
    }
    EXPECT_EQ(ReadBytes(input), original);
    // A folder is never replaced.
    EXPECT_NE(Retrograde("demo -o " + Quote(dir.File("sub")) + " --force").status, 0);

    // A save that cannot be written fails with our message and leaves the file
    // there as it was, with nothing beside it: into a folder the user may not
    // write (permission bits do not stop root: it runs as nobody then), and
    // past a file size limit of one 1 KiB block.
    chmod(dir.Path().c_str(), 0755);
    chmod(input.c_str(), 0644);
    struct Blocked {
        const char* name;
        std::string prefix;
        mode_t folder_mode;
    };
    const std::string nobody =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    for (const Blocked& b :
         {Blocked{"readonly", nobody, 0555}, Blocked{"limited", "ulimit -f 1;", 0755}}) {
        const std::string folder = dir.File(b.name);
        std::filesystem::create_directory(folder);
        const std::string target = folder + "/mirrored.mid";
        WriteBytes(target, Bytes{'o', 'l', 'd'});
        chmod(target.c_str(), 0644);
        chmod(folder.c_str(), b.folder_mode);
        const RunResult refused =
            RunShell(b.prefix + " " + Quote(RETROGRADE_CLI) + " mirror -H -V --force " +
                     Quote(input) + " -o " + Quote(target));
        EXPECT_NE(refused.status, 0) << b.name;
        EXPECT_NE(refused.err.find("cannot write " + target + ": "), std::string::npos)
            << refused.err;
        EXPECT_EQ(ReadBytes(target), (Bytes{'o', 'l', 'd'})) << b.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << b.name;
        chmod(folder.c_str(), 0755);
    }
}

TEST(Cli, MirrorAndConvertReadBackByMidoAndTheLibrary) {
    TempDir dir;
    // A generated format-0 song with overlapping notes of one pitch on four
    // channels, drums on channel 10, a program change and a tempo.
    std::mt19937 random(11);
    auto song = mirror_test::RandomSong(random, 300, 10, 4);
    song->GetTrack()->InsertEvent(0, 2, Tempo(0, 400000));
    song->Q2toQ1();
    ASSERT_EQ(song->Q1toRaw(), 1);
    const std::string generated = dir.File("generated.mid");
    WriteBytes(generated, Bytes(song->buffer, song->buffer + song->size));
    const std::string demo = dir.File("demo.mid");  // format 1, five tracks
    WriteDemo(demo);
    // Flags by the mask 1: horizontal, 2: vertical.
    const char* flags[] = {"", "-H", "--vertical", "-H -V"};
    std::vector<std::string> outputs;
    for (const std::string& input : {generated, demo}) {
        for (const char* flag : flags) {
            outputs.push_back(dir.File("out" + std::to_string(outputs.size()) + ".mid"));
            const RunResult run = Retrograde("mirror " + std::string(flag) + " " + Quote(input) +
                                             " -o " + Quote(outputs.back()));
            ASSERT_EQ(run.status, 0) << run.err;
            EXPECT_TRUE(run.err.empty()) << run.err;
        }
    }
    // Backwards twice: the input's notes again (the demo has no lead-in).
    const std::string twice = dir.File("twice.mid");
    ASSERT_EQ(Retrograde("mirror -H " + Quote(outputs[5]) + " -o " + Quote(twice)).status, 0);
    // Converted to format 0, that to format 1, and the demo to format 1.
    const std::string zero = dir.File("zero.mid");
    const std::string one = dir.File("one.mid");
    const std::string same = dir.File("same.mid");
    const auto convert = [](const std::string& format, const std::string& in,
                            const std::string& out) {
        const RunResult run =
            Retrograde("convert --format " + format + " " + Quote(in) + " -o " + Quote(out));
        EXPECT_EQ(run.status, 0) << run.err;
    };
    convert("0", demo, zero);
    convert("1", zero, one);
    convert("1", demo, same);
    EXPECT_EQ(ReadBytes(same), ReadBytes(demo));  // already format 1: unchanged

    std::vector<std::string> read = outputs;
    read.insert(read.end(), {twice, zero, one});
    const auto views = ReadWithMido(read);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string& input = i < 4 ? generated : demo;
        SCOPED_TRACE(input + " " + flags[i % 4]);
        const Notes expected = ExpectedMirror(input, i & 1, i & 2);
        ASSERT_GT(expected.size(), 250u);
        const MidoView& mido = views.at(outputs[i]);
        ASSERT_TRUE(mido.ok) << mido.error;
        EXPECT_EQ(std::make_tuple(mido.format, mido.tracks, mido.division),
                  std::make_tuple(0, 1, 480));
        EXPECT_EQ(mido.note_ons, static_cast<int>(expected.size()));
        EXPECT_EQ(mido.notes, expected);
        EXPECT_EQ(NotesOfFile(outputs[i]), expected);
    }
    const Notes notes = NotesOfFile(demo);
    ASSERT_GT(notes.size(), 300u);
    EXPECT_EQ(views.at(twice).notes, notes);
    const MidoView& z = views.at(zero);
    const MidoView& o = views.at(one);
    ASSERT_TRUE(z.ok && o.ok) << z.error << o.error;
    EXPECT_EQ(std::make_pair(z.format, z.tracks), std::make_pair(0, 1));
    // The meta events, then one track per channel.
    EXPECT_EQ(std::make_pair(o.format, o.tracks), std::make_pair(1, 17));
    EXPECT_EQ(z.notes, notes);
    EXPECT_EQ(o.notes, notes);

    // A MacBinary header in front is dropped, not carried into the output.
    Bytes wrapped(128, 0);
    const Bytes image = ReadBytes(zero);
    wrapped.insert(wrapped.end(), image.begin(), image.end());
    WriteBytes(dir.File("wrapped.mid"), wrapped);
    convert("0", dir.File("wrapped.mid"), dir.File("unwrapped.mid"));
    EXPECT_EQ(ReadBytes(dir.File("unwrapped.mid")), image);
}

TEST(Cli, DemoAndCarryStateEndToEnd) {
    TempDir dir;
    RunResult run = Retrograde("demo", dir.Path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    const std::string written = dir.File("retrograde-demo.mid");

    const std::string original = dir.File("original.mid");
    const std::string starred = dir.File("demo*.mid");  // read by its name, not as a pattern
    WriteDemo(original);
    WriteDemo(starred);
    const MidoView mido = ReadWithMido(written);
    ASSERT_TRUE(mido.ok) << mido.error;
    EXPECT_EQ(mido.notes, ExpectedMirror(original, true, true));

    // A second run keeps the file unless told otherwise.
    EXPECT_NE(Retrograde("demo", dir.Path()).status, 0);
    run = Retrograde("demo -V -o " + Quote(dir.File("v.mid")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWithMido(dir.File("v.mid")).notes, ExpectedMirror(original, false, true));

    // Carrying the state keeps the notes, and needs backwards.
    run =
        Retrograde("mirror -H --carry-state " + Quote(starred) + " -o " + Quote(dir.File("c.mid")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWithMido(dir.File("c.mid")).notes, ExpectedMirror(original, true, false));
    run = Retrograde("mirror --carry-state " + Quote(original) + " -o " + Quote(dir.File("x.mid")));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find("--carry-state"), std::string::npos) << run.err;
}

TEST(Cli, DumpAndInfo) {
    TempDir dir;
    // A format-0 file whose title is Shift-JIS ("ドラム"), a tempo and a note.
    const Bytes body = Concat({smf::Text(0, 3, "\x83\x68\x83\x89\x83\x80"), smf::Tempo(0, 500000),
                               Bytes{0x00, 0xFF, 0x58, 0x04, 3, 2, 24, 8},  // 3/4
                               smf::On(480, 9, 36), smf::Off(480, 9, 36), smf::Eot(0)});
    const std::string path = dir.File("sjis.mid");
    WriteBytes(path, Concat({HeaderChunk(0, 1, 480), TrackChunk(body)}));
    RunResult run = Retrograde("dump " + Quote(path));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    // The header, then one line an event (the names and values are checked in DumpTest).
    ASSERT_EQ(lines.size(), 6u) << run.out;
    EXPECT_EQ(lines[4],
              "      480  0001:02:000  10  Note                C2 (36)  length 480  velocity 100");
    EXPECT_EQ(lines[5], "      960  0001:03:000  --  End of track");

    run = Retrograde("info " + Quote(path));
    ASSERT_EQ(run.status, 0) << run.err;
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
              static_cast<std::size_t>(loader->GetMidiF0Data()->GetTrack()->event_count) + 1);
}
