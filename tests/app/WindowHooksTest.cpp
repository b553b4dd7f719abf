// The remembered panel folder, the song line and the window's layout at
// every size (the message area and alerts: WindowTellsTest).
#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "General/GeneralMac.h"
#include "WindowFixture.h"
#include "app/AppSettings.h"
#include "app/GuiHooks.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/SongPipeline.h"

TEST(PanelFolder, PanelsStartWhereTheLastChoiceWasAndOnlyRealFoldersAreKept) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path());
    const std::string songs = dir.File("songs"), other = dir.File("other");
    for (const std::string& folder : {songs, other}) std::filesystem::create_directories(folder);

    std::vector<std::string> starts;
    std::string answer;
    auto scripted = [&](const std::string& start, std::string& chosen) {
        starts.push_back(start);
        if (answer.empty()) return false;
        chosen = answer;
        return true;
    };
    const GnePanelHooks panels = RememberLastFolder({scripted, scripted, scripted});

    std::string chosen;
    answer = songs + "/a.mid";
    EXPECT_TRUE(panels.open_file("/home", chosen));
    EXPECT_EQ(chosen, answer);
    answer = "";
    EXPECT_FALSE(panels.save_file("/home", chosen));  // cancelled: the folder stays
    answer = other;
    EXPECT_TRUE(panels.open_folder("/home", chosen));
    answer = other + "/b.mid";
    EXPECT_TRUE(panels.save_file("/home", chosen));
    EXPECT_EQ(starts, (std::vector<std::string>{"/home", songs, songs, other}));

    // The folder is kept in the settings file next to the integer settings,
    // and both survive each other's writes.
    EXPECT_EQ(GneWriteProfileInt("Window", "Width", 640), 1);
    EXPECT_EQ(GetLastPanelFolder(), other);
    EXPECT_EQ(SetLastPanelFolder(songs), 1);
    EXPECT_EQ(GneGetProfileInt("Window", "Width", 0), 640);

    // A folder that has gone is not offered.
    std::filesystem::remove_all(songs);
    starts.clear();
    answer = "";
    panels.open_file("/home", chosen);
    EXPECT_EQ(starts, (std::vector<std::string>{"/home"}));

    // Only real, readable folders outside the kernel's trees are kept.
    std::filesystem::create_directories(songs);
    WriteBytes(dir.File("file.mid"), Bytes{1});
    std::filesystem::create_directory_symlink("/proc", dir.File("link"));
    ASSERT_EQ(SetLastPanelFolder(songs), 1);
    for (const std::string& refused :
         {std::string("/proc"), std::string("/sys/kernel"), std::string("/dev"), dir.File("link"),
          dir.File("file.mid"), dir.File("gone"), std::string("relative")}) {
        EXPECT_EQ(SetLastPanelFolder(refused), 0) << refused;
    }
    EXPECT_EQ(GetLastPanelFolder(), songs);
    // One stored before these rules is not offered either.
    ASSERT_EQ(GneWriteProfileString(kPanelSettingsSection, kPanelLastFolderKey, "/proc"), 1);
    EXPECT_EQ(GetLastPanelFolder(), "");
}

TEST(SongLength, FollowsTempoChangesAndTheLastNote) {
    // 96 ticks at 120 bpm (0.5 s), then 60 bpm: a note of 192 ticks (2 s).
    const Bytes image =
        Concat({HeaderChunk(0, 1, 96),
                TrackChunk(Concat({smf::On(0, 0, 60), smf::Off(96, 0, 60), smf::Tempo(0, 1000000),
                                   smf::On(0, 0, 62), smf::Off(192, 0, 62), smf::Eot(0)}))});
    const MidiF0Data song(image.data(), static_cast<long>(image.size()));
    EXPECT_NEAR(SongSeconds(song), 2.5, 1e-9);
    EXPECT_EQ(SongTimeText(65.4), "1:05");
    EXPECT_EQ(SongTimeText(3725), "1:02:05");
}

// Tidy at the default size and when made smaller or larger: every part
// stays inside the window, at least as large as it asks to be.
TEST_F(WindowTest, LayoutAtEverySize) {
    Load("Retrograde Demo.mid", DemoSongImage());
    panel->HorizontalSw();
    panel->CarryStateSw();
    panel->VerticalSw();
    GneWriteErrorMsg("Midiファイルではありません。");  // a message to show as well
    for (const QSize& size : {panel->size(), panel->minimumSizeHint(), QSize(900, 640)}) {
        panel->resize(size);
        QCoreApplication::processEvents();
        for (QWidget* part : std::initializer_list<QWidget*>{
                 panel->endpointlist, panel->PlayBtn, panel->LoadButton(), panel->SaveButton(),
                 panel->HorizontalSwitch(), panel->VerticalSwitch(), panel->GMSwitch(),
                 panel->CarryStateSwitch(), panel->SongName(), panel->MessageArea()}) {
            const QRect area(part->mapTo(panel.get(), QPoint(0, 0)), part->size());
            EXPECT_TRUE(panel->rect().contains(area)) << size.width() << "x" << size.height();
            EXPECT_GE(part->width(), part->minimumSizeHint().width());
            EXPECT_GE(part->height(), part->minimumSizeHint().height());
        }
    }
}
