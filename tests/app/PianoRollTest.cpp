// The piano roll: its bars against the song's measure arithmetic, its lookup
// against a plain filter, the mirror after a switch, the cursor on the
// virtual-clock sequencer, a click on the ruler, and screenshots to look at.
#include <filesystem>
#include <utility>

#include <QCheckBox>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>

#include "../playback/PlaybackTestSupport.h"
#include "WindowFixture.h"
#include "app/PianoRollView.h"
#include "midi/song/DemoSong.h"
#include "midi/song/SongPipeline.h"

using namespace std::chrono_literals;

namespace {

// A format-0 song at division 480 from events at absolute ticks.
Bytes SongAt(std::vector<std::pair<std::uint32_t, Bytes>> events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    Bytes body;
    std::uint32_t at = 0;
    for (const auto& [tick, bytes] : events) {
        body = Concat({body, smf::Vlq(tick - at), bytes});
        at = tick;
    }
    return Concat({HeaderChunk(0, 1, 480), TrackChunk(Concat({body, smf::Eot(0)}))});
}

Bytes Meter(int numerator, int exponent) {
    return {0xFF, 0x58, 4, std::uint8_t(numerator), std::uint8_t(exponent), 24, 8};
}

// Bars of 1920 ticks; the first is empty but for the set-up (a GS reset,
// tempo, program, volume), one note at the start of each later bar, and
// program, volume and pitch bend changed on the way.
Bytes BarsSong() {
    std::vector<std::pair<std::uint32_t, Bytes>> events = {
        {0, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}},
        {0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}},
        {0, {0xC0, 5}},
        {0, {0xB0, 7, 100}},
        {3840, {0xC0, 7}},
        {5760, {0xB0, 7, 80}},
        {5760, {0xE0, 0, 0x50}}};
    for (int bar = 2; bar <= 8; ++bar) {
        const auto tick = std::uint32_t((bar - 1) * 1920);
        events.push_back({tick, {0x90, std::uint8_t(60 + bar), 100}});
        events.push_back({tick + 480, {0x80, std::uint8_t(60 + bar), 64}});
    }
    return SongAt(events);
}

using Placed = std::vector<std::pair<int, int>>;  // (start, pitch) of notes

// The notes of channel, in order.
Placed NotesOf(const PianoRollNotes& notes, int channel) {
    Placed out;
    for (const auto& n : notes.All())
        if (n.channel == channel) out.emplace_back(n.start, n.pitch);
    return out;
}

// A format-1 song at division 96 and 120 beats per minute: a tempo track, a
// melody on channel 0 climbing C4 E4 G4 C5 (a quarter each), a
// bass line on channel 1 and a drum on channel 9. Two seconds long.
Bytes MelodySong() {
    const auto note = [](int channel, int pitch, int velocity, std::uint32_t length) {
        return Concat({smf::On(0, channel, pitch, velocity), smf::Off(length, channel, pitch)});
    };
    const Bytes four_four = {0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8};
    return Concat({HeaderChunk(1, 4, 96),
                   TrackChunk(Concat({smf::Tempo(0, 500000), four_four, smf::Eot(0)})),
                   TrackChunk(Concat({smf::Text(0, 3, "Melody"), smf::Program(0, 0, 0),
                                      note(0, 60, 100, 96), note(0, 64, 90, 96),
                                      note(0, 67, 80, 96), note(0, 72, 110, 96), smf::Eot(0)})),
                   TrackChunk(Concat({smf::Program(0, 1, 0x20), note(1, 36, 100, 192),
                                      note(1, 43, 100, 192), smf::Eot(0)})),
                   TrackChunk(Concat({smf::On(0, 9, 36, 120), smf::Off(48, 9, 36),
                                      smf::On(48, 9, 38), smf::Off(48, 9, 38), smf::Eot(0)}))});
}

}  // namespace

TEST(PianoRollModel, BarsFollowTheMeasureArithmeticAndTheLookupFindsEveryNote) {
    TempDir dir;
    std::vector<std::pair<std::uint32_t, Bytes>> meters = {
        {0, Meter(3, 2)},      // 3/4: bars of 1440
        {2880, Meter(6, 3)},   // 6/8 from bar 3
        {4820, Meter(2, 2)}};  // 2/4 inside a bar: it sets that bar's length already
    std::mt19937 random(22);
    for (int i = 0; i < 300; ++i) {
        const auto tick = std::uint32_t(random() % 12000);
        const int pitch = 30 + int(random() % 60);
        const int channel = int(random() % 16);
        meters.push_back({tick, {std::uint8_t(0x90 | channel), std::uint8_t(pitch), 100}});
        meters.push_back({tick + 1 + std::uint32_t(random() % 3000),
                          {std::uint8_t(0x80 | channel), std::uint8_t(pitch), 64}});
    }
    for (const Bytes& image : {DemoSongImage(), SongAt(meters)}) {
        WriteBytes(dir.File("song.mid"), image);
        auto loader = LoadSongByName(dir.File("song.mid").c_str());
        loader->SetMidiF0Data();
        MidiF0Data* song = loader->GetMidiF0Data();
        ASSERT_NE(song, nullptr);
        PianoRollModel model;
        model.SetOriginal(song);
        model.SetShown(song);
        MidiF0Data q1(song);
        q1.Q2toQ1();
        const int bars = q1.GetNumMeasure();
        for (int bar = 1; bar <= bars + 2; ++bar) {
            ASSERT_EQ(model.BarTick(bar), q1.GetTickFromMeasure(bar - 1)) << "bar " << bar;
            EXPECT_EQ(model.BarAt(model.BarTick(bar)), bar);
            EXPECT_EQ(model.BarAt(model.BarTick(bar + 1) - 1), bar);
        }
        // Span against a plain filter over every note, on random ranges.
        const auto& all = model.Shown().All();
        for (int i = 0; i < 200; ++i) {
            const int from = int(random() % 16000);
            const int to = from + int(random() % 4000);
            std::vector<std::size_t> plain, fast;
            for (std::size_t k = 0; k < all.size(); ++k)
                if (all[k].start < to && all[k].End() > from) plain.push_back(k);
            const auto [first, last] = model.Shown().Span(from, to);
            for (std::size_t k = first; k < last; ++k)
                if (all[k].End() > from) fast.push_back(k);
            ASSERT_EQ(fast, plain) << from << ".." << to;
        }
    }
    EXPECT_EQ(PianoRollModel::NoteName(60), "C4");
    EXPECT_EQ(PianoRollModel::NoteName(54), "F#3");
}

TEST_F(WindowTest, PianoRollShowsTheMirrorAtOnceAndKeepsZoomAndHiddenChannels) {
    Load("melody.mid", MelodySong());
    PianoRollView* roll = panel->PianoRoll();
    const PianoRollModel& model = roll->Model();
    const Placed melody = {{0, 60}, {96, 64}, {192, 67}, {288, 72}};
    EXPECT_EQ(NotesOf(model.Shown(), 0), melody);
    EXPECT_EQ(model.DrumRows(), (std::vector<int>{36, 38}));  // channel 10 in its own rows
    EXPECT_TRUE(model.Shown().DrumChannels().test(9));
    EXPECT_EQ(model.RowOf(model.Shown().All().front()) < model.HighPitch() - model.LowPitch() + 1,
              !model.Shown().All().front().drum);

    // Ctrl+wheel and the keys zoom, Shift+wheel scrolls across, 0 fits again.
    PianoRollCanvas* canvas = roll->Canvas();
    const double fitted = canvas->PixelsPerTick();
    const auto wheel = [&](Qt::KeyboardModifiers modifiers, int delta) {
        QWheelEvent event(QPointF(300, 100), canvas->viewport()->mapToGlobal(QPointF(300, 100)), {},
                          QPoint(0, delta), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(canvas->viewport(), &event);
    };
    wheel(Qt::ControlModifier, 120);
    EXPECT_DOUBLE_EQ(canvas->PixelsPerTick(), fitted * 1.25);
    QTest::keyClick(canvas, Qt::Key_Plus);
    EXPECT_DOUBLE_EQ(canvas->PixelsPerTick(), fitted * 1.25 * 1.25);
    const int across = canvas->horizontalScrollBar()->value();
    wheel(Qt::ShiftModifier, -120);
    EXPECT_EQ(canvas->horizontalScrollBar()->value(), across + 120);
    QTest::keyClick(canvas, Qt::Key_0);
    EXPECT_EQ(canvas->PixelsPerTick(), fitted);
    EXPECT_EQ(canvas->horizontalScrollBar()->value(), 0);

    canvas->ZoomBy(2.0, 300);
    const double zoom = canvas->PixelsPerTick();
    roll->LegendButton(1)->click();  // the bass hidden
    EXPECT_FALSE(roll->Canvas()->IsChannelVisible(1));
    EXPECT_FALSE(roll->LegendButton(4)->isVisibleTo(roll));  // no notes on channel 5

    const Placed drums = NotesOf(model.Shown(), 9);
    panel->HorizontalSwitch()->click();
    EXPECT_EQ(NotesOf(model.Shown(), 0), (Placed{{0, 72}, {96, 67}, {192, 64}, {288, 60}}));
    panel->VerticalSwitch()->click();
    EXPECT_EQ(NotesOf(model.Shown(), 0), (Placed{{0, 48}, {96, 53}, {192, 56}, {288, 60}}));
    panel->HorizontalSwitch()->click();
    EXPECT_EQ(NotesOf(model.Shown(), 0), (Placed{{0, 60}, {96, 56}, {192, 53}, {288, 48}}));
    EXPECT_EQ(NotesOf(model.Shown(), 9), drums);      // drums are not inverted
    EXPECT_EQ(NotesOf(model.Underlay(), 0), melody);  // the song as loaded, beneath
    EXPECT_EQ(roll->Canvas()->PixelsPerTick(), zoom);
    EXPECT_FALSE(roll->Canvas()->IsChannelVisible(1));
}

TEST_F(WindowTest, PianoRollCursorFollowsTheSequencerAndTheRulerPlaysFromABar) {
    PlaybackRig rig;
    Load("bars.mid", BarsSong());
    PianoRollCanvas* canvas = panel->PianoRoll()->Canvas();
    const auto started = [] { return PlayPositionTick() >= 0; };

    // The empty first bar is not played: the cursor starts at bar 2, then
    // moves with the sequencer's clock, 480 ticks to the half second.
    panel->PlayFile();
    ASSERT_TRUE(WaitFor(started));
    EXPECT_EQ(PlayPositionTick(), 1920);
    rig.timer.AdvanceTo(rig.timer.Now() + 1250ms);
    panel->FollowPlayback();
    EXPECT_EQ(canvas->Cursor(), 1920 + 1200);
    panel->PlayFile();  // stop
    EXPECT_EQ(Title(), QStringLiteral("Play"));

    // A click on bar 5 of the ruler: the exclusive set-up, then the state of
    // that point in send order, then bar 5's note.
    const std::size_t before = rig.out.Messages().size();
    const int bar5 = panel->PianoRoll()->Model().BarTick(5);
    EXPECT_EQ(bar5, 4 * 1920);
    QTest::mouseClick(canvas->viewport(), Qt::LeftButton, {}, QPoint(canvas->XOfTick(bar5) + 2, 5));
    ASSERT_TRUE(WaitFor(started));
    EXPECT_EQ(Title(), QStringLiteral("Stop"));
    EXPECT_EQ(PlayPositionTick(), bar5);
    rig.timer.FireNext();
    const std::vector<Bytes> sent = rig.out.MessageBytes();
    const std::vector<Bytes> from_bar5 = {
        {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7},
        Msg({0xC0, 7}),
        Msg({0xB0, 7, 80}),
        Msg({0xE0, 0, 0x50}),
        Msg({0x90, 65, 100})};
    ASSERT_GE(sent.size(), before + from_bar5.size());
    EXPECT_EQ(std::vector(sent.begin() + before, sent.begin() + before + from_bar5.size()),
              from_bar5);
    rig.timer.AdvanceTo(rig.timer.Now() + 500ms);
    panel->FollowPlayback();
    EXPECT_EQ(canvas->Cursor(), bar5 + 480);

    // From the empty bar 1 the rest is played out: the first note two
    // seconds on, the cursor moving meanwhile.
    QTest::mouseClick(canvas->viewport(), Qt::LeftButton, {}, QPoint(canvas->XOfTick(0) + 2, 5));
    ASSERT_TRUE(WaitFor(started));
    const auto start = rig.timer.Now();
    EXPECT_EQ(PlayPositionTick(), 0);
    EXPECT_EQ(rig.timer.NextDue(), start + 2s);
    rig.timer.AdvanceTo(start + 1s);
    panel->FollowPlayback();
    EXPECT_EQ(canvas->Cursor(), 960);
}

// Pictures for the documentation (written to the build folder): the demo
// song plain, reversed, inverted and both, and a real file while it plays.
TEST_F(WindowTest, PianoRollScreenshots) {
    const std::string out = std::string(RETROGRADE_BINARY_DIR) + "/pianoroll-";
    Load("demo.mid", DemoSongImage());
    const std::tuple<bool, bool, const char*> shots[] = {{false, false, "plain.png"},
                                                         {true, false, "reversed.png"},
                                                         {false, true, "inverted.png"},
                                                         {true, true, "both.png"}};
    for (const auto& [reversed, inverted, name] : shots) {
        if ((horizontal == 1) != reversed) panel->HorizontalSwitch()->click();
        if ((vertical == 1) != inverted) panel->VerticalSwitch()->click();
        QCoreApplication::processEvents();
        EXPECT_TRUE(panel->grab().save(QString::fromStdString(out + name)));
    }

    const std::string real = std::string(RETROGRADE_BINARY_DIR) +
                             "/realfiles/tree/usr/share/games/openttd/baseset/openmsx/"
                             "keep_on_rolling.mid";
    ASSERT_TRUE(std::filesystem::exists(real)) << "run tests/realfiles/fetch.sh " << real;
    PlaybackRig rig;
    panel->HorizontalSwitch()->click();  // back to the song as it is
    panel->VerticalSwitch()->click();
    panel->LoadPath(QString::fromStdString(real));
    PianoRollCanvas* canvas = panel->PianoRoll()->Canvas();
    canvas->ZoomBy(6.0, PianoRollCanvas::kKeysWidth);
    panel->PlayFile();
    ASSERT_TRUE(WaitFor([] { return PlayPositionTick() >= 0; }));
    rig.timer.AdvanceTo(rig.timer.Now() + 50s);
    panel->FollowPlayback();
    QCoreApplication::processEvents();
    // The view has paged on to keep the cursor in sight, drawn in red.
    const int x = canvas->XOfTick(canvas->Cursor());
    ASSERT_GT(canvas->Cursor(), 0);
    ASSERT_GE(x, PianoRollCanvas::kKeysWidth);
    ASSERT_LT(x, canvas->viewport()->width());
    const QImage picture = canvas->viewport()->grab().toImage();
    const QColor cursor = picture.pixelColor(x, picture.height() - 4);
    EXPECT_GT(cursor.red(), 180);
    EXPECT_LT(cursor.green(), 80);
    EXPECT_TRUE(panel->grab().save(QString::fromStdString(out + "playing.png")));
}
