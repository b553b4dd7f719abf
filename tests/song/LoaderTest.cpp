// The file loader: by name and through the open panel, every format, refused
// files, and the merge into one format-0 song.
#include <gtest/gtest.h>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/MidiFileLoader.h"
#include "support/TestEvents.h"

namespace {

// Installs an open panel that records its calls and answers with a name.
class PanelAnswer {
public:
    explicit PanelAnswer(std::string answer) {
        GnePanelHooks hooks;
        hooks.open_file = [this, answer](const std::string&, std::string& chosen) {
            ++calls;
            if (answer.empty()) return false;
            chosen = answer;
            return true;
        };
        previous_ = GneSetPanelHooks(hooks);
    }
    ~PanelAnswer() { GneSetPanelHooks(previous_); }
    int calls = 0;

private:
    GnePanelHooks previous_;
};

Bytes ThreeTrackFile() {
    return Concat(
        {HeaderChunk(1, 3, 120),
         TrackChunk(Concat({smf::Text(0, 3, "Tune"), smf::Tempo(0, 500000), smf::Eot(0)})),
         TrackChunk(Concat(
             {smf::Text(0, 3, "Lead"), smf::On(0, 0, 72), smf::Off(120, 0, 72), smf::Eot(0)})),
         TrackChunk(Concat(
             {smf::Text(0, 3, "Bass"), smf::On(0, 1, 36), smf::Off(240, 1, 36), smf::Eot(0)}))});
}

}  // namespace

TEST(Loader, FormatZeroFileBecomesSeventeenTracksThenOneSong) {
    CaptureSink sink;
    TempDir dir;
    const std::string path = dir.File("song.mid");
    WriteBytes(path, smf::WithMacBinary(SmallFormat0()));
    MidiFileLoader loader(path.c_str());
    ASSERT_NE(loader.midi_f1_data, nullptr);
    EXPECT_EQ(loader.midi_f1_data->track_count, 17);
    EXPECT_EQ(loader.file_format, 0);
    EXPECT_EQ(loader.size, int(SmallFormat0().size()) + 128);

    EvList expected;  // the oracle: the tracks merged one by one, last to first
    for (int i = 16; i >= 0; --i) {
        expected = LiteralMerge2(expected, Events(*loader.midi_f1_data->GetTrack(i)), true);
    }
    loader.SetMidiF0Data();
    EXPECT_EQ(loader.midi_f1_data, nullptr);
    ASSERT_NE(loader.midi_f0_data, nullptr);
    EXPECT_EQ(loader.midi_f0_data->division, 480);
    EXPECT_EQ(Events(*loader.midi_f0_data->track), Absolute(expected));

    loader.SetMidiF1Data();
    ASSERT_NE(loader.midi_f1_data, nullptr);
    EXPECT_EQ(loader.midi_f0_data, nullptr);
    EXPECT_TRUE(sink.Messages().empty());
}

TEST(Loader, RefusedFilesLeaveNoSong) {
    CaptureSink sink;
    TempDir dir;
    auto refused = [&](const Bytes& bytes, const std::string& message) {
        sink.Clear();
        WriteBytes(dir.File("x.mid"), bytes);
        MidiFileLoader loader(dir.File("x.mid").c_str());
        EXPECT_EQ(loader.midi_f1_data, nullptr);
        EXPECT_EQ(loader.midi_f0_data, nullptr);
        EXPECT_EQ(loader.size, 0);
        EXPECT_TRUE(sink.Saw(message)) << message;
        loader.SetMidiF0Data();  // nothing to merge
        EXPECT_TRUE(sink.Saw("MidiFileLoaderで内部エラーが発生しました。"));
    };
    refused(Concat({HeaderChunk(2, 1, 96), TrackChunk(smf::Eot(0))}),
            "Midiファイルではありません。");
    refused(Bytes(1048577, 0), "MidiFileLoaderでエラーが発生しました。");
    refused(Bytes(), "Midiファイルではありません。");
    refused(Concat({HeaderChunk(1, 0, 96)}), "Track Error");
    refused(Concat({HeaderChunk(0, 1, 96), Bytes{'J', 'U', 'N', 'K', 0, 0, 0}}),
            "MIDIファイルではないか、マックバイナリがついているファイルです。");

    // The largest file that fits is read.
    Bytes big = Concat({HeaderChunk(0, 1, 96), TrackChunk(Concat({smf::Eot(0)}))});
    big.resize(262143, 0);
    WriteBytes(dir.File("big.mid"), big);
    MidiFileLoader loader(dir.File("big.mid").c_str());
    EXPECT_NE(loader.midi_f1_data, nullptr);

    sink.Clear();
    MidiFileLoader missing(dir.File("none.mid").c_str());
    EXPECT_EQ(missing.midi_f1_data, nullptr);
    EXPECT_EQ(sink.Alerts().size(), 1u);  // the platform says so, once
}

TEST(Loader, PanelAndPattern) {
    TempDir dir;
    const std::string path = dir.File("tune.mid");
    WriteBytes(path, ThreeTrackFile());
    {
        PanelAnswer panel("");  // cancelled
        MidiFileLoader loader;
        EXPECT_EQ(panel.calls, 1);
        EXPECT_EQ(loader.midi_f1_data, nullptr);
    }
    PanelAnswer panel(path);
    MidiFileLoader chosen;
    EXPECT_NE(chosen.midi_f1_data, nullptr);
    EXPECT_STREQ(file_name, path.c_str());  // the last name chosen in the panel
    MidiFileLoader loader("*.mid");
    EXPECT_EQ(panel.calls, 2);
    EXPECT_NE(loader.midi_f1_data, nullptr);
    MidiFileLoader direct(path.c_str());  // a plain name asks nothing
    EXPECT_EQ(panel.calls, 2);
    EXPECT_NE(direct.midi_f1_data, nullptr);
}
