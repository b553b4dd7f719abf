// A save that cannot succeed: into a folder the user may not write, onto a full
// file system, past a file size limit, onto an existing file. Each must fail
// with a message and a non-zero status, and leave the file that was there
// byte for byte as it was, with no temporary file behind.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/TestEvents.h"

namespace fs = std::filesystem;

namespace {

const Bytes kPrecious = {'M', 'T', 'h', 'd', 'k', 'e', 'e', 'p', ' ', 'm', 'e'};
constexpr fs::perms kReadable =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;

class SaveFailure : public ::testing::Test {
protected:
    void SetUp() override {
        // Readable by the unprivileged user the read-only case runs as.
        fs::permissions(scratch_.Path(),
                        fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
        input_ = scratch_.File("song.mid");
        ASSERT_EQ(RunShell(Quote(RETROGRADE_CLI) + " demo -o " + Quote(input_)).status, 0);
        fs::permissions(input_, kReadable);
    }

    // A folder holding only the precious file, which is returned.
    std::string Target(const std::string& name) {
        folder_ = scratch_.File(name);
        fs::create_directory(folder_);
        const std::string target = folder_ + "/mirrored.mid";
        WriteBytes(target, kPrecious);
        fs::permissions(target, kReadable);
        return target;
    }

    // `retrograde mirror` onto target, with prefix (a user switch, a limit) before it.
    RunResult Mirror(const std::string& prefix, const std::string& target,
                     const std::string& force = "--force ") {
        return RunShell(prefix + " " + Quote(RETROGRADE_CLI) + " mirror -H -V " + force +
                        Quote(input_) + " -o " + Quote(target));
    }

    // A failure with our message, and only the precious file, as it was.
    void ExpectRefused(const RunResult& run, const std::string& target) {
        SCOPED_TRACE(folder_);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find("retrograde: "), std::string::npos) << run.err;
        EXPECT_EQ(ReadBytes(target), kPrecious);
        int entries = 0;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            ++entries;
            EXPECT_EQ(entry.path().string(), target) << "left behind";
        }
        EXPECT_EQ(entries, 1);
    }

    TempDir scratch_;
    std::string input_;
    std::string folder_;
};

TEST_F(SaveFailure, ExistingFileReadOnlyFolderAndFileSizeLimit) {
    std::string target = Target("out");
    ExpectRefused(Mirror("", target, ""), target);  // no --force

    target = Target("readonly");
    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec);
    // Permission bits do not stop root: run as an ordinary user then.
    ExpectRefused(
        Mirror(geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "", target),
        target);

    // 1 KiB blocks: the demo's mirror is several KiB.
    target = Target("limited");
    ExpectRefused(Mirror("ulimit -f 1;", target), target);
}

TEST_F(SaveFailure, FullFileSystem) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const std::string folder = scratch_.File("full");
    fs::create_directory(folder);
    ASSERT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k"), 0)
        << "cannot mount a tmpfs: " << std::strerror(errno);
    const std::string target = Target("full");
    // Fill what is left, so the new file cannot be written.
    WriteBytes(folder + "/filler", Bytes(fs::space(folder).available, 0));
    const RunResult run = Mirror("", target);
    fs::remove(folder + "/filler");
    ExpectRefused(run, target);
    umount(folder.c_str());
}

}  // namespace
