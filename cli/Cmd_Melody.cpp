// `retrograde melody`: the top line of a track: one note at a time, no
// octave doublings, grace notes absorbed.
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

CliCommand AddMelodyCommand(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "melody");
    app->footer(
        "Of notes struck together an octave apart the lower goes; of each chord only the "
        "highest note stays, and no note sounds past the start of the next; a short note "
        "(a sixteenth at most) a semitone below the note that follows it becomes that note.");
    AddEditOptions(app, *options, true);
    return {app, [options] {
                if (options->track == 0) throw CliUsage("--track: say which track to reduce");
                return RunEdit(*options, [&](EditJob& job) {
                    MidiF1TrackData& track = *job.song->GetTrack(job.tracks.front());
                    const int before = track.GetNumNote(0, 0x7FFFFFFF);
                    track.DeleteOctaveNote();
                    track.SetMonophonic();
                    // Grace notes up to a sixteenth: half of an eighth.
                    track.DeleteDecorationNote(job.song->division / 2);
                    job.summary = "track " + std::to_string(options->track) + ": " +
                                  std::to_string(before) + " notes, " +
                                  std::to_string(track.GetNumNote(0, 0x7FFFFFFF)) + " kept";
                });
            }};
}
