// `retrograde phrases`: where the melody of a track rests long enough to
// start a new phrase.
#include <cstdio>
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

namespace {

struct PhrasesOptions {
    EditOptions edit;
    std::string min_rest = "1/4";
};

}  // namespace

CliCommand AddPhrasesCommand(CLI::App& parent) {
    auto options = std::make_shared<PhrasesOptions>();
    CLI::App* app = AddVerbApp(parent, "phrases");
    app->footer(
        "A phrase break is where no note sounds and the rest lasts --min-rest at least; "
        "each is shown as BAR:BEAT:TICK where the rest begins. The end of the track is no "
        "break.");
    app->add_option("--min-rest", options->min_rest, "The shortest rest that breaks: 1/4, 1/2 ...");
    AddEditOptions(app, options->edit, false);
    return {
        app, [options] {
            const PhrasesOptions& o = *options;
            if (o.edit.track == 0) throw CliUsage("--track: say which track to search");
            return RunCheck(o.edit, [&](EditJob& job) {
                MidiF1Data& song = *job.song;
                const int gap = ParseLength(o.min_rest, song.division, BarTicks(song));
                // The search works on note ons and note offs and reorders
                // them: a copy in that form.
                MidiF1TrackData q1(song.GetTrack(job.tracks.front()));
                q1.Q2toQ1();
                std::string json;
                int breaks = 0;
                for (int at = 0;;) {
                    const int found = q1.SearchBreak(at, true, gap, false);
                    if (found <= at || q1.GetDeltaTimeToNextNote(found) < 0) break;
                    const std::string where = PositionText(song, q1.GetDeltaOfEventIndex(found));
                    ++breaks;
                    if (o.edit.json) {
                        json += (json.empty() ? "" : ",") + JsonString(where);
                    } else {
                        std::printf("%s: track %d: break at %s\n", job.input.c_str(), o.edit.track,
                                    where.c_str());
                    }
                    at = found;
                }
                if (o.edit.json) {
                    std::printf("{\"input\":%s,\"track\":%d,\"breaks\":[%s]}\n",
                                JsonString(job.input).c_str(), o.edit.track, json.c_str());
                } else if (breaks == 0) {
                    std::printf("%s: track %d: no phrase break\n", job.input.c_str(), o.edit.track);
                }
                return true;
            });
        }};
}
