// The track analysis verbs end to end: repeats, phrases, melody and thin.

#include "CliFixture.h"

using namespace cli_test;

namespace {

// Format 1: a tempo track and a melody played twice with a rest after each
// time, then a chord C3 C4 E4.
Bytes Melody() {
    Bytes body;
    for (int time = 0; time < 2; ++time) {
        for (int note : {60, 64, 67}) {
            body = Concat({body, smf::On(note == 60 && time == 1 ? 480 : 0, 0, note),
                           smf::Off(240, 0, note)});
        }
    }
    body = Concat({body, smf::On(480, 0, 48), smf::On(0, 0, 60), smf::On(0, 0, 64),
                   smf::Off(480, 0, 48), smf::Off(0, 0, 60), smf::Off(0, 0, 64), smf::Eot(0)});
    return Concat({HeaderChunk(1, 2, 480), TrackChunk(Concat({smf::Tempo(0, 500000), smf::Eot(0)})),
                   TrackChunk(body)});
}

}  // namespace

TEST(AnalysisCli, RepeatsPhrasesMelodyAndThin) {
    TempDir dir;
    WriteBytes(dir.File("in.mid"), Melody());
    const RunResult repeats = Retrograde("repeats in.mid --track 2 --grid 1/8", dir.Path());
    ASSERT_EQ(repeats.status, 0) << repeats.err;
    EXPECT_NE(repeats.out.find("3 notes, 0.38 bars from 1:1:0 to 1:2:240, again at 1:3:240"),
              std::string::npos)
        << repeats.out;
    const RunResult phrases =
        Retrograde("phrases in.mid --track 2 --min-rest 1/4 --json", dir.Path());
    ASSERT_EQ(phrases.status, 0) << phrases.err;
    EXPECT_NE(phrases.out.find("\"breaks\":[\"1:2:240\",\"2:1:0\"]"), std::string::npos)
        << phrases.out;
    // Both leave the melody and the top of the chord.
    for (const std::string verb : {"melody", "thin --voices 1"}) {
        const RunResult run = Retrograde(verb + " in.mid --track 2 -o out.mid --force", dir.Path());
        ASSERT_EQ(run.status, 0) << verb << ": " << run.err;
        const Notes notes = ReadWithMido(dir.File("out.mid")).notes;
        ASSERT_EQ(notes.size(), 7U) << verb;
        EXPECT_EQ(notes.back(), (NoteValue{2400, 0, 64, 480, 100})) << verb;
    }
    EXPECT_EQ(Retrograde("thin in.mid -o out.mid --voices 2", dir.Path()).status,
              2);  // wrong usage
    const RunResult refused = Retrograde("repeats in.mid --track 2 --max-notes 8", dir.Path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("more than --max-notes 8"), std::string::npos) << refused.err;
}
