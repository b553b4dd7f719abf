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
#include "support/TestSupport.h"

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
    EXPECT_EQ(GneGetFileSize(path.c_str()), 70000);

    std::vector<unsigned char> buffer(kGneMaxFileSize);
    long size = -5;
    ASSERT_EQ(GneLoadFile(path.c_str(), buffer.data(), &size), 1);
    ASSERT_EQ(size, 70000);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), buffer.begin()));

    std::vector<unsigned char> part(100);
    ASSERT_EQ(GneLoadFile(path.c_str(), part.data(), 100L), 1);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), bytes.begin()));

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
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_OPEN_FILE"), 2);
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
    ASSERT_EQ(sink.Messages().size(), 1u);
    EXPECT_NE(sink.Messages()[0].find("262144"), std::string::npos);

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
    EXPECT_EQ(GneGetFileSize(missing.c_str()), 0);
    EXPECT_EQ(GneLoadFile(missing.c_str(), buffer.data(), &size), 0);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(GneLoadFile(missing.c_str(), buffer.data(), 10L), 0);
    EXPECT_EQ(GneLoadFile(dir.Path().c_str(), buffer.data(), &size), 0);  // a folder
    const std::string shortfile = dir.File("short.mid");
    WriteBytes(shortfile, {1, 2, 3});
    EXPECT_EQ(GneLoadFile(shortfile.c_str(), buffer.data(), 10L), 0);  // fewer bytes than asked
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_OPEN_FILE"), 5);
}

TEST(GneFiles, LoadAndSaveThroughThePanels) {
    TempDir dir;
    const std::string target = dir.File("chosen.mid");
    GnePanelHooks hooks;
    hooks.open_file = [&](const std::string&, std::string& chosen) {
        chosen = target;
        return true;
    };
    hooks.save_file = hooks.open_file;
    const auto previous = GneSetPanelHooks(hooks);
    char name[kGneNameSize] = {};
    const Bytes bytes{4, 5, 6};
    std::vector<unsigned char> buffer(16);
    long size = 0;
    CaptureSink sink;
    EXPECT_EQ(GneSaveFileEx(name, "mid", "", bytes.data(), 3), 1);
    EXPECT_STREQ(name, target.c_str());
    EXPECT_EQ(GneLoadFileEx(name, "mid", "", buffer.data(), &size), 1);
    EXPECT_EQ(size, 3);
    EXPECT_EQ(buffer[2], 6);

    // A save that cannot be written is a failed save.
    const std::string unwritable = dir.File("no/such/folder.mid");
    hooks.save_file = [&](const std::string&, std::string& chosen) {
        chosen = unwritable;
        return true;
    };
    hooks.open_file = [](const std::string&, std::string&) { return false; };
    GneSetPanelHooks(hooks);
    EXPECT_EQ(GneSaveFileEx(name, "mid", "", bytes.data(), 3), 0);
    EXPECT_EQ(GneLoadFileEx(name, "mid", "", buffer.data(), &size), 0);  // cancelled
    EXPECT_EQ(sink.Alerts(), std::vector<std::string>{"GeneralMac: ERR_GNE_OPEN_FILE"});
    GneSetPanelHooks(previous);
}

TEST(GneFiles, ExistenceOfFilesAndFolders) {
    TempDir dir;
    const std::string file = dir.File("plain.mid");
    WriteBytes(file, {0});
    CaptureSink sink;
    EXPECT_EQ(GneIsFileExistWithoutMsg(file.c_str()), 1);
    EXPECT_EQ(GneIsFileExistWithoutMsg(dir.Path().c_str()), 1);  // a folder exists too
    EXPECT_EQ(GneIsFolderExistWithoutMsg(dir.Path().c_str()), 1);
    EXPECT_EQ(GneIsFolderExistWithoutMsg(file.c_str()), 0);
    EXPECT_EQ(GneIsFileExistWithoutMsg(dir.File("none").c_str()), 0);
    EXPECT_TRUE(sink.Alerts().empty());
    EXPECT_EQ(GneIsFileExist(dir.File("none").c_str()), 0);
    EXPECT_EQ(GneIsFolderExist(file.c_str()), 0);
    EXPECT_EQ(GneIsFileExist(file.c_str()), 1);
    EXPECT_EQ(sink.Count("GeneralMac: ERR_GNE_NOT_FILE"), 2);
}
