// `retrograde info`: a summary of a song: format, tracks, division, length,
// channels, drums, tempos and track names.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"
#include "midi/event/MidiConstants.h"
#include "midi/song/MidiF0Data.h"

namespace {

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

std::string ChannelList(const std::array<bool, kMidiChannels>& channels) {
    std::string list;
    for (int c = 0; c < kMidiChannels; ++c) {
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

// ---- song-level sections: tempo list, channels, voices, channel report ----

struct TempoEntry {
    std::string position;  // BAR:BEAT:TICK
    double bpm;
};

struct ChannelEntry {
    int channel;  // from 0
    int volume;   // -1: none
    int program;  // -1: none
    int low, high;
    bool drums;
};

struct SongLevelInfo {
    std::vector<TempoEntry> tempos;
    std::vector<ChannelEntry> channels;
    int voices = 0;
    int channels_used = 0;  // both ports counted
    bool second_port = false;
    int first_free = -1;  // from 0; -1: every channel is taken
    bool shared = false;  // two tracks (not master tracks) on one channel
};

SongLevelInfo GatherSongLevel(MidiF1Data& song) {
    SongLevelInfo info;
    std::vector<_TempoData> table(MidiF1Data::kMaxTempoData);
    const int tempos = song.ExtractTempoData(table.data());
    for (int k = 0; k < tempos; ++k) {
        info.tempos.push_back({PositionText(song, table[static_cast<std::size_t>(k)].tick),
                               Bpm(table[static_cast<std::size_t>(k)].tempo)});
    }
    std::array<bool, kMidiChannels> seen{};
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        const int channel = song.GetTrack(n)->GetChanel();
        if (channel < 0 || channel >= kMidiChannels || seen[channel]) continue;
        seen[channel] = true;
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        if (!seen[c]) continue;
        ChannelEntry entry{c,
                           song.GetChanelVolume(c),
                           song.GetChanelProgramChange(c),
                           127,
                           0,
                           IsDrumTrack(song, song.GetTrackNumberOfChanel(c))};
        if (song.form == kFormQ2) song.GetNoteRange(c, &entry.low, &entry.high);
        info.channels.push_back(entry);
    }
    if (song.form == kFormQ2) info.voices = song.GetNumVoice();
    info.channels_used = song.GetNumChanel(&info.second_port);
    info.first_free = song.GetUnusedChanel();
    info.shared = song.CheckDuplicateChanelTrack();
    return info;
}

std::string ChannelLine(const ChannelEntry& c) {
    std::string line = "  " + std::to_string(c.channel + 1) + ": ";
    line += c.volume < 0 ? "no volume" : "volume " + std::to_string(c.volume);
    line += c.program < 0 ? ", no program" : ", program " + std::to_string(c.program + 1);
    line +=
        c.low > c.high ? ", no notes" : ", notes " + NoteName(c.low) + " to " + NoteName(c.high);
    return line + (c.drums ? ", drums" : "");
}

void PrintSongLevel(const SongLevelInfo& info) {
    std::printf("tempos:%s\n", info.tempos.empty() ? " none" : "");
    for (const TempoEntry& t : info.tempos)
        std::printf("  %s  %.1f bpm\n", t.position.c_str(), t.bpm);
    std::printf("by channel:%s\n", info.channels.empty() ? " none" : "");
    for (const ChannelEntry& c : info.channels) std::printf("%s\n", ChannelLine(c).c_str());
    std::printf("voices:    %d\n", info.voices);
    std::printf("channel report: %d channel%s used%s, %s, %s\n", info.channels_used,
                info.channels_used == 1 ? "" : "s", info.second_port ? " (second port too)" : "",
                info.first_free < 0 ? "no channel free"
                                    : ("first free " + std::to_string(info.first_free + 1)).c_str(),
                info.shared ? "some tracks share a channel" : "one track per channel");
}

std::string SongLevelJson(const SongLevelInfo& info) {
    std::string json = "\"tempos\":[";
    for (std::size_t k = 0; k < info.tempos.size(); ++k) {
        char bpm[32];
        std::snprintf(bpm, sizeof bpm, "%.3f", info.tempos[k].bpm);
        json += (k ? "," : "") + std::string("{\"position\":") +
                JsonString(info.tempos[k].position) + ",\"bpm\":" + bpm + "}";
    }
    json += "],\"by_channel\":[";
    for (std::size_t k = 0; k < info.channels.size(); ++k) {
        const ChannelEntry& c = info.channels[k];
        const auto number = [](int v) { return v < 0 ? std::string("null") : std::to_string(v); };
        json += (k ? "," : "") + std::string("{\"channel\":") + std::to_string(c.channel + 1) +
                ",\"volume\":" + number(c.volume) +
                ",\"program\":" + number(c.program < 0 ? -1 : c.program + 1) +
                ",\"low\":" + (c.low > c.high ? "null" : JsonString(NoteName(c.low))) +
                ",\"high\":" + (c.low > c.high ? "null" : JsonString(NoteName(c.high))) +
                ",\"drums\":" + (c.drums ? "true" : "false") + "}";
    }
    json += "],\"voices\":" + std::to_string(info.voices) +
            ",\"channels_used\":" + std::to_string(info.channels_used) +
            ",\"second_port\":" + (info.second_port ? "true" : "false") +
            ",\"first_free_channel\":" +
            (info.first_free < 0 ? "null" : std::to_string(info.first_free + 1)) +
            ",\"shared_channels\":" + (info.shared ? "true" : "false");
    return json;
}

// The summary's own lines and the song-level sections as one JSON object.
struct SummaryJson {
    std::string fields;  // "key":value pairs joined by commas
    void Add(const std::string& key, const std::string& value) {
        fields += (fields.empty() ? "" : ",") + JsonString(key) + ":" + value;
    }
};

// ---- song level III: the encoded size and how long notes sound ----
struct SongTimeInfo {
    unsigned file_size = 0;         // bytes as a format-1 file
    double sounding_seconds = 0.0;  // to the end of the last note
};

SongTimeInfo GatherSongTime(MidiF1Data& song) {
    SongTimeInfo info;
    info.file_size = song.GetFileSize();
    const long last = song.GetLastNotePos();
    info.sounding_seconds =
        song.DeltaTimeToSecond(0, static_cast<int>(std::min<long>(last, INT_MAX)));
    return info;
}

void PrintSongTime(const SongTimeInfo& info) {
    std::printf("file size: %u bytes as a format-1 file\n", info.file_size);
    std::printf("sounding:  %.1f seconds to the end of the last note\n", info.sounding_seconds);
}
// ---- end of song level III ----

std::string JsonList(const std::vector<std::string>& items) {
    std::string list = "[";
    for (std::size_t k = 0; k < items.size(); ++k) list += (k ? "," : "") + JsonString(items[k]);
    return list + "]";
}

std::string JsonChannels(const std::array<bool, kMidiChannels>& channels) {
    std::string list = "[";
    for (int c = 0; c < kMidiChannels; ++c) {
        if (channels[c]) list += (list.size() > 1 ? "," : "") + std::to_string(c + 1);
    }
    return list + "]";
}

int Run(const std::string& input, bool json) {
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
    const SongLevelInfo song_level = GatherSongLevel(*tracks);
    const SongTimeInfo song_time = GatherSongTime(*tracks);
    loader->SetMidiF0Data();
    MidiF0Data* song = loader->GetMidiF0Data();
    if (!song || !song->GetTrack()) throw CliFailure(input + ": the tracks could not be merged");
    MidiTrackData* track = song->GetTrack();

    std::array<bool, kMidiChannels> used{};
    std::array<bool, kMidiChannels> drums{};
    int notes = 0;
    long slowest = 0;
    long fastest = 0;
    const long long duration = song->GetSongDuration();
    const double seconds = SongSeconds(*song);
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (e->status == kEvNote && e->channel >= 0 && e->channel < kMidiChannels) {
            used[e->channel] = true;
            ++notes;
        }
        if (e->IsMeta(kMetaTempo) && e->value > 0) {
            const long tempo = e->value;
            slowest = slowest == 0 ? tempo : std::max(slowest, tempo);
            fastest = fastest == 0 ? tempo : std::min(fastest, tempo);
        }
    }
    for (int c = 0; c < kMidiChannels; ++c) drums[c] = used[c] && track->IsDrumChanel(c) != 0;

    MidiF0Data measured(song);
    measured.Q2toQ1();
    const int measures = measured.GetNumMeasure();

    if (json) {
        SummaryJson out;
        out.Add("file", JsonString(input));
        out.Add("format", std::to_string(loader->file_format));
        out.Add("tracks", std::to_string(tracks_in_file));
        out.Add("division", std::to_string(song->division));
        out.Add("measures", std::to_string(measures));
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", seconds);
        out.Add("seconds", text);
        out.Add("ticks", std::to_string(duration));
        out.Add("notes", std::to_string(notes));
        out.Add("channels", JsonChannels(used));
        out.Add("drums", JsonChannels(drums));
        out.Add("names", JsonList(names));
        out.Add("roles", JsonList(roles));
        out.Add("empty_tracks", std::to_string(empty));
        out.Add("file_size", std::to_string(song_time.file_size));
        std::snprintf(text, sizeof text, "%.3f", song_time.sounding_seconds);
        out.Add("sounding_seconds", text);
        std::printf("{%s,%s}\n", out.fields.c_str(), SongLevelJson(song_level).c_str());
        return 0;
    }
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
    PrintSongLevel(song_level);
    PrintSongTime(song_time);
    // Read only: a damaged file is described, with what could not be read.
    const std::vector<std::string> damage = loader->damage.Lines();
    if (!damage.empty()) std::printf("damaged:\n");
    for (const std::string& line : damage) std::printf("  %s\n", line.c_str());
    return 0;
}

// Several inputs are summarised in turn, a blank line between; one that
// fails is told on stderr and the others are still summarised.
int RunAll(const std::vector<std::string>& inputs, bool json) {
    int status = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (i > 0 && !json) std::printf("\n");
        try {
            Run(inputs[i], json);
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
    auto json = std::make_shared<bool>(false);
    CLI::App* app = AddVerbApp(parent, "info");
    app->add_option("INPUT", *inputs, "The songs to read ('-': standard input)")->required();
    app->add_flag("--json", *json, "Report as JSON, one object per input and line");
    return {app, [inputs, json] { return RunAll(*inputs, *json); }};
}
