/// @file
/// Turns a file (picked in the open panel or given by name) into a song, whatever
/// its format: a format-1 song first, merged into one format-0 song on request.
#pragma once

#include <memory>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1Data.h"

/// Error codes of MidiFileLoader (top byte 0x17).
inline constexpr int kErrLoaderInternal = 0x17000001;
inline constexpr int kErrLoaderNotMidi = 0x17000002;  ///< the file is no Standard MIDI File

inline constexpr int kLoaderNameSize = 256;  ///< bytes of a file name

/// The name last chosen in the loader's open panel (initially "TEST.TEST").
extern char file_name[kLoaderNameSize];

/// Reads a Standard MIDI File (format 0 or 1, MacBinary header removed) into a
/// format-1 song, and hands it on as format 0 or 1.
class MidiFileLoader {
public:
    int size = 0;                              ///< bytes of the file; 0 when nothing usable
    std::unique_ptr<unsigned char[]> data;     ///< the file's bytes (MacBinary removed)
    std::unique_ptr<MidiF1Data> midi_f1_data;  ///< after loading, until SetMidiF0Data
    std::unique_ptr<MidiF0Data> midi_f0_data;  ///< after SetMidiF0Data, until SetMidiF1Data
    int format = -1;                  ///< MidiGetFormat's result; 1 once a format-0 file is split
    int file_format = -1;             ///< MidiGetFormat's result for the file: 0, 1 or -1
    char name[kLoaderNameSize] = {};  ///< the loaded file
    MidiDamage damage;  ///< what the reading could not take in (see MidiDamage.h)

    MidiFileLoader();  ///< asks for a file in the open panel
    /// A name containing '*' is a pattern for the open panel; otherwise the file.
    explicit MidiFileLoader(const char* nameOrPattern);
    ~MidiFileLoader();
    MidiFileLoader(const MidiFileLoader&) = delete;
    MidiFileLoader& operator=(const MidiFileLoader&) = delete;

    /// Loads the file anew, dropping what was loaded; a file above 1 MiB, empty or
    /// unreadable leaves size 0, reported.
    void MidiFileLoaderSub(const char* name);
    void SetMidiF0Data();  ///< merges the tracks, titles joined
    /// Merges the tracks, channel tracks' names left out.
    void SetMidiF0DataWithoutTrackTitle();
    /// One of the two above.
    void SetMidiF0Data(bool withTitle);
    /// Splits the Q2 format-0 song back into tracks (reported when none).
    void SetMidiF1Data();

    MidiF0Data* GetMidiF0Data() const { return midi_f0_data.get(); }  ///< null when none
    MidiF1Data* GetMidiF1Data() const { return midi_f1_data.get(); }  ///< null when none

    int ErrorMsg(int code);  ///< the text of code to the message sink; 0
};
