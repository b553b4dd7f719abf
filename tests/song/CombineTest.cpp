// Combining tracks: by channel, by sound, drums and families, the list
// checks, and the keyed sound merge against its literal loops.
#include <random>

#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "support/TestSongs.h"

namespace {

// A named track playing program (none when < 0) on channel.
std::vector<Ev> Part(const std::string& name, int channel, int program, int note = 60) {
    std::vector<Ev> events{Meta(0, kMetaTrackName, name)};
    if (program >= 0) events.push_back(Pc(0, channel, program));
    events.push_back(Note(0, channel, note, 10));
    events.push_back(Eot(10));
    return events;
}

std::string Name(MidiF1Data& song, int t) {
    std::array<char, 256> text{};
    song.GetTrack(t)->GetMetaData(kMetaTrackName, text.data());
    return text.data();
}

// The sound merge as first written: every name, bank and program in turn,
// the whole song searched for each.
void SlowSameTone(MidiF1Data& song) {
    song.CleanUpDuplicateProgramChange();
    std::array<char[256], kMaxTracks> names{};
    const int count = song.GetInstNameList(names.data());
    for (int n = 0; n < count; ++n) {
        for (int b = 0; b < 128; ++b) {
            for (int p = 0; p < 128; ++p) {
                std::vector<int> list;
                for (int t = 0; t < song.track_count; ++t) {
                    MidiF1TrackData& track = *song.GetTrack(t);
                    std::array<char, 256> name{};
                    track.GetMetaData(kMetaInstrument, name.data());
                    if (track.GetProgramChange() != p ||
                        std::max(track.GetControlChange(0), 0) != b ||
                        std::string(name.data()) != names[n] || track.GetNumProgramChange() >= 2 ||
                        track.GetChanel() >= 16 || song.IsDrumTrack(t))
                        continue;
                    list.push_back(t);
                }
                if (list.size() > 1) song.CombineTrack(int(list.size()), list.data(), false);
            }
        }
    }
    int kept[] = {7, 11, 39, 43, 10};
    song.CleanUpDuplicateNoteOnOff();
    song.CleanUpDuplicateProgramChange();
    song.CleanUpDuplicateControlChangeExceptSpecifiedCmd(kept, 5);
    song.CleanUpDuplicateVolumeExpressionOfSameTiming();
    song.CleanUpDuplicatePitchBend();
}

}  // namespace

TEST(Combine, TrackListsAreCheckedAndMergedInOrder) {
    CaptureSink sink;
    auto song = Song({Part("A", 0, 1), Part("B", 1, 1, 62), Part("C", 2, 1, 64)});
    const Lines before = SongDump(*song);
    // (list) refused: out of range, duplicate, unsorted, target repeated, empty.
    for (const std::vector<int>& bad : {std::vector<int>{0, 3}, {0, 1, 1}, {1, 0}, {0, 0}, {}}) {
        std::vector<int> list = bad;
        EXPECT_EQ(song->CombineTrack(int(list.size()), list.data(), true), 0);
    }
    EXPECT_EQ(sink.Count(kF1Internal), 5);
    int one[] = {1};
    EXPECT_EQ(song->CombineTrack(1, one, true), 1);
    EXPECT_EQ(SongDump(*song), before);
    int all[] = {0, 1, 2};
    EXPECT_EQ(song->CombineTrack(3, all, true), 1);
    ASSERT_EQ(song->track_count, 1);
    EXPECT_EQ(Name(*song, 0), "A / B / C");
    EXPECT_EQ(song->GetTrack(0)->GetNumNoteEvent(0), 3);  // all moved to channel 0
    // The song-wide clean-ups and merges refuse the wrong form.
    song->form = kFormQ1;
    song->CleanUpDuplicateNoteOnOff();
    song->CombineSameToneTrack();
    song->form = kFormRaw;
    song->CleanUpDuplicateBankSelectAndProgramChange();
    EXPECT_EQ(sink.Count(kF1Internal), 8);
}

TEST(Combine, SameChannelReportAndMergeAndKeptChannels) {
    CaptureSink sink;
    // Two tracks on channel 1, a drum pair on 10 (left), and a B-port track on 1 (left).
    auto song = Song({Part("Piano", 0, 0),
                      Part("Strings", 0, 48, 64),
                      Part("Dr1", 9, -1),
                      Part("Dr2", 9, -1),
                      {Meta(0, kMetaInstrument, "SC-88 B"), Note(0, 0, 60, 5), Eot(5)}});
    std::array<char, MidiF1Data::kCombineReportSize> report{};
    EXPECT_EQ(song->CombineSameChanelTrack(report.data()), 1);
    EXPECT_STREQ(report.data(), "問題のあるトラック 1Ch Piano Strings \r\n");
    EXPECT_EQ(song->track_count, 4);
    EXPECT_EQ(Name(*song, 0), "Piano / Strings");
    EXPECT_EQ(song->CombineSameChanelTrack(report.data()), 0);
    EXPECT_STREQ(report.data(), "");
    // Long Shift-JIS names: UTF-8 in the report, which stays inside its size.
    Tracks many;
    const std::string sjisPiano = "\x83\x73\x83\x41\x83\x6d";  // ピアノ
    for (int t = 0; t < 60; ++t) many.push_back(Part(sjisPiano + std::string(200, 'x'), t % 15, 0));
    auto big = Song(many);
    EXPECT_EQ(big->CombineSameChanelTrack(report.data()), 1);
    const std::string text = report.data();
    EXPECT_LT(text.size(), report.size());
    EXPECT_EQ(text.find("問題のあるトラック 1Ch ピアノxx"), 0u);
    EXPECT_EQ(big->track_count, 18);  // 14 channels and the 4 drum tracks

    // One sound: kept channels stay apart (the keys are held to the literal loops below).
    auto tone = Song({Part("a", 0, 5), Part("c", 3, 5, 64), Part("d", 5, 5)});
    int keep[] = {5};
    tone->CombineSameToneTrack(1, keep);
    EXPECT_EQ(tone->track_count, 2);
    EXPECT_EQ(Name(*tone, 0), "a / c");
    EXPECT_EQ(tone->GetTrack(1)->GetChanel(), 5);
}

TEST(Combine, KeyedSameToneMatchesTheLiteralLoops) {
    CaptureSink sink;
    std::mt19937 random(18);
    int merged = 0;
    for (int round = 0; round < 12; ++round) {
        Tracks spec;
        const int count = 3 + int(random() % 10);
        for (int t = 0; t < count; ++t) {
            std::vector<Ev> events;
            if (random() % 3 == 0)
                events.push_back(Meta(0, kMetaInstrument, random() % 2 ? "SC88B" : "A"));
            const int channel = int(random() % 12);
            if (random() % 3 == 0) events.push_back(Cc(0, channel, 0, int(random() % 2)));
            for (int p = int(random() % 3); p > 0; --p)
                events.push_back(Pc(0, channel, int(random() % 3)));
            if (random() % 4 == 0) events.push_back(RhythmPart(0, channel));
            events.push_back(Note(int(random() % 5), channel, 40 + int(random() % 40), 5));
            events.push_back(Eot(5));
            spec.push_back(events);
        }
        auto fast = Song(spec), slow = Song(spec);
        fast->CombineSameToneTrack();
        SlowSameTone(*slow);
        merged += fast->track_count < count;
        EXPECT_EQ(SongDump(*fast), SongDump(*slow)) << "round " << round;
    }
    EXPECT_GE(merged, 3);  // the rounds must merge something
}

TEST(Combine, DrumsOntoChannelTenFamiliesThenFewestNotes) {
    for (bool tenFirst : {true, false}) {
        CaptureSink sink;
        std::vector<Ev> ten = Part("Kit", 9, -1, 36);
        std::vector<Ev> sixteen{RhythmPart(0, 15), Pc(0, 15, 25), Note(0, 15, 38, 5), Eot(5)};
        auto song = tenFirst ? Song({Part("p", 0, 1), ten, sixteen})
                             : Song({Part("p", 0, 1), sixteen, ten});
        song->ErrorMsgOnce(0);
        song->CombineDrumTrack();
        ASSERT_EQ(song->track_count, 2);
        EXPECT_EQ(song->GetTrack(1)->GetChanel(), 9);
        EXPECT_EQ(song->GetTrack(1)->GetNumNoteEvent(9), 2);
        // Only channel 10's kit had no program: the merge warns, once.
        EXPECT_EQ(sink.Count("異なるプログラムチェンジのドラムトラックを結合しようとしました。"),
                  1);
    }
    CaptureSink sink;
    Song({Part("p", 0, 1)})->CombineDrumTrack();
    EXPECT_TRUE(sink.Saw("ドラムトラックがありませんでした。"));
    auto song = Song({});
    MidiF1TrackData a(kFormQ2), b(kFormQ2), c(kFormQ2);
    a.AddEvent(Pc(0, 9, 8));
    b.AddEvent(Pc(0, 9, 8));
    EXPECT_EQ(song->IsDrumProgramChangeSame(&a, &b), 1);
    EXPECT_EQ(song->IsDrumProgramChangeSame(&c, &b), 0);
    EXPECT_EQ(song->IsDrumProgramChangeSame(&c, &c), 1);
    a.AddEvent(Pc(0, 9, 16));
    EXPECT_EQ(song->IsDrumProgramChangeSame(&a, &b), 0);

    // Pianos (0, 2) and strings (48, 49) pair up; the busier member's program
    // wins; then the quietest track merges until two channels remain.
    std::vector<Ev> busyPiano = Part("P2", 1, 2);
    busyPiano.insert(busyPiano.end() - 1, Note(0, 1, 70, 5));
    auto families = Song({Part("P1", 0, 0), busyPiano, Part("S1", 2, 48), Part("S2", 3, 49),
                          Part("Org", 4, 16), Part("Dr", 9, -1)});
    families->CombineSameGroupToneTrack(3);
    ASSERT_EQ(families->track_count, 3);
    EXPECT_EQ(families->GetTrack(0)->GetProgramChange(), 2);
    EXPECT_EQ(families->GetTrack(0)->GetNumProgramChange(), 1);
    EXPECT_LE(families->GetNumChanel(nullptr), 3);
    EXPECT_TRUE(families->IsDrumTrack(2));
    // Two ports within 16 channels: the second-port track only moves.
    auto small =
        Song({Part("a", 0, 1), {Meta(0, kMetaInstrument, "SC88B"), Note(0, 0, 1, 1), Eot(1)}});
    small->ConvChanel32To16();
    EXPECT_EQ(small->track_count, 2);
    EXPECT_EQ(small->GetTrack(1)->GetChanel(), 1);
}
