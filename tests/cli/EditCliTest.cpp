// The editing and analysis verbs end to end (quantize, reduce-poly, swing,
// check, chord, tidy, merge-tracks, bend-range, range, velocity, extract,
// poly, repeats, phrases, melody, thin), their files read back by mido, and
// the argument parsers they share.
#include <filesystem>

#include "CliFixture.h"
#include "EditSupport.h"

using namespace cli_test;

namespace {

// A format-0 song at division 480: a note of 200 ticks at each tick given.
Bytes NoteLine(const std::vector<int>& ticks) {
    Bytes body = smf::Tempo(0, 500000);
    int now = 0;
    for (int t : ticks) {
        body = Concat({body, smf::On(std::uint32_t(t - now), 0, 60), smf::Off(200, 0, 60)});
        now = t + 200;
    }
    return SongFile({body});
}

// The most notes sounding at one tick; a note ending where another starts
// does not count with it.
int MostAtOnce(const Notes& notes) {
    std::map<long, int> change;
    for (const NoteValue& n : notes) {
        ++change[n.start];
        --change[n.start + n.duration];
    }
    int now = 0, most = 0;
    for (const auto& [tick, delta] : change) most = std::max(most, now += delta);
    return most;
}

std::vector<long> Starts(const MidoView& view) {
    std::vector<long> starts;
    for (const NoteValue& n : view.notes) starts.push_back(n.start);
    return starts;
}

// Notes of channel 0 (velocity, note) and one drum note, format 0.
Bytes Notes4() {
    return SongFile({Concat({smf::Tempo(0, 500000), smf::On(0, 0, 30, 50), smf::On(0, 0, 100, 100),
                             smf::On(0, 9, 20, 90), smf::Off(480, 0, 30), smf::Off(0, 0, 100),
                             smf::Off(0, 9, 20)})});
}

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
                   smf::Off(480, 0, 48), smf::Off(0, 0, 60), smf::Off(0, 0, 64)});
    return SongFile({smf::Tempo(0, 500000), body});
}

}  // namespace

TEST(EditCli, QuantizeAndReducePolyOnRealFiles) {
    REQUIRE_REAL_FILES(files);
    files.resize(12);
    TempDir dir;
    std::string inputs;
    for (const std::string& f : files) inputs += " " + Quote(f);
    std::vector<std::string> all = files;  // then the quantized, then the reduced
    for (const std::string folder : {"quantized", "reduced"}) {
        std::filesystem::create_directory(dir.File(folder));
        RetrogradeOk((folder == "quantized" ? "quantize --grid 1/16" : "reduce-poly --voices 4") +
                     inputs + " -o " + Quote(dir.File(folder)));
        for (const std::string& f : files)
            all.push_back(dir.File(folder + "/" + std::filesystem::path(f).filename().string()));
    }
    auto views = ReadWithMido(all);
    int reduced = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const MidoView& in = views[files[i]];
        const MidoView& quantized = views[all[files.size() + i]];
        const MidoView& fewer = views[all[2 * files.size() + i]];
        ASSERT_TRUE(quantized.ok && fewer.ok) << quantized.error << fewer.error;
        EXPECT_EQ(quantized.format, in.format);
        EXPECT_EQ(quantized.notes.size(), in.notes.size());
        // At most four notes sound at once, and the files did need it.
        EXPECT_LE(MostAtOnce(fewer.notes), 4);
        EXPECT_FALSE(fewer.notes.empty());
        reduced += MostAtOnce(in.notes) > 4 ? 1 : 0;
        if (in.division % 4 != 0) continue;
        for (const NoteValue& n : quantized.notes) ASSERT_EQ(n.start % (in.division / 4), 0) << n;
    }
    EXPECT_GT(reduced, 0);
}

TEST(EditCli, SwingTurnsStraightEighthsLongShortAndCheckTellsWhereSomethingFails) {
    const SongDir dir(NoteLine({0, 240, 480, 720, 960, 1200, 1440, 1680}));
    RunResult run = RetrogradeOk("swing --unit 1/8 in.mid -o out.mid --json", dir.Path());
    EXPECT_TRUE(Holds(run.out, "\"output\":\"out.mid\""));
    const MidoView view = ReadWithMido(dir.File("out.mid"));
    EXPECT_EQ(view.format, 0);
    EXPECT_EQ(Starts(view), (std::vector<long>{0, 320, 480, 800, 960, 1280, 1440, 1760}));
    for (const NoteValue& n : view.notes) EXPECT_EQ(n.duration, 200);

    // The input is never overwritten; an output only with --force.
    EXPECT_EQ(Retrograde("swing --unit 1/8 in.mid -o in.mid --force", dir.Path()).status, 1);
    EXPECT_EQ(Retrograde("swing --unit 1/8 in.mid -o out.mid", dir.Path()).status, 1);
    EXPECT_EQ(Retrograde("swing --unit 1/8 in.mid -o out.mid --force", dir.Path()).status, 0);
    // Standard input to standard output.
    const RunResult piped = RunShell(
        "sh -c " + Quote(Quote(RETROGRADE_CLI) + " quantize --grid 1/4 - -o - <in.mid >piped.mid"),
        dir.Path());
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(Starts(ReadWithMido(dir.File("piped.mid"))),
              (std::vector<long>{0, 0, 480, 480, 960, 960, 1440, 1440}));  // half way: earlier

    // check tells where something fails. Bar 3, beat 2, 7 ticks past it:
    // 2 * 1920 + 480 + 7.
    WriteBytes(dir.File("off.mid"), NoteLine({0, 480, 4327}));
    WriteBytes(dir.File("on.mid"), NoteLine({0, 480, 4320}));
    run = Retrograde("check off.mid --grid 1/16 --tempo 60-180", dir.Path());
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_TRUE(Holds(run.out, "3:2:7: note 60 7 ticks past the 1/16 grid"));
    run = Retrograde("check off.mid --grid 1/16 --json", dir.Path());
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(Holds(run.out, "\"position\":\"3:2:7\",\"tick\":4327"));

    EXPECT_EQ(Retrograde("check on.mid --grid 1/8 --tempo 60-180", dir.Path()).status,
              4);  // 200-tick notes
    EXPECT_EQ(Retrograde("check on.mid --grid 40t --tempo 60-180", dir.Path()).status, 0);
    EXPECT_EQ(Retrograde("check on.mid --tempo 130-180", dir.Path()).status, 4);
    EXPECT_EQ(Retrograde("check on.mid --tempo 180-130", dir.Path()).status, 2);
}

TEST(EditCli, ChordShowsTheNotesOfNames) {
    RunResult run = RetrogradeOk("chord Cm7 N.C. --json");
    EXPECT_EQ(run.out,
              "[{\"name\": \"Cm7\", \"bass\": 48, \"root\": 60, \"third\": 63, "
              "\"fifth\": 67, \"seventh\": 70}, {\"name\": \"N.C.\"}]\n");
    run = Retrograde("chord F# x7");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "F#:  bass F#3 (54)  root F#4 (66)  third A#4 (70)  fifth C#5 (73)\n");
    EXPECT_TRUE(Holds(run.err, "retrograde: x7: not a chord name"));
}

TEST(EditSupport, ArgumentsAsMusiciansWriteThem) {
    MidiF1Data song(480);
    song.AddTrack(Track<MidiF1TrackData>(kFormQ2, {TimeSign(0, 3, 2), Eot(2880)}).release());
    const int bar = BarTicks(song);
    EXPECT_EQ(bar, 1440);
    const std::vector<std::pair<const char*, int>> lengths = {
        {"1/16", 120},   {"1/8.", 360}, {"3/8", 720},  {"1/4", 480}, {"1bar", 1440},
        {"2bars", 2880}, {"480t", 480}, {"1/1024", 2}, {"1/3", 640}};
    for (const auto& [text, ticks] : lengths) EXPECT_EQ(ParseLength(text, 480, bar), ticks) << text;
    for (const char* bad :
         {"", "1/0", "0/4", "x", "1/", "-1t", "0t", "bars", "1/4..", "1/8000000"}) {
        EXPECT_THROW(ParseLength(bad, 480, bar), CliUsage) << bad;
    }
    EXPECT_EQ(ParsePosition("1:1", song), 0);
    EXPECT_EQ(ParsePosition("2:3:5", song), 1440 + 960 + 5);
    EXPECT_EQ(ParsePosition("77t", song), 77);
    for (const char* bad : {"0:1", "1", "1:1:1:1", "a:b", "1:0", "t"}) {
        EXPECT_THROW(ParsePosition(bad, song), CliUsage) << bad;
    }
    EXPECT_EQ(ParseBars("2-3", song), (std::pair{1440, 4320}));
    EXPECT_EQ(ParseNumberRange("60-180", 1, 1000), (std::pair{60, 180}));
    EXPECT_EQ(ParseNumberRange("90", 1, 1000), (std::pair{90, 90}));
    const std::vector<std::pair<const char*, int>> notes = {
        {"C4", 60}, {"c4", 60}, {"F#3", 54}, {"Bb-1", 10}, {"C-1", 0}, {"G9", 127}, {"100", 100}};
    for (const auto& [text, note] : notes) EXPECT_EQ(ParseNote(text), note) << text;
    for (const char* bad : {"H4", "C", "G#9", "128", "Cb-1", "C4x"}) {
        EXPECT_THROW(ParseNote(bad), CliUsage) << bad;
    }
    EXPECT_EQ(ParseList("1,16,3", [](std::string_view t) { return ParseIndex(t, 16, "channel"); }),
              (std::vector{0, 15, 2}));
    EXPECT_THROW(ParseIndex("17", 16, "channel"), CliUsage);
    EXPECT_EQ(JsonString("a\"b\\\n"), "\"a\\\"b\\\\\\u000a\"");
}

TEST(EditCli, TidyMergeAndBendRangeKeepTheNotes) {
    const Bytes lead =
        Concat({smf::Text(0, 3, "Lead"), smf::Cc(0, 0, 7, 100), smf::Cc(10, 0, 7, 80),
                smf::Cc(0, 0, 1, 5), smf::Cc(0, 0, 1, 5), smf::On(0, 0, 60, 100),
                smf::Msg(0, {0xE0, 0, 0x50}), smf::Off(240, 0, 60)});
    const Bytes pad = Concat({smf::Text(0, 3, "Pad"), smf::Cc(0, 0, 7, 50), smf::On(10, 0, 64, 100),
                              smf::Off(240, 0, 64)});
    const SongDir dir(SongFile({smf::Tempo(0, 500000), lead, pad}));
    EXPECT_TRUE(Holds(Written("tidy", "in.mid", "tidy.mid", dir.Path()).out,
                      "removed 0 doubled notes, 0 program changes, 0 bank selects with "
                      "programs, 2 controller changes"));
    Written("merge-tracks --tracks 2,3 --balance", "in.mid", "merged.mid", dir.Path());
    Written("bend-range --semitones 12", "in.mid", "bend.mid", dir.Path());
    EXPECT_TRUE(Holds(Retrograde("info in.mid", dir.Path()).out,
                      "roles:\n  1: master\n  2: notes, C4 to C4, centre C4\n  3: notes, E4"));
    auto views = ReadWithMido(
        {dir.File("in.mid"), dir.File("tidy.mid"), dir.File("merged.mid"), dir.File("bend.mid")});
    const Notes in = views[dir.File("in.mid")].notes;
    EXPECT_EQ(views[dir.File("tidy.mid")].notes, in);
    EXPECT_EQ(views[dir.File("bend.mid")].notes, in);
    const MidoView& merged = views[dir.File("merged.mid")];
    EXPECT_EQ(merged.tracks, 2);
    // The pad under volume 50 merged under the lead's 80 is played softer.
    ASSERT_EQ(merged.notes.size(), 2u);
    EXPECT_EQ(merged.notes[1].velocity, 100 * 50 / 80);
}

TEST(EditCli, RangeVelocityAndExtract) {
    const SongDir dir(Notes4());
    const auto notes_of = [&](const std::string& args) {
        Written(args + " --force", "in.mid", "out.mid", dir.Path());
        return ReadWithMido(dir.File("out.mid")).notes;
    };
    // Folded an octave at a time; the drum note stays where it is.
    EXPECT_EQ(notes_of("range --low C2 --high C7"),
              (Notes{{0, 0, 42, 480, 50}, {0, 0, 88, 480, 100}, {0, 9, 20, 480, 90}}));
    EXPECT_EQ(notes_of("range --low C2 --high C7 --delete"), (Notes{{0, 9, 20, 480, 90}}));
    EXPECT_EQ(notes_of("velocity --normalize --channel 1"),
              (Notes{{0, 0, 30, 480, 63}, {0, 0, 100, 480, 127}, {0, 9, 20, 480, 90}}));
    EXPECT_EQ(notes_of("extract --channel 10"), (Notes{{0, 9, 20, 480, 90}}));
    EXPECT_TRUE(Holds(Retrograde("poly in.mid --json", dir.Path()).out, "\"poly\":3,\"voices\":3"));
}

TEST(AnalysisCli, RepeatsPhrasesMelodyAndThin) {
    const SongDir dir(Melody());
    const RunResult repeats = RetrogradeOk("repeats in.mid --track 2 --grid 1/8", dir.Path());
    EXPECT_TRUE(Holds(repeats.out, "3 notes, 0.38 bars from 1:1:0 to 1:2:240, again at 1:3:240"));
    const RunResult phrases =
        RetrogradeOk("phrases in.mid --track 2 --min-rest 1/4 --json", dir.Path());
    EXPECT_TRUE(Holds(phrases.out, "\"breaks\":[\"1:2:240\",\"2:1:0\"]"));
    // Both leave the melody and the top of the chord.
    for (const std::string verb : {"melody", "thin --voices 1"}) {
        Written(verb + " --track 2 --force", "in.mid", "out.mid", dir.Path());
        const Notes notes = ReadWithMido(dir.File("out.mid")).notes;
        ASSERT_EQ(notes.size(), 7U) << verb;
        EXPECT_EQ(notes.back(), (NoteValue{2400, 0, 64, 480, 100})) << verb;
    }
    const RunResult refused = Retrograde("repeats in.mid --track 2 --max-notes 8", dir.Path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Holds(refused.err, "more than --max-notes 8"));
}
