// `retrograde repeats`: the longest passage of a track that comes again, in
// bars, and where it comes again.
#include <cstdio>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"
#include "midi/song/detail/LongestRepeat.h"

namespace {

struct RepeatsOptions {
    EditOptions edit;
    std::string grid = "1/8";
    int max_notes = 5000;
};

int CountNotes(const MidiTrackData& track) {
    int notes = 0;
    for (int i = 0; i < track.event_count; ++i) notes += track.event_table[i]->status == kEvNote;
    return notes;
}

}  // namespace

CliCommand AddRepeatsCommand(CLI::App& parent) {
    auto options = std::make_shared<RepeatsOptions>();
    CLI::App* app = AddVerbApp(parent, "repeats");
    app->footer(
        "The notes are compared one by one along the passage, in time and pitch, after "
        "grace notes are absorbed and times are put on the --grid: so it suits melody "
        "tracks best. The search takes time growing with the cube of the notes; tracks "
        "with more than --max-notes notes are refused.");
    app->add_option("--grid", options->grid, "Times are compared on this grid: 1/8, 1/16 ...");
    app->add_option("--max-notes", options->max_notes, "Refuse tracks with more notes")
        ->check(CLI::PositiveNumber);
    AddEditOptions(app, options->edit, false);
    return {
        app, [options] {
            const RepeatsOptions& o = *options;
            if (o.edit.track == 0) throw CliUsage("--track: say which track to search");
            return RunCheck(o.edit, [&](EditJob& job) {
                MidiF1Data& song = *job.song;
                MidiF1TrackData& track = *song.GetTrack(job.tracks.front());
                const int notes = CountNotes(track);
                if (notes > o.max_notes) {
                    throw CliFailure(job.input + ": track " + std::to_string(o.edit.track) +
                                     " has " + std::to_string(notes) +
                                     " notes, more than --max-notes " +
                                     std::to_string(o.max_notes));
                }
                // The grid is half the unit the search takes.
                const int unit = 2 * ParseLength(o.grid, song.division, BarTicks(song));
                int begin = 0, end = 0, again = -1;
                const int matches = retrograde::detail::DetectLongestRepeatWithAgain(
                    track, &begin, &end, &again, unit);
                const int bar = BarTicks(song);
                const double bars = bar > 0 ? double(end - begin) / bar : 0.0;
                if (o.edit.json) {
                    std::printf(
                        "{\"input\":%s,\"track\":%d,\"notes\":%d,\"from\":%s,\"to\":%s,"
                        "\"again\":%s,\"bars\":%.2f}\n",
                        JsonString(job.input).c_str(), o.edit.track, matches,
                        JsonString(PositionText(song, begin)).c_str(),
                        JsonString(PositionText(song, end)).c_str(),
                        matches > 0 ? JsonString(PositionText(song, again)).c_str() : "null",
                        matches > 0 ? bars : 0.0);
                } else if (matches == 0) {
                    std::printf("%s: track %d: nothing repeats\n", job.input.c_str(), o.edit.track);
                } else {
                    std::printf("%s: track %d: %d notes, %.2f bars from %s to %s, again at %s\n",
                                job.input.c_str(), o.edit.track, matches, bars,
                                PositionText(song, begin).c_str(), PositionText(song, end).c_str(),
                                PositionText(song, again).c_str());
                }
                return true;
            });
        }};
}
