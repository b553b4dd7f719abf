// What people read when something fails: the file and the reason, in their
// language (English under every locale but Japanese, the library's own texts
// under Japanese).

#include <filesystem>

#include "CliFixture.h"
#include "midi/song/DemoSong.h"

using namespace cli_test;

namespace {

// True when text holds a kana or kanji (U+3000..U+9FFF) or a full-width form
// (U+FF00..U+FFEF): their first bytes in UTF-8.
bool HasJapanese(const std::string& text) {
    if (text.find_first_of("\xE3\xE4\xE5\xE6\xE7\xE8\xE9") != std::string::npos) return true;
    for (const char* wide : {"\xEF\xBC", "\xEF\xBD", "\xEF\xBE", "\xEF\xBF"})
        if (text.find(wide) != std::string::npos) return true;
    return false;
}

RunResult Under(const std::string& lang, const std::string& arguments) {
    return RunShell("env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=" + lang + " " +
                    Quote(RETROGRADE_CLI) + " " + arguments);
}

}  // namespace

TEST(People, EveryFailureNamesTheFileAndTheReasonInTheReadersLanguage) {
    TempDir dir;
    const auto file = [&](const std::string& name, const Bytes& bytes) {
        WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    };
    const Bytes note = Concat({smf::On(0, 0, 60), smf::Off(96, 0, 60)});
    const std::string text = file("text.mid", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
    const std::string format2 = file("f2.mid", Concat({HeaderChunk(2, 1, 96), TrackChunk(note)}));
    // A chunk that declares more than is there, and an event cut in two.
    Bytes cut = Concat({HeaderChunk(1, 2, 96), TrackChunk(Concat({note, smf::Eot(0)}))});
    cut.insert(cut.end(), {'M', 'T', 'r', 'k', 0, 0, 1, 0, 0, 0x90, 60});
    const std::string damaged = file("cut.mid", cut);
    const std::string big = file("big.mid", Bytes(1024 * 1024 + 1, 0));
    const std::string good = file("good.mid", Concat({HeaderChunk(0, 1, 96), TrackChunk(note)}));

    struct Case {
        std::string arguments;
        int status;
        std::string reason;  // in what stderr says, under every language
    };
    const Case cases[] = {
        {"info " + Quote(text), 1, text + ": not a Standard MIDI File (no MThd header)"},
        {"dump " + Quote(format2), 1, format2 + ": format 2 is not read (only formats 0 and 1)"},
        {"info " + Quote(big), 1, big + ": too large (a file holds at most 1 MiB)"},
        {"info " + Quote(dir.Path()), 1, dir.Path() + ": is a folder, not a file"},
        {"dump " + Quote(dir.File("none.mid")), 1, dir.File("none.mid") + ": no such file"},
        {"info " + Quote(damaged), 0, ""},
        {"mirror " + Quote(damaged) + " -o " + Quote(dir.File("m.mid")), 1,
         damaged + ": damaged: "},
        {"mirror " + Quote(good) + " -o " + Quote(dir.File("no/m.mid")), 1,
         "cannot write " + dir.File("no/m.mid") + ": No such file or directory"},
        {"mirror " + Quote(dir.File("none.mid")) + " -o " + Quote(dir.File("m.mid")), 1,
         dir.File("none.mid") + ": no such file"},
        {"mirror " + Quote(text) + " -o " + Quote(dir.File("m.mid")), 1, text + ": not a Standard"},
        {"mirror " + Quote(format2) + " -o " + Quote(dir.File("m.mid")), 1, format2 + ": format 2"},
        {"convert --format 2 " + Quote(text) + " -o " + Quote(dir.File("m.mid")), 2, ""},
        {"", 2, ""},
        {"mirror -H", 2, ""},
        {"mirror --bogus x -o " + Quote(dir.File("m.mid")), 2, ""},
    };
    for (const char* lang : {"en_US.UTF-8", "C.UTF-8", "C"}) {
        for (const Case& c : cases) {
            std::filesystem::remove(dir.File("m.mid"));
            const RunResult run = Under(lang, c.arguments);
            EXPECT_EQ(run.status, c.status) << lang << " " << c.arguments << "\n" << run.err;
            EXPECT_TRUE(Holds(run.err, c.reason)) << c.arguments;
            EXPECT_FALSE(HasJapanese(run.err + run.out)) << lang << " " << c.arguments << "\n"
                                                         << run.err << run.out;
            if (c.status == 0) continue;
            // Our own line comes last (library messages may stand before it),
            // and nothing is written.
            const std::vector<std::string> err = SplitLines(run.err);
            EXPECT_TRUE(!err.empty() && err.back().starts_with("retrograde: ")) << run.err;
            EXPECT_EQ(run.out, "") << c.arguments;
            EXPECT_FALSE(std::filesystem::exists(dir.File("m.mid"))) << c.arguments;
        }
    }
    // Library messages in English; the same under Japanese in the original.
    for (const std::string& refused : {text, format2}) {
        EXPECT_TRUE(Holds(Under("C.UTF-8", "info " + Quote(refused)).err, "Not a MIDI file.\n"));
    }
    EXPECT_TRUE(
        Holds(Under("ja_JP.UTF-8", "info " + Quote(text)).err, "Midiファイルではありません。\n"));
    EXPECT_TRUE(Holds(Under("ja_JP.UTF-8", "info " + Quote(damaged)).err, kInternal));
}

TEST(People, CommandLineAsPeopleExpectIt) {
    TempDir dir;
    const std::string song = dir.File("song.mid");
    WriteBytes(song, DemoSongImage());
    const std::string copy = dir.File("copy.mid");
    // Standard input and output: the song read from a pipe, written to one.
    RunResult run = RunShell("(cat " + Quote(song) + " | " + Quote(RETROGRADE_CLI) +
                             " mirror -H - -o - > " + Quote(copy) + ")");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWithMido(copy).notes, ExpectedMirror(song, true, false));
    run = RunShell("(cat " + Quote(song) + " | " + Quote(RETROGRADE_CLI) + " info - " +
                   Quote(song) + ")");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Holds(run.out, "file:      -\n"));
    EXPECT_TRUE(Holds(run.out, "\nfile:      " + song + "\n"));
    run = RunShell("(printf nothing | " + Quote(RETROGRADE_CLI) + " info -)");
    EXPECT_TRUE(
        Holds(run.err, "retrograde: standard input: not a Standard MIDI File (no MThd header)\n"));

    run = Retrograde("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("retrograde ", 0), 0u) << run.out;
    // Ranges people can read, and variables with values checked.
    run = Retrograde("quantize --track 99 " + Quote(song) + " -o " + Quote(dir.File("q.mid")));
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Holds(run.err, "not in range 1 to 65"));
    run = RunShell("RETROGRADE_MIDI_API=coremidi " + Quote(RETROGRADE_CLI) + " ports");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "retrograde: RETROGRADE_MIDI_API=coremidi: unknown (alsa, jack or none) (see "
              "--help)\n");
}
