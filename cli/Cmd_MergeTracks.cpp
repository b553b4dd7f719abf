// `retrograde merge-tracks`: merges tracks into the first one listed, plainly
// (channels and velocities kept) or balanced (each note as loud as before
// under the merged volume and expression, bends under one bend range).
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct MergeOptions {
    EditOptions edit;
    std::string tracks;
    bool balance = false;
};

}  // namespace

CliCommand AddMergeTracksCommand(CLI::App& parent) {
    auto options = std::make_shared<MergeOptions>();
    CLI::App* app = AddVerbApp(parent, "merge-tracks");
    app->footer(
        "The other listed tracks are merged into the first, in the order given, and "
        "removed; track names are joined with \" / \". Without --balance events are "
        "kept as they are. With --balance each note's velocity is scaled so it sounds "
        "as loud under the merged volume and expression as it did in its own track, "
        "pitch bends follow one bend range, and what no one hears is cleaned up. "
        "INPUT is never overwritten.");
    app->add_option("--tracks", options->tracks, "Tracks to merge, counted from 1: 2,3")
        ->required();
    app->add_flag("--balance", options->balance,
                  "Keep each note's loudness and each bend's pitch in the merged track");
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const auto list = ParseList(options->tracks, [&](std::string_view text) {
                        return ParseIndex(text, song.track_count, "track");
                    });
                    if (list.size() < 2 ||
                        std::set<int>(list.begin(), list.end()).size() != list.size())
                        throw CliUsage("--tracks needs two or more different tracks: " +
                                       options->tracks);
                    MidiF1TrackData* target = song.GetTrack(list[0]);
                    for (std::size_t k = 1; k < list.size(); ++k) {
                        MidiF1TrackData* other = song.GetTrack(list[k]);
                        if (options->balance) {
                            target->MergeTrack(other, true);
                        } else {
                            target->MergeTrack(other);
                        }
                    }
                    // Remove the merged tracks, the highest first.
                    std::vector<int> gone(list.begin() + 1, list.end());
                    std::sort(gone.rbegin(), gone.rend());
                    for (int n : gone) {
                        std::move(song.tracks.begin() + n + 1,
                                  song.tracks.begin() + song.track_count, song.tracks.begin() + n);
                        --song.track_count;
                    }
                    job.summary =
                        std::to_string(list.size()) + " tracks merged into track " +
                        std::to_string(list[0] + 1 -
                                       int(std::count_if(gone.begin(), gone.end(),
                                                         [&](int g) { return g < list[0]; }))) +
                        (options->balance ? ", balanced" : "");
                });
            }};
}
