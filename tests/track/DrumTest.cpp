// Drum channels, drum-set packing and the drum and instrument names.

#include <cstring>

#include "midi/tables/MidiDrumSet.h"
#include "midi/tables/MidiInst.h"
#include "midi/tables/SysExTemplates.h"
#include "support/TestEvents.h"

namespace {

std::unique_ptr<MidiTrackData> DrumTrack(int channel, std::initializer_list<int> notes,
                                         EvList events = {}) {
    for (int n : notes) events.push_back(Note(10, channel, n, 5));
    events.push_back(Eot(10));
    return Track(kFormQ2, events);
}

}  // namespace

TEST(Drum, ChannelsNamesAndPackingAsTheGroupByGroupChoice) {
    auto plain = DrumTrack(3, {36});
    EXPECT_EQ(plain->IsDrumChanel(9), 1);
    EXPECT_EQ(plain->IsDrumChanel(3), 0);
    EXPECT_EQ(plain->IsDrumChanel(200), 0);
    // Counts are multiplied by the number of drum channels.
    EXPECT_EQ(plain->GetNumNoteOfDrumSet(36), 1);

    // A drum-scale message made from the template for part 3 with the flag on
    // is classified as a rhythm-part assignment and makes channel 3 a drum
    // channel.
    CaptureSink sink;
    Bytes scale(SysExDrumScale.begin(), SysExDrumScale.end());
    SetSysExF0Chanel(3, &scale[7], 0x10);
    scale[9] = 1;
    SetGSCheckSum(scale.data());
    EXPECT_EQ((scale[6] + scale[7] + scale[8] + scale[9] + scale[10]) % 128, 0);
    auto assigned = DrumTrack(3, {36}, {SysEx(0, scale)});
    MidiEvent* drum = assigned->event_table[0];
    assigned->SpecifyExclusiveType(drum);
    EXPECT_EQ(drum->number, 18);
    EXPECT_EQ(drum->channel, 3);
    EXPECT_EQ(assigned->IsDrumChanel(3), 1);
    EXPECT_EQ(assigned->IsDrumChanel(4), 0);
    EXPECT_EQ(assigned->GetNumNoteOfDrumSet(36), 2);
    EXPECT_TRUE(sink.Messages().empty());

    EXPECT_EQ(GetMidiDrumSetName(81), MidiDrumSet[46]);
    EXPECT_EQ(GetMidiDrumSetName(34), "");
    EXPECT_EQ(GetMidiDrumSetName(82), "");
    EXPECT_EQ(GetMidiInstName(-1), "");
    EXPECT_EQ(GetMidiInstName(128), "");

    auto t = DrumTrack(9, {36, 36, 36, 36, 35, 35, 38, 40});
    int kicks[] = {35, 36};
    int snares[] = {38, 40};
    int toms[] = {41, 43};
    EXPECT_EQ(t->GetMostUsedDrumSetOfGroup(kicks, 2), 36);
    EXPECT_EQ(t->GetMostUsedDrumSetOfGroup(snares, 2), 38);  // a tie: the earlier entry
    EXPECT_EQ(t->GetMostUsedDrumSetOfGroup(toms, 2), 41);    // none used: the first
    EXPECT_EQ(t->GetMostUsedDrumSetOfGroup(nullptr, 2), -1);

    sink.Clear();
    // Channel 3 is packed once a rhythm-part message names it (the random
    // tracks below check the choice at large).
    assigned = DrumTrack(3, {36, 35, 35}, {RhythmPart(0, 3)});
    assigned->PackDrumSet();
    EXPECT_EQ(OfNotes(*assigned, &MidiEvent::note), (std::vector<int>{35, 35, 35}));

    // Only notes change: a bend on the drum channel keeps its low 7 bits.
    auto bend = DrumTrack(9, {36, 36, 35}, {Bend(0, 9, 64 * 128 + 35)});
    bend->PackDrumSet();
    EXPECT_EQ(bend->event_table[0]->note, 35);

    auto q1 = Track(kFormQ1, {On(0, 9, 35), Off(10, 9, 35), Eot(0)});
    EXPECT_EQ(q1->PackDrumSet(), 0);
    EXPECT_EQ(q1->event_table[0]->note, 35);
    EXPECT_EQ(sink.Messages(), Lines{kInternal});
    // The one-count packing agrees with choosing each group's sound through
    // GetMostUsedDrumSetOfGroup and replacing the note events of drum channels.
    constexpr std::array<int, kInstGroupCount> kSizes = {2, 2, 6, 1, 2, 6, 2, 3, 2,
                                                         2, 2, 2, 2, 4, 5, 2, 2};
    std::mt19937 rng(4242);
    std::uniform_int_distribution<int> note(30, 85), channel(0, 15), assign(0, 3);
    for (int round = 0; round < 20; ++round) {
        EvList events;
        if (assign(rng) == 0) events.push_back(RhythmPart(0, channel(rng)));
        for (int i = 0; i < 300; ++i) events.push_back(Note(5, channel(rng), note(rng), 5));
        events.push_back(Eot(0));
        auto fast = Track(kFormQ2, events);
        MidiTrackData literal(fast.get());
        std::array<int, kInstGroupCount> chosen{};
        for (int g = 0; g < kInstGroupCount; ++g) {
            std::array<int, kInstGroupWidth> group{};
            std::copy(InstGroup[g].begin(), InstGroup[g].end(), group.begin());
            chosen[g] = literal.GetMostUsedDrumSetOfGroup(group.data(), kSizes[g]);
        }
        for (int i = 0; i < literal.event_count; ++i) {
            MidiEvent* e = literal.event_table[i];
            if (!literal.IsDrumChanel(e->channel)) continue;
            for (int g = 0; g < kInstGroupCount; ++g) {
                for (int k = 0; k < kSizes[g]; ++k) {
                    if (e->note == InstGroup[g][k]) e->note = chosen[g];
                }
            }
        }
        fast->PackDrumSet();
        ASSERT_EQ(Dump(*fast), Dump(literal)) << "round " << round;
    }
}
