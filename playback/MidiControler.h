/// @file
/// The MIDI output: channel and exclusive messages sent at once to one
/// endpoint, either a destination of the MIDI system (RtMidi: the ALSA
/// sequencer, else a running JACK server) or the program's own virtual
/// destination "QZ", whose messages the built-in synthesizer (FluidSynth)
/// plays. All state is process-wide: there is one output at a time.
#pragma once

#include <memory>
#include <vector>

class MidiBackend;
class RtMidiIn;
class RtMidiOut;
namespace retrograde::detail {
class SynthDevice;
}  // namespace retrograde::detail
typedef struct _fluid_synth_t fluid_synth_t;  ///< FluidSynth's synthesizer

// Error codes of MidiControler (top byte 0x07).
inline constexpr int kErrMidiOpen = 0x07000001;       ///< a destination could not be opened
inline constexpr int kErrMidiClose = 0x07000002;      ///< the output could not be closed
inline constexpr int kErrMidiProgram = 0x07000003;    ///< a program change was refused
inline constexpr int kErrMidiExclusive = 0x07000004;  ///< an exclusive message was refused
inline constexpr int kErrMidiParameter = 0x07000005;  ///< an argument out of range

// Endpoint index of the virtual destination "QZ", the built-in synthesizer.
inline constexpr int kMidiMapperIndex = -1;  ///< the destination "QZ"

/// The MIDI output of playback: the synthesizer and the RtMidi ports.
class MidiControler {
public:
    /// Names for fields of the playback state (detail/PlaybackState.h).
    static std::unique_ptr<retrograde::detail::SynthDevice>& m_graph;  ///< the synthesizer, with audio output
    static fluid_synth_t*& m_music;                ///< the synthesizer that MyReadProc plays
    /// The virtual destination "QZ"; null without a MIDI system.
    static std::unique_ptr<RtMidiIn>& m_midi_mapper;
    static int& m_endpoint;  ///< -1 "QZ", k destination k, kNoEndpoint when none opened
    static std::unique_ptr<RtMidiOut>& m_outport;  ///< "outputport", connected to m_endpoint

    static constexpr int kNoEndpoint = -2;  ///< m_endpoint when no output is open

    /// Sets up the synthesizer, the client "client" with its virtual
    /// destination "QZ" and, for index k >= 0, the port "outputport"
    /// connected to destination k. A destination that cannot be opened is
    /// reported (kErrMidiOpen) and leaves the output closed (IsOpen false).
    explicit MidiControler(int index);
    ~MidiControler();
    MidiControler(const MidiControler&) = delete;
    MidiControler& operator=(const MidiControler&) = delete;

    static bool IsOpen() { return m_endpoint != kNoEndpoint; }  ///< an output is open

    void Begin();        ///< builds the synthesizer and opens its audio output
    void End();          ///< closes the audio output and destroys the synthesizer
    void MidiGMReset();  ///< End then Begin: the synthesizer returns to its initial state

    /// Channel messages to the open output; nothing when none is open.
    void MidiThreeBytesEvent(unsigned char status, unsigned char data1, unsigned char data2);
    void MidiNoteOn(unsigned char note, unsigned char velocity, unsigned char channel);  ///< 9n
    void MidiNoteOff(unsigned char note, unsigned char channel);  ///< velocity 0, status 0x80
    void MidiProgramChange(unsigned char program, unsigned char channel);  ///< Cn
    void MidiLongEvent(int length, unsigned char* data);  ///< one message of length bytes

    /// The read procedure of "QZ": hands each message to the synthesizer.
    static void MyReadProc(double stamp, std::vector<unsigned char>* message, void* context);
    /// Plays one received message on the synthesizer: up to 3 bytes as a
    /// channel message, longer ones as an exclusive message.
    static void PlayOnSynth(const unsigned char* bytes, int count);

    int ErrorMsg(int code);  ///< the text of code to the message sink; 0

    /// Replaces the MIDI system and the synthesizer by backend for every
    /// output made afterwards (null restores them). Not owned.
    static void UseBackend(MidiBackend* backend);

private:
    void Open(int index);
    void Close();  // destroys the port, "QZ" and the synthesizer
    static void Send(const unsigned char* bytes, int count);
    static MidiBackend*& m_backend;
};
