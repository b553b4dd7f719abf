// Whole-file reading and writing, and existence tests.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

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

TEST(GneFiles, SaveAndLoadRoundTripByteForByte) {
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
}

TEST(GneFiles, SaveKeepsThePermissionsOfTheFileItReplaces) {
    TempDir dir;
    const std::string path = dir.File("kept.mid");
    WriteBytes(path, {1, 2, 3});
    chmod(path.c_str(), 0640);
    const Bytes bytes{9, 8, 7, 6};
    ASSERT_EQ(GneSaveFile(path.c_str(), bytes.data(), 4), 1);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadBytes(path), bytes);
}

TEST(GneFiles, AFailedWriteLeavesTheOldFileUntouched) {
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
}

TEST(GneFiles, AFailedRenameOrOpenIsReported) {
    TempDir dir;
    // A folder with something in it cannot be replaced by a file.
    const std::string folder = dir.File("taken");
    std::filesystem::create_directory(folder);
    WriteBytes(folder + "/inside", {1});
    const Bytes bytes{1, 2, 3};
    CaptureSink sink;
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
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_OPEN_FILE"), 3);
}

TEST(GneFiles, LoadingNeverWritesPastTheBuffer) {
    TempDir dir;
    const std::string path = dir.File("big.mid");
    WriteBytes(path, Pattern(kGneMaxFileSize + 1));
    std::vector<unsigned char> buffer(kGneMaxFileSize + 16, 0xAA);
    long size = 99;
    CaptureSink sink;
    EXPECT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(buffer[0], 0xAA);  // refused whole: nothing read
    EXPECT_TRUE(sink.Saw("GeneralMac: ERR_GNE_OPEN_FILE"));

    // Exactly the limit is still read.
    WriteBytes(path, Pattern(kGneMaxFileSize));
    EXPECT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 1);
    EXPECT_EQ(size, kGneMaxFileSize);
    EXPECT_EQ(buffer[kGneMaxFileSize], 0xAA);
}

TEST(GneFiles, MissingShortAndFolderReadsFail) {
    TempDir dir;
    const std::string missing = dir.File("missing.mid");
    std::vector<unsigned char> buffer(64);
    long size = 7;
    CaptureSink sink;
    EXPECT_EQ(GneLoadFile(missing.c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GneLoadFile(dir.Path().c_str(), buffer.data(), &size), 0);  // a folder
    const std::string shortfile = dir.File("short.mid");
    WriteBytes(shortfile, {1, 2, 3});
    EXPECT_EQ(GneLoadFile(shortfile.c_str(), buffer.data(), 10L), 0);  // fewer bytes than asked
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_OPEN_FILE"), 3);
    EXPECT_EQ(GneIsFolderExistWithoutMsg(shortfile.c_str()), 0);
    EXPECT_EQ(GneIsFileExistWithoutMsg(dir.Path().c_str()), 1);  // a folder exists too
}
