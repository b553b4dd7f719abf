// `retrograde range`: every note of the melodic tracks into a range of notes,
// folded octave by octave or deleted.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

constexpr int kOctave = 12;

struct RangeOptions {
    EditOptions edit;
    std::string low;
    std::string high;
    bool remove = false;
};

int CountOutside(const MidiTrackData& track, int low, int high) {
    int count = 0;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status == kEvNote && (e.note < low || e.note > high)) ++count;
    }
    return count;
}

}  // namespace

CliCommand AddRangeCommand(CLI::App& parent) {
    auto options = std::make_shared<RangeOptions>();
    CLI::App* app = AddVerbApp(parent, "range");
    app->footer(
        "Notes above --high move down and notes below --low move up an octave at a time "
        "until they fit; with --delete they are deleted instead. The range spans an octave "
        "at least. Drum tracks are left alone.");
    app->add_option("--low", options->low, "The lowest note kept: C2, F#1, 36 ...")->required();
    app->add_option("--high", options->high, "The highest note kept: C7, 96 ...")->required();
    app->add_flag("--delete", options->remove, "Delete the notes outside instead of folding");
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                const int low = ParseNote(options->low);
                const int high = ParseNote(options->high);
                // Narrower than an octave, some notes could never be folded in.
                if (high - low + 1 < kOctave) {
                    throw CliUsage("--low " + options->low + " --high " + options->high +
                                   ": the range must span an octave at least");
                }
                return RunEdit(options->edit, [&](EditJob& job) {
                    int moved = 0;
                    int drums = 0;
                    for (int n : job.tracks) {
                        if (IsDrumTrack(*job.song, n)) {
                            ++drums;
                            continue;
                        }
                        MidiTrackData& track = *job.song->GetTrack(n);
                        moved += CountOutside(track, low, high);
                        if (options->remove) {
                            track.AdjustNoteRange(-1, low, high, 0);
                        } else {
                            while (track.AdjustNoteRange(-1, low, high, 1) == 1) {
                            }
                        }
                    }
                    job.summary = std::to_string(moved) + " notes " +
                                  (options->remove ? "deleted" : "folded") + " into " +
                                  NoteName(low) + "-" + NoteName(high) + " (" +
                                  std::to_string(drums) + " drum tracks left alone)";
                });
            }};
}
