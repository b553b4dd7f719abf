// The `retrograde` program end to end: output protection, and the demo
// written, converted, told, listed and carried backwards, read back by mido
// and the library (help and failures: BatchCliTest and PeopleCliTest).
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "CliFixture.h"
#include "midi/song/DemoSong.h"

using namespace cli_test;

TEST(Cli, OutputIsProtected) {
    const SongDir dir(DemoSongImage());
    const std::string& input = dir.in;
    // An existing file is refused unless forced.
    const std::string out = dir.File("out.mid");
    WriteBytes(out, Bytes{'o', 'l', 'd'});
    EXPECT_NE(Retrograde("convert --format 0 " + Quote(input) + " -o " + Quote(out)).status, 0);
    Written("mirror -H --force", input, out);
    EXPECT_NE(ReadBytes(out), (Bytes{'o', 'l', 'd'}));

    // Never the input, however it is spelled, --force or not.
    std::filesystem::create_directory(dir.File("sub"));
    for (const std::string& same : {input, dir.File("sub/../in.mid")}) {
        for (const char* command : {"mirror -H -V ", "convert --format 0 "}) {
            const RunResult refused =
                Retrograde(command + Quote(input) + " -o " + Quote(same) + " --force");
            EXPECT_NE(refused.status, 0) << command;
            EXPECT_EQ(SplitLines(refused.err).size(), 1u) << refused.err;
            EXPECT_TRUE(refused.err.ends_with('\n')) << refused.err;
        }
    }
    EXPECT_EQ(ReadBytes(input), DemoSongImage());
    // A folder is never replaced.
    EXPECT_NE(Retrograde("demo -o " + Quote(dir.File("sub")) + " --force").status, 0);

    // A save that cannot be written fails with our message and leaves the file
    // there as it was, with nothing beside it: into a folder the user may not
    // write (permission bits do not stop root: it runs as nobody then), and
    // past a file size limit of one 1 KiB block.
    chmod(dir.Path().c_str(), 0755);
    chmod(input.c_str(), 0644);
    const std::string nobody =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    for (const auto& [name, prefix, mode] :
         {std::tuple<std::string, std::string, mode_t>{"readonly", nobody, 0555},
          {"limited", "ulimit -f 1;", 0755}}) {
        const std::string folder = dir.File(name);
        std::filesystem::create_directory(folder);
        const std::string target = folder + "/mirrored.mid";
        WriteBytes(target, Bytes{'o', 'l', 'd'});
        chmod(target.c_str(), 0644);
        chmod(folder.c_str(), mode);
        const RunResult refused =
            RunShell(prefix + " " + Quote(RETROGRADE_CLI) + " mirror -H -V --force " +
                     Quote(input) + " -o " + Quote(target));
        EXPECT_NE(refused.status, 0) << name;
        EXPECT_TRUE(Holds(refused.err, "cannot write " + target + ": "));
        EXPECT_EQ(ReadBytes(target), (Bytes{'o', 'l', 'd'})) << name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << name;
        chmod(folder.c_str(), 0755);
    }
}

TEST(Cli, DemoConvertInfoDumpAndCarryState) {
    TempDir dir;
    const std::string demo = dir.File("demo.mid");  // format 1, five tracks
    WriteBytes(demo, DemoSongImage());
    // Converted to format 0, that to format 1, and the demo to format 1.
    const std::string zero = dir.File("zero.mid"), one = dir.File("one.mid");
    Written("convert --format 0", demo, zero);
    Written("convert --format 1", zero, one);
    Written("convert --format 1", demo, dir.File("same.mid"));
    EXPECT_EQ(ReadBytes(dir.File("same.mid")), ReadBytes(demo));  // already format 1: unchanged

    const auto views = ReadWithMido({zero, one});
    const Notes notes = NotesOfFile(demo);
    ASSERT_GT(notes.size(), 300u);
    const MidoView& z = views.at(zero);
    const MidoView& o = views.at(one);
    ASSERT_TRUE(z.ok && o.ok) << z.error << o.error;
    EXPECT_EQ(std::make_pair(z.format, z.tracks), std::make_pair(0, 1));
    // The meta events, then one track per channel.
    EXPECT_EQ(std::make_pair(o.format, o.tracks), std::make_pair(1, 17));
    EXPECT_EQ(z.notes, notes);
    EXPECT_EQ(o.notes, notes);

    // A MacBinary header in front is dropped, not carried into the output.
    const Bytes image = ReadBytes(zero);
    WriteBytes(dir.File("wrapped.mid"), Concat({Bytes(128, 0), image}));
    Written("convert --format 0", dir.File("wrapped.mid"), dir.File("unwrapped.mid"));
    EXPECT_EQ(ReadBytes(dir.File("unwrapped.mid")), image);

    // The demo told and listed: the header, then one line an event.
    RunResult run = RetrogradeOk("info " + Quote(demo));
    for (const char* expected :
         {"format:    1\n", "tracks:    5\n", "division:  480 ticks per quarter note\n",
          "length:    16 measures, 29.7 seconds (30720 ticks)\n", "channels:  1 2 3 10\n",
          "drums:     10\n", "tempo:     120.0 to 140.0 bpm\n", "names:\n  Retrograde Demo\n",
          "  Melody\n", "  Drums\n"}) {
        EXPECT_TRUE(Holds(run.out, expected));
    }
    run = RetrogradeOk("dump " + Quote(demo));
    auto loader = LoadSong(demo);
    EXPECT_EQ(SplitLines(run.out).size(),
              static_cast<std::size_t>(loader->GetMidiF0Data()->GetTrack()->event_count) + 1);

    // The demo verb writes the demo backwards and upside down.
    run = RetrogradeOk("demo", dir.Path());
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_EQ(ReadWithMido(dir.File("retrograde-demo.mid")).notes,
              ExpectedMirror(demo, true, true));

    // A second run keeps the file unless told otherwise.
    EXPECT_NE(Retrograde("demo", dir.Path()).status, 0);
    run = RetrogradeOk("demo -V -o " + Quote(dir.File("v.mid")));
    EXPECT_EQ(ReadWithMido(dir.File("v.mid")).notes, ExpectedMirror(demo, false, true));

    // Carrying the state keeps the notes, and needs backwards.
    const std::string starred = dir.File("demo*.mid");  // read by its name, not as a pattern
    WriteBytes(starred, DemoSongImage());
    Written("mirror -H --carry-state", starred, dir.File("c.mid"));
    EXPECT_EQ(ReadWithMido(dir.File("c.mid")).notes, ExpectedMirror(demo, true, false));
    run = Retrograde("mirror --carry-state " + Quote(demo) + " -o " + Quote(dir.File("x.mid")));
    EXPECT_NE(run.status, 0);
    EXPECT_TRUE(Holds(run.err, "--carry-state"));
}
