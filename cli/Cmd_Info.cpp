// `retrograde info`: a summary of a song: format, tracks, division, length,
// channels, drums, tempos and track names.
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"
#include "midi/song/MidiF0Data.h"

namespace {

constexpr int kChannels = 16;

// The text of the first track name of a track, as UTF-8.
std::string TrackName(const MidiTrackData* track) {
    for (int k = 0; track && k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (e->IsMeta(kMetaTrackName)) {
            return FileText(e->data, std::min(e->length, e->DataCapacity()));
        }
    }
    return {};
}

std::string ChannelList(const std::array<bool, kChannels>& channels) {
    std::string list;
    for (int c = 0; c < kChannels; ++c) {
        if (!channels[c]) continue;
        if (!list.empty()) list += ' ';
        list += std::to_string(c + 1);
    }
    return list.empty() ? "none" : list;
}

// What a track is for: master (meta events only), exclusive-only, empty,
// drums or notes; with notes their range and duration-weighted centre.
std::string TrackRole(MidiF1Data& song, int n) {
    MidiF1TrackData& track = *song.GetTrack(n);
    if (track.IsEmpty()) return "empty";
    if (track.IsMasterTrack()) return "master";
    if (track.IsSysExTrack()) return "exclusive-only";
    std::string role = IsDrumTrack(song, n) ? "drums" : "notes";
    if (track.form != kFormQ2 || track.GetNumSpecifiedEvent(kEvNote) == 0)
        return role + ", no notes";
    int low = 0, high = 0;
    track.GetNoteRange(&low, &high);
    const int centre = track.GetCenterNote();
    return role + ", " + NoteName(low) + " to " + NoteName(high) + ", centre " + NoteName(centre);
}

double Bpm(long tempo) {
    return tempo > 0 ? 60000000.0 / static_cast<double>(tempo) : 0.0;
}

int Run(const std::string& input) {
    const auto loader = LoadSong(input);
    const int tracks_in_file =
        loader->data && loader->size >= 12 ? loader->data[10] * 256 + loader->data[11] : 0;
    std::vector<std::string> names;
    const MidiF1Data* f1 = loader->GetMidiF1Data();
    // A format-0 file was split by channel; its names are those of its one track.
    for (int n = 0; n < f1->GetTrackCount(); ++n) {
        std::string name = TrackName(f1->GetTrack(n));
        if (!name.empty()) names.push_back(std::move(name));
    }
    // Each track's role (a format-0 file split by channel); empty tracks
    // are counted, not listed.
    std::vector<std::string> roles;
    int empty = 0;
    MidiF1Data* tracks = loader->GetMidiF1Data();
    for (int n = 0; n < tracks->GetTrackCount(); ++n) {
        const std::string role = TrackRole(*tracks, n);
        if (role == "empty") {
            ++empty;
        } else {
            roles.push_back("  " + std::to_string(n + 1) + ": " + role);
        }
    }
    loader->SetMidiF0Data();
    MidiF0Data* song = loader->GetMidiF0Data();
    if (!song || !song->GetTrack()) throw CliFailure(input + ": the tracks could not be merged");
    MidiTrackData* track = song->GetTrack();

    std::array<bool, kChannels> used{};
    std::array<bool, kChannels> drums{};
    int notes = 0;
    long slowest = 0;
    long fastest = 0;
    const long long duration = song->GetSongDuration();
    const double seconds = SongSeconds(*song);
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (e->status == kEvNote && e->channel >= 0 && e->channel < kChannels) {
            used[e->channel] = true;
            ++notes;
        }
        if (e->IsMeta(kMetaTempo) && e->value > 0) {
            const long tempo = e->value;
            slowest = slowest == 0 ? tempo : std::max(slowest, tempo);
            fastest = fastest == 0 ? tempo : std::min(fastest, tempo);
        }
    }
    for (int c = 0; c < kChannels; ++c) drums[c] = used[c] && track->IsDrumChanel(c) != 0;

    MidiF0Data measured(song);
    measured.Q2toQ1();
    const int measures = measured.GetNumMeasure();

    std::printf("file:      %s\n", input.c_str());
    std::printf("format:    %d\n", loader->file_format);
    std::printf("tracks:    %d\n", tracks_in_file);
    std::printf("division:  %d ticks per quarter note\n", song->division);
    std::printf("length:    %d measures, %.1f seconds (%lld ticks)\n", measures, seconds, duration);
    std::printf("notes:     %d\n", notes);
    std::printf("channels:  %s\n", ChannelList(used).c_str());
    std::printf("drums:     %s\n", ChannelList(drums).c_str());
    if (slowest == 0) {
        std::printf("tempo:     120 bpm (none given)\n");
    } else if (slowest == fastest) {
        std::printf("tempo:     %.1f bpm\n", Bpm(slowest));
    } else {
        std::printf("tempo:     %.1f to %.1f bpm\n", Bpm(slowest), Bpm(fastest));
    }
    // One name stands on its line; several are listed below it, one a line.
    if (names.size() <= 1) {
        std::printf("names:     %s\n", names.empty() ? "none" : names.front().c_str());
    } else {
        std::printf("names:\n");
        for (const std::string& name : names) std::printf("  %s\n", name.c_str());
    }
    std::printf("roles:%s\n",
                empty > 0 ? (" (" + std::to_string(empty) + " empty tracks)").c_str() : "");
    for (const std::string& role : roles) std::printf("%s\n", role.c_str());
    // Read only: a damaged file is described, with what could not be read.
    const std::vector<std::string> damage = loader->damage.Lines();
    if (!damage.empty()) std::printf("damaged:\n");
    for (const std::string& line : damage) std::printf("  %s\n", line.c_str());
    return 0;
}

// Several inputs are summarised in turn, a blank line between; one that
// fails is told on stderr and the others are still summarised.
int RunAll(const std::vector<std::string>& inputs) {
    int status = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (i > 0) std::printf("\n");
        try {
            Run(inputs[i]);
        } catch (const CliFailure& failure) {
            if (inputs.size() == 1) throw;
            std::fflush(stdout);
            std::fprintf(stderr, "retrograde: %s\n", failure.what());
            status = 1;
        }
    }
    return status;
}

}  // namespace

CliCommand AddInfoCommand(CLI::App& parent) {
    auto inputs = std::make_shared<std::vector<std::string>>();
    CLI::App* app = parent.add_subcommand(
        "info", "Summarise a song: format, tracks, length, channels, drums, tempos, names, roles");
    app->add_option("INPUT", *inputs, "The songs to read ('-': standard input)")->required();
    return {app, [inputs] { return RunAll(*inputs); }};
}
