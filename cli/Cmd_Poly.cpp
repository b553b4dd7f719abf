// `retrograde poly`: the most notes sounding at once and the voices, per
// track and for the whole song.
#include <cstdio>
#include <memory>
#include <string>

#include "Commands.h"
#include "EditSupport.h"

CliCommand AddPolyCommand(CLI::App& parent) {
    auto options = std::make_shared<EditOptions>();
    CLI::App* app = AddVerbApp(parent, "poly");
    app->footer(
        "Notes at once: counted at the end of every tick, so a note ending where another "
        "begins is not counted with it. Voices: the most note numbers sounding at once on "
        "all channels of a track; for a drum track, the drum sounds it uses. The song's "
        "voices are the sum over its tracks.");
    AddEditOptions(app, *options, false);
    return {app, [options] {
                return RunCheck(*options, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    std::string json;
                    int voices = 0;
                    for (int n : job.tracks) {
                        MidiTrackData& track = *song.GetTrack(n);
                        const bool drums = IsDrumTrack(song, n);
                        const int poly = track.GetNumPoly(false);
                        const int voice = drums ? track.GetNumDrumVoice() : track.GetNumVoice();
                        voices += voice;
                        if (options->json) {
                            json += (json.empty() ? "" : ",") + std::string("{\"track\":") +
                                    std::to_string(n + 1) + ",\"poly\":" + std::to_string(poly) +
                                    ",\"voices\":" + std::to_string(voice) +
                                    ",\"drums\":" + (drums ? "true" : "false") + "}";
                        } else {
                            std::printf("%s: track %d: %d at once, %d %s\n", job.input.c_str(),
                                        n + 1, poly, voice, drums ? "drum sounds" : "voices");
                        }
                    }
                    const int poly = song.GetNumPoly();
                    if (options->json) {
                        std::printf("{\"input\":%s,\"tracks\":[%s],\"poly\":%d,\"voices\":%d}\n",
                                    JsonString(job.input).c_str(), json.c_str(), poly, voices);
                    } else {
                        std::printf("%s: song: %d at once, %d voices\n", job.input.c_str(), poly,
                                    voices);
                    }
                    return true;
                });
            }};
}
