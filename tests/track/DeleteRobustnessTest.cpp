// Every track operation of the clean-up, deletion, query, channel and drum
// families on random, partly nonsensical track contents: channels, notes and
// values out of range, texts without a terminating zero, messages without F7,
// empty tracks and tracks without an end of track. Run under the sanitizers
// this finds any access outside the table or an area.
#include <gtest/gtest.h>

#include <random>

#include "support/TestEvents.h"

namespace {

MidiEvent* RandomEvent(std::mt19937& rng) {
    static constexpr int kStatuses[] = {
        kEvNone,        kEvNote,        kEvNote,    kEvNote,    kEvNoteOff,         kEvNoteOn,
        kEvKeyPressure, kEvControl,     kEvControl, kEvProgram, kEvChannelPressure, kEvPitchBend,
        kEvSysEx,       kEvSysExEscape, kEvMeta,    kEvMeta};
    static constexpr int kChannels[] = {0, 3, 9, 9, 15, -3, 16, 200, kNoChannel};
    std::uniform_int_distribution<int> pick(0, 1 << 20);
    auto any = [&](int low, int high) { return low + pick(rng) % (high - low + 1); };

    auto* e = new MidiEvent(any(0, 3) == 0 ? 0 : any(0, 500));
    e->status = kStatuses[any(0, std::size(kStatuses) - 1)];
    e->channel = kChannels[any(0, std::size(kChannels) - 1)];
    e->note = any(-5, 300);
    e->velocity = any(0, 3) == 0 ? 0 : any(1, 127);
    e->duration = any(0, 5) == 0 ? 0 : any(1, 2000);
    e->number = any(0, 3) == 0 ? 18 : any(0, 130);  // 18: a rhythm-part assignment
    if (e->status == kEvMeta && any(0, 3) == 0) e->number = any(0, 1) ? kMetaEndOfTrack : 0x58;
    e->value = any(-5, 300);
    if (any(0, 9) == 0) {
        e->ResizeData(400);
        e->length = any(0, 400);
    } else {
        e->length = any(0, MusicEvent::kDataSize);
    }
    // Bytes that are rarely zero and rarely F7.
    for (int i = 0; i < e->DataCapacity(); ++i)
        e->data[i] = static_cast<unsigned char>(any(1, 0xF6));
    if (any(0, 1) == 0) e->data[any(0, e->DataCapacity() - 1)] = 0xF7;
    return e;
}

void CheckTable(const MidiTrackData& t, const char* step) {
    ASSERT_GE(t.event_count, 0) << step;
    ASSERT_LE(t.event_count, kMaxEvents) << step;
    for (int i = 0; i < t.event_count; ++i) {
        ASSERT_NE(t.event_table[i], nullptr) << step;
        ASSERT_GE(t.event_table[i]->delta, 0) << step;
        ASSERT_LE(t.event_table[i]->length, t.event_table[i]->DataCapacity()) << step;
    }
}

}  // namespace

TEST(TrackOps, AnyContentIsSafe) {
    CaptureSink sink;  // the messages are expected; they must not reach stderr
    std::mt19937 rng(31337);
    char text[kMusicDataBufferSize + 1];
    unsigned char bytes[1024];
    char pattern[260] = {'\xF0', '\x03', '\x11', '\xF7'};
    char replacement[] = "marker";
    for (int round = 0; round < 60; ++round) {
        const int count = round % 10 == 0 ? 0 : static_cast<int>(rng() % 300);
        auto t = std::make_unique<MidiTrackData>(round % 2 == 0 ? kFormQ2 : kFormQ1);
        for (int i = 0; i < count; ++i) t->AddEvent(RandomEvent(rng));
        if (round % 3 != 0) t->AddEvent(Eot(static_cast<int>(rng() % 100)));
        const int channel = static_cast<int>(rng() % 20) - 2;
        const int tick = static_cast<int>(rng() % 5000) - 100;

        // Queries first, on the untouched content.
        long tempo = 0;
        int code = 0;
        t->GetControlChangeValueWithDelta(7, channel, tick);
        t->GetProgramChangeValueWithDelta(channel, tick);
        t->GetSysExF0ValueWithDelta(1, tick);
        t->GetPitchBendValueWithDelta(channel, tick);
        t->GetTimeSign(tick);
        t->GetTempo(tick);
        t->GetProgramChange();
        t->GetInst(channel);
        t->IsBendableInst(channel);
        t->GetChanelVolume();
        t->GetChanelPanpot();
        t->GetMasterVolume();
        t->GetSysExF0(1, bytes);
        t->GetMetaData(kMetaTrackName, text);
        t->GetMetaData(kMetaTimeSignature, text);
        t->GetTimeSign(&code);
        t->GetTempo(&tempo, 2);
        t->GetKey(bytes);
        t->GetIndexOfDelta(tick);
        t->GetDeltaOfEventIndex(count / 2);
        t->GetLastIndexOfSameDelta(count / 2);
        t->GetIndexOfMetaEvent(kMetaMarker, replacement);
        t->GetPosOfControlChange(7, &code);
        t->GetPosOfPitchBendWithDelta(&code, 0, tick);
        t->GetIndexOfFirsthNote();
        t->GetDeltaOfFirstNote();
        t->GetDeltaToNextNote(count / 3);
        t->GetNumEvent(0, tick);
        t->GetNumNoteEvent(channel);
        t->GetTrackDuration();
        t->GetAverageDeltaTimeOfNote(channel);
        t->GetChanel();
        t->GetChanelWithInstName();
        t->SearchEventAndCommand(kEvControl, 255);
        t->GetPitchBendDirection(count / 2);
        for (int c = -1; c <= 16; ++c) t->IsDrumChanel(c);
        int group[] = {35, 36};
        t->GetMostUsedDrumSetOfGroup(group, 2);
        CheckTable(*t, "queries");

        // Then the edits, one after another on the same track.
        t->DbcsToSbcs(true, true, kEvMeta, kMetaTrackName);
        t->DbcsToSbcs(true, true, kEvSysEx, 0);
        CheckTable(*t, "DbcsToSbcs");
        t->ReplaceSysExF0Data(0, pattern, kMetaMarker, replacement);
        unsigned char* own = t->event_count > 0 ? t->event_table[0]->data : bytes;
        t->ReplaceSysExF0Data(0, reinterpret_cast<char*>(own), kMetaText, replacement);
        CheckTable(*t, "ReplaceSysExF0Data");
        t->PackDrumSet();
        t->ConvertExpressionToVolume();
        t->CleanUpDuplicateProgramChange();
        t->CleanUpDuplicateBankSelectAndProgramChange();
        CheckTable(*t, "program clean-up");
        t->DeleteDuplicateNote();
        t->DeleteDuplicateOctaveNote();
        t->GatherNoteEvent();
        CheckTable(*t, "duplicate notes");
        t->CleanUpDuplicateNoteOnOff(round % 4 == 0);
        CheckTable(*t, "note on/off");
        t->DeleteInvalidDrum();
        CheckTable(*t, "invalid drum");
        t->DeleteControlChange(7, 0, tick);
        t->DeleteSysExF0(channel, 18);
        t->DeleteChanel(channel);
        t->DeleteMetaEvent(tick, kMetaMarker, replacement);
        t->DeleteAllMetaEventExceptSeqName();
        t->DeleteEventAfterSpecifiedDelta(tick, kEvNote);
        t->ShortenNoteAfterSpecifiedDelta(tick);
        CheckTable(*t, "deletions");
        if (round % 2 == 0) {
            t->ShortenData(tick);
        } else {
            t->ShortnTrackDuration(tick);
        }
        CheckTable(*t, "cut");
        t->SetChanel(channel);
        t->DeleteAllEventExceptEndOfTrack();
        CheckTable(*t, "all but end of track");
    }
    EXPECT_FALSE(sink.Messages().empty());
}
