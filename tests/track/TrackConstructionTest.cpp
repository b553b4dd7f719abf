// Deep copies of tracks, the once-only messages and the data-file container.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "General/GeneralMac.h"
#include "TrackTestSupport.h"

using namespace reader_test;

namespace {

// Appends a record to a track's table directly.
MidiEvent* Put(MidiTrackData& track, int delta, int status, int note = 0, int duration = 0) {
    auto* e = new MidiEvent(delta);
    e->status = status;
    e->note = note;
    e->duration = duration;
    e->channel = status == kEvMeta ? kNoChannel : 1;
    track.event_table[track.event_count++] = e;
    return e;
}

}  // namespace

TEST(TrackConstruction, DeepCopies) {
    CaptureSink sink;
    MidiTrackData source(kFormQ2);
    Put(source, 0, kEvNote, 60, 480)->velocity = 100;
    MidiEvent* text = Put(source, 10, kEvMeta);
    text->number = kMetaText;
    text->ResizeData(301);
    std::memset(text->data, 'x', 300);
    text->length = 300;
    Put(source, 470, kEvMeta)->number = kMetaEndOfTrack;

    MidiTrackData copy(&source);
    EXPECT_EQ(copy.form, kFormQ2);
    EXPECT_EQ(copy.GetEvent(3), nullptr);  // entries past the count are never read
    EXPECT_EQ(Events(copy), Events(source));
    for (int i = 0; i < source.event_count; ++i) {
        EXPECT_NE(copy.event_table[i], source.event_table[i]);  // new records
    }
    EXPECT_EQ(copy.event_table[0]->duration, 480);
    EXPECT_EQ(copy.event_table[1]->length, 300);
    EXPECT_EQ(copy.event_table[1]->data[299], 'x');
    source.event_table[0]->note = 61;
    source.event_table[1]->data[0] = 'y';
    EXPECT_EQ(copy.event_table[0]->note, 60);
    EXPECT_EQ(copy.event_table[1]->data[0], 'x');

    // Filling a track again replaces what it held.
    copy.SetTrackData(&source);
    EXPECT_EQ(copy.event_count, 3);
    EXPECT_EQ(copy.event_table[0]->note, 61);
    copy.SetTrackData(&copy);  // a copy of itself changes nothing
    EXPECT_EQ(copy.event_count, 3);
    EXPECT_TRUE(sink.Messages().empty());

    // SetQ1TrackData wants a Q1 source, SetTrackData a Q2 one.
    auto q1 = Read(TrackChunk({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}));
    MidiTrackData q1copy;
    q1copy.SetQ1TrackData(q1.get());
    EXPECT_EQ(q1copy.form, kFormQ1);
    EXPECT_EQ(Events(q1copy), Events(*q1));
    EXPECT_TRUE(sink.Messages().empty());

    q1copy.SetTrackData(q1.get());
    EXPECT_EQ(q1copy.event_count, 0);
    MidiTrackData from_q1(q1.get());
    EXPECT_EQ(from_q1.event_count, 0);
    EXPECT_EQ(from_q1.form, kFormNone);
    MidiTrackData q1_from_q2;
    q1_from_q2.SetQ1TrackData(&source);
    EXPECT_EQ(q1_from_q2.event_count, 0);
    q1_from_q2.SetQ1TrackData(nullptr);
    EXPECT_EQ(sink.Count(kInternal), 4);
}

TEST(TrackConstruction, OnceMessages) {
    CaptureSink sink;
    MidiTrackData track;
    track.ErrorMsgOnce(0);
    for (int code : {0xD000002, 0xD000009, 0xD00000A, 0xD00000B, 0xD00000F, 0xD000012}) {
        sink.Clear();
        track.ErrorMsgOnce(code);
        track.ErrorMsgOnce(code);
        EXPECT_EQ(sink.Messages().size(), 1u) << std::hex << code;
    }
    // Master volume shares the volume flag, which is already set.
    sink.Clear();
    track.ErrorMsgOnce(0xD000011);
    EXPECT_TRUE(sink.Messages().empty());
    // The flags are process-wide: another track sees them set.
    MidiTrackData other;
    other.ErrorMsgOnce(0xD00000A);
    EXPECT_TRUE(sink.Messages().empty());
    // Code 0 clears them all.
    other.ErrorMsgOnce(0);
    track.ErrorMsgOnce(0xD000011);
    track.ErrorMsgOnce(0xD000009);
    EXPECT_EQ(sink.Messages(),
              std::vector<std::string>{"複数のマスターボリュームが設定されています。"});
    // A code that is not a once message is shown every time.
    sink.Clear();
    track.ErrorMsgOnce(0xD000005);
    track.ErrorMsgOnce(0xD000005);
    EXPECT_EQ(sink.Count(kTempo), 2);
    track.ErrorMsgOnce(0);
}

TEST(MusicDataContainer, LoadSaveAndLimits) {
    CaptureSink sink;
    TempDir dir;
    MusicData data;
    ASSERT_NE(data.buffer, nullptr);
    EXPECT_EQ(data.size, 0);
    // The largest file a container can hold.
    Bytes bytes(kMusicDataBufferSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    WriteBytes(dir.File("big.mid"), bytes);
    ASSERT_EQ(data.LoadFile(dir.File("big.mid").c_str()), 1);
    EXPECT_EQ(data.size, kMusicDataBufferSize);
    EXPECT_EQ(Bytes(data.buffer, data.buffer + data.size), bytes);

    data.size = 1000;
    EXPECT_NE(data.SaveFile(dir.File("out.mid").c_str()), 0);
    EXPECT_EQ(ReadBytes(dir.File("out.mid")), Bytes(bytes.begin(), bytes.begin() + 1000));

    EXPECT_EQ(data.CheckSize(1000, "too big"), 1);
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_EQ(data.CheckSize(999, "too big"), 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"too big"});

    // A missing file leaves an empty container.
    EXPECT_EQ(data.LoadFile(dir.File("missing.mid").c_str()), 0);
    EXPECT_EQ(data.size, 0);
    // Without a window the panels answer "cancelled".
    EXPECT_EQ(data.SaveFile(), 0);
    EXPECT_EQ(data.LoadFile("mid", "SMF files|*.mid"), 0);

    sink.Clear();
    data.ErrorMsg(kErrMusicDataOpen);
    data.ErrorMsg(0x1000002);
    EXPECT_EQ(sink.Messages(),
              (std::vector<std::string>{"File open Error", "MusicDataでエラーが発生しました。"}));
}
