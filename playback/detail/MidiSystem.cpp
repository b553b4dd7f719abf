// Finding and opening the MIDI system: the ALSA sequencer first, else a
// running JACK server; RETROGRADE_MIDI_API=alsa|jack|none overrides the
// choice (the tests use it to reach their own JACK server).
#include "playback/detail/MidiSystem.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <semaphore>
#include <string_view>

#include "General/GeneralMac.h"
#include "playback/detail/PlatformLog.h"

namespace retrograde::detail {

namespace {

constexpr const char* kClientName = "client";

bool AlsaSequencerAnswers() {
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
    snd_seq_t* handle = nullptr;
    if (snd_seq_open(&handle, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0) return false;
    snd_seq_close(handle);
    return true;
}

bool JackServerAnswers() {
    jack_status_t status{};
    jack_client_t* client = jack_client_open("retrograde-probe", JackNoStartServer, &status);
    if (!client) return false;
    jack_client_close(client);
    return true;
}

RtMidi::Api ToRtMidi(MidiSystemKind api) {
    return api == MidiSystemKind::Alsa ? RtMidi::LINUX_ALSA : RtMidi::UNIX_JACK;
}

// RtMidi prints warnings to stderr unless a callback takes them; the
// caller sees failures through the results instead.
void IgnoreRtMidiError(RtMidiError::Type, const std::string&, void*) {}

template <typename Port>
std::unique_ptr<Port> NewPort(MidiSystemKind api) {
    if (api == MidiSystemKind::None) return nullptr;
    QuietPlatformLibraries();
    try {
        auto port = std::make_unique<Port>(ToRtMidi(api), kClientName);
        port->setErrorCallback(IgnoreRtMidiError, nullptr);
        return port;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::atomic<bool> told_no_system{false};

}  // namespace

MidiSystemKind ProbeMidiSystem() {
    QuietPlatformLibraries();
    if (const char* forced = std::getenv("RETROGRADE_MIDI_API"); forced && *forced) {
        const std::string_view name(forced);
        if (name == "alsa")
            return AlsaSequencerAnswers() ? MidiSystemKind::Alsa : MidiSystemKind::None;
        if (name == "jack")
            return JackServerAnswers() ? MidiSystemKind::Jack : MidiSystemKind::None;
        if (name == "none") return MidiSystemKind::None;
    }
    if (AlsaSequencerAnswers()) return MidiSystemKind::Alsa;
    if (JackServerAnswers()) return MidiSystemKind::Jack;
    return MidiSystemKind::None;
}

std::unique_ptr<RtMidiOut> NewMidiOut(MidiSystemKind api) {
    return NewPort<RtMidiOut>(api);
}
std::unique_ptr<RtMidiIn> NewMidiIn(MidiSystemKind api) {
    return NewPort<RtMidiIn>(api);
}

std::vector<std::string> ListDestinations(MidiSystemKind api) {
    std::vector<std::string> names;
    auto out = NewMidiOut(api);
    if (!out) return names;
    try {
        const unsigned count = out->getPortCount();
        for (unsigned i = 0; i < count; ++i) names.push_back(out->getPortName(i));
    } catch (const std::exception&) {
        names.clear();
    }
    return names;
}

void WaitTwoJackCycles() {
    struct Cycles {
        std::atomic<int> count{0};
        std::binary_semaphore second{0};
    } cycles;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("retrograde-sync", JackNoStartServer, &status);
    if (!client) return;
    // Our client joins the graph after the connection was made, so by its
    // second cycle the server runs the graph that holds the connection, and
    // every other client has had a cycle to send what it held.
    jack_set_process_callback(
        client,
        [](jack_nframes_t, void* arg) {
            auto& seen = *static_cast<Cycles*>(arg);
            if (seen.count.fetch_add(1) == 1) seen.second.release();
            return 0;
        },
        &cycles);
    if (jack_activate(client) == 0) {
        (void)cycles.second.try_acquire_for(std::chrono::seconds(2));
        jack_deactivate(client);
    }
    jack_client_close(client);
}

void ReportNoMidiSystem() {
    if (told_no_system.exchange(true)) return;
    GneWriteErrorMsg(
        "No MIDI system was found (no ALSA sequencer, no running JACK server): the device "
        "list holds only MIDI_MAPPER and the built-in synthesizer is played directly.");
}

}  // namespace retrograde::detail
