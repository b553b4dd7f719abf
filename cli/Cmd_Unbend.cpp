// `retrograde unbend`: pitch bends played as whole-semitone notes, for
// sound sets that cannot bend.
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct UnbendOptions {
    EditOptions edit;
    int range = 0;  // 0: the range the song sets
};

// The bend range the conversion accepts: one bend unit per semitone at most.
constexpr int kMaxRange = 8191;

int CountBends(MidiF1Data& song) {
    int bends = 0;
    for (int t = 0; t < song.track_count; ++t) {
        if (song.IsDrumTrack(t)) continue;
        const MidiTrackData& track = *song.GetTrack(t);
        for (int i = 0; i < track.event_count; ++i)
            bends += track.event_table[i]->status == kEvPitchBend ? 1 : 0;
    }
    return bends;
}

}  // namespace

CliCommand AddUnbendCommand(CLI::App& parent) {
    auto options = std::make_shared<UnbendOptions>();
    CLI::App* app = AddVerbApp(parent, "unbend");
    app->footer(
        "On every track that does not play drums, each note sounding under a bend is moved "
        "by the bend's whole semitones and split where a later bend changes them, a little "
        "softer the further it moves; then the track holds no pitch bends and no "
        "modulation. Meant for melodic lines: notes sounding together with a bent note (a "
        "chord) are neither moved nor split. The bend range is the song's own (RPN 0/0, 2 "
        "semitones when it sets none) unless --range gives it. Works on the whole song. "
        "INPUT is never overwritten.");
    app->add_option("--range", options->range, "The bend range in semitones, 1-8191")
        ->check(CLI::Range(1, kMaxRange));
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    const int range =
                        options->range > 0 ? options->range : job.song->GetPitchBendSensitivity();
                    if (range < 1 || range > kMaxRange)
                        throw CliFailure(job.input + ": the song sets a bend range of " +
                                         std::to_string(range) + "; give one with --range");
                    const int bends = CountBends(*job.song);
                    job.song->ConvPitchBendToNote(range);
                    job.summary = std::to_string(bends) + " pitch bends played as notes (range " +
                                  std::to_string(range) + " semitones)";
                });
            }};
}
