// Damaged input is never passed off as whole: the commands that read say what
// could not be read, the commands that write refuse unless --salvage.

#include <filesystem>

#include "CliFixture.h"

using namespace cli_test;

TEST(DamageCli, ReadersTellWritersRefuseUnlessSalvage) {
    REQUIRE_REAL_FILES(files);
    TempDir dir;
    // A real file cut short at 5,000 bytes, as a broken download leaves it.
    std::string real;
    for (const std::string& f : files) {
        if (std::filesystem::file_size(f) > 8000 && ReadWithMido(f).tracks > 1) {
            real = f;
            break;
        }
    }
    ASSERT_FALSE(real.empty());
    Bytes cut = ReadBytes(real);
    cut.resize(5000);
    WriteBytes(dir.File("cut.mid"), cut);
    const Bytes note = Concat({smf::On(0, 0, 60), smf::Off(96, 0, 60), smf::Eot(0)});
    // Three tracks announced, two there; a stray system byte (F1 and its data
    // byte) in the second; and a whole file without an end of track.
    WriteBytes(dir.File("few.mid"), Concat({HeaderChunk(1, 3, 96), TrackChunk(note),
                                            TrackChunk(Concat({Bytes{0, 0xF1, 5}, note}))}));
    WriteBytes(dir.File("noeot.mid"),
               Concat({HeaderChunk(0, 1, 96),
                       TrackChunk(Concat({smf::On(0, 0, 60), smf::Off(96, 0, 60)}))}));

    RunResult run = RetrogradeOk("info cut.mid", dir.Path());
    EXPECT_TRUE(Holds(run.out, "damaged:\n  track "));
    EXPECT_TRUE(Holds(run.out, " bytes read\n"));
    run = RetrogradeOk("info few.mid", dir.Path());
    EXPECT_TRUE(Holds(run.out,
                      "damaged:\n  1 of 3 announced tracks missing\n"
                      "  track 2: 2 bytes skipped as unreadable\n"));
    run = RetrogradeOk("dump few.mid", dir.Path());
    EXPECT_TRUE(Holds(run.err, "few.mid: damaged: 1 of 3 announced tracks missing; track 2: 2"));

    EXPECT_EQ(Retrograde("check few.mid", dir.Path()).status, 1);
    EXPECT_EQ(Retrograde("check few.mid --salvage", dir.Path()).status, 0);

    struct Case {
        std::string verb;  // with its options
        std::string input;
        int status;
    };
    const Case cases[] = {
        {"mirror -H", "cut.mid", 1},
        {"mirror -H --salvage", "cut.mid", 3},
        {"convert --format 1", "cut.mid", 1},
        {"convert --format 0 --salvage", "few.mid", 3},
        {"transpose --semitones 2", "few.mid", 1},
        {"transpose --semitones 2 --salvage", "cut.mid", 3},
        {"quantize --grid 1/4", "cut.mid", 1},
        {"quantize --grid 1/4 --salvage", "few.mid", 3},
        {"mirror", "noeot.mid", 0},  // repaired quietly: no damage
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir.File("out.mid"));
        const std::string command = c.verb + " " + c.input + " -o out.mid";
        run = Retrograde(command, dir.Path());
        EXPECT_EQ(run.status, c.status) << command << "\n" << run.err;
        EXPECT_EQ(bool(Holds(run.err, c.input + ": damaged: ")), c.status != 0) << command;
        EXPECT_EQ(bool(Holds(run.err, "out.mid: written from a damaged file")), c.status == 3)
            << command << run.err;
        EXPECT_EQ(std::filesystem::exists(dir.File("out.mid")), c.status != 1) << command;
        if (c.status == 1) continue;
        // What could be read is all there: one note a track of few.mid.
        const MidoView view = ReadWithMido(dir.File("out.mid"));
        EXPECT_TRUE(view.ok) << command;
        if (c.input != "cut.mid") {
            EXPECT_EQ(view.notes.size(), c.input == "few.mid" ? 2u : 1u);
        }
    }
}
