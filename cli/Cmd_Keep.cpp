// `retrograde keep`: only the given bars of a song stay, joined end to end,
// each cut on a bar line of its own.
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct KeepOptions {
    EditOptions edit;
    std::string bars;
};

}  // namespace

CliCommand AddKeepCommand(CLI::App& parent) {
    auto options = std::make_shared<KeepOptions>();
    CLI::App* app = AddVerbApp(parent, "keep");
    app->footer(
        "Every track keeps the bars listed, in order, and loses the rest; the set-up "
        "(resets, drum parts, programs, controllers, tempo) in force where a kept stretch "
        "begins is carried to it, and notes held across a cut end there. The measures cut "
        "in the middle get time signatures of their own so the cuts stay on bar lines. "
        "Bars count from 1, both ends included, ascending and not overlapping. INPUT is "
        "never overwritten.");
    app->add_option("--bars", options->bars, "Bars to keep: 9-16 or 9-16,25-32")->required();
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const auto spans = ParseList(options->bars, [&](std::string_view text) {
                        return ParseBars(text, song);
                    });
                    if (static_cast<int>(spans.size()) > MidiF1Data::kMaxAreas)
                        throw CliUsage("--bars: at most 1024 ranges");
                    std::vector<std::array<int, 2>> areas;
                    for (const auto& [from, to] : spans) {
                        if (!areas.empty() && from < areas.back()[1])
                            throw CliUsage("--bars " + options->bars +
                                           ": the ranges must ascend without overlapping");
                        areas.push_back({from, to});
                    }
                    const int form = song.form;
                    song.Q2toQ1();
                    song.ExtractArea(reinterpret_cast<int(*)[2]>(areas.data()),
                                     static_cast<int>(areas.size()));
                    if (form == kFormQ2) song.Q1toQ2();
                    job.summary = "kept bars " + options->bars;
                });
            }};
}
