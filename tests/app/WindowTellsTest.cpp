// The window tells what it did, in the reader's language: the library's
// messages and alerts, its title, damaged files, saves, the time played, and
// switches that act while the song plays. Pictures of it go to the build
// folder (window-*.png) for the documentation.
#include <atomic>
#include <thread>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "General/GeneralMac.h"
#include "General/GneHooks.h"
#include "midi/tables/MidiDrumSet.h"

#include "WindowFixture.h"

namespace {

void Shot(MainPanel& panel, const char* name) {
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel.grab().save(
        QString::fromStdString(std::string(RETROGRADE_BINARY_DIR) + "/window-" + name + ".png")));
}

// Messages in lang for as long as it lives; the other tests read the
// library's own texts again afterwards.
struct Language {
    explicit Language(const char* lang) : env("LANG", lang) {
        GneSetUpLanguage(RETROGRADE_TEST_LOCALE_DIR);
    }
    ~Language() { GneSetUpLanguage("/nonexistent"); }
    ScopedEnv env;
};

}  // namespace

TEST_F(WindowTest, MessagesTitleDamageAndSaveAreTold) {
    const Language english("en_US.UTF-8");
    EXPECT_FALSE(panel->windowIcon().isNull());
    EXPECT_TRUE(panel->GMSwitch()->toolTip().contains(QStringLiteral("compatibility")));
    const QPlainTextEdit& area = *panel->MessageArea();
    // The library's messages and alerts in the reader's language, in the area
    // (newest last, from any thread) and the box. An alert is queued: it never
    // blocks the reporting thread, which goes on before the GUI thread has
    // even seen it.
    GneWriteErrorMsg("Midiファイルではありません。");
    std::atomic<bool> returned{false};
    std::thread timer([&] {
        GneWriteInformationMsg("from the timer");
        GneErrorMsg(kGneErrOpenFile);
        returned = true;
    });
    timer.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(FindAlert(QStringLiteral("GeneralMac")), nullptr);
    const QString sentence = QStringLiteral("The file could not be opened or written.");
    ASSERT_TRUE(WaitFor([&] { return area.blockCount() >= 3; }));
    EXPECT_EQ(area.toPlainText(), "Not a MIDI file.\nfrom the timer\n" + sentence);
    EXPECT_EQ(GneTranslate(GetMidiDrumSetName(38)), "Acoustic Snare");  // a drum lane's name
    QMessageBox* box = nullptr;
    ASSERT_TRUE(
        WaitFor([&] { return (box = FindAlert(QStringLiteral("GeneralMac"))) != nullptr; }));
    EXPECT_EQ(box->text(), sentence);
    ASSERT_EQ(box->buttons().size(), 1);
    box->buttons().front()->click();
    EXPECT_TRUE(WaitFor([] { return FindAlert(QStringLiteral("GeneralMac")) == nullptr; }));
    panel->MessageArea()->clear();

    Load("notes.txt.mid", Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_TRUE(WaitFor([&] { return !area.toPlainText().isEmpty(); }));
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("Retrograde"));
    Shot(*panel, "failed-load");

    Load("demo.mid", DemoSongImage());
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("demo.mid — Retrograde"));
    EXPECT_FALSE(panel->SongDetails()->text().contains(QStringLiteral("damaged")));
    panel->MessageArea()->clear();
    Shot(*panel, "loaded");

    const std::string saved = dir.File("demo-copy.mid");
    save_answers.push_back(saved);
    panel->SaveFile();
    EXPECT_TRUE(Told("Saved to " + saved));
    Shot(*panel, "saved");

    // Cut short: what could be read is loaded, and the window says so.
    Bytes cut = DemoSongImage();
    cut.resize(cut.size() / 2);
    Load("cut.mid", cut);
    ASSERT_NE(LoadedSong(), nullptr);
    EXPECT_EQ(panel->windowTitle(), QStringLiteral("cut.mid — Retrograde"));
    EXPECT_TRUE(panel->SongDetails()->text().contains(QStringLiteral("damaged")));
    EXPECT_TRUE(Told("cut.mid: damaged, only what could be read was loaded: track "));

    // The window's own sentences in Japanese.
    const Language japanese("ja_JP.UTF-8");
    EXPECT_EQ(GneTranslate("Saved to %1"), "%1 に保存しました。");
    Load("cut.mid", cut);
    EXPECT_TRUE(Told("cut.mid は壊れています。読めた部分だけを読み込みました: track "));
}

TEST_F(WindowTest, SwitchesActWhileTheSongPlaysAndTheTimeIsShown) {
    Load("demo.mid", DemoSongImage());
    panel->PlayFile();
    ASSERT_TRUE(WaitFor([] { return PlayPositionTick() > 960; }, 10000));
    EXPECT_TRUE(WaitFor([&] {
        return panel->PlayTime()->text().endsWith(QStringLiteral(" / 0:29")) &&
               !panel->PlayTime()->text().startsWith(QStringLiteral("0:00"));
    })) << panel->PlayTime()->text().toStdString();
    Shot(*panel, "playing");

    // Upside down: the same tick; backwards: the mirrored one. The play goes on.
    const int division = LoadedSong()->division;
    long long before = PlayPositionTick();
    panel->VerticalSwitch()->click();
    ASSERT_TRUE(WaitFor([] { return PlayPositionTick() >= 0; }));
    EXPECT_NEAR(static_cast<double>(PlayPositionTick()), static_cast<double>(before), division);
    EXPECT_EQ(Title(), QStringLiteral("Stop"));

    const long long total = MidiPlayData->GetSongDuration();
    before = PlayPositionTick();
    panel->HorizontalSwitch()->click();
    ASSERT_TRUE(WaitFor([] { return PlayPositionTick() >= 0; }));
    EXPECT_NEAR(static_cast<double>(PlayPositionTick()), static_cast<double>(total - before),
                division);
    EXPECT_EQ(Title(), QStringLiteral("Stop"));
    EXPECT_TRUE(IsSequencerRunning());

    panel->PlayFile();  // stop
    EXPECT_TRUE(WaitFor([&] { return panel->PlayTime()->text().isEmpty(); }));
    // Stopped, a switch only changes what the next play plays.
    panel->VerticalSwitch()->click();
    QTest::qWait(100);
    EXPECT_FALSE(IsSequencerRunning());
}
