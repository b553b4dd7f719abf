// `retrograde reduce-poly`: cuts notes so that no more than a number sound at
// once in the whole song, for sound modules with few voices.
#include <array>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"

namespace {

// Pitch classes counted from the chord's root, in the order notes of them are
// cut: notes outside the chord first, then the fifth, the third, the root.
// Rows: major, minor, diminished, any other chord or no chord.
using Priority = std::array<std::array<int, 12>, 4>;
constexpr Priority kChordTones = {{
    {1, 3, 6, 8, 10, 2, 5, 9, 11, 7, 4, 0},
    {1, 4, 6, 8, 11, 2, 5, 9, 10, 7, 3, 0},
    {1, 4, 7, 8, 11, 2, 5, 9, 10, 6, 3, 0},
    {1, 3, 6, 8, 10, 2, 5, 9, 11, 7, 4, 0},
}};

struct ReduceOptions {
    EditOptions edit;
    int voices = 0;
    std::string keep;
    std::string by = "busiest";
    bool keep_top = false;
    std::string priority;
};

// Four lines of twelve numbers.
Priority ReadPriority(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw CliUsage("--priority " + path + ": cannot be read");
    Priority table{};
    for (auto& row : table) {
        std::string line;
        if (!std::getline(in, line)) throw CliUsage("--priority " + path + ": four lines needed");
        std::istringstream numbers(line);
        for (int& p : row) {
            if (!(numbers >> p) || p < 0 || p > 11) {
                throw CliUsage("--priority " + path + ": twelve numbers 0..11 a line");
            }
        }
    }
    return table;
}

}  // namespace

CliCommand AddReducePolyCommand(CLI::App& parent) {
    auto options = std::make_shared<ReduceOptions>();
    CLI::App* app = AddVerbApp(parent, "reduce-poly");
    app->footer(
        "The whole song is reduced as one, and written with one track per channel (the "
        "track names kept by channel). Where more notes sound than allowed, notes are cut "
        "where the tick ends:\n"
        "  --by channel   the lowest note of the highest channel first\n"
        "  --by busiest   the second-lowest note of the channel with most notes (default)\n"
        "  --by chord     by the chord of the last chord marker (see `retrograde chords`):\n"
        "                 on the busiest channel, notes of the pitch classes first that the\n"
        "                 table puts first, counted in semitones from the chord's root:\n"
        "                   major       1 3 6 8 10 2 5 9 11 7 4 0\n"
        "                   minor       1 4 6 8 11 2 5 9 10 7 3 0\n"
        "                   diminished  1 4 7 8 11 2 5 9 10 6 3 0\n"
        "                   other/none  1 3 6 8 10 2 5 9 11 7 4 0\n"
        "                 so notes outside the chord go first, then the fifth, the third, "
        "the root.\n"
        "--priority FILE gives another table: four lines of twelve numbers in that order.");
    app->add_option("--voices", options->voices, "The most notes sounding at once")
        ->required()
        ->check(CLI::PositiveNumber);
    app->add_option("--keep-channel", options->keep,
                    "Channels never cut (from 1, commas between): 10 keeps the drums");
    app->add_option("--by", options->by, "Which note goes: channel, busiest or chord")
        ->check(CLI::IsMember({"channel", "busiest", "chord"}));
    app->add_flag("--keep-top", options->keep_top,
                  "With --by chord: spare each channel's highest note while others can go");
    app->add_option("--priority", options->priority, "With --by chord: the table from FILE");
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {
        app, [options] {
            const ReduceOptions& o = *options;
            if (o.by != "chord" && (o.keep_top || !o.priority.empty())) {
                throw CliUsage("--keep-top and --priority go with --by chord");
            }
            std::vector<int> keep;
            if (!o.keep.empty()) {
                keep = ParseList(
                    o.keep, [](std::string_view t) { return ParseIndex(t, 16, "--keep-channel"); });
            }
            if (o.by == "channel" && !keep.empty()) {
                throw CliUsage("--keep-channel goes with --by busiest or chord");
            }
            Priority priority = o.priority.empty() ? kChordTones : ReadPriority(o.priority);
            return RunEdit(o.edit, [&](EditJob& job) {
                MidiF1Data& song = *job.song;
                const int before = song.GetNumPoly();
                if (o.by == "channel") {
                    song.ReduceNumPoly(o.voices);
                } else {
                    song.ReduceNumPoly(o.voices, keep.data(), static_cast<int>(keep.size()),
                                       o.by == "chord" ? 2 : 1,
                                       reinterpret_cast<int(*)[12]>(priority.data()), o.keep_top);
                }
                const int after = song.GetNumPoly();
                job.summary = "at most " + std::to_string(before) + " notes at once before, " +
                              std::to_string(after) + " after";
                if (after > o.voices) job.summary += " (kept channels and chords left more)";
            });
        }};
}
