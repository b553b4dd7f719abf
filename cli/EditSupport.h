// What every editing verb of `retrograde` shares: its arguments as musicians
// write them (positions, lengths, ranges, notes, tracks, channels, lists),
// and the run itself: load, edit, save, with the format-0 rule (a format-0
// song is split into its tracks, edited and merged back), --force, --json and
// several inputs.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "midi/song/MidiF1Data.h"

// Wrong usage the parsers found: one line on stderr and exit status 2.
class CliUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Exit statuses of the editing verbs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitSalvaged = 3;
inline constexpr int kExitCheckFailed = 4;

// ---- arguments (every parser throws CliUsage naming what it read) ----

// Ticks of one measure at the start of the song (4/4 without a time signature).
int BarTicks(MidiF1Data& song);
// "1/16", "1/8." (dotted), "3/8", "2bars", "1bar" or "480t": ticks, at least 1.
int ParseLength(std::string_view text, int division, int barTicks);
// "BAR:BEAT[:TICK]" counted from 1:1 under the song's time signatures, or "480t".
int ParsePosition(std::string_view text, MidiF1Data& song);
// The span [--from, --to) in ticks; a usage error unless to comes after from.
std::pair<int, int> ParseSpan(const std::string& from, const std::string& to, MidiF1Data& song);
// "9-16" or "9": bars from 1, both ends included, as ticks [from, to).
std::pair<int, int> ParseBars(std::string_view text, MidiF1Data& song);
// "60-180" or "90": numbers low..high, both within [min, max].
std::pair<int, int> ParseNumberRange(std::string_view text, int min, int max);
// "C4" (= 60), "F#3", "Bb-1" or a number 0..127.
int ParseNote(std::string_view text);
// The name of note 0..127 as ParseNote reads it, with sharps: 61 is "C#4".
std::string NoteName(int note);
// A number from 1 to count, as musicians count: returned from 0.
int ParseIndex(std::string_view text, int count, std::string_view what);
// Comma-separated items, each through parse.
template <typename Parse>
auto ParseList(std::string_view text, Parse parse) {
    std::vector<decltype(parse(text))> items;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        items.push_back(parse(text.substr(start, comma - start)));
        if (comma == std::string_view::npos) return items;
        start = comma + 1;
    }
}

// ---- the run ----

struct EditOptions {
    std::vector<std::string> inputs;
    std::string output;  // a file, or with several inputs a folder; "-": standard output
    bool force = false;
    bool json = false;
    bool salvage = false;  // a damaged input is edited and written (exit 3), not refused
    int track = 0;         // from 1; 0: every track
    int jobs = 0;          // worker processes for several inputs; 0: one per processor
};

// What a verb works on: a song-wide edit takes no --track.
enum class EditReach { kTracks, kSong };

// INPUT..., --json, --salvage, --track unless the verb works on the whole song,
// and unless the verb only reads: -o, --force.
void AddEditOptions(CLI::App* app, EditOptions& options, bool writes,
                    EditReach reach = EditReach::kTracks);

// One song being edited: the tracks to work on and what to tell.
struct EditJob {
    std::string input;
    MidiF1Data* song = nullptr;
    std::vector<int> tracks;  // indexes from 0 of the tracks to edit
    std::string summary;      // one line for people, set by the edit
};

// Loads every input, hands it to edit, and writes the result (format 0 for a
// format-0 input, else format 1). An input the reader had to repair (it said
// so) is refused unless --salvage, and then gives exit status 3. Several
// inputs are edited by a pool of worker processes, each as a run of its own;
// one that cannot be edited is refused and the others go on, and a summary
// line ends the report. Returns the exit status.
int RunEdit(const EditOptions& options, const std::function<void(EditJob&)>& edit);
// Loads every input and hands it to check, which returns whether it passed.
// An input that cannot be read is reported and the others are still checked
// (exit status 1).
int RunCheck(const EditOptions& options, const std::function<bool(EditJob&)>& check);

// Whether track plays drums in song: channel 10, or a channel that a GS
// rhythm-part message of any track switches to drums.
bool IsDrumTrack(MidiF1Data& song, int track);
// "BAR:BEAT:TICK" of tick, counted from 1:1:0.
std::string PositionText(MidiF1Data& song, long tick);
// text as a JSON string, quotes included.
std::string JsonString(std::string_view text);
