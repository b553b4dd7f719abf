// The reference tables: instrument and drum names, drum groups and the
// exclusive templates, checked where they meet the rest of the library.
#include <gtest/gtest.h>

#include <cstring>

#include "OpsFixture.h"
#include "midi/tables/MidiDrumSet.h"
#include "midi/tables/MidiInst.h"
#include "midi/tables/SysExTemplates.h"

using namespace ops_test;

TEST(Tables, Names) {
    EXPECT_EQ(MidiInst.size(), 128u);
    EXPECT_EQ(MidiInst[0], "ｸﾞﾗﾝﾄﾞ ﾋﾟｱﾉ");
    EXPECT_EQ(MidiInst[13], "木琴");
    EXPECT_EQ(MidiInst[4], "ｴﾚｸﾄﾘｯｸ ﾋﾟｱﾉ 1");
    EXPECT_EQ(MidiInst[127], "銃声");
    EXPECT_EQ(GetMidiInstName(86), "5度の鋸波");
    EXPECT_EQ(GetMidiInstName(-1), "");
    EXPECT_EQ(GetMidiInstName(128), "");

    EXPECT_EQ(MidiDrumSet.size(), 47u);
    EXPECT_EQ(MidiDrumSet[0], "ﾊﾞｽﾄﾞﾗ");
    EXPECT_EQ(MidiDrumSet[46], "ｵｰﾌﾟﾝﾄﾗｲｱﾝｸﾞﾙ");
    EXPECT_EQ(GetMidiDrumSetName(55), "Sｽﾌﾟﾗｯｼｭｼﾝﾊﾞﾙ");
    EXPECT_EQ(GetMidiDrumSetName(34), "");
    EXPECT_EQ(GetMidiDrumSetName(82), "");
    // Every text is whole UTF-8, with no stray byte of another encoding.
    for (std::string_view name : MidiInst) EXPECT_EQ(GneFileTextToUtf8(name), name);
    for (std::string_view name : MidiDrumSet) EXPECT_EQ(GneFileTextToUtf8(name), name);
}

TEST(Tables, DrumGroups) {
    EXPECT_EQ(InstGroup[5], (std::array<std::int32_t, 10>{49, 51, 57, 52, 59, 55, 0, 0, 0, 0}));
    EXPECT_EQ(InstGroup[3], (std::array<std::int32_t, 10>{42}));
    EXPECT_EQ(InstGroup[16][1], 81);
}

TEST(Tables, ExclusiveTemplatesAsTheLibraryReadsThem) {
    CaptureSink sink;
    // A drum-scale message made for part 3 with the flag on: value byte 1 and
    // a checksum that rounds address, value and checksum to a multiple of 128.
    auto* drum = new MidiEvent(0);
    drum->status = kEvSysEx;
    std::memcpy(drum->data, SysExDrumScale.data(), SysExDrumScale.size());
    drum->length = 12;
    SetSysExF0Chanel(3, &drum->data[7], 0x10);
    drum->data[9] = 1;
    SetGSCheckSum(drum->data);
    EXPECT_EQ(
        (drum->data[6] + drum->data[7] + drum->data[8] + drum->data[9] + drum->data[10]) % 128, 0);
    auto track = MakeTrack(kFormQ2, {drum, Eot(0)});
    track->SpecifyExclusiveType(drum);
    EXPECT_EQ(drum->number, 18);
    EXPECT_EQ(drum->channel, 3);
    EXPECT_EQ(drum->value, 1);
    EXPECT_EQ(track->IsDrumChanel(3), 1);

    auto* volume = new MidiEvent(0);
    volume->status = kEvSysEx;
    std::memcpy(volume->data, SysExMasterVolume.data(), SysExMasterVolume.size());
    volume->data[7] = 90;
    volume->length = 9;
    track->SpecifyExclusiveType(volume);
    EXPECT_EQ(volume->number, 1);
    EXPECT_EQ(volume->value, 90);
    delete volume;

    EXPECT_EQ(SysExGmReset, (std::array<unsigned char, 8>{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    EXPECT_EQ(SysExVoiceMode, SysExFmMode);
    EXPECT_EQ(LoopSysExStart[9], 0x00);
    EXPECT_EQ(LoopSysExStop[9], 0x01);
    EXPECT_TRUE(sink.Messages().empty());
}
