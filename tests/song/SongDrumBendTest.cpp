// Drum mapping and clean-up on a whole song, the song's bend range, and bends
// turned into notes, held to a literal step-by-step version on random lines.
#include <random>

#include "midi/song/MidiF1Data.h"
#include "support/TestSongs.h"

namespace {

const std::string kNoToneChannel =
    "ドラムからトーンにマッピングしようとしましたが、マッピングのためのあきチャネルがありませんでし"
    "た。";

using ToneMap = std::array<std::array<std::array<char, 2>, 128>, 128>;
std::unique_ptr<ToneMap> EmptyToneMap() {
    auto map = std::make_unique<ToneMap>();
    for (auto& kit : *map)
        for (auto& entry : kit) entry = {char(-1), 0};
    return map;
}
char (*Rows(ToneMap& map))[128][2] {
    return reinterpret_cast<char(*)[128][2]>(map.data());
}

const std::vector<Ev> kDrums{
    Meta(0, kMetaTrackName, "Kit"), RhythmPart(0, 9), Note(0, 9, 36, 100), Note(0, 9, 38, 100),
    Note(240, 9, 38, 120, 80),      Eot(240)};

}  // namespace

TEST(SongDrums, ToneMappingDeleteInvalidDrumAndDeleteDrumNote) {
    CaptureSink sink;
    auto song = Song({On(0), kDrums, On(2)});
    auto map = EmptyToneMap();
    (*map)[0][38] = {0, 60};
    (*map)[0][36] = {5, char(-3)};  // a note that cannot be played: skipped
    EXPECT_EQ(song->DrumToneMapping(0, Rows(*map), false), 1);
    ASSERT_EQ(song->track_count, 4);
    EXPECT_EQ(Dump(*song->GetTrack(1)),
              (Lines{"0 META3 Kit", "0 F0 t18 c9", "0 N c9 n36 d100", "480 EOT"}));
    EXPECT_EQ(Dump(*song->GetTrack(3)),
              (Lines{"0 CC c1 #0=0", "0 CC c1 #32=0", "0 PC c1 0", "0 META3 DrumToneMapping Kit",
                     "0 N c1 n60 d100", "240 N c1 n60 d120", "480 EOT"}));
    EXPECT_EQ(NotesOf(*song->GetTrack(3))[1].velocity, 80);
    EXPECT_TRUE(sink.Saw("ノートナンバーの異常が検出されました。"));
    EXPECT_FALSE(song->IsDrumTrack(3));
    // An unnamed drum track's copy is named all the same; another bank is not visited.
    auto unnamed = Song({{Cc(0, 9, 32, 0), Pc(0, 9, 0), Note(0, 9, 38, 10), Eot(10)}});
    EXPECT_EQ(unnamed->DrumToneMapping(1, Rows(*map), true), 0);
    EXPECT_EQ(unnamed->track_count, 1);
    EXPECT_EQ(unnamed->DrumToneMapping(0, Rows(*map), true), 1);
    EXPECT_EQ(Dump(*unnamed->GetTrack(1))[3], "0 META3 DrumToneMapping ");
    // Channel 10 plays drums even unused: a tone track there would be heard as drums.
    Tracks nine{{RhythmPart(0, 3), Note(0, 3, 38, 10), Eot(10)}};
    for (int c : {0, 1, 2, 4, 5, 6, 7, 8}) nine.push_back(On(c));
    auto gs = Song(nine);
    EXPECT_EQ(gs->GetUnusedChanel(), 9);
    EXPECT_EQ(gs->DrumToneMapping(0, Rows(*map), false), 1);
    EXPECT_EQ(gs->GetTrack(9)->GetChanel(), 10);
    EXPECT_EQ(song->GetNumDrumTrack(), 1);
    EXPECT_EQ(Song({{Note(0, 0, 60, 10)}})->GetNumDrumTrack(), 0);

    // Invalid drum notes and drum notes of a kit.
    auto invalid = Song({{Cc(0, 9, 0, 8), Pc(0, 9, 16), Note(0, 9, 20, 10), Note(0, 9, 36, 10),
                          Note(0, 9, 38, 10), Eot(10)},
                         {Note(0, 0, 20, 10), Eot(10)}});
    invalid->DeleteInvalidDrum();
    EXPECT_EQ(NotesOf(*invalid->GetTrack(0)).size(), 3u);
    EXPECT_EQ(NotesOf(*invalid->GetTrack(0))[0].note, 35);
    EXPECT_EQ(NotesOf(*invalid->GetTrack(1))[0].note, 20);  // a melodic track is left alone
    EXPECT_EQ(sink.Count("ドラムにプログラムチェンジが設定されています。(または、CH10以外をドラム"
                         "として使用するシステムエクスクルーシブが設定されています。)"),
              1);
    const Lines kit = Dump(*invalid->GetTrack(0));
    invalid->DeleteDrumNote(0, 16, 38, true);  // no drum track has bank 0
    EXPECT_EQ(Dump(*invalid->GetTrack(0)), kit);
    invalid->DeleteDrumNote(8, 16, 38, true);
    EXPECT_EQ(NotesOf(*invalid->GetTrack(0)).size(), 2u);
    invalid->DeleteDrumNote(8, 16, 38, false);
    EXPECT_TRUE(NotesOf(*invalid->GetTrack(0)).empty());
    auto q1 = Song({{On(0, 9, 40), Off(10, 9, 40), Eot(0)}}, kFormQ1);
    sink.Clear();
    q1->DeleteDrumNote(0, 0, 40, true);
    q1->DeleteInvalidDrum(false);
    EXPECT_EQ(q1->DrumToneMapping(0, Rows(*EmptyToneMap()), false), 0);
    EXPECT_EQ(q1->GetTrack(0)->event_count, 3);
    EXPECT_EQ(sink.Count(kF1Internal), 3);
}

namespace {

// Two songs with every channel taken: the sound stays in the drum track and
// the warning comes once in the process. Exits 0 when all holds.
[[noreturn]] void MapWithoutFreeChannel() {
    CaptureSink sink;
    Tracks full{kDrums};
    for (int c = 0; c < 16; ++c)
        if (c != 9) full.push_back(On(c));
    auto map = EmptyToneMap();
    (*map)[0][38] = {0, 60};
    (*map)[0][36] = {0, 62};
    for (int round = 0; round < 2; ++round) {
        auto song = Song(full);
        const Lines before = Dump(*song->GetTrack(0));
        if (song->DrumToneMapping(0, Rows(*map), false) != 0 || song->track_count != 16 ||
            Dump(*song->GetTrack(0)) != before)
            std::exit(9);
    }
    std::exit(sink.Count(kNoToneChannel) == 1 ? 0 : 8);
}

}  // namespace

TEST(SongDrumsDeathTest, NoFreeChannelKeepsTheSoundAndWarnsOncePerProcess) {
    EXPECT_EXIT(MapWithoutFreeChannel(), ::testing::ExitedWithCode(0), "");
}

TEST(SongBends, RangeFollowsTheParameterAndBendsBecomeNotesOutsideTheDrums) {
    EXPECT_EQ(Song({})->GetPitchBendSensitivity(), 2);
    EXPECT_EQ(Song({{Cc(0, 0, 7, 100), Eot(0)}})->GetPitchBendSensitivity(), 2);
    // Channel 0 selects RPN 0/0 then sets 12; channel 1's NRPN data entry and
    // the drum track's do not count; a later RPN 0/0 entry of channel 1 wins.
    auto song =
        Song({{Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 12), Eot(0)},
              {Cc(0, 1, 101, 0), Cc(0, 1, 100, 0), Cc(0, 1, 99, 1), Cc(0, 1, 6, 40), Eot(0)},
              {Cc(0, 9, 101, 0), Cc(0, 9, 100, 0), Cc(0, 9, 6, 24), Eot(0)}});
    EXPECT_EQ(song->GetPitchBendSensitivity(), 12);
    auto later = Song({{Cc(0, 0, 101, 0), Cc(0, 0, 100, 0), Cc(0, 0, 6, 12), Cc(9, 0, 7, 1),
                        Cc(9, 0, 6, 5), Eot(0)}});
    EXPECT_EQ(later->GetPitchBendSensitivity(), 5);  // still selected: the last value wins

    CaptureSink sink;
    // Sensitivity 2: a bend to 12287 is one semitone up; the modulation goes;
    // the drum track keeps its bends (the random lines below hold the rest,
    // keys held within 0..127 included).
    auto split = Song({{Cc(0, 0, 1, 64), Note(0, 0, 60, 960), Bend(480, 0, 12287), Eot(480)},
                       {Note(0, 9, 36, 960), Bend(480, 9, 12287), Cc(0, 9, 1, 5), Eot(480)}});
    const Lines before = SongDump(*split);
    for (int s : {0, -1, 8192, INT_MIN, INT_MAX}) split->ConvPitchBendToNote(s);
    Song({{On(0, 0, 60), Bend(0, 0, 0), Off(10, 0, 60)}}, kFormQ1)->ConvPitchBendToNote(2);
    EXPECT_EQ(SongDump(*split), before);
    EXPECT_EQ(sink.Count(kF1Internal), 6);
    split->ConvPitchBendToNote(2);
    EXPECT_EQ(Dump(*split->GetTrack(0)),
              (Lines{"0 N c0 n60 d480", "480 N c0 n61 d480", "960 EOT"}));
    EXPECT_EQ(NotesOf(*split->GetTrack(0))[1].velocity, 90);
    EXPECT_EQ(Dump(*split->GetTrack(1)),
              (Lines{"0 N c9 n36 d960", "480 PB c9 12287", "480 CC c9 #1=5", "960 EOT"}));
}

namespace {

// The conversion as first described, step by step: notes of no length are
// deleted at every position of the walk, and the walk resumes at the event
// that ended a note.
std::vector<Ev> LiteralConversion(std::vector<Ev> ev, int sensitivity, MidiF1Data& song) {
    const int step = 8191 / sensitivity;
    const auto shift = [&](int bend) { return (bend - 8192) / step; };
    const auto bendOf = [](const Ev& e) { return e.value * 128 + e.note; };
    const auto erase = [&](std::size_t i) {
        if (i + 1 < ev.size()) ev[i + 1].delta += ev[i].delta;
        ev.erase(ev.begin() + long(i));
    };
    // Bends that repeat the shift before them go, and every modulation.
    int previous = 0;
    for (std::size_t i = 0; i < ev.size();) {
        if (ev[i].status == kEvPitchBend) {
            const int s = shift(bendOf(ev[i]));
            if (s == previous) {
                erase(i);
                continue;
            }
            previous = s;
        } else if (ev[i].status == kEvControl && ev[i].number == 1) {
            erase(i);
            continue;
        }
        ++i;
    }
    int bend = 8192;
    for (std::size_t k = 0; k < ev.size();) {
        for (std::size_t z = k; z < ev.size();) {
            if (ev[z].status == kEvNote && ev[z].duration == 0)
                erase(z);
            else
                ++z;
        }
        if (k >= ev.size()) break;
        if (ev[k].status == kEvPitchBend) bend = bendOf(ev[k]);
        if (ev[k].status != kEvNote) {
            ++k;
            continue;
        }
        const int b = ev[k].note, w = ev[k].velocity, s0 = shift(bend);
        ev[k].note = std::clamp(b + s0, 0, 127);
        if (ev[k].note != b) ev[k].velocity = song.GetOffsetVelocity(w, std::abs(s0));
        long remaining = ev[k].duration;
        std::size_t sounding = k, j = k + 1;
        for (; j < ev.size(); ++j) {
            remaining -= ev[j].delta;
            if (remaining < 1) break;
            if (ev[j].status != kEvPitchBend) continue;
            bend = bendOf(ev[j]);
            const int s = shift(bend);
            ev[j] = Note(ev[j].delta, ev[j].channel, std::clamp(b + s, 0, 127), int(remaining),
                         s == 0 ? w : song.GetOffsetVelocity(w, std::abs(s)));
            ev[sounding].duration -= int(remaining);
            sounding = j;
        }
        k = j;
    }
    for (std::size_t i = 0; i < ev.size();) {
        if ((ev[i].status == kEvNote && ev[i].duration == 0) || ev[i].status == kEvPitchBend)
            erase(i);
        else
            ++i;
    }
    return ev;
}

}  // namespace

TEST(SongBends, LinearConversionMatchesTheLiteralOne) {
    std::mt19937 rng(1907);
    std::uniform_int_distribution<int> pick(0, 99);
    for (int round = 0; round < 300; ++round) {
        std::vector<Ev> line;
        const int events = 1 + pick(rng) % 60;
        for (int i = 0; i < events; ++i) {
            const int kind = pick(rng), delta = pick(rng) < 30 ? 0 : pick(rng) * 3;
            if (kind < 50)
                line.push_back(Note(delta, 0, pick(rng) + 14,
                                    pick(rng) < 10 ? 0 : 1 + pick(rng) * 4, 1 + pick(rng)));
            else if (kind < 85)
                line.push_back(Bend(delta, 0, pick(rng) < 20 ? 8192 : (pick(rng) * 167) % 16384));
            else
                line.push_back(Cc(delta, 0, kind < 93 ? 1 : 7, pick(rng)));
        }
        line.push_back(Eot(pick(rng) * 5));
        const int sensitivity = 1 + pick(rng) % 24;
        auto song = Song({line});
        const std::vector<Ev> want = LiteralConversion(line, sensitivity, *song);
        song->ConvPitchBendToNote(sensitivity);
        // (The literal events leave ticks and lengths open.)
        ASSERT_EQ(Events(*song->GetTrack(0)), want) << round;
    }
}
