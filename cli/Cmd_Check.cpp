// `retrograde check`: what in a song breaks a device's rules, and where:
// events and note lengths off a grid, tempos outside a range, bank select
// after program change, time signatures inside a measure.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "EditSupport.h"
#include "General/GeneralMac.h"

namespace {

struct CheckOptions {
    EditOptions edit;
    std::string grid;
    std::string tempo;
    bool bank_order = false;
    // song level III: song-wide checks
    bool skip_drums = false;
    std::string marker;
};

struct Problem {
    std::string check;
    int track;  // from 0
    long tick;
    std::string text;
};

// Calls visit(tick, event) for every event of a track.
template <typename Visit>
void Walk(const MidiTrackData& track, Visit visit) {
    long now = 0;
    for (int i = 0; i < track.event_count; ++i) {
        now += track.event_table[i]->delta;
        visit(now, *track.event_table[i]);
    }
}

std::string Kind(const MidiEvent& e) {
    switch (e.status) {
        case kEvNote:
            return "note " + std::to_string(e.note);
        case kEvControl:
            return "control change " + std::to_string(e.number);
        case kEvProgram:
            return "program change";
        case kEvPitchBend:
            return "pitch bend";
        case kEvSysEx:
        case kEvSysExEscape:
            return "exclusive message";
        default:
            return "event";
    }
}

void CheckGrid(MidiTrackData& track, int n, int grid, const std::string& name,
               std::vector<Problem>& out) {
    if (track.CheckEventTime(grid) != 0) return;
    Walk(track, [&](long tick, const MidiEvent& e) {
        if (e.status == kEvMeta) return;
        if (tick % grid != 0) {
            out.push_back({"grid", n, tick,
                           Kind(e) + " " + std::to_string(tick % grid) + " ticks past the " + name +
                               " grid"});
        }
        if (e.status == kEvNote && e.duration % grid != 0) {
            out.push_back({"grid", n, tick,
                           Kind(e) + " lasts " + std::to_string(e.duration) +
                               " ticks, not a multiple of the " + name + " grid"});
        }
    });
}

void CheckTempo(MidiTrackData& track, int n, int low, int high, std::vector<Problem>& out) {
    if (track.CheckTempoRange(low, high) != 0) return;
    const long slowest = GneBpmToClock(low);
    const long fastest = GneBpmToClock(high);
    Walk(track, [&](long tick, const MidiEvent& e) {
        if (!e.IsMeta(kMetaTempo) || (e.value <= slowest && e.value >= fastest)) return;
        char text[96];
        std::snprintf(text, sizeof text, "tempo %.1f bpm outside %d-%d", 60000000.0 / e.value, low,
                      high);
        out.push_back({"tempo", n, tick, text});
    });
}

void CheckBankOrder(MidiTrackData& track, int n, std::vector<Problem>& out) {
    if (track.CheckOrderOfBankSelectAndProgramChange() != 0) return;
    bool msb = false, lsb = false, told = false;
    Walk(track, [&](long tick, const MidiEvent& e) {
        if (told) return;
        const bool is_lsb = e.status == kEvControl && e.number == kCcBankSelectLsb;
        msb = msb || (e.status == kEvControl && e.number == kCcBankSelectMsb);
        if (is_lsb && !msb) {
            out.push_back({"bank-order", n, tick, "bank select LSB before MSB"});
            told = true;
        }
        lsb = lsb || is_lsb;
        if (!told && e.status == kEvProgram && !(msb && lsb)) {
            out.push_back({"bank-order", n, tick, "program change before bank select MSB and LSB"});
            told = true;
        }
    });
}

// Time signatures inside a measure, counted as the measures run.
void CheckTimeSignatures(MidiTrackData& track, int n, int division, std::vector<Problem>& out) {
    if (division <= 0 || track.CheckTimeSingLocation(division) != 0) return;
    long measure = 4L * division;
    long position = 0;
    Walk(track, [&](long tick, const MidiEvent& e) {
        position = measure > 0 ? (position + e.delta) % measure : 0;
        if (!e.IsMeta(kMetaTimeSignature)) return;
        if (position != 0)
            out.push_back({"time-signature", n, tick, "time signature inside a measure"});
        measure = static_cast<long>(GneGetTimeSignValue(e.value) * division);
    });
}

// song level III: the marker a device waits for (an end marker, say).
void CheckMarker(MidiF1Data& song, const std::string& marker, std::vector<Problem>& out) {
    std::vector<char> text(marker.begin(), marker.end());
    text.push_back('\0');
    if (song.GetEndMarkerDelta(text.data()) == -1)
        out.push_back({"marker", 0, 0, "no marker \"" + marker + "\""});
}

bool Report(const CheckOptions& options, EditJob& job, const std::vector<Problem>& problems) {
    if (options.edit.json) {
        std::string line = "{\"input\":" + JsonString(job.input) +
                           ",\"passed\":" + (problems.empty() ? "true" : "false") +
                           ",\"problems\":[";
        for (std::size_t i = 0; i < problems.size(); ++i) {
            const Problem& p = problems[i];
            line += (i ? "," : "") + std::string("{\"check\":") + JsonString(p.check) +
                    ",\"track\":" + std::to_string(p.track + 1) +
                    ",\"position\":" + JsonString(PositionText(*job.song, p.tick)) +
                    ",\"tick\":" + std::to_string(p.tick) + ",\"text\":" + JsonString(p.text) + "}";
        }
        std::printf("%s]}\n", line.c_str());
    } else {
        for (const Problem& p : problems) {
            std::printf("%s: track %d, %s: %s\n", job.input.c_str(), p.track + 1,
                        PositionText(*job.song, p.tick).c_str(), p.text.c_str());
        }
        if (problems.empty()) {
            std::printf("%s: passed\n", job.input.c_str());
        } else {
            std::printf("%s: %zu problems\n", job.input.c_str(), problems.size());
        }
    }
    return problems.empty();
}

}  // namespace

CliCommand AddCheckCommand(CLI::App& parent) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* app = AddVerbApp(parent, "check");
    app->footer(
        "Time signatures are always checked to stand at the start of a measure. Positions "
        "are BAR:BEAT:TICK from 1:1:0. Exit status 0 when everything passed, 4 when "
        "something failed.");
    app->add_option("--grid", options->grid,
                    "Every event and note length on this grid: 1/16, 1/8., 480t ...");
    app->add_option("--tempo", options->tempo, "Every tempo within LOW-HIGH beats per minute");
    app->add_flag("--bank-order", options->bank_order,
                  "Bank select MSB, then LSB, before every program change, in every track");
    // song level III: song-wide checks
    app->add_flag("--skip-drums", options->skip_drums, "With --grid: drum tracks are not checked");
    app->add_option("--marker", options->marker, "The song must hold a marker reading this text");
    AddEditOptions(app, options->edit, false);
    return {app, [options] {
                return RunCheck(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    int grid = 0;
                    if (!options->grid.empty()) {
                        grid = ParseLength(options->grid, song.division, BarTicks(song));
                    }
                    std::pair<int, int> tempo{0, 0};
                    if (!options->tempo.empty())
                        tempo = ParseNumberRange(options->tempo, 1, 100000);
                    std::vector<Problem> problems;
                    for (int n : job.tracks) {
                        MidiTrackData& track = *song.GetTrack(n);
                        CheckTimeSignatures(track, n, song.division, problems);
                        const bool skip = options->skip_drums && IsDrumTrack(song, n);
                        if (grid > 0 && !skip) CheckGrid(track, n, grid, options->grid, problems);
                        if (tempo.first > 0)
                            CheckTempo(track, n, tempo.first, tempo.second, problems);
                        if (options->bank_order) CheckBankOrder(track, n, problems);
                    }
                    if (!options->marker.empty()) CheckMarker(song, options->marker, problems);
                    return Report(*options, job, problems);
                });
            }};
}
