// Mirroring many files: the work list (a list of files, or a folder tree
// kept under the output folder) and the mirror of one file, handed to the
// worker pool of BatchRun.
#include "MirrorBatch.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "BatchRun.h"
#include "CliSupport.h"
#include "General/GneHooks.h"

namespace fs = std::filesystem;

namespace {

bool IsMidiName(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".mid" || ext == ".midi" || ext == ".kar" || ext == ".smf";
}

std::vector<BatchFile> ListFiles(const MirrorBatch& batch) {
    if (!batch.recursive) return FilesInto(batch.inputs, batch.output);
    std::vector<BatchFile> files;
    const fs::path out(batch.output);
    const fs::path root(batch.inputs.front());
    std::error_code error;
    if (!fs::is_directory(root, error)) throw CliFailure(root.string() + ": is no folder");
    fs::recursive_directory_iterator walk(root, error), end;
    if (error) throw CliFailure("cannot read " + root.string() + ": " + error.message());
    for (; walk != end; walk.increment(error)) {
        if (error) break;
        if (!walk->is_regular_file(error) || !IsMidiName(walk->path())) continue;
        files.push_back(
            {walk->path().string(), (out / walk->path().lexically_relative(root)).string(), {}});
    }
    // The walk's order is the file system's; the report follows the names.
    std::sort(files.begin(), files.end(),
              [](const BatchFile& a, const BatchFile& b) { return a.input < b.input; });
    return files;
}

// One file, as `retrograde mirror INPUT -o OUTPUT` would write it: the
// reader's quiet repairs are not shown; a damaged file is refused unless
// salvaged, and then its damage is the reason given with it.
BatchResult MirrorOne(const BatchFile& file, const MirrorBatch& batch) {
    GneSetMessageSink([](std::string_view) {});
    GneSetAlertHook([](std::string_view, std::string_view) {});
    CheckOutput(file.input, file.output, batch.force);
    const auto loader = LoadFormat0Song(file.input);
    std::string damage;  // what the reader could not take in
    if (loader->damage.IsDamaged()) {
        damage = loader->damage.Summary();
        if (!batch.salvage) {
            return {BatchOutcome::kRefused,
                    "damaged: " + damage + " (--salvage writes what could be read)",
                    {},
                    {}};
        }
    }
    MidiF0Data* song = loader->GetMidiF0Data();
    MirrorInPlace(*song, batch.choice);
    const std::vector<unsigned char> image = EncodeImage(*song);
    const fs::path folder = fs::path(file.output).parent_path();
    std::error_code error;
    if (!folder.empty()) fs::create_directories(folder, error);
    WriteOutput(file.output, image);
    if (!damage.empty()) return {BatchOutcome::kDamaged, damage, {}, {}};
    return {BatchOutcome::kWritten, {}, {}, {}};
}

}  // namespace

int RunMirrorBatch(const MirrorBatch& batch) {
    const std::vector<BatchFile> files = ListFiles(batch);
    std::error_code error;
    fs::create_directories(batch.output, error);
    if (!fs::is_directory(batch.output, error)) {
        throw CliFailure(batch.output + ": cannot be made a folder to write into");
    }
    const auto results = RunBatch(
        files, batch.jobs, [&batch](const BatchFile& file) { return MirrorOne(file, batch); });
    return ReportBatch(files, results, stdout);
}
