// `retrograde drums-map`: drum sounds moved out of the drum tracks onto
// tone tracks, as a map file says, for sound sets that lack those drums.
#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct DrumsMapOptions {
    EditOptions edit;
    std::string file;
    int bank = 0;
};

using ToneMap = std::array<std::array<std::array<char, 2>, 128>, 128>;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// One line "kit,drum-note,program,tone-note" into map; throws CliUsage
// naming what is wrong.
void ReadEntry(std::string_view line, ToneMap& map) {
    const auto fields = ParseList(line, [](std::string_view f) { return std::string(Trim(f)); });
    if (fields.size() != 4) throw CliUsage("expected kit,drum-note,program,tone-note");
    const int kit = ParseNumberRange(fields[0], 0, 127).first;
    const int drum = ParseNote(fields[1]);
    const int program = ParseNumberRange(fields[2], 0, 127).first;
    const int tone = ParseNote(fields[3]);
    auto& entry = map[static_cast<std::size_t>(kit)][static_cast<std::size_t>(drum)];
    if (static_cast<signed char>(entry[0]) >= 0)
        throw CliUsage("kit " + fields[0] + ", note " + fields[1] + " mapped twice");
    entry = {static_cast<char>(program), static_cast<char>(tone)};
}

// The map file, every entry unmapped unless a line maps it.
std::unique_ptr<ToneMap> ReadToneMap(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw CliUsage("--to-tone " + path + ": the file could not be read");
    auto map = std::make_unique<ToneMap>();
    for (auto& kit : *map)
        for (auto& entry : kit) entry = {static_cast<char>(-1), 0};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string_view text = line;
        text = Trim(text.substr(0, text.find('#')));
        if (text.empty()) continue;
        try {
            ReadEntry(text, *map);
        } catch (const CliUsage& bad) {
            throw CliUsage(path + ":" + std::to_string(number) + ": " + bad.what());
        }
    }
    return map;
}

}  // namespace

CliCommand AddDrumsMapCommand(CLI::App& parent) {
    auto options = std::make_shared<DrumsMapOptions>();
    CLI::App* app = AddVerbApp(parent, "drums-map");
    app->footer(
        "FILE holds one line per drum sound: kit,drum-note,program,tone-note, e.g.\n"
        "  0,38,0,60   # kit 0's snare played by the piano on C4\n"
        "Kits and programs as their bytes, 0-127 (0 is the Standard kit and the piano); "
        "notes as numbers or names (D2, C4). Text after # is a comment. For every drum "
        "track whose bank select LSB is --bank, each sound its kit maps leaves it for a new "
        "track named \"DrumToneMapping\" plus the drum track's name, on the lowest free "
        "channel that does not play drums, with that program. Without a free channel the "
        "sound stays in the drum track. Works on the whole song. INPUT is never "
        "overwritten.");
    app->add_option("--to-tone", options->file, "The map file")->required();
    app->add_option("--bank", options->bank, "The drum tracks' bank select LSB (default 0)")
        ->check(CLI::Range(0, 127));
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                const auto map = ReadToneMap(options->file);
                auto* rows = reinterpret_cast<char(*)[128][2]>(map->data());
                return RunEdit(options->edit, [&](EditJob& job) {
                    const int before = job.song->track_count;
                    job.song->DrumToneMapping(options->bank, rows, false);
                    job.summary = std::to_string(job.song->track_count - before) +
                                  " drum sounds moved to tone tracks";
                });
            }};
}
