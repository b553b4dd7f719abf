// Integer settings in the key=value file under the XDG config folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

TEST(GneSettings, RoundTripThroughTheSettingsFile) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path());
    const std::string file = dir.Path() + "/retrograde/settings";

    EXPECT_EQ(GneGetProfileInt("Player", "Port", 42), 42);  // no file yet
    ASSERT_EQ(GneWriteProfileInt("Player", "Port", 3), 1);
    ASSERT_EQ(GneWriteProfileInt("Window", "Width", -640), 1);
    EXPECT_EQ(ReadText(file), "Player,Port=3\nWindow,Width=-640\n");
    EXPECT_EQ(GneGetProfileInt("Player", "Port", 42), 3);
    EXPECT_EQ(GneGetProfileInt("Other", "Port", 8), 8);  // the section belongs to the key

    ASSERT_EQ(GneWriteProfileInt("Player", "Port", 5), 1);
    EXPECT_EQ(ReadText(file), "Window,Width=-640\nPlayer,Port=5\n");

    // A stored 0 reads as the default, as a missing entry does.
    ASSERT_EQ(GneWriteProfileInt("Player", "Port", 0), 1);
    EXPECT_EQ(GneGetProfileInt("Player", "Port", 42), 42);
}

TEST(GneSettings, HandEditedAndDamagedLinesAreTolerated) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path());
    std::filesystem::create_directories(dir.Path() + "/retrograde");
    const std::string file = dir.Path() + "/retrograde/settings";
    const std::string text = "# x\na,b=zz\na,c=1\na,c=2\ngarbage\na,d=99999999999\n";
    WriteBytes(file, Bytes(text.begin(), text.end()));
    EXPECT_EQ(GneGetProfileInt("a", "b", 11), 11);  // not a number
    EXPECT_EQ(GneGetProfileInt("a", "c", 11), 2);   // the last line of a key wins
    EXPECT_EQ(GneGetProfileInt("a", "d", 11), 11);  // beyond int
}

TEST(GneSettings, WithoutXdgTheHomeConfigFolderIsUsed) {
    TempDir dir;
    ScopedEnv home("HOME", dir.Path());
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/is/ignored");
    ASSERT_EQ(GneWriteProfileInt("s", "k", 12), 1);
    EXPECT_EQ(ReadText(dir.Path() + "/.config/retrograde/settings"), "s,k=12\n");
    EXPECT_EQ(GneGetProfileInt("s", "k", 0), 12);
}

TEST(GneSettings, TextsShareTheFileWithIntegers) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path());
    const std::string file = dir.Path() + "/retrograde/settings";
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "");
    ASSERT_EQ(GneWriteProfileString("Panels", "Folder", "/a=b/c"), 1);
    ASSERT_EQ(GneWriteProfileInt("Panels", "Width", 7), 1);
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "/a=b/c");
    ASSERT_EQ(GneWriteProfileString("Panels", "Folder", "/d"), 1);
    EXPECT_EQ(ReadText(file), "Panels,Width=7\nPanels,Folder=/d\n");
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "/d");
    EXPECT_EQ(GneWriteProfileString("Panels", "Folder", "two\nlines"), 0);
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "/d");
}
