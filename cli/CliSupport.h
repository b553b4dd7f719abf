// What the subcommands share: loading a song as the window does, mirroring
// and encoding it, and writing the result without harming other files.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "midi/song/SongPipeline.h"

// A failure the program reports in one line and answers with exit status 1.
// The file to read for path: "-" is standard input, kept in a temporary
// file for the rest of the process (the loader reads files by name).
std::string Readable(const std::string& path);

class CliFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Loads path ("-": standard input) through MidiFileLoader; the loader then holds the format-1 song.
// Throws CliFailure when the file is no usable song.
std::unique_ptr<MidiFileLoader> LoadSong(const std::string& path);
// The bytes of the file at path ("-": standard input).
std::vector<unsigned char> ReadInput(const std::string& path);
// LoadSong, then the tracks merged into the format-0 song (Q2) that the
// program keeps, plays and saves.
std::unique_ptr<MidiFileLoader> LoadFormat0Song(const std::string& path);

// The save action: the mirrored copy of song as chosen, encoded by Q1toRaw.
// Returns the format-0 file.
std::vector<unsigned char> MirrorToImage(MidiF0Data* song, const MirrorChoice& choice);
// The format-0 file of a song mirrored already (form Q1), encoded by Q1toRaw.
std::vector<unsigned char> EncodeImage(MidiF0Data& mirrored);

// Refuses an output that is the input, or that exists while force is off.
void CheckOutput(const std::string& input, const std::string& output, bool force);
// Writes bytes to path (through a temporary file renamed over it); "-" is
// standard output.
void WriteOutput(const std::string& path, const std::vector<unsigned char>& bytes);

// ---- damaged input ----
// Exit status of a command that wrote from a damaged file (--salvage).
inline constexpr int kExitWrittenFromDamage = 3;
// The damage of a loaded song, one line for people ("INPUT: damaged: ...").
std::string DamageLine(const std::string& input, const MidiDamage& damage);
// For the commands that write: a damaged input is refused (CliFailure) unless
// salvage; returns whether it is damaged.
bool CheckDamage(const std::string& input, const MidiDamage& damage, bool salvage);
// Tells on stderr that output was written from a damaged file; returns
// kExitWrittenFromDamage.
int WrittenFromDamage(const std::string& output);

// A text taken from a MIDI file, shown as UTF-8.
std::string FileText(const unsigned char* data, int length);
// The number of notes of a song in Q2 form.
int CountNotes(const MidiF0Data* song);
