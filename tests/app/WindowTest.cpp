// The window from end to end: load (by panel and by dropping), play and stop
// (by mouse and keys), save, the switches, closing and the keyboard shortcuts.

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include "WindowFixture.h"

namespace {

// What the command-line program writes for a file with the given switches.
Bytes CommandLineMirror(const TempDir& dir, const std::string& in, const std::string& flags) {
    const std::string out = dir.File("cli" + flags + ".mid");
    const RunResult run = RunShell(Quote(RETROGRADE_CLI) + " mirror " + flags + " " + Quote(in) +
                                   " -o " + Quote(out));
    EXPECT_EQ(run.status, 0) << run.err;
    return ReadBytes(out);
}

}  // namespace

TEST_F(WindowTest, LoadByPanelOrDropShowsTheSongAndAFailedLoadKeepsIt) {
    EXPECT_FALSE(panel->PlayBtn->isEnabled());
    EXPECT_FALSE(panel->SaveButton()->isEnabled());
    // With nothing loaded, play and save do nothing and say nothing.
    panel->PlayFile();
    panel->SaveFile();
    QTest::qWait(200);
    EXPECT_EQ(Title(), QStringLiteral("Play"));
    EXPECT_EQ(MidiPlayData, nullptr);
    EXPECT_TRUE(panel->MessageArea()->toPlainText().isEmpty());
    EXPECT_EQ(save_calls, 0);

    Load("demo.mid", DemoSongImage());
    ASSERT_NE(LoadedSong(), nullptr);
    EXPECT_EQ(panel->SongName()->text(), QStringLiteral("demo.mid"));
    const QString details = panel->SongDetails()->text();
    EXPECT_TRUE(details.startsWith(QStringLiteral("Length 0:29"))) << details.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("format 1")));
    EXPECT_TRUE(panel->PlayBtn->isEnabled());
    EXPECT_TRUE(panel->SaveButton()->isEnabled());

    // A cancelled or failed load keeps the song before.
    MidiF0Data* song = LoadedSong();
    panel->LoadFile();  // no answer: the panel is cancelled
    EXPECT_EQ(open_calls, 2);
    EXPECT_EQ(LoadedSong(), song);

    Load("broken.mid", Bytes{'n', 'o', 't', ' ', 'M', 'I', 'D', 'I'});
    EXPECT_EQ(LoadedSong(), song);
    EXPECT_EQ(panel->SongName()->text(), QStringLiteral("demo.mid"));
    // The reason reaches the message area.
    EXPECT_TRUE(WaitFor([&] { return !panel->MessageArea()->toPlainText().isEmpty(); }));

    // A dropped file loads; a star in the name is part of it, not a pattern.
    // Of several files dropped the first is opened, and the person told.
    WriteBytes(dir.File("dropped*.mid"), ShortSong());
    WriteBytes(dir.File("b.mid"), DemoSongImage());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("dropped*.mid"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.File("b.mid")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(panel.get(), &drop);
    ASSERT_NE(LoadedSong(), nullptr);
    EXPECT_EQ(panel->SongName()->text(), QStringLiteral("dropped*.mid"));
    EXPECT_EQ(open_calls, 3);  // no panel for a dropped file
    EXPECT_TRUE(Told("2 files were dropped; only the first is opened: dropped*.mid"));

    // Text that is no file is refused at the door.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.setAccepted(false);
    QApplication::sendEvent(panel.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(WindowTest, PlayAndStopByKeysAndMouseTheEndResetsTheTitleAndClosingStopsFirst) {
    Load("short.mid", ShortSong());
    // Played to its end twice: the title comes back from the timer's thread
    // through the event loop, and a new play starts at once.
    for (int time = 0; time < 2; ++time) {
        panel->PlayFile();
        EXPECT_EQ(Title(), QStringLiteral("Stop"));
        EXPECT_TRUE(WaitFor([&] { return Title() == QStringLiteral("Play"); }, 10000));
        EXPECT_TRUE(WaitFor([] { return !IsSequencerRunning(); }));
    }

    panel->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    open_answers.push_back(dir.File("keys.mid"));
    WriteBytes(open_answers.back(), DemoSongImage());
    // A button's shortcut clicks it as the mouse would, press and release.
    QTest::keyClick(panel.get(), Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return panel->SongName()->text() == QStringLiteral("keys.mid"); }));

    // Play, stop, and a third press, by mouse, starts the song again.
    QTest::keyClick(panel.get(), Qt::Key_Space);
    EXPECT_EQ(Title(), QStringLiteral("Stop"));
    ASSERT_TRUE(WaitFor(IsSequencerRunning));
    ASSERT_NE(MidiPlayData, nullptr);
    QTest::keyClick(panel.get(), Qt::Key_Space);
    EXPECT_EQ(Title(), QStringLiteral("Play"));
    EXPECT_TRUE(WaitFor([] { return !IsSequencerRunning(); }));
    QTest::mouseClick(panel->PlayBtn, Qt::LeftButton);
    EXPECT_EQ(Title(), QStringLiteral("Stop"));
    ASSERT_TRUE(WaitFor(IsSequencerRunning));

    save_answers.push_back(dir.File("keys-saved.mid"));
    QTest::keyClick(panel.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([&] { return !ReadBytes(dir.File("keys-saved.mid")).empty(); }));

    // Closing while playing stops first, then releases the songs.
    panel->close();
    EXPECT_FALSE(IsPlaying());
    EXPECT_EQ(midi_file_loader, nullptr);
    EXPECT_EQ(MidiPlayData, nullptr);
}

TEST_F(WindowTest, SaveWritesWhatTheCommandLineWritesAndGMChangesNothing) {
    const std::string path = Load("demo.mid", DemoSongImage());
    // Both switches off: the loaded song re-encoded, as a format-0 file with
    // one track at the song's division.
    const Bytes saved = Save("copy.mid");
    ASSERT_GT(saved.size(), 14u);
    EXPECT_EQ(saved, CommandLineMirror(dir, path, ""));
    EXPECT_EQ(Bytes(saved.begin(), saved.begin() + 14), HeaderChunk(0, 1, 480));

    QTest::mouseClick(panel->HorizontalSwitch(), Qt::LeftButton);
    // What a play plays, encoded as a file.
    auto played = [&] {
        panel->PlayFile();
        panel->PlayFile();
        EXPECT_NE(MidiPlayData, nullptr);
        if (MidiPlayData == nullptr) return Bytes{};
        MidiPlayData->Q2toQ1();
        EXPECT_EQ(MidiPlayData->Q1toRaw(), 1);
        return Bytes(MidiPlayData->buffer, MidiPlayData->buffer + MidiPlayData->size);
    };
    const Bytes reversed = Save("reversed.mid");
    EXPECT_EQ(reversed, CommandLineMirror(dir, path, "-H"));
    const Bytes played_without = played();
    // The GM switch changes neither what is saved nor what is played.
    QTest::mouseClick(panel->GMSwitch(), Qt::LeftButton);
    EXPECT_EQ(gm, 1);
    EXPECT_EQ(Save("with-gm.mid"), reversed);
    EXPECT_EQ(played(), played_without);

    QTest::mouseClick(panel->VerticalSwitch(), Qt::LeftButton);
    EXPECT_EQ(std::make_pair(horizontal, vertical), std::make_pair(1, 1));
    EXPECT_EQ(Save("both.mid"), CommandLineMirror(dir, path, "-H -V"));

    // The transforms leave the loaded song as it was, and saving a saved
    // file again keeps every event.
    panel->HorizontalSw();
    panel->VerticalSw();
    EXPECT_EQ(Save("copy-again.mid"), saved);
    Load("copy.mid", saved);
    EXPECT_EQ(Save("copy-third.mid"), saved);
}

TEST_F(WindowTest, KeepEachPassagesSoundLengthLineAndSetupMessage) {
    // The name sets the song up; the note comes after more than a measure
    // of silence, which the player skips. Backwards that silence follows the
    // note and is played: the length line follows the switch.
    const std::string path =
        Load("lead-in.mid",
             Concat({HeaderChunk(0, 1, 96),
                     TrackChunk(Concat({smf::Text(0, 3, "Lead"), smf::Tempo(0, 500000),
                                        smf::On(400, 0, 60), smf::Off(96, 0, 60), smf::Eot(0)}))}));
    QCheckBox* carry = panel->CarryStateSwitch();
    EXPECT_FALSE(carry->isChecked());
    EXPECT_FALSE(carry->isEnabled());  // a way of reversing, so off without it
    const auto length = [&] { return panel->SongDetails()->text().left(11).toStdString(); };
    EXPECT_EQ(length(), "Length 0:00");
    QTest::mouseClick(panel->HorizontalSwitch(), Qt::LeftButton);
    EXPECT_EQ(length(), "Length 0:02");
    ASSERT_TRUE(carry->isEnabled());
    QTest::mouseClick(carry, Qt::LeftButton);
    EXPECT_EQ(carry_state, 1);
    EXPECT_EQ(Save("carried.mid"), CommandLineMirror(dir, path, "-H --carry-state"));
    EXPECT_TRUE(Told("Reversed: the song's setup (1 event at its start) stays at the start."));
    QTest::mouseClick(carry, Qt::LeftButton);
    EXPECT_EQ(Save("plain.mid"), CommandLineMirror(dir, path, "-H"));
}
