// Song-level channel queries, track classification and order, and song-wide
// queries; the drum-channel table against a literal whole-song search;
// polyphony of a whole song, reduced by channel or refused whole.
#include <random>

#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "support/TestSongs.h"

namespace {

// The drum test as first written: every question searches the whole song.
bool SlowIsDrum(MidiF1Data& song, int t) {
    const int ch = song.GetTrack(t)->GetChanel();
    if (ch == kNoChannel || ch >= 16) return false;
    if (ch == 9) return true;
    for (int k = 0; k < song.track_count; ++k) {
        const MidiTrackData& track = *song.GetTrack(k);
        for (int i = 0; i < track.event_count; ++i) {
            const MidiEvent& e = *track.event_table[i];
            if (e.status == kEvSysEx && e.number == 18 && e.channel == ch && e.length >= 10)
                return e.data[9] != 0;
        }
    }
    return false;
}

std::unique_ptr<MidiF1Data> ThreeTracks(int fill = 0) {
    std::vector<Ev> bass{Meta(0, kMetaTrackName, "Bass"), Note(0, 1, 36, 960)};
    for (int i = 0; i < fill; ++i) bass.push_back(Note(1, 1, 40, 1));
    bass.push_back(Eot(0));
    return Song({kConductor,
                 {Meta(0, kMetaTrackName, "Piano"), Note(0, 0, 60, 480), Note(0, 0, 64, 480),
                  Note(0, 0, 67, 480), Eot(480)},
                 bass});
}

}  // namespace

TEST(SongChannels, FreeUsedVelocityStepsDeletedTracksAndFirstExclusives) {
    Tracks nine;
    for (int c = 0; c < 9; ++c) nine.push_back(On(c));
    EXPECT_EQ(Song(nine)->GetUnusedChanel(), 9);
    for (int c = 9; c < 16; ++c) nine.push_back(On(c));
    EXPECT_EQ(Song(nine)->GetUnusedChanel(), -1);
    EXPECT_EQ(Song({})->GetUnusedChanel(), 0);
    bool second = false;
    auto ports = Song({On(0), {Meta(0, kMetaInstrument, "SC-88 B"), Note(0, 0, 60, 1), Eot(1)}});
    EXPECT_EQ(ports->GetNumChanel(&second), 2);
    EXPECT_TRUE(second);
    int keep[] = {3, 9};
    EXPECT_EQ(ports->IsDontMove(9, keep, 2), 1);
    EXPECT_EQ(ports->IsDontMove(9, keep, 1), 0);
    // (velocity, steps, result): below half of the velocity gives it back.
    const int steps[][3] = {{100, 2, 81},   {100, 6, 51},           {100, 7, 100},
                            {100, -4, 100}, {100, 2000000000, 100}, {0, 3, 0}};
    for (auto [v, step, want] : steps)
        EXPECT_EQ(ports->GetOffsetVelocity(v, step), want) << v << " " << step;

    // Tracks of a channel or kind, and the first exclusives, deleted.
    CaptureSink sink;
    auto song = Song({{}, On(9), kConductor, On(9), On(3), On(3)});
    song->DeleteChanel(9);  // never the master track (the first, without events)
    EXPECT_EQ(song->track_count, 4);
    song->DeleteChanelData(3);
    EXPECT_EQ(song->track_count, 2);
    song->DeleteChanelData(255);  // conductor tracks
    EXPECT_EQ(song->track_count, 0);
    auto sysex =
        Song({kConductor, {GsSysEx(0, 2), RhythmPart(0, 4), Eot(0)}, {RhythmPart(0, 4), Eot(0)}});
    EXPECT_EQ(sysex->DeleteSysExF0(4, 18), 1);
    EXPECT_EQ(sysex->GetTrack(1)->event_count, 2);
    EXPECT_EQ(sysex->GetTrack(2)->event_count, 2);  // the walk stopped at the first
    // Each call deletes the first it finds (evaluated left to right).
    EXPECT_EQ((std::array{sysex->DeleteSysExF0(18), sysex->DeleteSysExF0(18),
                          sysex->DeleteSysExF7(), sysex->DeleteSysExF0(), sysex->DeleteSysExF0()}),
              (std::array{1, 0, 0, 1, 0}));
    EXPECT_TRUE(sink.Messages().empty());

    // Empty tracks, tracks without notes, doubled song titles.
    auto kinds = Song(
        {kConductor, On(1), {Eot(0)}, {Eot(0)}, {Meta(0, kMetaTrackName, "x"), Eot(0)}, On(2)});
    kinds->DeleteEmptyTrack();  // the second after moving into index 2
    EXPECT_EQ(kinds->track_count, 4);
    kinds->DeleteNoNoteTrack();  // the master track stays at index 0
    EXPECT_EQ(SongDump(*kinds),
              (Lines{"0: 0 META3 Song", "0: 0 TEMPO 500000", "0: 0 EOT", "1: 0 N c1 n60 d10",
                     "1: 10 EOT", "2: 0 N c2 n60 d10", "2: 10 EOT"}));
    auto titles =
        Song({{Eot(0)}, {Meta(0, 3, "a"), Meta(0, 3, "b"), Eot(0)}, {Meta(0, 3, "c"), Eot(0)}});
    titles->DeleteDuplicateSongTitle();
    EXPECT_EQ(SongDump(*titles), (Lines{"0: 0 EOT", "1: 0 META3 a", "1: 0 EOT", "2: 0 EOT"}));
}

TEST(SongTracks, DrumClassification) {
    CaptureSink sink;
    // Channel 9 plays drums without any exclusive; channel 3 only when the
    // first rhythm-part message for it switches it on; short messages are
    // not read; channel 4 is switched off first.
    Ev short_on = RhythmPart(0, 5);
    short_on.data.resize(9);
    auto song = Song({{RhythmPart(0, 4, 0), short_on, RhythmPart(0, 3), Eot(0)},
                      {RhythmPart(0, 4), Eot(0)},
                      {Note(0, 9, 36, 1), Note(9, 9, 38, 1), Eot(1)},
                      On(3),
                      On(4),
                      On(5),
                      On(1),
                      On(20)});
    std::vector<bool> drums;
    for (int t = 0; t < song->track_count; ++t) drums.push_back(song->IsDrumTrack(t));
    EXPECT_EQ(drums, (std::vector<bool>{false, false, true, true, false, false, false, false}));
    EXPECT_FALSE(song->IsDrumTrack(99));
    EXPECT_EQ(sink.Messages(), (Lines{kF1Generic, "Track Error"}));
    song->DeleteTrack(7);
    EXPECT_EQ(song->GetNumVoice(), 6);  // the drum track counts its two drum notes
    EXPECT_FALSE(song->IsDrumProgramChangeSet());
    song->GetTrack(3)->AddEvent(Pc(0, 3, 5));
    EXPECT_TRUE(song->IsDrumProgramChangeSet());
    song->DeleteDrumProgramChange();
    EXPECT_FALSE(song->IsDrumProgramChangeSet());
}

TEST(SongTracks, DrumTableMatchesTheWholeSongSearch) {
    std::mt19937 random(17);
    for (int round = 0; round < 200; ++round) {
        Tracks spec;
        for (int t = 0, n = int(random() % 8); t < n; ++t) {
            std::vector<Ev> events;
            for (int i = 0, m = int(random() % 5); i < m; ++i) {
                const int ch = int(random() % 6) + 1;
                events.push_back(random() % 2 ? RhythmPart(0, ch, int(random() % 2))
                                              : Note(0, ch, 60, 1));
            }
            events.push_back(Eot(0));
            spec.push_back(events);
        }
        auto song = Song(spec);
        const retrograde::detail::DrumChannelTable table(*song);
        for (int t = 0; t < song->track_count; ++t)
            EXPECT_EQ(table.IsDrumTrack(*song->GetTrack(t)), SlowIsDrum(*song, t)) << round;
    }
}

TEST(SongTracks, OneTrackPerChannelSortSwapAndChecks) {
    CaptureSink sink;
    auto song = Song({On(0), {Note(0, 0, 62, 10), Eot(10)}, On(5), kConductor, On(20)});
    song->AssignSameNumberToTrackAndChanel();
    ASSERT_EQ(song->track_count, 16);
    EXPECT_EQ(song->GetTrack(0)->GetNumNoteEvent(), 2);
    EXPECT_EQ(song->GetTrack(1)->GetNumMetaEvent(kMetaTempo), 1);
    EXPECT_EQ(song->GetTrack(1)->GetNumNoteEvent(), 1);  // channel 21 joins the conductor
    EXPECT_EQ(song->GetTrack(5)->GetChanel(), 5);
    EXPECT_TRUE(song->GetTrack(7)->IsEmpty());
    // A Q1 song gets Q1 tracks and can be saved.
    auto q1 = Song({{On(0, 0, 60), Off(10, 0, 60), Eot(0)}, kConductor}, kFormQ1);
    q1->AssignSameNumberToTrackAndChanel();
    EXPECT_EQ(q1->GetTrack(9)->form, kFormQ1);
    EXPECT_EQ(q1->Q1toRaw(), 1);
    // Merges that would not fit are refused before anything moves.
    auto big = Song({On(0), On(0)});
    for (int i = 0; i < kMaxEvents - 3; ++i) big->GetTrack(1)->AddEvent(Nop(0));
    big->AssignSameNumberToTrackAndChanel();
    EXPECT_EQ(big->track_count, 2);
    EXPECT_TRUE(sink.Saw(kTooMuch));

    // Sorting by channel, swapping, duplicate channels and volumes.
    sink.Clear();
    auto sorted = Song({On(3), kConductor, On(1), {Note(0, 3, 1, 1), Eot(1)}});
    sorted->SortTrack();
    std::vector<int> channels;
    for (int t = 0; t < 4; ++t) channels.push_back(sorted->GetTrack(t)->GetChanel());
    EXPECT_EQ(channels, (std::vector<int>{255, 1, 3, 3}));
    EXPECT_EQ(sorted->GetTrack(2)->event_table[0]->note, 60);  // stable
    EXPECT_TRUE(sorted->CheckDuplicateChanelTrack());
    sorted->SwapTrack(0, 9);
    EXPECT_EQ(sink.Messages(), Lines{"Track Error"});
    auto cc = Song({{Cc(0, 0, 7, 1), Cc(0, 0, 7, 2), Eot(0)}, {Cc(0, 1, 7, 3), Eot(0)}});
    EXPECT_TRUE(cc->DeleteControlChange(7));  // the first of each track
    EXPECT_EQ(cc->GetTrack(0)->event_count + cc->GetTrack(1)->event_count, 3);
    cc->fixed_time_sign = 0x304;  // not an event: not asked
    EXPECT_FALSE(cc->GetTimeSign(nullptr));
    char message[MidiF1Data::kCheckTrackVolumeMessageSize];
    auto volume = Song({kConductor, {Cc(0, 0, 7, 90), Eot(0)}, On(2)});
    EXPECT_FALSE(volume->CheckDuplicateChanelTrack());
    EXPECT_TRUE(volume->CheckTrackVolume(message));
    EXPECT_EQ(
        std::string(message),
        " チャネル 3にボリュームが設定されていませんでしたのでボリュームを100に設定しました。");
    EXPECT_EQ(volume->GetChanelVolume(2), 100);
    EXPECT_FALSE(volume->CheckTrackVolume(message));
    EXPECT_EQ(std::string(message),
              "にボリュームが設定されていませんでしたのでボリュームを100に設定しました。");
}

TEST(SongQueries, FirstAnswersAndEventsForAChannel) {
    CaptureSink sink;
    auto song = Song({kConductor,
                      {Note(0, 0, 40, 10), Eot(10)},
                      {Cc(0, 0, 7, 100), Pc(0, 0, 5), Note(0, 0, 70, 10), Eot(10)}});
    EXPECT_EQ(song->GetChanelVolume(0), 100);
    EXPECT_EQ(song->GetChanelProgramChange(0), 5);
    EXPECT_EQ(song->GetChanelVolume(1), -1);
    EXPECT_EQ(song->GetTrackNumberOfChanel(0), 1);
    char miss[] = "Piano*", hit[] = "S?ng";
    EXPECT_EQ(song->GetTrackNoOfSequenceName(miss), -1);
    EXPECT_EQ(song->GetTrackNoOfSequenceName(hit), 0);
    int low = 0, high = 0;
    song->GetNoteRange(0, &low, &high);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(40, 70));
    song->GetNoteRange(4, &low, &high);
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(127, 0));
    long tempo = 0;
    EXPECT_EQ(song->GetTempo(&tempo), 1);
    EXPECT_EQ(tempo, 500000);
    EXPECT_EQ(song->GetTempo(&tempo, 2), 0);
    EXPECT_EQ(song->GetMasterVolume(), -1);
    song->GetTrack(1)->InsertMasterVolume(90);
    song->GetTrack(2)->InsertMasterVolume(80);
    EXPECT_EQ(song->GetMasterVolume(), 90);
    EXPECT_EQ(sink.Messages(), Lines{"マスターボリュームが複数設定されています。"});

    // Events for a channel: a new track when no track plays it alone.
    auto mixed = Song(
        {kConductor, {RhythmPart(0, 6), Eot(0)}, {Note(0, 1, 60, 1), Note(0, 5, 60, 1), Eot(1)}});
    mixed->InsertEventToChanelWithDelta(5, Cc(0, 5, 10, 64), 960);
    mixed->InsertEventToChanelWithDelta(5, Cc(0, 5, 11, 64), 480);  // the same new track
    mixed->InsertEventToChanelWithDelta(6, Cc(0, 6, 10, 64), 0);    // the track of the exclusive
    EXPECT_EQ(mixed->track_count, 4);
    EXPECT_EQ(Dump(*mixed->GetTrack(3)),
              (Lines{"480 CC c5 #11=64", "960 CC c5 #10=64", "960 EOT"}));
    EXPECT_EQ(mixed->GetTrack(1)->event_count, 3);
}

TEST(SongQueries, TitlesTempoTableDivisionAndFormChecks) {
    CaptureSink sink;
    auto song = Song({kConductor,
                      {Meta(0, kMetaTrackName, "A"), Note(0, 2, 1, 1), Eot(1)},
                      {Meta(0, kMetaTrackName, "B"), Note(0, 2, 1, 1), Eot(1)},
                      On(2)});
    std::array<std::array<char, 256>, 17> buffers{};
    std::array<char*, 17> slots{};
    for (int s = 0; s < 17; ++s) slots[s] = buffers[s].data();
    song->BackupTrackTitle(slots.data());
    EXPECT_EQ(std::string(slots[2]), "B");  // the unnamed later track keeps it
    EXPECT_EQ(song->GetNumMetaEvent(kMetaTrackName), 0);
    song->RestoreTrackTitle(slots.data());
    for (int t = 1; t < 4; ++t) EXPECT_EQ(Dump(*song->GetTrack(t))[0], "0 META3 B");
    EXPECT_EQ(Dump(*song->GetTrack(0))[0], "0 META3 Song");
    for (int count : {512, 513}) {
        std::vector<Ev> tempos(size_t(count), Tempo(1, 400000));
        tempos.push_back(Eot(0));
        std::vector<_TempoData> table(MidiF1Data::kMaxTempoData);
        EXPECT_EQ(Song({tempos})->ExtractTempoData(table.data()), 512);
        EXPECT_EQ(table[511].tick, 512);
    }
    EXPECT_EQ(sink.Messages(), Lines{"設定されているテンポの数が多すぎます。"});

    // A new division rescales; Q1 songs refuse the Q2 edits.
    auto divided = Song({{Note(480, 0, 60, 240), Eot(0)}});
    EXPECT_EQ(divided->ChangeDivision(960), 1);
    EXPECT_EQ(Dump(*divided->GetTrack(0)), (Lines{"960 N c0 n60 d480", "960 EOT"}));
    EXPECT_EQ(divided->division, 960);
    for (int bad : {0, 0x8000}) EXPECT_EQ(divided->ChangeDivision(bad), 0);
    auto q1 = Song({{On(0, 0, 60), Off(10, 0, 60), Eot(0)}}, kFormQ1);
    EXPECT_EQ(q1->ChangeDivision(960), 0);
    EXPECT_EQ(q1->DeleteMetaEvent(1), 0);
    q1->ShortenData(5);
    q1->ChangeDuration(50);
    EXPECT_EQ(q1->division, 480);
    EXPECT_EQ(q1->GetTrack(0)->event_count, 3);
    EXPECT_EQ(divided->division, 960);
    EXPECT_EQ(sink.Count(kF1Internal), 6);
}

TEST(SongPoly, ReducesAndRefuses) {
    CaptureSink sink;
    auto song = ThreeTracks();
    EXPECT_EQ(song->GetNumPoly(), 4);
    song->ReduceNumPoly(2);
    EXPECT_EQ(song->GetNumPoly(), 2);
    ASSERT_EQ(song->track_count, kF1TracksFromF0);
    // The bass, on the highest channel, goes first, then the piano's lowest
    // note; the bass track, left without a channel, gets no title back.
    Lines expected{"0: 0 META3 Song",    "0: 0 TEMPO 500000",  "0: 960 EOT", "1: 0 META3 Piano",
                   "1: 0 N c0 n64 d480", "1: 0 N c0 n67 d480", "1: 960 EOT"};
    for (int t = 2; t < kF1TracksFromF0; ++t) expected.push_back(std::to_string(t) + ": 960 EOT");
    EXPECT_EQ(SongDump(*song), expected);
    EXPECT_TRUE(sink.Messages().empty());

    sink.Clear();
    int priority[4][12] = {};
    // 15 events and Notes, and two for each filler: the most that fit, and one more.
    const int fill = (kMaxEvents - 15) / 2;
    auto big = ThreeTracks(fill);
    EXPECT_EQ(big->GetNumPoly(), 5);
    auto bigger = ThreeTracks(fill + 1);
    const Lines before = SongDump(*bigger);
    EXPECT_EQ(bigger->GetNumPoly(), 0);
    bigger->ReduceNumPoly(2);
    bigger->ReduceNumPoly(2, nullptr, 0, 1, nullptr, false);
    EXPECT_EQ(sink.Count(kTooMuch), 3);
    song = ThreeTracks();
    song->ReduceNumPoly(0);
    song->ReduceNumPoly(2, nullptr, 0, 2, nullptr, false);
    song->ReduceNumPoly(2, nullptr, 1, 1, priority, false);
    EXPECT_EQ(sink.Count(kGeneric), 3);
    EXPECT_EQ(SongDump(*bigger), before);
    EXPECT_EQ(SongDump(*song), SongDump(*ThreeTracks()));
}
