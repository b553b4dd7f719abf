// `retrograde title`: the song's title (the first track's name) set anew.
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct TitleOptions {
    EditOptions edit;
    std::string title;
};

// The longest text a meta event of this system holds.
constexpr std::size_t kMaxTitle = 255;

// The track that holds the song's title: the first conductor track (meta
// events only), else the first track.
int TitleTrack(MidiF1Data& song) {
    for (int t = 0; t < song.GetTrackCount(); ++t) {
        if (song.GetTrack(t)->IsMasterTrack()) return t;
    }
    return 0;
}

bool HasName(const MidiTrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        if (track.event_table[i]->IsMeta(kMetaTrackName)) return true;
    }
    return false;
}

}  // namespace

CliCommand AddTitleCommand(CLI::App& parent) {
    auto options = std::make_shared<TitleOptions>();
    CLI::App* app = AddVerbApp(parent, "title");
    app->footer(
        "The title is the name of the song's conductor track (the first track holding only "
        "meta events; without one, the first track). Every name it holds is replaced; a "
        "song without a title gets one at its start. Other tracks' names stay. INPUT is "
        "never overwritten.");
    app->add_option("--set", options->title, "The new title (at most 255 bytes)")->required();
    AddEditOptions(app, options->edit, true, EditReach::kSong);
    return {app, [options] {
                if (options->title.size() > kMaxTitle) throw CliUsage("--set: at most 255 bytes");
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    std::vector<char> text(options->title.begin(), options->title.end());
                    text.push_back('\0');
                    const int t = TitleTrack(song);
                    MidiF1TrackData* track = song.GetTrack(t);
                    if (track == nullptr) throw CliFailure(job.input + ": the song has no track");
                    if (!HasName(*track)) {
                        track->InsertMetaEvent(kMetaTrackName, text.data());
                    } else if (track->IsMasterTrack()) {
                        song.ReplaceSongTitle(text.data());
                    } else {
                        track->ReplaceMetaEvent(kMetaTrackName, text.data());
                    }
                    job.summary = "title set on track " + std::to_string(t + 1);
                });
            }};
}
