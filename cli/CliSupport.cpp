// Loading, mirroring and writing for the subcommands of `retrograde`.
#include "CliSupport.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/detail/SmfImage.h"
#include "midi/song/detail/SmfReader.h"

namespace fs = std::filesystem;

namespace {

// Standard input ("-") kept in a temporary file for the process: the loader
// reads files by name. The file goes when the program ends.
class StandardInputCopy {
public:
    StandardInputCopy() {
        std::string bytes((std::istreambuf_iterator<char>(std::cin)),
                          std::istreambuf_iterator<char>());
        if (bytes.size() > kLimit) throw CliFailure("-: standard input too large");
        std::string pattern = (fs::temp_directory_path() / "retrograde-in-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) throw CliFailure("-: no temporary file for standard input");
        path_ = pattern;
        const bool whole =
            write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        close(fd);
        if (!whole)
            throw CliFailure("-: standard input could not be kept: " +
                             std::string(std::strerror(errno)));
    }
    ~StandardInputCopy() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove(path_, ignored);
    }
    StandardInputCopy(const StandardInputCopy&) = delete;
    StandardInputCopy& operator=(const StandardInputCopy&) = delete;
    const std::string& Path() const { return path_; }

private:
    static constexpr std::size_t kLimit = 4 * 1024 * 1024;  // far above what is read anyway
    std::string path_;
};

}  // namespace

std::string Readable(const std::string& path) {
    if (path != "-") return path;
    static const StandardInputCopy copy;
    return copy.Path();
}

namespace {

// Why a file that exists and could be read is no song the program can use.
std::string WhyNoSong(const std::string& path) {
    std::vector<unsigned char> image = ReadInput(path);
    long size = static_cast<long>(image.size());
    if (!retrograde::detail::LocateHeader(image.data(), &size)) {
        return path + ": not a Standard MIDI File (no MThd header)";
    }
    const auto header = retrograde::detail::ParseHeader(image.data(), size);
    if (header && header->format != 0 && header->format != 1) {
        return path + ": format " + std::to_string(header->format) +
               " is not read (only formats 0 and 1)";
    }
    return path + ": not a readable Standard MIDI File (no track could be read)";
}

}  // namespace

std::unique_ptr<MidiFileLoader> LoadSong(const std::string& input) {
    // Messages name what the user gave; "-" is shown as standard input.
    if (input == "-") {
        std::unique_ptr<MidiFileLoader> loader;
        try {
            loader = LoadSong(Readable(input));
        } catch (const CliFailure& failure) {
            std::string why = failure.what();
            const std::size_t at = why.find(Readable(input));
            if (at != std::string::npos) why.replace(at, Readable(input).size(), "standard input");
            throw CliFailure(why);
        }
        return loader;
    }
    const std::string& path = input;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw CliFailure(path + ": no such file");
    if (fs::is_directory(status)) throw CliFailure(path + ": is a folder, not a file");
    if (!fs::is_regular_file(status)) throw CliFailure(path + ": not a regular file");
    if (std::ifstream probe(path, std::ios::binary); !probe) {
        throw CliFailure("cannot read " + path + ": " + std::strerror(errno));
    }
    if (fs::file_size(path, error) > static_cast<std::uintmax_t>(kGneMaxFileSize)) {
        throw CliFailure(path + ": too large (a file holds at most 1 MiB)");
    }
    if (path.size() >= static_cast<std::size_t>(kLoaderNameSize)) {
        throw CliFailure(path + ": the file name is too long");
    }
    // By name, so that a '*' in it is read as part of the name.
    std::unique_ptr<MidiFileLoader> loader = LoadSongByName(path.c_str());
    if (!loader->GetMidiF1Data() || loader->GetMidiF1Data()->GetTrackCount() == 0) {
        throw CliFailure(WhyNoSong(path));
    }
    return loader;
}

std::vector<unsigned char> ReadInput(const std::string& path) {
    std::ifstream in(Readable(path), std::ios::binary);
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
    return EncodeImage(*copy);
}

std::vector<unsigned char> EncodeImage(MidiF0Data& mirrored) {
    if (mirrored.Q1toRaw() != 1 || mirrored.size <= 0) {
        // The image may be as large as it needs: only a track beyond the
        // event table refuses (every note takes a note on and a note off).
        throw CliFailure(
            "the song could not be encoded (a track holds at most 131,072 events, "
            "a note counting as two)");
    }
    return std::vector<unsigned char>(mirrored.buffer, mirrored.buffer + mirrored.size);
}

void CheckOutput(const std::string& input, const std::string& output, bool force) {
    if (output == "-") return;  // standard output
    std::error_code error;
    if (!fs::exists(output, error)) return;
    if (!input.empty() && fs::equivalent(input, output, error)) {
        throw CliFailure(output + ": is the input file; choose another output");
    }
    if (fs::is_directory(output, error)) throw CliFailure(output + ": is a folder");
    if (!force) throw CliFailure(output + ": exists already (--force replaces it)");
}

void WriteOutput(const std::string& path, const std::vector<unsigned char>& bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fflush(stdout) != 0) {
            throw CliFailure(std::string("cannot write standard output: ") + std::strerror(errno));
        }
        return;
    }
    errno = 0;
    if (GneSaveFile(path.c_str(), bytes.data(), static_cast<long>(bytes.size())) == 1) return;
    int reason = errno;
    // A folder that cannot be written says why more surely than what the
    // failed write left in errno.
    const fs::path folder = fs::path(path).has_parent_path() ? fs::path(path).parent_path() : ".";
    if (access(folder.c_str(), W_OK) != 0) reason = errno;
    throw CliFailure("cannot write " + path + ": " +
                     (reason != 0 ? std::strerror(reason) : "the write failed"));
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

std::string DamageLine(const std::string& input, const MidiDamage& damage) {
    return (input == "-" ? std::string("standard input") : input) +
           ": damaged: " + damage.Summary();
}

bool CheckDamage(const std::string& input, const MidiDamage& damage, bool salvage) {
    if (!damage.IsDamaged()) return false;
    // What would be written is not what the file held: only on request.
    if (!salvage) {
        throw CliFailure(DamageLine(input, damage) + " (--salvage writes what could be read)");
    }
    std::fprintf(stderr, "retrograde: %s\n", DamageLine(input, damage).c_str());
    return true;
}

int WrittenFromDamage(const std::string& output) {
    std::fprintf(stderr, "retrograde: %s: written from a damaged file\n",
                 output == "-" ? "standard output" : output.c_str());
    return kExitWrittenFromDamage;
}
