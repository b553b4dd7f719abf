/// @file
/// The data-file container: a byte buffer of 256 KiB that grows on demand, with
/// a byte count and a read/write position. Base of the songs and of the tracks.
#pragma once

#include "General/GneStatus.h"
#include "midi/event/MidiConstants.h"

inline constexpr int kErrMusicDataOpen = 0x1000001;  ///< a file could not be opened

/// The byte container of songs and tracks.
class MusicData {
public:
    int size = 0;           ///< valid bytes in buffer
    int position = 0;       ///< cursor while parsing or writing
    unsigned char* buffer;  ///< capacity bytes, owned
    /// Bytes of buffer.
    int capacity = kMusicDataBufferSize;

    MusicData();
    ~MusicData();
    MusicData(const MusicData&) = delete;
    MusicData& operator=(const MusicData&) = delete;

    /// Loading replaces the bytes with the whole file (at most 1 MiB); 1, or 0
    /// (size 0) when cancelled or unread, reported by GneLoadFile.
    int LoadFile(const char* ext, const char* filter);  ///< through the open panel
    int LoadFile(const char* name);                     ///< see LoadFile(ext, filter)
    int SaveFile();  ///< through the save panel; 0 when cancelled
    /// Saving writes the size bytes whole (GneSaveFile); 1, or 0 when cancelled or unwritten.
    int SaveFile(const char* ext, const char* filter);
    int SaveFile(const char* name);  ///< see SaveFile(ext, filter)
    /// 1 when size is at most limit; else message to the sink and 0.
    int CheckSize(long limit, const char* message);
    /// Makes the buffer hold at least bytes, keeping its first size bytes.
    /// False (the buffer as it was) when memory runs out or bytes is negative
    /// or beyond what an int counts.
    bool Reserve(long long bytes);
    int ErrorMsg(int code);  ///< the text of code to the message sink; 0
};
