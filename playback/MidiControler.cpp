// The MIDI output: set-up and tear-down of the synthesizer, the virtual
// destination "QZ" and the output port, and the send operations.
#include "playback/MidiControler.h"

#include <RtMidi.h>

#include <array>
#include <atomic>
#include <exception>
#include <memory>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"
#include "playback/MidiBackend.h"
#include "playback/MidiDestinations.h"
#include "playback/detail/MidiSystem.h"
#include "playback/detail/PlaybackState.h"
#include "playback/detail/SynthDevice.h"

using retrograde::detail::playback_state;

using retrograde::detail::MidiSystemKind;
using retrograde::detail::NewMidiIn;
using retrograde::detail::NewMidiOut;
using retrograde::detail::PlayMessageOnSynth;
using retrograde::detail::ProbeMidiSystem;
using retrograde::detail::ReportNoMidiSystem;
using retrograde::detail::SynthDevice;
using retrograde::detail::WaitTwoJackCycles;

static_assert(MidiControler::kNoEndpoint == retrograde::detail::kNoOutputEndpoint);

std::unique_ptr<SynthDevice>& MidiControler::m_graph = playback_state.synth;
fluid_synth_t*& MidiControler::m_music = playback_state.music;
std::unique_ptr<RtMidiIn>& MidiControler::m_midi_mapper = playback_state.mapper;
int& MidiControler::m_endpoint = playback_state.endpoint;
std::unique_ptr<RtMidiOut>& MidiControler::m_outport = playback_state.outport;
MidiBackend*& MidiControler::m_backend = playback_state.backend;

void MidiControler::UseBackend(MidiBackend* backend) {
    // Taken over into m_backend by each construction.
    playback_state.chosen_backend.store(backend);
}

MidiControler::MidiControler(int index) {
    m_endpoint = kNoEndpoint;
    m_backend = playback_state.chosen_backend.load();
    if (m_backend) {
        m_endpoint = index;
        return;
    }
    try {
        Open(index);
    } catch (const std::exception&) {
        // Out of memory half-way: whatever was made goes, the output stays closed.
        Close();
        ErrorMsg(kErrMidiOpen);
    }
}

void MidiControler::Open(int index) {
    Begin();
    // The destination is looked up before "QZ" exists, so that index k
    // means the k-th entry of the list the user chose from.
    const MIDIEndpointRef destination = index >= 0 ? MIDIGetDestination(index) : MIDIEndpointRef{};
    const MidiSystemKind api = ProbeMidiSystem();
    if (api == MidiSystemKind::None) {
        ReportNoMidiSystem();
    } else {
        auto mapper = NewMidiIn(api);
        if (mapper) {
            try {
                mapper->ignoreTypes(false, true, true);  // exclusive messages reach the synthesizer
                mapper->setCallback(&MidiControler::MyReadProc, nullptr);
                mapper->openVirtualPort("QZ");
                m_midi_mapper = std::move(mapper);
            } catch (const std::exception&) {
            }
        }
    }
    if (index < 0) {
        m_endpoint = kMidiMapperIndex;
        return;
    }
    auto out = NewMidiOut(api);
    if (out && destination) {
        try {
            const unsigned count = out->getPortCount();
            for (unsigned i = 0; i < count; ++i) {
                if (out->getPortName(i) != destination.name) continue;
                out->openPort(i, "outputport");
                if (out->isPortOpen()) {
                    if (api == MidiSystemKind::Jack)
                        WaitTwoJackCycles();  // else the first messages are lost
                    m_outport = std::move(out);
                    m_endpoint = index;
                }
                break;
            }
        } catch (const std::exception&) {
        }
    }
    if (!m_outport) ErrorMsg(kErrMidiOpen);
}

MidiControler::~MidiControler() {
    if (m_backend) {
        m_backend = nullptr;
        m_endpoint = kNoEndpoint;
        return;
    }
    Close();
}

void MidiControler::Close() {
    // The port and the virtual destination go first: no message may reach
    // the synthesizer while it is being destroyed.
    if (m_outport && m_outport->getCurrentApi() == RtMidi::UNIX_JACK)
        WaitTwoJackCycles();  // the last messages leave
    m_outport.reset();
    m_midi_mapper.reset();
    m_endpoint = kNoEndpoint;
    End();
}

void MidiControler::Begin() {
    if (m_graph) return;
    try {
        SynthDevice::Options options;
        options.jack_answers = [] { return ProbeMidiSystem() == MidiSystemKind::Jack; };
        m_graph = std::make_unique<SynthDevice>(options);
        m_music = m_graph->Synth();
    } catch (const std::exception&) {
        ErrorMsg(kErrMidiOpen);  // no synthesizer: "QZ" stays silent
    }
}

void MidiControler::End() {
    m_music = nullptr;
    m_graph.reset();
}

void MidiControler::MidiGMReset() {
    if (m_backend) return;
    End();
    Begin();
}

void MidiControler::Send(const unsigned char* bytes, int count) {
    if (count <= 0) return;
    if (m_backend) {
        m_backend->Send(bytes, count);
    } else if (m_endpoint == kMidiMapperIndex) {
        // A message to our own "QZ" would come straight back to MyReadProc
        // from the MIDI system; it is handed over here without the detour,
        // which also serves the case of no MIDI system at all.
        PlayOnSynth(bytes, count);
    } else if (m_outport) {
        try {
            m_outport->sendMessage(bytes, static_cast<size_t>(count));
        } catch (const std::exception&) {
        }
    }
}

void MidiControler::MidiThreeBytesEvent(unsigned char status, unsigned char data1,
                                        unsigned char data2) {
    const unsigned char message[3] = {status, data1, data2};
    Send(message, 3);
}

void MidiControler::MidiNoteOn(unsigned char note, unsigned char velocity, unsigned char channel) {
    MidiThreeBytesEvent(static_cast<unsigned char>(0x90 + channel), note, velocity);
}

void MidiControler::MidiNoteOff(unsigned char note, unsigned char channel) {
    MidiThreeBytesEvent(static_cast<unsigned char>(0x80 + channel), note, 0);
}

void MidiControler::MidiProgramChange(unsigned char program, unsigned char channel) {
    const unsigned char message[2] = {static_cast<unsigned char>(0xC0 + channel), program};
    Send(message, 2);
}

void MidiControler::MidiLongEvent(int length, unsigned char* data) {
    if (!data) return;
    Send(data, length);
}

void MidiControler::MyReadProc(double, std::vector<unsigned char>* message, void*) {
    if (!message) return;
    PlayOnSynth(message->data(), static_cast<int>(message->size()));
}

void MidiControler::PlayOnSynth(const unsigned char* bytes, int count) {
    PlayMessageOnSynth(m_music, bytes, count);
}

namespace {

using retrograde::detail::MessageText;

constexpr std::array kControlerTexts = {
    MessageText{kErrMidiOpen, "Midiデバイスのオープンに失敗しました。"},
    MessageText{kErrMidiClose, "Midiデバイスのクローズに失敗しました。"},
    MessageText{kErrMidiProgram, "Midiデバイスで音色を変更できませんでした。"},
    MessageText{kErrMidiExclusive, "Midiデバイスでエクスクルーシブを送れませんでした。"},
    MessageText{kErrMidiParameter, "Midiのパラメータに誤りがあります。"},
};
constexpr retrograde::detail::MessageTable kControlerMessages{"MidiControler", kControlerTexts};

}  // namespace

int MidiControler::ErrorMsg(int code) {
    return ShowError(kControlerMessages, code);
}
