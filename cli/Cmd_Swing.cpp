// `retrograde swing`: straight notes to the long-short swing pattern.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct SwingOptions {
    EditOptions edit;
    std::string unit;
};

// Two Notes starting at one tick: the track plays chords.
bool HasChords(const MidiTrackData& track) {
    long now = 0;
    long last_onset = -1;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        now += e.delta;
        if (e.status != kEvNote) continue;
        if (now == last_onset) return true;
        last_onset = now;
    }
    return false;
}

}  // namespace

CliCommand AddSwingCommand(CLI::App& parent) {
    auto options = std::make_shared<SwingOptions>();
    CLI::App* app = AddVerbApp(parent, "swing");
    app->footer(
        "Each pair of notes of the given length becomes long-short: the notes of every "
        "window of two such lengths move to its start, its third and its two thirds. "
        "Drum tracks and tracks with chords move each chord as one; other tracks note by "
        "note. A format-0 song is edited track by track and written as format 0 again.");
    app->add_option("--unit", options->unit, "The length swung: 1/8, 1/16, ... or 240t")
        ->required();
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int length = ParseLength(options->unit, song.division, BarTicks(song));
                    if (length < 2 || length > 0x3FFFFFFF) {
                        throw CliUsage("--unit " + options->unit +
                                       ": 2 ticks at least, a window of two");
                    }
                    int chordal = 0;
                    for (int n : job.tracks) {
                        MidiTrackData* track = song.GetTrack(n);
                        if (IsDrumTrack(song, n) || HasChords(*track)) {
                            track->SwingHarmonyAndDrumData(2 * length);
                            ++chordal;
                        } else {
                            track->SwingData(2 * length);
                        }
                    }
                    job.summary = std::to_string(job.tracks.size()) + " tracks swung (" +
                                  std::to_string(chordal) + " chord by chord), window " +
                                  std::to_string(2 * length) + " ticks";
                });
            }};
}
