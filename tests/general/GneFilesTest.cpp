// Whole-file reading and writing, existence tests, memory blocks, the dialogs
// answered through the panel hooks and the settings file.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "General/GeneralMac.h"
#include "support/TestEvents.h"

namespace {

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Limits the size of files this process may write, as no permission bit can
// stop root; SIGXFSZ is ignored so a write past the limit fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

}  // namespace

TEST(GneFiles, SaveAndLoadRoundTripByteForByteAndKeepPermissions) {
    TempDir dir;
    const std::string path = dir.File("song.mid");
    const Bytes bytes = Pattern(70000);
    CaptureSink sink;
    ASSERT_EQ(GneSaveFile(path.c_str(), bytes.data(), static_cast<long>(bytes.size())), 1);
    EXPECT_EQ(ReadBytes(path), bytes);

    std::vector<unsigned char> buffer(kGneMaxFileSize);
    long size = -5;
    ASSERT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 1);
    ASSERT_EQ(size, 70000);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));

    // An empty file is a file too.
    ASSERT_EQ(GneSaveFile(path.c_str(), nullptr, 0), 1);
    EXPECT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 1);
    EXPECT_EQ(size, 0);
    EXPECT_TRUE(sink.Alerts().empty());
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"song.mid"});

    // A save keeps the permissions of the file it replaces.
    chmod(path.c_str(), 0640);
    const Bytes replaced{9, 8, 7, 6};
    ASSERT_EQ(GneSaveFile(path.c_str(), replaced.data(), 4), 1);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(ReadBytes(path), replaced);
}

TEST(GneFiles, AFailedWriteRenameOrOpenIsReportedAndLeavesTheOldFile) {
    TempDir dir;
    const std::string path = dir.File("old.mid");
    const Bytes old{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0};
    WriteBytes(path, old);
    const Bytes bigger = Pattern(50000);
    CaptureSink sink;
    int result = -1;
    {
        FileSizeLimit limit(4096);
        result = GneSaveFile(path.c_str(), bigger.data(), static_cast<long>(bigger.size()));
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(sink.Alerts(), std::vector<std::string>{"GeneralMac: ERR_GNE_OPEN_FILE"});
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"old.mid"});  // no leftovers
    std::filesystem::remove(path);

    // A folder with something in it cannot be replaced by a file.
    const std::string folder = dir.File("taken");
    std::filesystem::create_directory(folder);
    WriteBytes(folder + "/inside", {1});
    const Bytes bytes{1, 2, 3};
    EXPECT_EQ(GneSaveFile(folder.c_str(), bytes.data(), 3), 0);
    EXPECT_EQ(ReadBytes(folder + "/inside"), Bytes{1});
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"taken"});
    EXPECT_EQ(GneSaveFile((dir.Path() + "/no/such/folder/x.mid").c_str(), bytes.data(), 3), 0);

    // A save through the panel that cannot be written is a failed save too.
    GnePanelHooks hooks;
    hooks.save_file = [&](const std::string&, std::string& chosen) {
        chosen = dir.File("no/such/folder.mid");
        return true;
    };
    const auto previous = GneSetPanelHooks(hooks);
    char name[kGneNameSize] = {};
    EXPECT_EQ(GneSaveFileEx(name, "mid", "", bytes.data(), 3), 0);
    GneSetPanelHooks(previous);
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_OPEN_FILE"), 4);
}

TEST(GneFiles, LoadingNeverWritesPastTheBufferAndMissingShortAndFolderReadsFail) {
    TempDir dir;
    const std::string path = dir.File("big.mid");
    WriteBytes(path, Pattern(kGneMaxFileSize + 1));
    std::vector<unsigned char> buffer(kGneMaxFileSize + 16, 0xAA);
    long size = 99;
    CaptureSink sink;
    EXPECT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(buffer[0], 0xAA);  // refused whole (reported): nothing read

    // Exactly the limit is still read.
    WriteBytes(path, Pattern(kGneMaxFileSize));
    EXPECT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 1);
    EXPECT_EQ(size, kGneMaxFileSize);
    EXPECT_EQ(buffer[kGneMaxFileSize], 0xAA);

    const std::string missing = dir.File("missing.mid");
    size = 7;
    EXPECT_EQ(GneLoadFile(missing.c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GneLoadFile(dir.Path().c_str(), buffer.data(), &size), 0);  // a folder
    const std::string shortfile = dir.File("short.mid");
    WriteBytes(shortfile, {1, 2, 3});
    EXPECT_EQ(GneLoadFile(shortfile.c_str(), buffer.data(), 10L), 0);  // fewer bytes than asked
    EXPECT_EQ(sink.Alerts(), Lines(4, "GeneralMac: ERR_GNE_OPEN_FILE"));
    EXPECT_EQ(GneIsFolderExistWithoutMsg(shortfile.c_str()), 0);
    EXPECT_EQ(GneIsFileExistWithoutMsg(dir.Path().c_str()), 1);  // a folder exists too
}

TEST(GnePanels, BlocksAreZeroFilledAndDialogsGoThroughTheHooks) {
    auto* block = static_cast<unsigned char*>(GneMemAlloc(4096));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << i;
    GneMemFree(block);

    // Without hooks every dialog is cancelled.
    char name[kGneNameSize] = "unchanged";
    EXPECT_EQ(GneGetLoadFileName("mid", "SMF files|*.mid|", name), 0);
    EXPECT_EQ(GneGetSaveFileName(name, "mid", "SMF files|*.mid|"), 0);
    EXPECT_STREQ(name, "unchanged");

    // The hooks receive the start folder and fill the name.
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
    EXPECT_EQ(GneGetLoadFileName("", "", name), 1);
    EXPECT_STREQ(name, "/songs/in.mid");
    EXPECT_EQ(GneGetOpenFolderName(0, "/music", name, 0, nullptr), 0);
    EXPECT_STREQ(name, "/songs/in.mid");  // a path too long is refused, the buffer kept
    EXPECT_EQ(sink.Messages().size(), 1u);
    GneSetPanelHooks(previous);
    EXPECT_EQ(starts, home + "|/music|");
}

// Integer and text settings in the key=value file under the XDG config folder.
TEST(GneSettings, RoundTripThroughTheSettingsFileUnderXdgOrHome) {
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

    std::filesystem::remove(file);
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "");
    ASSERT_EQ(GneWriteProfileString("Panels", "Folder", "/a=b/c"), 1);
    ASSERT_EQ(GneWriteProfileInt("Panels", "Width", 7), 1);
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "/a=b/c");
    ASSERT_EQ(GneWriteProfileString("Panels", "Folder", "/d"), 1);
    EXPECT_EQ(ReadText(file), "Panels,Width=7\nPanels,Folder=/d\n");
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "/d");
    EXPECT_EQ(GneWriteProfileString("Panels", "Folder", "two\nlines"), 0);
    EXPECT_EQ(GneGetProfileString("Panels", "Folder"), "/d");

    // Hand-edited and damaged lines are tolerated.
    const std::string text = "# x\na,b=zz\na,c=1\na,c=2\ngarbage\na,d=99999999999\n";
    WriteBytes(file, Bytes(text.begin(), text.end()));
    EXPECT_EQ(GneGetProfileInt("a", "b", 11), 11);  // not a number
    EXPECT_EQ(GneGetProfileInt("a", "c", 11), 2);   // the last line of a key wins
    EXPECT_EQ(GneGetProfileInt("a", "d", 11), 11);  // beyond int
    // Without a usable XDG folder the home's config folder is used.
    TempDir home_dir;
    ScopedEnv home("HOME", home_dir.Path());
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/is/ignored");
    ASSERT_EQ(GneWriteProfileInt("s", "k", 12), 1);
    EXPECT_EQ(ReadText(home_dir.Path() + "/.config/retrograde/settings"), "s,k=12\n");
    EXPECT_EQ(GneGetProfileInt("s", "k", 0), 12);
}
