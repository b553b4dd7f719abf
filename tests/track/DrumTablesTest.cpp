// The reference tables where they meet the rest of the library: names by
// number, and an exclusive template as the classifier reads it.
#include <gtest/gtest.h>

#include <cstring>

#include "TrackTestSupport.h"
#include "midi/tables/MidiDrumSet.h"
#include "midi/tables/MidiInst.h"
#include "midi/tables/SysExTemplates.h"
#include "support/TestEvents.h"

TEST(Tables, NamesAreWholeUtf8AndBounded) {
    EXPECT_EQ(MidiInst.size(), 128u);
    EXPECT_EQ(GetMidiInstName(86), MidiInst[86]);
    EXPECT_EQ(GetMidiInstName(-1), "");
    EXPECT_EQ(GetMidiInstName(128), "");
    EXPECT_EQ(GetMidiDrumSetName(35), MidiDrumSet[0]);
    EXPECT_EQ(GetMidiDrumSetName(81), MidiDrumSet[46]);
    EXPECT_EQ(GetMidiDrumSetName(34), "");
    EXPECT_EQ(GetMidiDrumSetName(82), "");
    // Every text is whole UTF-8, with no stray byte of another encoding.
    for (std::string_view name : MidiInst) EXPECT_EQ(GneFileTextToUtf8(name), name);
    for (std::string_view name : MidiDrumSet) EXPECT_EQ(GneFileTextToUtf8(name), name);
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

    EXPECT_TRUE(sink.Messages().empty());
}
