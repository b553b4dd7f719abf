// `retrograde program`: a channel's instrument (program and bank) replaced.
#include <memory>
#include <string>

#include "CliSupport.h"
#include "Commands.h"
#include "EditSupport.h"

namespace {

struct ProgramOptions {
    EditOptions edit;
    std::string channel;
    int program = 1;   // as musicians count, 1-128
    std::string bank;  // "MSB:LSB"; empty: banks untouched
};

// "MSB:LSB", each 0-127.
std::pair<int, int> ParseBank(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) throw CliUsage("--bank " + text + ": MSB:LSB, as 0:0");
    const auto msb = ParseNumberRange(text.substr(0, colon), 0, 127);
    const auto lsb = ParseNumberRange(text.substr(colon + 1), 0, 127);
    if (msb.first != msb.second || lsb.first != lsb.second) {
        throw CliUsage("--bank " + text + ": MSB:LSB, as 0:0");
    }
    return {msb.first, lsb.first};
}

bool Has(const MidiTrackData& track, int status, int channel, int number) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.status == status && e.channel == channel &&
            (status != kEvControl || e.number == number)) {
            return true;
        }
    }
    return false;
}

bool HasChannel(const MidiTrackData& track, int channel) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (e.channel == channel && e.status != kEvSysEx) return true;
    }
    return false;
}

// The events of made go to tick 0 of track, after the exclusive and meta
// events there: a system on message at the start would undo a program change
// standing before it.
void InsertAtStart(MidiTrackData& track, const MidiTrackData& made) {
    int at = 0;
    while (at < track.event_count && track.event_table[at]->delta == 0 &&
           (track.event_table[at]->status == kEvSysEx ||
            (track.event_table[at]->status == kEvMeta && !track.event_table[at]->IsEndOfTrack()))) {
        ++at;
    }
    for (int i = 0; i < made.event_count; ++i) {
        track.InsertEvent(at + i, kInsertBefore, new MidiEvent(made.event_table[i]));
    }
}

}  // namespace

CliCommand AddProgramCommand(CLI::App& parent) {
    auto options = std::make_shared<ProgramOptions>();
    CLI::App* app = AddVerbApp(parent, "program");
    app->footer(
        "Every program change of the channel gets the new program (and with --bank every "
        "bank select the new bank). A channel without one gets it at the start of its "
        "first track. Programs count from 1 as General MIDI lists them (1 piano, 25 nylon "
        "guitar ...). A format-0 song is written as format 0 again.");
    app->add_option("--channel", options->channel, "The channel (1-16)")->required();
    app->add_option("--program", options->program, "The program, 1-128")
        ->required()
        ->check(CLI::Range(1, 128));
    app->add_option("--bank", options->bank, "Bank select MSB:LSB, each 0-127");
    AddEditOptions(app, options->edit, true);
    return {app, [options] {
                return RunEdit(options->edit, [&](EditJob& job) {
                    MidiF1Data& song = *job.song;
                    const int channel = ParseIndex(options->channel, 16, "--channel");
                    const int program = options->program - 1;
                    const bool bank = !options->bank.empty();
                    const auto [msb, lsb] = bank ? ParseBank(options->bank) : std::pair{0, 0};
                    MidiTrackData* first = nullptr;  // the channel's first track
                    bool programs = false, msbs = false, lsbs = false;
                    for (int n : job.tracks) {
                        MidiTrackData& track = *song.GetTrack(n);
                        if (first == nullptr && HasChannel(track, channel)) first = &track;
                        programs = programs || Has(track, kEvProgram, channel, 0);
                        msbs = msbs || Has(track, kEvControl, channel, kCcBankSelectMsb);
                        lsbs = lsbs || Has(track, kEvControl, channel, kCcBankSelectLsb);
                        track.ReplaceProgramChange(channel, program);
                        if (!bank) continue;
                        track.ReplaceControlChange(channel, kCcBankSelectMsb, msb);
                        track.ReplaceControlChange(channel, kCcBankSelectLsb, lsb);
                    }
                    if (first == nullptr && !programs) {
                        throw CliFailure(job.input + ": channel " + options->channel +
                                         " has no events");
                    }
                    // Made in order (bank MSB, bank LSB, program) and put at the start.
                    MidiTrackData made(kFormQ2);
                    if (!programs) made.InsertProgramChange(channel, program);
                    if (bank && !lsbs) made.InsertControlChange(channel, kCcBankSelectLsb, lsb);
                    if (bank && !msbs) made.InsertControlChange(channel, kCcBankSelectMsb, msb);
                    if (first != nullptr) InsertAtStart(*first, made);
                    job.summary = "channel " + options->channel + " plays program " +
                                  std::to_string(options->program) +
                                  (programs ? "" : " (program change added)");
                });
            }};
}
