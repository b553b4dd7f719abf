// `retrograde mirror` and the editing verbs on many files (workers, a folder
// tree, refusals that do not stop the run), and the start-up program that
// hands playing on.

#include <array>
#include <filesystem>
#include <set>
#include <sstream>

#include "cli/CliFixture.h"

using namespace cli_test;
namespace fs = std::filesystem;

TEST(BatchCli, TreeMirroredAsSingleRunsWouldAndBrokenFilesRefused) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    const std::string in = dir.File("in"), out = dir.File("out"), one = dir.File("one");
    fs::create_directories(in + "/a/b");
    fs::create_directories(one);
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < 12 && i < files.size(); ++i) {
        const std::string rel = std::array{"a/b/", "a/", ""}[i % 3] + std::to_string(i) + ".mid";
        fs::copy_file(files[i], in + "/" + rel);
        kept.push_back(rel);
    }
    WriteBytes(in + "/a/broken.mid", Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    WriteBytes(in + "/notes.txt", Bytes{'x'});  // no MIDI name: not read

    const RunResult run = Retrograde("mirror -H -V -j 2 -r " + Quote(in) + " -o " + Quote(out));
    EXPECT_EQ(run.status, 1) << run.err;  // one file refused
    EXPECT_EQ(run.out, "13 files: 12 written, 0 written from damaged files, 1 refused\n");
    EXPECT_TRUE(Holds(run.err, "broken.mid: refused: "));
    EXPECT_EQ(run.err.find('\r'), std::string::npos);  // no progress bar off a terminal
    EXPECT_FALSE(fs::exists(out + "/a/broken.mid"));
    EXPECT_FALSE(fs::exists(out + "/notes.txt"));
    for (const std::string& rel : kept) {
        const std::string single = one + "/" + fs::path(rel).filename().string();
        ASSERT_EQ(
            Retrograde("mirror -H -V " + Quote(in + "/" + rel) + " -o " + Quote(single)).status, 0);
        EXPECT_EQ(ReadBytes(out + "/" + rel), ReadBytes(single)) << rel;
    }

    // A list of files into a folder: an existing output and a second file of
    // the same name are refused, the rest is written.
    fs::create_directories(dir.File("x"));
    fs::create_directories(dir.File("y"));
    fs::copy_file(files[0], dir.File("x/new.mid"));
    fs::copy_file(files[1], dir.File("y/new.mid"));
    const RunResult again =
        Retrograde("mirror -V " + Quote(in + "/a/1.mid") + " " + Quote(dir.File("x/new.mid")) +
                   " " + Quote(dir.File("y/new.mid")) + " -o " + Quote(one));
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "3 files: 1 written, 0 written from damaged files, 2 refused\n");
    EXPECT_TRUE(fs::exists(one + "/new.mid"));
    EXPECT_TRUE(Holds(again.err, "exists already"));
    EXPECT_TRUE(Holds(again.err, "has the same name as"));
    EXPECT_EQ(Retrograde("mirror -r " + Quote(in) + " " + Quote(in) + " -o " + Quote(out)).status,
              2);
}

TEST(BatchCli, EditsOfManyFilesAreSingleRunsInTheirOrderAndGoOnPastABrokenOne) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    const std::string out = dir.File("out"), one = dir.File("one"), broken = dir.File("broken.mid");
    fs::create_directories(out);
    fs::create_directories(one);
    WriteBytes(broken, Bytes{'n', 'o', 't'});
    std::string inputs, expected;
    std::set<std::string> names;
    for (const std::string& file : files) {
        const std::string name = fs::path(file).filename().string();
        if (names.size() == 5 || !names.insert(name).second) continue;
        inputs += Quote(file) + " ";
        const RunResult single =
            Retrograde("drums-clean " + Quote(file) + " -o " + Quote(one + "/" + name));
        ASSERT_EQ(single.status, 0) << single.err;
        expected += single.out.substr(0, single.out.find(one)) + out +
                    single.out.substr(single.out.find(one) + one.size());
    }
    const RunResult run =
        Retrograde("drums-clean -j 2 " + inputs + Quote(broken) + " -o " + Quote(out));
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, expected + "6 files: 5 written, 0 written from damaged files, 1 refused\n");
    EXPECT_NE(run.err.find(broken + ": refused: not a Standard MIDI File"), std::string::npos)
        << run.err;
    for (const std::string& name : names) {
        EXPECT_EQ(ReadBytes(out + "/" + name), ReadBytes(one + "/" + name)) << name;
    }
    // A check reads on past a file it cannot read, and says so in its status.
    const RunResult check =
        Retrograde("check --tempo 1-999 " + Quote(broken) + " " + Quote(files[0]));
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("passed"), std::string::npos) << check.out;
}

TEST(BatchCli, HelpOnEveryVerbAndOnlyThePlayingVerbsLoadThePlaybackLibraries) {
    const RunResult libraries = RunShell("ldd " + Quote(RETROGRADE_CLI));
    ASSERT_EQ(libraries.status, 0);
    for (const char* name : {"fluidsynth", "rtmidi", "Qt", "jack", "asound"}) {
        EXPECT_EQ(libraries.out.find(name), std::string::npos) << name << "\n" << libraries.out;
    }
    const RunResult help = Retrograde("--help");
    // The help builds the verbs as their summaries alone; built whole (the
    // first argument names no verb) they list the same.
    EXPECT_EQ(Retrograde("--bogus --help").out, help.out);
    for (const char* verb : {"mirror", "ports", "play", "render"}) {
        EXPECT_TRUE(Holds(help.out, verb));
    }
    // Every verb the help lists, built alone as a run that names it builds it.
    std::istringstream lines(help.out.substr(help.out.find("Subcommands:")));
    std::string line;
    int verbs = 0;
    while (std::getline(lines, line)) {
        std::string verb;
        if (line.rfind("  ", 0) != 0 || !(std::istringstream(line) >> verb)) continue;
        const RunResult run = Retrograde(verb + " --help");
        EXPECT_EQ(run.status, 0) << verb << "\n" << run.err;
        EXPECT_TRUE(Holds(run.out, "Usage: retrograde " + verb + " ")) << verb;
        ++verbs;
    }
    EXPECT_GT(verbs, 40);
    // The verbs are handed on with their arguments: their own help and usage errors.
    EXPECT_TRUE(Holds(Retrograde("play --help").out, "--horizontal"));
    EXPECT_TRUE(Holds(Retrograde("demo --help").out, "--play"));
    EXPECT_EQ(Retrograde("render --bogus").status, 2);
}
