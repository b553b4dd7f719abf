// Moving, renumbering and splitting channels across a format-1 song.
#include "midi/song/MidiF1Data.h"
#include "support/TestSongs.h"

namespace {

std::vector<int> Channels(MidiF1Data& song) {
    std::vector<int> out;
    for (int t = 0; t < song.track_count; ++t)
        out.push_back(song.GetTrack(t)->GetChanelWithInstName());
    return out;
}

// Every rhythm-part switch of the song: "track/index c<channel> on|off".
Lines Switches(MidiF1Data& song) {
    Lines out;
    for (int t = 0; t < song.track_count; ++t) {
        for (int i = 0; i < song.GetTrack(t)->event_count; ++i) {
            const MidiEvent& e = *song.GetTrack(t)->event_table[i];
            if (e.status == kEvSysEx && e.number == 18)
                out.push_back(std::to_string(t) + "/" + std::to_string(i) + " c" +
                              std::to_string(e.channel) + (e.data[9] ? " on" : " off"));
        }
    }
    return out;
}

}  // namespace

TEST(ChannelMove, MovesTracksOfThePortRefusesBadArgumentsAndOrders) {
    auto song = Song({kConductor, On(3), On(3, "SC88B"), On(3), On(5)});
    EXPECT_EQ(song->ChangeChanel(1, 7), 0);
    EXPECT_EQ(Channels(*song), (std::vector<int>{255, 7, 19, 7, 5}));
    EXPECT_EQ(song->ChangeChanel(2, 4), 1);  // named: only its namesakes; the last track not
    EXPECT_EQ(Channels(*song), (std::vector<int>{255, 7, 20, 7, 5}));
    CaptureSink sink;
    for (auto [track, channel] : std::vector<std::pair<int, int>>{{0, 1}, {1, 16}, {1, -1}, {5, 1}})
        EXPECT_EQ(song->ChangeChanel(track, channel), -1) << track << " " << channel;
    EXPECT_EQ(sink.Messages().size(), 4u);
    EXPECT_EQ(Channels(*song), (std::vector<int>{255, 7, 20, 7, 5}));

    // Second-port tracks find first-port channels.
    auto taken = Song({On(0), On(1), On(1, "SC88B")});
    taken->SetChanelOrder();
    EXPECT_EQ(Channels(*taken), (std::vector<int>{0, 1, 2}));
    // Its own number free: kept, and now counted as used.
    auto own = Song({On(0), On(1, "SC88B"), On(0, "SC88B")});
    own->SetChanelOrder();
    EXPECT_EQ(Channels(*own), (std::vector<int>{0, 1, 2}));
    // Drums moved off channel 10 take their switch along; a melodic part
    // landing on channel 10 switches it off.
    auto moved = Song({On(9), On(0), On(9, "SC88B"), On(1, "SC88B")});
    moved->SetChanelOrder();
    EXPECT_EQ(Channels(*moved), (std::vector<int>{9, 0, 2, 1}));
    EXPECT_TRUE(moved->IsDrumTrack(2));
    EXPECT_FALSE(moved->IsDrumTrack(3));
    auto lands = Song(
        {On(0), On(1), On(2), On(3), On(4), On(5), On(6), On(7), On(8), On(10), On(3, "SC88B")});
    lands->SetChanelOrder();
    EXPECT_EQ(Channels(*lands).back(), 9);
    EXPECT_EQ(Switches(*lands), (Lines{"10/0 c9 off"}));
}

TEST(ChannelRenumber, TrackOrderListedChannelsAndDrums) {
    auto song = Song({kConductor, On(4, "SC88B"), On(9), On(3)});
    int keep[] = {-1, 40, 9};  // not channels: ignored
    EXPECT_EQ(song->ReNumberChanel(keep, 3), 1);
    EXPECT_EQ(Channels(*song), (std::vector<int>{255, 0, 9, 1}));
    EXPECT_EQ(song->GetTrack(1)->GetNumMetaEvent(kMetaInstrument), 0);

    Tracks many;
    for (int c = 0; c < 17; ++c) many.push_back(On(c % 16, c < 16 ? "" : "SC88B"));
    auto full = Song(many);
    CaptureSink sink;
    EXPECT_EQ(full->ReNumberChanel(nullptr, 4), 0);
    EXPECT_EQ(sink.Messages(), (Lines{"MidiF1Dataでエラーが発生しました。"}));
    EXPECT_EQ(Channels(*full).back(), 16);

    // Drums on channel 10 and on a second-port part: both moved off 10 with
    // their switch; the piano that takes channel 1 stays a piano.
    Tracks parts{{RhythmPart(0, 4), Meta(0, kMetaInstrument, "SC88B"), Note(0, 4, 36, 10), Eot(10)},
                 On(9)};
    for (int c : {0, 6, 7, 8, 10, 11, 12, 13, 14}) parts.push_back(On(c));
    auto drums = Song(parts);
    EXPECT_EQ(drums->ReNumberChanel(nullptr, 0), 1);
    EXPECT_EQ(Channels(*drums), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(Switches(*drums), (Lines{"0/0 c0 on", "1/0 c1 on", "9/0 c9 off"}));
    EXPECT_TRUE(drums->IsDrumTrack(0) && drums->IsDrumTrack(1));
    EXPECT_FALSE(drums->IsDrumTrack(2));
}

TEST(ChannelExclusives, PartExclusivesJoinTheirChannelsOthersStay) {
    const Ev reset = SysEx(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
    auto song = Song({kConductor,
                      {Meta(0, kMetaTrackName, "Setup"), reset, GsSysEx(960, 3), Eot(0)},
                      {Note(0, 3, 60, 10), Eot(2000)},
                      {GsSysEx(0, 5), Eot(0)}});
    CaptureSink sink;
    song->SysExToChanel();
    EXPECT_EQ(sink.Messages(), (Lines{"複数のSysExTrackがあります。"}));
    EXPECT_EQ(SongDump(*song),
              (Lines{"0: 0 META3 Song", "0: 0 TEMPO 500000", "0: 0 EOT", "1: 0 META3 Setup",
                     "1: 0 F0 t0 c255", "1: 960 EOT", "2: 0 N c3 n60 d10", "2: 960 F0 t0 c3",
                     "2: 2000 EOT", "3: 0 F0 t0 c5", "3: 0 EOT"}));
    const Lines once = SongDump(*song);
    song->SysExToChanel();
    EXPECT_EQ(SongDump(*song), once);
}

TEST(ChannelSplit, ByKeyIntoTwoTracksAndVoicesThinned) {
    auto song =
        Song({kConductor, {Pc(0, 0, 5), Note(0, 0, 48, 10, 30), Note(0, 0, 72, 20, 90), Eot(20)}});
    CaptureSink sink;
    song->SplitChanel(0, 60, 4);
    EXPECT_EQ(song->track_count, 2);
    song->SplitChanel(0, 60, 1);
    EXPECT_EQ(SongDump(*song), (Lines{"0: 0 META3 Song", "0: 0 TEMPO 500000", "0: 0 EOT",
                                      "1: 0 PC c0 5", "1: 0 N c0 n72 d20", "1: 20 EOT",
                                      "2: 0 PC c0 5", "2: 0 N c0 n48 d10", "2: 20 EOT"}));
    song->SplitChanel(0, 15, 2);  // the long note stays in the first
    EXPECT_EQ(song->GetTrack(1)->GetNumNoteEvent(), 1);
    EXPECT_EQ(song->GetTrack(2)->GetNumNoteEvent(), 0);
    Tracks crowd(63, On(1));
    crowd.insert(crowd.end(), 2, On(0));
    auto packed = Song(crowd);  // 65 tracks: no room for two more
    packed->SplitChanel(0, 60, 1);
    EXPECT_EQ(packed->track_count, 65);
    EXPECT_EQ(sink.Messages().size(), 2u);

    // The voices of one channel thinned; drums by note numbers.
    auto voices = Song({{Note(0, 0, 60, 10), Note(0, 0, 64, 10), Note(0, 0, 67, 10), Eot(10)},
                        {Note(0, 9, 36, 5), Note(5, 9, 38, 5), Note(5, 9, 42, 5), Eot(5)},
                        {Note(0, 1, 60, 10), Note(0, 1, 64, 10), Eot(10)}});
    voices->ReduceChanelVoice(0, 1);
    voices->ReduceChanelVoice(9, 2);
    EXPECT_EQ(voices->GetTrack(0)->GetNumVoice(), 1);
    EXPECT_EQ(voices->GetTrack(1)->GetNumDrumVoice(), 2);
    EXPECT_EQ(voices->GetTrack(2)->GetNumVoice(), 2);
}

TEST(ChannelSplit, ProgramsOntoFreeChannels) {
    auto song = Song({On(0),
                      On(1),
                      On(2),
                      {Note(0, 3, 40, 10), Pc(10, 3, 0), Note(0, 3, 60, 10), Pc(10, 3, 48),
                       Note(0, 3, 62, 10), Eot(10)}});
    EXPECT_EQ(song->SplitProgramChange(3), 0);
    EXPECT_EQ(Channels(*song), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(song->GetTrack(3)->GetNumNoteEvent(), 2);  // (0,0,0): before and after program 0
    EXPECT_EQ(song->GetTrack(4)->GetNumNoteEvent(), 1);
    auto single = Song({{Pc(0, 2, 7), Note(0, 2, 60, 10), Eot(10)}});
    EXPECT_EQ(single->SplitProgramChange(0), 0);
    EXPECT_EQ(single->track_count, 1);

    // Channels 0..19 taken (9 never chosen): the copies go to 20 ("SC88B",
    // channel 4) and 21; with nothing free the song stays.
    Tracks busy;
    for (int c = 0; c < 20; ++c) busy.push_back(On(c % 16, c < 16 ? "" : "SC88B"));
    busy.push_back({Meta(0, kMetaInstrument, "SC88B"), Pc(0, 5, 1), Note(0, 5, 60, 1), Pc(0, 5, 2),
                    Note(0, 5, 60, 1), Eot(1)});
    auto two = Song(busy);
    EXPECT_EQ(two->SplitProgramChange(20), 0);
    EXPECT_EQ(Channels(*two).back(), 21);
    EXPECT_EQ(two->GetTrack(20)->GetNumMetaEvent(kMetaInstrument), 1);
    EXPECT_EQ(two->GetTrack(20)->GetChanel(), 4);
    for (int c = 20; c < 32; ++c) busy.insert(busy.begin(), On(c % 16, "SC88B"));
    auto full = Song(busy);
    const Lines before = SongDump(*full);
    CaptureSink sink;
    EXPECT_EQ(full->SplitProgramChange(full->track_count - 1), -1);
    EXPECT_EQ(sink.Messages(),
              (Lines{"複数プログラムチェンジのトラックを分割しようとしましたが、使用できる"
                     "チャネルがありませんでした。"}));
    EXPECT_EQ(SongDump(*full), before);
}
