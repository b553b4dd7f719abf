// `retrograde convert`: rewrites a Standard MIDI File as format 0 or 1.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "General/GeneralMac.h"
#include "midi/song/MidiData.h"

namespace {

struct ConvertOptions {
    int format = 0;
    bool force = false;
    bool salvage = false;
    std::string input;
    std::string output;
};

int Run(const ConvertOptions& options) {
    CheckOutput(options.input, options.output, options.force);
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.input, error)) {
        throw CliFailure(options.input + ": no such file");
    }
    const long size = GneGetFileSize(options.input.c_str());
    if (size <= 0) throw CliFailure(options.input + ": empty or unreadable");
    if (size > kGneMaxFileSize) {
        throw CliFailure(options.input + ": too large (files of at most 1 MiB are read)");
    }
    // The conversion writes its result over the image: give it the room of
    // the largest file read.
    std::vector<unsigned char> image(static_cast<std::size_t>(kGneMaxFileSize));
    long length = size;
    if (GneLoadFile(options.input.c_str(), image.data(), &length) != 1) {
        throw CliFailure(options.input + ": could not be read");
    }
    // A MacBinary header goes first, so that the file keeps no stray bytes
    // when it already has the requested format.
    if (std::memcmp(image.data(), "MThd", 4) != 0) {
        GneDeleteMacBinary(image.data(), reinterpret_cast<const unsigned char*>("MThd"), &length);
    }
    if (MidiGetFormat(image.data(), length) < 0) {
        throw CliFailure(options.input + ": not a Standard MIDI File of format 0 or 1");
    }
    // The song is read once as the other commands read it, to learn whether
    // the file is damaged; the conversion below reads it again.
    const bool damaged =
        CheckDamage(options.input, LoadSong(options.input)->damage, options.salvage);
    if (MidiChangeFormat(image.data(), &length, options.format) != 1 || length <= 0 ||
        MidiGetFormat(image.data(), length) != options.format) {
        throw CliFailure(options.input + ": could not be converted to format " +
                         std::to_string(options.format));
    }
    image.resize(static_cast<std::size_t>(length));
    WriteOutput(options.output, image);
    std::printf("%s: format %d, %ld bytes\n", options.output.c_str(), options.format, length);
    return damaged ? WrittenFromDamage(options.output) : 0;
}

}  // namespace

CliCommand AddConvertCommand(CLI::App& parent) {
    auto options = std::make_shared<ConvertOptions>();
    CLI::App* app = AddVerbApp(parent, "convert");
    app->footer(
        "Format 0 holds one track; format 1 written here holds a track for the meta "
        "events and one per channel.");
    app->add_option("--format", options->format, "The format to write: 0 or 1")
        ->required()
        ->check(CLI::IsMember({0, 1}));
    app->add_option("INPUT", options->input, "The song to read")->required();
    app->add_option("-o,--output", options->output, "The file to write (never the input)")
        ->required();
    app->add_flag("--force", options->force, "Replace OUTPUT when it exists");
    app->add_flag("--salvage", options->salvage,
                  "Write what could be read of a damaged input (exit status 3)");
    return {app, [options] { return Run(*options); }};
}
