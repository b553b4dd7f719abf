// A save that cannot succeed: into a folder the user may not write, onto a full
// file system, past a file size limit, onto an existing file. Each must fail
// with a message and a non-zero status, and leave the file that was there
// byte for byte as it was, with no temporary file behind.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

const Bytes kPrecious = {'M', 'T', 'h', 'd', 'k', 'e', 'e', 'p', ' ', 'm', 'e'};

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

struct CliRun {
    int status = 0;
    std::string errors;
};

// Runs `retrograde ARGS` through the shell, with prefix (a user switch, a limit) before it.
CliRun Retrograde(const std::string& prefix, const std::string& args, const TempDir& scratch) {
    const std::string err = scratch.File("stderr.txt");
    const std::string command =
        prefix + " " + Quote(RETROGRADE_CLI) + " " + args + " 2>" + Quote(err) + " >/dev/null";
    const int raw = std::system(("sh -c " + Quote(command)).c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    const Bytes text = ReadBytes(err);
    run.errors.assign(text.begin(), text.end());
    return run;
}

// Only the precious file remains in folder: no temporary file was left.
void ExpectUntouched(const std::string& folder, const std::string& precious) {
    EXPECT_EQ(ReadBytes(precious), kPrecious);
    int entries = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        ++entries;
        EXPECT_EQ(entry.path().string(), precious) << "left behind";
    }
    EXPECT_EQ(entries, 1);
}

void ExpectOneLineFailure(const CliRun& run) {
    EXPECT_NE(run.status, 0);
    EXPECT_FALSE(run.errors.empty());
    EXPECT_NE(run.errors.find("retrograde: "), std::string::npos) << run.errors;
}

class SaveFailure : public ::testing::Test {
protected:
    void SetUp() override {
        // Readable by the unprivileged user the read-only case runs as.
        fs::permissions(scratch_.Path(),
                        fs::perms::all & ~fs::perms::others_write & ~fs::perms::group_write);
        input_ = scratch_.File("song.mid");
        ASSERT_EQ(Retrograde("", "demo -o " + Quote(input_), scratch_).status, 0);
        fs::permissions(input_, fs::perms::owner_read | fs::perms::owner_write |
                                    fs::perms::group_read | fs::perms::others_read);
    }
    std::string MirrorArgs(const std::string& output) const {
        return "mirror -H -V --force " + Quote(input_) + " -o " + Quote(output);
    }

    TempDir scratch_;
    std::string input_;
};

TEST_F(SaveFailure, ExistingFileIsRefusedWithoutForce) {
    const std::string folder = scratch_.File("out");
    fs::create_directory(folder);
    const std::string target = folder + "/mirrored.mid";
    WriteBytes(target, kPrecious);
    ExpectOneLineFailure(
        Retrograde("", "mirror -H " + Quote(input_) + " -o " + Quote(target), scratch_));
    ExpectUntouched(folder, target);
}

TEST_F(SaveFailure, ReadOnlyFolder) {
    const std::string folder = scratch_.File("readonly");
    fs::create_directory(folder);
    const std::string target = folder + "/mirrored.mid";
    WriteBytes(target, kPrecious);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::others_read);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    // Permission bits do not stop root: run as an ordinary user then.
    const std::string user =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    ExpectOneLineFailure(Retrograde(user, MirrorArgs(target), scratch_));
    ExpectUntouched(folder, target);
}

TEST_F(SaveFailure, FileSizeLimit) {
    const std::string folder = scratch_.File("limited");
    fs::create_directory(folder);
    const std::string target = folder + "/mirrored.mid";
    WriteBytes(target, kPrecious);
    // 1 KiB blocks: the demo's mirror is several KiB.
    ExpectOneLineFailure(Retrograde("ulimit -f 1;", MirrorArgs(target), scratch_));
    ExpectUntouched(folder, target);
}

TEST_F(SaveFailure, FullFileSystem) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
    const std::string folder = scratch_.File("full");
    fs::create_directory(folder);
    ASSERT_EQ(mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=16k"), 0)
        << "cannot mount a tmpfs: " << std::strerror(errno);
    const std::string target = folder + "/mirrored.mid";
    WriteBytes(target, kPrecious);
    // Fill what is left, so the new file cannot be written.
    WriteBytes(folder + "/filler", Bytes(fs::space(folder).available, 0));
    const CliRun run = Retrograde("", MirrorArgs(target), scratch_);
    fs::remove(folder + "/filler");
    ExpectOneLineFailure(run);
    ExpectUntouched(folder, target);
    umount(folder.c_str());
}

}  // namespace
