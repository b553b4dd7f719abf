// Memory blocks and the dialogs answered through the panel hooks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

TEST(GneMemory, BlocksAreZeroFilled) {
    auto* block = static_cast<unsigned char*>(GneMemAlloc(4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
    GneMemFree(block);
}

TEST(GnePanels, WithoutHooksEveryDialogIsCancelled) {
    char name[kGneNameSize] = "unchanged";
    EXPECT_EQ(GneGetLoadFileName("mid", "SMF files|*.mid|", name), 0);
    EXPECT_EQ(GneGetSaveFileName(name, "mid", "SMF files|*.mid|"), 0);
    EXPECT_STREQ(name, "unchanged");
}

TEST(GnePanels, HooksReceiveTheStartFolderAndFillTheName) {
    std::string starts;
    GnePanelHooks hooks;
    hooks.open_file = [&](const std::string& start, std::string& chosen) {
        starts += start + "|";
        chosen = "/songs/in.mid";
        return true;
    };
    hooks.open_folder = [&](const std::string& start, std::string& chosen) {
        starts += start + "|";
        chosen = std::string(300, 'd');  // does not fit a name buffer
        return true;
    };
    const auto previous = GneSetPanelHooks(hooks);
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/";
    CaptureSink sink;
    char name[kGneNameSize] = "keep";
    EXPECT_EQ(GneGetLoadFileName("", "", name), 1);
    EXPECT_STREQ(name, "/songs/in.mid");
    EXPECT_EQ(GneGetOpenFolderName(0, "/music", name, 0, nullptr), 0);
    EXPECT_STREQ(name, "/songs/in.mid");  // a path too long is refused, the buffer kept
    EXPECT_EQ(sink.Messages().size(), 1u);
    GneSetPanelHooks(previous);
    EXPECT_EQ(starts, home + "|/music|");
}
