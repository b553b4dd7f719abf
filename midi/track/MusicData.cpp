// The data-file container: a buffer (256 KiB at first, grown on demand)
// holding a whole file or one track chunk, loaded and saved through the general file utilities.
#include "midi/track/MusicData.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"

using retrograde::detail::MessageTable;
using retrograde::detail::MessageText;

// The buffer is not cleared: only its first size bytes are ever read, and most
// containers (the tracks of a song being edited) never use it at all, so the
// pages of the 256 KiB stay untouched until something is written.
MusicData::MusicData() : buffer(new unsigned char[kMusicDataBufferSize]) {}

MusicData::~MusicData() {
    delete[] buffer;
}

bool MusicData::Reserve(long long bytes) {
    if (bytes < 0 || bytes > INT_MAX) return false;
    if (bytes <= capacity) return true;
    auto* grown = new (std::nothrow) unsigned char[static_cast<std::size_t>(bytes)];
    if (grown == nullptr) return false;
    if (buffer != nullptr && size > 0) {
        std::memcpy(grown, buffer, static_cast<std::size_t>(std::min(size, capacity)));
    }
    delete[] buffer;
    buffer = grown;
    capacity = static_cast<int>(bytes);
    return true;
}

int MusicData::LoadFile(const char* ext, const char* filter) {
    // The file utilities read into a buffer of kGneMaxFileSize bytes.
    if (buffer == nullptr || !Reserve(kGneMaxFileSize)) return 0;
    // The chosen name is only needed while loading.
    char name[kGneNameSize] = {};
    long loaded = 0;
    const int result = GneLoadFileEx(name, ext, filter, buffer, &loaded);
    size = result ? static_cast<int>(loaded) : 0;
    return result;
}

int MusicData::LoadFile(const char* name) {
    if (buffer == nullptr || name == nullptr || !Reserve(kGneMaxFileSize)) return 0;
    long loaded = 0;
    const int result = GneLoadFile(name, buffer, &loaded);
    size = result ? static_cast<int>(loaded) : 0;
    return result;
}

int MusicData::SaveFile() {
    if (buffer == nullptr) return 0;
    char name[kGneNameSize] = {};  // no name is proposed
    if (!GneGetSaveFileName(name, "mid", "midi files|*.mid|")) return 0;
    return GneSaveFile(name, buffer, size);
}

int MusicData::SaveFile(const char* ext, const char* filter) {
    if (buffer == nullptr) return 0;
    char name[kGneNameSize] = {};
    return GneSaveFileEx(name, ext, filter, buffer, size);
}

int MusicData::SaveFile(const char* name) {
    if (buffer == nullptr || name == nullptr) return 0;
    return GneSaveFile(name, buffer, size);
}

int MusicData::CheckSize(long limit, const char* message) {
    if (size <= limit) return 1;
    GneWriteErrorMsg(message != nullptr ? message : "");
    return 0;
}

namespace {

constexpr std::array kMusicDataTexts = {
    MessageText{kErrMusicDataOpen, "File open Error"},
};
constexpr MessageTable kMusicDataMessages{"MusicData", kMusicDataTexts};

}  // namespace

int MusicData::ErrorMsg(int code) {
    return ShowError(kMusicDataMessages, code);
}
