// Loading, mirroring and writing for the subcommands of `retrograde`.
#include "CliSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"

namespace fs = std::filesystem;

std::unique_ptr<MidiFileLoader> LoadSong(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) throw CliFailure(path + ": no such file");
    if (path.size() >= static_cast<std::size_t>(kLoaderNameSize)) {
        throw CliFailure(path + ": the file name is too long");
    }
    // By name, so that a '*' in it is read as part of the name.
    std::unique_ptr<MidiFileLoader> loader = LoadSongByName(path.c_str());
    if (!loader->GetMidiF1Data() || loader->GetMidiF1Data()->GetTrackCount() == 0) {
        if (fs::file_size(path, error) > static_cast<std::uintmax_t>(kGneMaxFileSize)) {
            throw CliFailure(path + ": too large (files of at most 1 MiB are read)");
        }
        throw CliFailure(path + ": not a readable Standard MIDI File of format 0 or 1");
    }
    return loader;
}

std::vector<unsigned char> ReadInput(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail())
        throw CliFailure("cannot read " + path + ": " + std::strerror(errno));
    return bytes;
}

std::unique_ptr<MidiFileLoader> LoadFormat0Song(const std::string& path) {
    std::unique_ptr<MidiFileLoader> loader = LoadSong(path);
    loader->SetMidiF0Data();
    if (!loader->GetMidiF0Data() || !loader->GetMidiF0Data()->GetTrack()) {
        throw CliFailure(path + ": the tracks could not be merged into one song");
    }
    return loader;
}

std::vector<unsigned char> MirrorToImage(MidiF0Data* song, const MirrorChoice& choice) {
    const auto copy = MirroredCopy(song, choice);
    if (copy->Q1toRaw() != 1 || copy->size <= 0) {
        // The image may be as large as it needs: only a track beyond the
        // event table refuses (every note takes a note on and a note off).
        throw CliFailure(
            "the song could not be encoded (a track holds at most 131,072 events, "
            "a note counting as two)");
    }
    return std::vector<unsigned char>(copy->buffer, copy->buffer + copy->size);
}

void CheckOutput(const std::string& input, const std::string& output, bool force) {
    std::error_code error;
    if (!fs::exists(output, error)) return;
    if (!input.empty() && fs::equivalent(input, output, error)) {
        throw CliFailure(output + ": is the input file; choose another output");
    }
    if (fs::is_directory(output, error)) throw CliFailure(output + ": is a folder");
    if (!force) throw CliFailure(output + ": exists already (--force replaces it)");
}

void WriteOutput(const std::string& path, const std::vector<unsigned char>& bytes) {
    if (GneSaveFile(path.c_str(), bytes.data(), static_cast<long>(bytes.size())) != 1) {
        throw CliFailure(path + ": could not be written");
    }
}

namespace {

// True when bytes are Shift-JIS (CP932) with at least one double-byte
// character. Texts of single bytes only are more likely Latin-1: "\xA9" is
// "©" far more often than a lone half-width katakana.
bool IsDoubleByteShiftJis(std::string_view bytes) {
    bool double_byte = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (!lead || i + 1 >= bytes.size()) return false;
        const auto t = static_cast<unsigned char>(bytes[++i]);
        if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
        double_byte = true;
    }
    return double_byte;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

}  // namespace

std::string FileText(const unsigned char* data, int length) {
    if (!data || length <= 0) return {};
    const std::string_view bytes(reinterpret_cast<const char*>(data),
                                 static_cast<std::size_t>(length));
    const std::string utf8 = GneFileTextToUtf8(bytes);
    // Valid UTF-8 comes back as it was; otherwise the bytes decide between
    // Shift-JIS and Latin-1.
    if (utf8 == bytes || IsDoubleByteShiftJis(bytes)) return utf8;
    return Latin1ToUtf8(bytes);
}

int CountNotes(const MidiF0Data* song) {
    const MidiTrackData* track = song ? song->GetTrack() : nullptr;
    int notes = 0;
    for (int k = 0; track && k < track->event_count; ++k) {
        if (track->event_table[k]->status == kEvNote) ++notes;
    }
    return notes;
}
