// The format-0 song: reading files and images, the forms, writing, and
// copies; classifying and converting whole images (MacBinary, format 0 <-> 1).
#include <gtest/gtest.h>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "support/TestEvents.h"

namespace {

Bytes Written(MidiF0Data& song) {
    song.Q2toQ1();
    EXPECT_EQ(song.Q1toRaw(), 1);
    return Bytes(song.buffer, song.buffer + song.size);
}

// A format-0 file of notes under running status (3 bytes an event), events
// long (an even count): a note on and its velocity-0 note on, 1 tick apart.
Bytes RunningStatusFile(int events) {
    Bytes body = {0x00, 0x90, 40, 100};
    for (int i = 1; i < events; ++i) {
        const std::uint8_t key = std::uint8_t(40 + (i / 2) % 40);
        body.insert(body.end(), {0x01, key, std::uint8_t(i % 2 == 0 ? 100 : 0)});
    }
    return Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({body, smf::Eot(0)}))});
}

Bytes InBuffer(const Bytes& file) {
    Bytes image(kMusicDataBufferSize, 0);
    std::copy(file.begin(), file.end(), image.begin());
    return image;
}

// A format-0 file whose events already stand in the order the conversion
// gives at one tick (the first event of the meta track, then of each channel
// in ascending order; one event per track and pass).
Bytes OrderedFormat0() {
    return Concat({HeaderChunk(0, 1, 96),
                   TrackChunk(Concat({smf::Text(0, 3, "Song"), smf::Program(0, 0, 5),
                                      smf::Cc(0, 3, 10, 64), smf::On(10, 0, 60), smf::On(10, 9, 36),
                                      smf::Off(48, 9, 36), smf::Off(20, 0, 60), smf::On(0, 3, 70),
                                      smf::Off(96, 3, 70), smf::Eot(0)}))});
}

}  // namespace

TEST(SongF0, ReadsGoodFilesByteExactAndRefusesBadOnes) {
    CaptureSink sink;
    TempDir dir;
    const Bytes file = SmallFormat0();
    WriteBytes(dir.File("plain.mid"), file);
    WriteBytes(dir.File("mac.mid"), smf::WithMacBinary(file));
    // A RIFF "RMID" file: the SMF sits in the "data" chunk after an "INFO" list.
    WriteBytes(dir.File("rmid.mid"), smf::Rmid(file, true));
    for (const char* name : {"plain.mid", "mac.mid", "rmid.mid"}) {
        MidiF0Data song(dir.File(name).c_str());
        EXPECT_EQ(song.form, kFormQ2) << name;
        EXPECT_EQ(Written(song), file) << name;
        EXPECT_EQ(song.track, nullptr);
    }
    MidiF0Data image(file.data(), long(file.size()));
    EXPECT_EQ(Written(image), file);
    EXPECT_TRUE(sink.Messages().empty());

    sink.Clear();
    // Format 0 with two tracks: the format-0 check is silent, the format-1
    // reading says why, and nothing is retried after that.
    WriteBytes(dir.File("bad.mid"),
               Concat({HeaderChunk(0, 2, 96), TrackChunk(smf::Eot(0)), TrackChunk(smf::Eot(0))}));
    MidiF0Data bad(dir.File("bad.mid").c_str());
    EXPECT_EQ(bad.form, kFormQ2);
    ASSERT_NE(bad.track, nullptr);
    EXPECT_EQ(bad.track->event_count, 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"フォーマット１ではありません。"});

    sink.Clear();
    WriteBytes(dir.File("text.mid"), Bytes(300, 'x'));
    MidiF0Data text(dir.File("text.mid").c_str());
    EXPECT_EQ(text.track->event_count, 0);
    EXPECT_EQ(sink.Messages(),
              std::vector<std::string>{
                  "Midiファイルではないか、ファイルにマックバイナリがついています。"});

    // Division 0 and SMPTE divisions (-25 frames per second of 40 ticks:
    // 1000 ticks a second) become usable ticks per quarter note.
    for (auto [high, low, division] : {std::array{0, 0, 480}, {0xE7, 40, 500}}) {
        Bytes bytes = SmallFormat0();
        bytes[12] = std::uint8_t(high), bytes[13] = std::uint8_t(low);
        EXPECT_EQ(MidiF0Data(bytes.data(), long(bytes.size())).division, division);
    }

    // A header cut short, a MacBinary header in front of almost nothing, a
    // missing track, format 1, a wrong track count: refused with a message, never read beyond the
    // bytes.
    for (const Bytes& bytes : {Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0},
                               smf::WithMacBinary(Bytes{'M', 'T', 'h', 'd'}), HeaderChunk(0, 1, 96),
                               Concat({HeaderChunk(0, 1, 96), Bytes{'M', 'T', 'r'}}),
                               Concat({HeaderChunk(1, 1, 96), TrackChunk(smf::Eot(0))}),
                               Concat({HeaderChunk(0, 2, 96), TrackChunk(smf::Eot(0))})}) {
        sink.Clear();
        MidiF0Data song(bytes.data(), long(bytes.size()));
        EXPECT_EQ(song.track->event_count, 0);
        EXPECT_FALSE(sink.Messages().empty());
    }
}

TEST(SongF0, WrongFormsPartsDivisionAndRefusingTracksLoseNothing) {
    CaptureSink sink;
    const Bytes file = SmallFormat0();
    MidiF0Data song(file.data(), long(file.size()));
    song.Q2toQ1();
    song.Q2toQ1();  // already Q1
    EXPECT_EQ(sink.Count("MidiF0Dataで内部エラーが発生しました。"), 1);
    EXPECT_EQ(song.form, kFormQ1);
    song.Q1toQ2();
    const int events = song.track->event_count;
    EXPECT_EQ(song.Q1toRaw(), 0);  // Q2: refused, nothing lost
    EXPECT_EQ(song.form, kFormQ2);
    EXPECT_EQ(song.track->event_count, events);
    // (Copies of Q1 and Q2 songs are checked where the mirror tests make them.)
    MidiF0Data part(&song, 480, 960);
    EXPECT_EQ(NotesOf(*part.track), (Notes{{0, 0, 64, 480, 100}}));
    song.DeleteChanelData(9);
    EXPECT_EQ(song.ChangeDivision(96), 0);
    EXPECT_EQ(Dump(*song.track),  // times stay, rescaled
              (Lines{"0 META3 Song", "0 TEMPO 500000", "0 PC c0 5", "0 N c0 n60 d96", "96 PC c0 7",
                     "96 N c0 n64 d96", "192 EOT"}));
    MidiF0Data empty(kFormQ2);  // division 0: nothing to rescale from
    EXPECT_EQ(empty.ChangeDivision(96), 0);
    EXPECT_EQ(sink.Count("MidiF0Dataで内部エラーが発生しました。"), 3);  // with Q1toRaw's

    // A track that cannot take its note offs stays in Q2, and so does its song.
    sink.Clear();
    MidiF0Data f0(kFormQ2, 96);
    for (int i = 0; i < kMaxEvents / 2; ++i) f0.track->AddNote(0, 1, 60, 100, 1);
    f0.track->AddEndOfTrack(0);
    MidiF1Data f1(96);
    f1.AddTrack(new MidiF1TrackData(kFormQ2, 0));
    f1.AddTrack(new MidiF1TrackData(f0.track.get()));
    f0.Q2toQ1();
    f1.Q2toQ1();
    EXPECT_EQ(f0.form, kFormQ2);
    EXPECT_EQ(f1.form, kFormQ2);
    EXPECT_EQ(f1.GetTrack(0)->form, kFormQ2);  // all tracks or none
    EXPECT_EQ(sink.Count("データの量が多すぎます。"), 2);
}

// What loaded can be saved, however large its image grows without running
// status, and what was saved loads again; images up to 1 MiB are read, and a
// track beyond its event table says so.
TEST(SongF0, LargeSongsSaveAndLoadAgain) {
    CaptureSink sink;
    const Bytes file = RunningStatusFile(87200);
    ASSERT_GT(file.size(), 255u * 1024);
    MidiF0Data song(file.data(), long(file.size()));
    ASSERT_EQ(song.track->event_count, 43601);
    const auto notes = Events(*song.track);
    const Bytes saved = Written(song);
    EXPECT_GT(saved.size(), std::size_t(kMusicDataBufferSize));
    MidiF0Data again(saved.data(), long(saved.size()));
    EXPECT_EQ(Events(*again.track), notes);
    EXPECT_TRUE(sink.Messages().empty());

    const Bytes full = RunningStatusFile(2 * kMaxEvents + 2);  // its note ons overflow
    MidiF0Data cut(full.data(), long(full.size()));
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"データの量が多すぎます。"});
    sink.Clear();
    const Bytes huge(std::size_t(kGneMaxFileSize) + 1, 0);
    MidiF0Data refused(huge.data(), long(huge.size()));
    EXPECT_EQ(refused.track->event_count, 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"データの量が多すぎます。"});
}

TEST(Format, ClassifiesAndChangesImages) {
    CaptureSink sink;
    const std::vector<std::pair<Bytes, int>> cases = {
        {SmallFormat0(), 0},        {HeaderChunk(1, 2, 96), 1},         {HeaderChunk(2, 1, 96), -1},
        {HeaderChunk(0, 5, 96), 0}, {Bytes{'M', 'T', 'h', 'd', 0}, -1},
    };
    for (auto [bytes, format] : cases)
        EXPECT_EQ(MidiGetFormat(bytes.data(), long(bytes.size())), format);
    EXPECT_EQ(MidiGetFormat(nullptr, 0), -1);
    Bytes mac = smf::WithMacBinary(SmallFormat0());
    EXPECT_EQ(MidiGetFormat(mac.data(), long(mac.size())), 0);
    EXPECT_EQ(std::memcmp(mac.data(), "MThd", 4), 0);  // the MacBinary header is gone

    const unsigned char magic[] = {'M', 'T', 'h', 'd'};
    mac = smf::WithMacBinary(SmallFormat0());
    long size = long(mac.size());
    Bytes wrong = {'R', 'I', 'F', 'F'};
    EXPECT_EQ(GneDeleteMacBinary(mac.data(), wrong.data(), &size), 0);
    EXPECT_EQ(size, long(mac.size()));
    EXPECT_EQ(GneDeleteMacBinary(mac.data(), magic, &size), 1);
    EXPECT_EQ(Bytes(mac.begin(), mac.begin() + size), SmallFormat0());

    sink.Clear();
    const Bytes original = OrderedFormat0();
    Bytes image = InBuffer(original);
    long image_size = long(original.size());

    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 0), 1);  // already format 0
    EXPECT_EQ(image_size, long(original.size()));
    EXPECT_EQ(Bytes(image.begin(), image.begin() + image_size), original);

    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 1), 1);
    EXPECT_EQ(MidiGetFormat(image.data(), image_size), 1);
    EXPECT_EQ(image[10] * 256 + image[11], 17);  // meta track and one per channel

    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 0), 1);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + image_size), original);  // back, byte for byte
    EXPECT_TRUE(sink.Messages().empty());
    EXPECT_TRUE(sink.Alerts().empty());

    // A MacBinary image: the wrapper goes, and the size says so.
    Bytes mac_image = InBuffer(smf::WithMacBinary(original));
    long macSize = long(original.size()) + 128;
    EXPECT_EQ(MidiChangeFormat(mac_image.data(), &macSize, 0), 1);
    EXPECT_EQ(Bytes(mac_image.begin(), mac_image.begin() + macSize), original);

    // Only formats 0 and 1 are known; an unreadable image stays as it was.
    EXPECT_EQ(MidiChangeFormat(image.data(), &image_size, 2), 0);
    EXPECT_EQ(sink.Alerts().size(), 1u);
    Bytes text = InBuffer(Bytes(64, 'x'));
    long textSize = 64;
    EXPECT_EQ(MidiChangeFormat(text.data(), &textSize, 1), 0);
    EXPECT_EQ(textSize, 64);
    EXPECT_EQ(text[0], 'x');
}
