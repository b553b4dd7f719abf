// `retrograde quantize`: every onset to the nearest point of a grid.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct QuantizeOptions {
    EditOptions edit;
    std::string grid;
};

}  // namespace

CliCommand AddQuantizeCommand(CLI::App& parent) {
    auto options = std::make_shared<QuantizeOptions>();
    CLI::App* app = AddVerbApp(parent, "quantize");
    app->footer(
        "Each event goes to the grid point nearest its time (exactly half way rounds "
        "earlier); events keep their order and notes their lengths. A format-0 song is "
        "edited track by track and written as format 0 again. INPUT is never overwritten.");
    app->add_option("--grid", options->grid, "Grid length: 1/16, 1/8., 3/8, 1bar, 2bars or 480t")
        ->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int grid = ParseLength(options->grid, song.division, BarTicks(song));
                    for (int n : job.tracks) song.GetTrack(n)->QuantizeData(1, grid);
                    job.summary = std::to_string(job.tracks.size()) +
                                  " tracks quantized to a grid of " + std::to_string(grid) +
                                  " ticks";
                });
            }};
}
