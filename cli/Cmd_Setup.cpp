// `retrograde setup`: the setup block at the start of a song (system on,
// master volume, tempo, time and key signatures).
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct SetupOptions {
    EditOptions edit;
    bool gm = false, gs = false, xg = false;
    std::optional<int> master_volume;
    std::optional<double> tempo;  // beats a minute
    std::string time;             // "3/4"
    std::string key;              // "D", "Bb", "F#"
};

constexpr long kMicrosecondsPerMinute = 60000000;
constexpr long kMaxTempo = 0xFFFFFF;

// "N/D" with D a power of two from 2 to 128: N and the power of D.
std::pair<int, int> ParseTime(const std::string& text) {
    const auto slash = text.find('/');
    const auto numbers = slash == std::string::npos
                             ? std::pair{0, 0}
                             : std::pair{ParseNumberRange(text.substr(0, slash), 1, 255).first,
                                         ParseNumberRange(text.substr(slash + 1), 2, 128).first};
    for (int power = 1; power <= 7; ++power) {
        if (numbers.second == 1 << power && numbers.first > 0) return {numbers.first, power};
    }
    throw CliUsage("--time " + text + ": N/D with D one of 2, 4, 8 ... 128, as 3/4");
}

// A key's tonic as a pitch class, through the note names ("D" is D4's class).
int ParseKey(const std::string& text) {
    if (text.empty() || text.find_first_of("0123456789-") != std::string::npos) {
        throw CliUsage("--key " + text + ": the tonic of a major key, as D, Bb or F#");
    }
    return ParseNote(text + "4") % 12;
}

// Exclusives that reset a module: GM, GS and XG system on.
bool IsSystemOn(const MidiEvent& e) {
    if (e.status != kEvSysEx) return false;
    if (e.number == kExTypeGmSystemOn) return true;
    const auto same = [&](std::initializer_list<unsigned char> bytes) {
        if (e.length != static_cast<int>(bytes.size())) return false;
        int i = 0;
        for (unsigned char b : bytes) {
            if (e.data[i++] != b) return false;
        }
        return true;
    };
    return same({0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}) ||
           same({0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7});
}

// The same kind as an event of the block: it gives way to the block's.
bool SameKind(const MidiEvent& a, const MidiEvent& b) {
    if (a.status == kEvMeta) return b.IsMeta(a.number);
    if (a.number == kExTypeMasterVolume) return b.status == kEvSysEx && b.number == a.number;
    return IsSystemOn(a) && IsSystemOn(b);
}

// The block goes first in track, at tick 0, replacing events of its kinds
// there; the end of track stays last.
void Splice(MidiTrackData& track, MidiTrackData& block) {
    for (int i = 0; i < track.event_count && track.event_table[i]->delta == 0;) {
        bool replaced = false;
        for (int j = 0; j < block.event_count && !replaced; ++j) {
            replaced = SameKind(*block.event_table[j], *track.event_table[i]);
        }
        if (replaced) {
            track.DeleteEvent(i);
        } else {
            ++i;
        }
    }
    for (int j = 0; j < block.event_count; ++j) {
        track.InsertEvent(j, kInsertBefore, new MidiEvent(block.event_table[j]));
    }
}

}  // namespace

CliCommand AddSetupCommand(CLI::App& parent) {
    auto options = std::make_shared<SetupOptions>();
    CLI::App* app = AddVerbApp(parent, "setup");
    app->footer(
        "The chosen events go to the start of the first track (or the one --track names), "
        "in this order: system on, master volume, tempo, time signature, key signature. "
        "Events of the same kind at the start give way to them; later ones stay. --key "
        "names the tonic of a major key. A format-0 song is written as format 0 again.");
    auto* gm = app->add_flag("--gm", options->gm, "General MIDI system on");
    auto* gs = app->add_flag("--gs", options->gs, "Roland GS reset");
    auto* xg = app->add_flag("--xg", options->xg, "Yamaha XG system on");
    gm->excludes(gs)->excludes(xg);
    gs->excludes(xg);
    app->add_option("--master-volume", options->master_volume, "Master volume 0-127")
        ->check(CLI::Range(0, 127));
    app->add_option("--tempo", options->tempo, "Beats (quarter notes) a minute")
        ->check(CLI::Range(4.0, 60000.0));
    app->add_option("--time", options->time, "Time signature, as 3/4 or 6/8");
    app->add_option("--key", options->key, "Major key by its tonic, as D, Bb or F#");
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                const SetupOptions& o = *options;
                if (!o.gm && !o.gs && !o.xg && !o.master_volume && !o.tempo && o.time.empty() &&
                    o.key.empty()) {
                    throw CliUsage(
                        "nothing to set: give --gm, --gs, --xg, --master-volume, "
                        "--tempo, --time or --key");
                }
                const auto time = o.time.empty() ? std::pair{0, 0} : ParseTime(o.time);
                const int key = o.key.empty() ? -1 : ParseKey(o.key);
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiTrackData block(kFormQ2);
                    if (o.gm) block.GMExclusiveOn();
                    if (o.gs) block.GSExclusiveOn();
                    if (o.xg) block.XGExclusiveOn();
                    if (o.master_volume) {
                        MidiTrackData volume(kFormQ2);
                        volume.InsertMasterVolume(*o.master_volume);
                        block.AddCopyEvent(volume.event_table[0]);
                    }
                    if (o.tempo) {
                        block.SetTempo(std::clamp<long>(
                            std::lround(kMicrosecondsPerMinute / *o.tempo), 1, kMaxTempo));
                    }
                    if (time.first > 0) block.SetTimeSign(0, time.first, time.second);
                    if (key >= 0) block.SetKeySignature(0, key);
                    if (job.tracks.empty()) throw CliFailure(job.input + ": no tracks");
                    Splice(*job.song->GetTrack(job.tracks.front()), block);
                    job.summary = std::to_string(block.event_count) + " setup events at the start";
                });
            }};
}
