// Arguments and the load -> edit -> save run of the editing verbs.
#include "EditSupport.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <optional>
#include <system_error>

#include "BatchRun.h"
#include "CliSupport.h"
#include "General/GeneralMac.h"
#include "General/GneHooks.h"

namespace fs = std::filesystem;

namespace {

constexpr int kQuartersPerWhole = 4;

// The whole of text as a number, else nullopt.
std::optional<long long> Number(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

[[noreturn]] void Refuse(std::string_view what, std::string_view text, std::string_view expected) {
    throw CliUsage(std::string(what) + " '" + std::string(text) + "': expected " +
                   std::string(expected));
}

int ToTicks(long long ticks, std::string_view text) {
    if (ticks < 1 || ticks > 0x7FFFFFFF) Refuse("length", text, "at least one tick");
    return static_cast<int>(ticks);
}

struct LoadedSong {
    std::unique_ptr<MidiFileLoader> loader;
    bool damaged = false;
};

// A damaged song is not what the file held: what is written from it, or
// checked in it, takes --salvage.
LoadedSong Load(const std::string& input, bool salvage) {
    LoadedSong loaded;
    loaded.loader = LoadSong(Readable(input));
    loaded.damaged = CheckDamage(input, loaded.loader->damage, salvage);
    return loaded;
}

std::vector<int> Tracks(const EditOptions& options, const MidiF1Data& song) {
    std::vector<int> tracks;
    if (options.track > 0) {
        if (options.track > song.GetTrackCount()) {
            throw CliUsage("--track " + std::to_string(options.track) + ": the song has " +
                           std::to_string(song.GetTrackCount()) + " tracks");
        }
        tracks.push_back(options.track - 1);
    } else {
        for (int n = 0; n < song.GetTrackCount(); ++n) tracks.push_back(n);
    }
    return tracks;
}

// The file as it is saved: a format-0 input merged back into one track.
std::vector<unsigned char> Image(MidiFileLoader& loader) {
    if (loader.file_format == 0) {
        loader.SetMidiF0Data();
        if (!loader.GetMidiF0Data()) throw CliFailure("the tracks could not be merged");
        return MirrorToImage(loader.GetMidiF0Data(), MirrorChoice{});
    }
    MidiF1Data* song = loader.GetMidiF1Data();
    song->Q2toQ1();
    if (song->form != kFormQ1 || song->Q1toRaw() != 1 || song->size <= 0) {
        throw CliFailure(
            "the song could not be encoded (a track holds at most 131,072 events, "
            "a note counting as two)");
    }
    return std::vector<unsigned char>(song->buffer, song->buffer + song->size);
}

void CheckSeveral(const EditOptions& options) {
    if (options.inputs.size() < 2) return;
    std::error_code error;
    if (!fs::is_directory(options.output, error)) {
        throw CliUsage("-o " + options.output + ": with several inputs, an existing folder");
    }
    if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 0) {
        throw CliUsage("-: standard input is read only as the one input");
    }
}

// Reports go to standard output, or to standard error when the song does.
std::FILE* ReportStream(const EditOptions& options) {
    return options.output == "-" ? stderr : stdout;
}

}  // namespace

int BarTicks(MidiF1Data& song) {
    const int start = song.GetTick(0, 0, 0);
    const int next = song.GetTick(1, 0, 0);
    return next > start ? next - start : kQuartersPerWhole * song.division;
}

int ParseLength(std::string_view text, int division, int barTicks) {
    if (division <= 0) Refuse("length", text, "a song with ticks per quarter note");
    if (EndsWith(text, "t")) {
        if (const auto ticks = Number(text.substr(0, text.size() - 1))) {
            return ToTicks(*ticks, text);
        }
    }
    for (std::string_view unit : {"bars", "bar"}) {
        if (!EndsWith(text, unit)) continue;
        if (const auto bars = Number(text.substr(0, text.size() - unit.size()))) {
            return ToTicks(*bars * barTicks, text);
        }
    }
    const bool dotted = EndsWith(text, ".");
    const std::string_view fraction = dotted ? text.substr(0, text.size() - 1) : text;
    const std::size_t slash = fraction.find('/');
    if (slash != std::string_view::npos) {
        const auto count = Number(fraction.substr(0, slash));
        const auto part = Number(fraction.substr(slash + 1));
        if (count && part && *count > 0 && *count < 1000 && *part > 0 && *part < 100000) {
            // In halves of a tick, rounded to the nearest tick: a dot adds half.
            const long long halves =
                2LL * kQuartersPerWhole * division * *count * (dotted ? 3 : 2) / (2 * *part);
            return ToTicks((halves + 1) / 2, text);
        }
    }
    Refuse("length", text, "1/16, 1/8. (dotted), 3/8, 2bars, 1bar or 480t");
}

int ParsePosition(std::string_view text, MidiF1Data& song) {
    if (EndsWith(text, "t")) {
        const auto ticks = Number(text.substr(0, text.size() - 1));
        if (ticks && *ticks >= 0 && *ticks <= 0x7FFFFFFF) return static_cast<int>(*ticks);
    }
    const std::vector<std::string_view> parts = Split(text, ':');
    std::array<long long, 3> n{0, 0, 0};  // bar, beat, tick
    bool ok = parts.size() == 2 || parts.size() == 3;
    for (std::size_t i = 0; ok && i < parts.size(); ++i) {
        const auto value = Number(parts[i]);
        ok = value.has_value();
        n[i] = value.value_or(0);
    }
    if (!ok || n[0] < 1 || n[1] < 1 || n[2] < 0 || n[0] > 100000 || n[1] > 1000 ||
        n[2] > 0xFFFFFF) {
        Refuse("position", text, "BAR:BEAT[:TICK] counted from 1:1, or ticks as 480t");
    }
    return song.GetTick(static_cast<int>(n[0] - 1), static_cast<int>(n[1] - 1),
                        static_cast<int>(n[2]));
}

std::pair<int, int> ParseBars(std::string_view text, MidiF1Data& song) {
    const auto [first, last] = ParseNumberRange(text, 1, 100000);
    return {song.GetTick(first - 1, 0, 0), song.GetTick(last, 0, 0)};
}

std::pair<int, int> ParseNumberRange(std::string_view text, int min, int max) {
    const std::size_t dash = text.find('-', 1);
    const auto low = Number(text.substr(0, dash));
    const auto high = dash == std::string_view::npos ? low : Number(text.substr(dash + 1));
    if (!low || !high || *low > *high || *low < min || *high > max) {
        Refuse(
            "range", text,
            "LOW-HIGH or one number, within " + std::to_string(min) + ".." + std::to_string(max));
    }
    return {static_cast<int>(*low), static_cast<int>(*high)};
}

std::string NoteName(int note) {
    static constexpr std::array<std::string_view, 12> kNames = {"C",  "C#", "D",  "D#", "E",  "F",
                                                                "F#", "G",  "G#", "A",  "A#", "B"};
    return std::string(kNames[static_cast<std::size_t>(note % 12)]) + std::to_string(note / 12 - 1);
}

int ParseNote(std::string_view text) {
    constexpr std::string_view kLetters = "CDEFGAB";
    constexpr std::array kSemitones = {0, 2, 4, 5, 7, 9, 11};
    if (const auto number = Number(text)) {
        if (*number >= 0 && *number <= kMidiMaxDataByte) return static_cast<int>(*number);
        Refuse("note", text, "0..127");
    }
    const std::size_t letter =
        text.empty()
            ? std::string_view::npos
            : kLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
    if (letter != std::string_view::npos) {
        std::string_view rest = text.substr(1);
        int shift = 0;
        if (!rest.empty() && (rest[0] == '#' || rest[0] == 'b')) {
            shift = rest[0] == '#' ? 1 : -1;
            rest.remove_prefix(1);
        }
        // C4 is note 60: octave -1 starts at 0.
        if (const auto octave = Number(rest); octave && *octave >= -1 && *octave <= 9) {
            const long long note = (*octave + 1) * 12 + kSemitones[letter] + shift;
            if (note >= 0 && note <= kMidiMaxDataByte) return static_cast<int>(note);
        }
    }
    Refuse("note", text, "a name as C4 (= 60), F#3, Bb-1, or a number 0..127");
}

int ParseIndex(std::string_view text, int count, std::string_view what) {
    const auto value = Number(text);
    if (!value || *value < 1 || *value > count) {
        Refuse(what, text, "a number from 1 to " + std::to_string(count));
    }
    return static_cast<int>(*value - 1);
}

void AddEditOptions(CLI::App* app, EditOptions& options, bool writes, EditReach reach) {
    // Made once and copied: a range check writes its description through a
    // string stream, and some forty verbs take these options at every start.
    static const CLI::Validator kTrackRange = CLI::Range(1, kMaxTracks);
    static const CLI::Validator kJobsRange = CLI::Range(1, 256);
    app->add_option("INPUT", options.inputs, "The songs to read ('-': standard input)")->required();
    app->add_flag("--json", options.json, "Report as JSON, one object per input and line");
    app->add_flag("--salvage", options.salvage,
                  "Use what could be read of a damaged input (exit status 3 when written)");
    if (reach == EditReach::kTracks) {
        app->add_option("--track", options.track, "Work on this track only (from 1)")
            ->check(kTrackRange);
    }
    if (!writes) return;
    app->add_option("-o,--output", options.output,
                    "The file to write ('-': standard output); with several inputs a folder")
        ->required();
    app->add_flag("--force", options.force, "Replace an output that exists");
    app->add_option(
           "-j,--jobs", options.jobs,
           "With several inputs, files edited at the same time (default: one per processor)")
        ->check(kJobsRange);
}

namespace {

// One input edited and written; true when it was written from a damaged file.
bool EditOne(const EditOptions& options, const std::string& input, const std::string& output,
             const std::function<void(EditJob&)>& edit) {
    if (output != "-") CheckOutput(input == "-" ? "" : input, output, options.force);
    LoadedSong loaded = Load(input, options.salvage);
    EditJob job{input, loaded.loader->GetMidiF1Data(), {}, {}};
    job.tracks = Tracks(options, *job.song);
    edit(job);
    const std::vector<unsigned char> image = Image(*loaded.loader);
    if (output == "-") {
        if (std::fwrite(image.data(), 1, image.size(), stdout) != image.size()) {
            throw CliFailure("-: standard output could not be written");
        }
    } else {
        WriteOutput(output, image);
    }
    if (options.json) {
        std::fprintf(ReportStream(options), "{\"input\":%s,\"output\":%s,\"summary\":%s}\n",
                     JsonString(input).c_str(), JsonString(output).c_str(),
                     JsonString(job.summary).c_str());
    } else {
        std::fprintf(ReportStream(options), "%s: %s\n", output.c_str(), job.summary.c_str());
    }
    if (loaded.damaged) WrittenFromDamage(output);
    return loaded.damaged;
}

}  // namespace

int RunEdit(const EditOptions& options, const std::function<void(EditJob&)>& edit) {
    CheckSeveral(options);
    if (options.inputs.size() < 2) {
        return EditOne(options, options.inputs.front(), options.output, edit) ? kExitSalvaged
                                                                              : kExitOk;
    }
    const std::vector<BatchFile> files = FilesInto(options.inputs, options.output);
    const auto results = RunBatch(files, options.jobs, [&](const BatchFile& file) {
        const bool damaged = EditOne(options, file.input, file.output, edit);
        return BatchResult{damaged ? BatchOutcome::kDamaged : BatchOutcome::kWritten, {}, {}, {}};
    });
    // The summary line stays out of the way of the JSON lines.
    return ReportBatch(files, results, options.json ? stderr : stdout);
}

int RunCheck(const EditOptions& options, const std::function<bool(EditJob&)>& check) {
    bool passed = true, unread = false;
    for (const std::string& input : options.inputs) {
        try {
            LoadedSong loaded = Load(input, options.salvage);
            EditJob job{input, loaded.loader->GetMidiF1Data(), {}, {}};
            job.tracks = Tracks(options, *job.song);
            passed = check(job) && passed;
        } catch (const CliFailure& failure) {
            // The other inputs are still checked; the exit status tells.
            if (options.inputs.size() < 2) throw;
            std::fflush(stdout);
            std::fprintf(stderr, "retrograde: %s\n", failure.what());
            unread = true;
        }
    }
    if (unread) return kExitFailure;
    return passed ? kExitOk : kExitCheckFailed;
}

bool IsDrumTrack(MidiF1Data& song, int track) {
    MidiTrackData* own = song.GetTrack(track);
    if (!own) return false;
    const int channel = own->GetChanel();
    if (channel == kMidiDrumChannel) return true;
    if (channel < 0 || channel >= kMidiChannels) return false;
    for (int n = 0; n < song.GetTrackCount(); ++n) {
        if (song.GetTrack(n) && song.GetTrack(n)->IsDrumChanel(channel)) return true;
    }
    return false;
}

std::string PositionText(MidiF1Data& song, long tick) {
    int measure = 0, beat = 0, in_beat = 0;
    song.GetMeasureBeatTick(static_cast<int>(std::min<long>(tick, 0x7FFFFFFF)), &measure, &beat,
                            &in_beat);
    return std::to_string(measure + 1) + ":" + std::to_string(beat + 1) + ":" +
           std::to_string(in_beat);
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::pair<int, int> ParseSpan(const std::string& from, const std::string& to, MidiF1Data& song) {
    const int start = ParsePosition(from, song);
    const int end = ParsePosition(to, song);
    if (end <= start) throw CliUsage("--to " + to + ": must come after --from " + from);
    return {start, end};
}
