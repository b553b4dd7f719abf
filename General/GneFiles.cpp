// Whole-file reading and writing, existence tests and the working directory.
// A save goes to a temporary file in the target's folder that is then renamed
// over the target, so a failed save leaves the old file as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "General/GeneralMac.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Only plain files are read: a folder opens on Linux but has no bytes to give.
File OpenForReading(const char* path) {
    if (path == nullptr || *path == 0) return nullptr;
    File file(std::fopen(path, "rb"));
    struct stat info {};
    if (file && (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))) file.reset();
    return file;
}

// The size of an open file, or -1 when it cannot be measured.
long MeasureFile(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

void ReportTooLarge(const char* path) {
    GneErrorMsg(kGneErrOpenFile);
    char text[kGneNameSize + 128];
    std::snprintf(text, sizeof text,
                  "ファイルが大きすぎます（読み込めるのは%ldバイトまでです）: %s", kGneMaxFileSize,
                  path);
    GneWriteErrorMsg(text);
}

// Reads exactly size bytes of an open file; false when it holds fewer.
bool ReadExactly(std::FILE* file, unsigned char* buffer, long size) {
    if (size == 0) return true;
    return std::fread(buffer, 1, static_cast<std::size_t>(size), file) ==
           static_cast<std::size_t>(size);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// A link is followed, so saving through it replaces the file it names.
std::string ResolveTarget(const char* path) {
    char resolved[PATH_MAX];
    struct stat info {};
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode) && realpath(path, resolved) != nullptr)
        return resolved;
    return path;
}

// Creates a new temporary file next to target with the permissions a new
// file gets (or the old file's, when there is one); -1 on failure. replaces
// tells whether a file of that name is there now.
int CreateTemporary(const std::string& target, std::string& name, bool& replaces) {
    replaces = false;
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder + "/.retrograde-save-" + std::to_string(getpid()) + "-" +
               std::to_string(counter++) + ".tmp";
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat old {};
            if (stat(target.c_str(), &old) == 0) {
                replaces = true;
                fchmod(fd, old.st_mode & 07777);
            }
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

bool WriteAll(int fd, const unsigned char* buffer, long size) {
    long written = 0;
    while (written < size) {
        const ssize_t n = write(fd, buffer + written, static_cast<std::size_t>(size - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += n;
    }
    return true;
}

bool SaveWhole(const char* path, const unsigned char* buffer, long size) {
    if (path == nullptr || *path == 0 || size < 0 || (buffer == nullptr && size > 0)) return false;
    const std::string target = ResolveTarget(path);
    std::string temporary;
    bool replaces = false;
    const int fd = CreateTemporary(target, temporary, replaces);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, buffer, size);
    // Only a save that replaces a file waits for the disk: the rename must not
    // reach the disk before the new bytes do, or a crash could leave neither
    // the old contents nor the new. A new file puts nothing at stake, and the
    // wait (tens of milliseconds) would be most of a save's time.
    if (replaces) ok = (fsync(fd) == 0) && ok;
    ok = (close(fd) == 0) && ok;
    ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

int Exists(const char* path, bool folder_only) {
    struct stat info {};
    if (path == nullptr || stat(path, &info) != 0) return 0;
    return (!folder_only || S_ISDIR(info.st_mode)) ? 1 : 0;
}

}  // namespace

long GneGetFileSize(const char* path) {
    File file = OpenForReading(path);
    if (!file) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    const long size = MeasureFile(file.get());
    return size < 0 ? 0 : size;
}

int GneLoadFile(const char* path, unsigned char* buffer, long* size) {
    if (size != nullptr) *size = 0;
    File file = OpenForReading(path);
    if (!file || size == nullptr) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    const long length = MeasureFile(file.get());
    if (length < 0) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    // Every caller's buffer holds kGneMaxFileSize bytes; a larger file is refused whole.
    if (length > kGneMaxFileSize) {
        ReportTooLarge(path);
        return 0;
    }
    if ((buffer == nullptr && length > 0) || !ReadExactly(file.get(), buffer, length)) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    *size = length;
    return 1;
}

int GneLoadFile(const char* path, unsigned char* buffer, long size) {
    File file = OpenForReading(path);
    if (!file || size < 0 || (buffer == nullptr && size > 0)) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    if (size > kGneMaxFileSize) {
        ReportTooLarge(path);
        return 0;
    }
    // Fewer bytes than asked for is a failed read, not a short success.
    if (!ReadExactly(file.get(), buffer, size)) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    return 1;
}

int GneSaveFile(const char* path, const unsigned char* buffer, long size) {
    bool saved = false;
    try {
        saved = SaveWhole(path, buffer, size);
    } catch (...) {
        saved = false;
    }
    if (!saved) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    return 1;
}

int GneLoadFileEx(char* name, const char* extension, const char* filter, unsigned char* buffer,
                  long* size) {
    if (GneGetLoadFileName(extension, filter, name) == 0) return 0;
    return GneLoadFile(name, buffer, size) == 1 ? 1 : 0;
}

int GneSaveFileEx(char* name, const char* extension, const char* filter,
                  const unsigned char* buffer, long size) {
    if (GneGetSaveFileName(name, extension, filter) == 0) return 0;
    // A failed write is a failed save: 0.
    return GneSaveFile(name, buffer, size);
}

int GneIsFileExistWithoutMsg(const char* path) {
    return Exists(path, false);
}

int GneIsFolderExistWithoutMsg(const char* path) {
    return Exists(path, true);
}

int GneIsFileExist(const char* path) {
    const int exists = Exists(path, false);
    if (exists == 0) GneErrorMsg(kGneErrNotFile);
    return exists;
}

int GneIsFolderExist(const char* path) {
    const int exists = Exists(path, true);
    if (exists == 0) GneErrorMsg(kGneErrNotFile);
    return exists;
}

int GneGetCurrentDirectory(char* buffer) {
    if (buffer == nullptr) return 0;
    if (getcwd(buffer, kGneNameSize) == nullptr) {
        buffer[0] = 0;
        GneErrorMsg(kGneErrNotFile);
        return 0;
    }
    return 1;
}
