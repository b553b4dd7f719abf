// `retrograde tidy`: removes from every track what no one can hear (doubled
// notes, repeated programs and bank selects, overridden or repeated
// controller, volume, pan and pitch-bend changes) and says what went.
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct Step {
    const char* what;
    bool single_channel_only;  // a walk that does not tell channels apart
    std::function<void(MidiF1TrackData&)> run;
};

int ChannelCount(const MidiTrackData& track) {
    std::set<int> channels;
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status >= kEvNote && e.status <= kEvPitchBend) channels.insert(e.channel);
    }
    return static_cast<int>(channels.size());
}

const std::vector<Step>& Steps() {
    static const std::vector<Step> steps = {
        {"doubled notes", false, [](MidiF1TrackData& t) { t.DeleteDuplicateNote(); }},
        {"program changes", true, [](MidiF1TrackData& t) { t.CleanUpDuplicateProgramChange(); }},
        {"bank selects with programs", true,
         [](MidiF1TrackData& t) { t.CleanUpDuplicateBankSelectAndProgramChange(); }},
        {"controller changes", false,
         [](MidiF1TrackData& t) { t.CleanUpDuplicateControlChangeExceptSpecifiedCmd(nullptr, 0); }},
        {"volume and expression changes at one tick", false,
         [](MidiF1TrackData& t) { t.CleanUpDuplicateVolumeExpressionOfSameTiming(); }},
        {"repeated volume and expression values", false,
         [](MidiF1TrackData& t) { t.CleanUpDuplicateVolumeExpressionOfSameValue(); }},
        {"pan changes", false, [](MidiF1TrackData& t) { t.CleanUpPan(); }},
        {"pitch bends", false, [](MidiF1TrackData& t) { t.CleanUpDuplicatePitchBend(); }},
    };
    return steps;
}

// ---- the track pass (--tracks) ----

// Whether a note-less track holds nothing but names (track and instrument
// names) and its end of track: nothing that sounds or sets anything up.
bool OnlyNames(const MidiF1TrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (!e.IsMeta(kMetaTrackName) && !e.IsMeta(kMetaInstrument) && !e.IsEndOfTrack())
            return false;
    }
    return true;
}

// Deletes empty and name-only tracks and sorts the rest by channel (tracks
// without one first, equal channels in their order); the tracks kept keep
// their titles. Returns the tracks deleted.
int TidyTracks(MidiF1Data& song) {
    const int before = song.GetTrackCount();
    // Back to front, so the indexes still to look at do not move. The first
    // track stays when it holds a name: in a format-1 file that is the
    // song's title.
    for (int n = song.GetTrackCount() - 1; n >= 0; --n) {
        MidiF1TrackData& track = *song.GetTrack(n);
        const bool named = !track.IsEmpty() && OnlyNames(track);
        if (track.IsEmpty() || (named && n > 0)) song.DeleteTrack(n);
    }
    song.SortTrack();
    return before - song.GetTrackCount();
}

}  // namespace

CliCommand AddTidyCommand(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "tidy");
    app->footer(
        "In this order: doubled notes, repeated program changes, bank selects with "
        "programs, controller changes no note heard or that repeat a value, volume and "
        "expression changes overridden at the same tick, then repeated values, pan "
        "changes and pitch bends no note heard. Bank selects, pedals, RPN/NRPN and "
        "channel-mode messages are always kept; program clean-ups skip tracks that hold "
        "several channels. INPUT is never overwritten.");
    auto track_pass = std::make_shared<bool>(false);
    app->add_flag("--tracks", *track_pass,
                  "Also delete empty and name-only tracks and sort the tracks by channel "
                  "(a track with tempos, exclusives or controllers always stays)");
    AddEditOptions(app, *options, true);
    return {app, [options, track_pass] {
                return RunEdit(*options, [track_pass](EditJob& job) {
                    std::vector<long> removed(Steps().size(), 0);
                    for (int n : job.tracks) {
                        MidiF1TrackData& track = *job.song->GetTrack(n);
                        const bool several = ChannelCount(track) > 1;
                        for (std::size_t s = 0; s < Steps().size(); ++s) {
                            if (several && Steps()[s].single_channel_only) continue;
                            const int before = track.event_count;
                            Steps()[s].run(track);
                            removed[s] += before - track.event_count;
                        }
                    }
                    std::string summary = "removed";
                    for (std::size_t s = 0; s < Steps().size(); ++s)
                        summary +=
                            (s ? ", " : " ") + std::to_string(removed[s]) + " " + Steps()[s].what;
                    if (*track_pass) {
                        summary += "; " + std::to_string(TidyTracks(*job.song)) +
                                   " empty or name-only tracks, tracks sorted by channel";
                    }
                    job.summary = summary;
                });
            }};
}
