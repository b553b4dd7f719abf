// Loading, mirroring and writing for the subcommands of `retrograde`.
#include "CliSupport.h"

#include <filesystem>
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

std::string FileText(const unsigned char* data, int length) {
    if (!data || length <= 0) return {};
    return GneFileTextToUtf8(
        std::string_view(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length)));
}

int CountNotes(const MidiF0Data* song) {
    const MidiTrackData* track = song ? song->GetTrack() : nullptr;
    int notes = 0;
    for (int k = 0; track && k < track->event_count; ++k) {
        if (track->event_table[k]->status == kEvNote) ++notes;
    }
    return notes;
}
