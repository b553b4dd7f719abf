// The MIDI output on real ports: a JACK server of the test's own, another
// client listening or sending, the synthesizer behind "QZ".
#include <RtMidi.h>
#include <fluidsynth.h>

#include <atomic>

#include "JackServer.h"
#include "PlaybackTestSupport.h"
#include "playback/MidiDestinations.h"
#include "playback/detail/MidiSystem.h"

using namespace std::chrono_literals;

namespace {

std::atomic<int> ended{0};

int IndexOf(const std::vector<std::string>& items, const std::string& name) {
    const auto it = std::find(items.begin(), items.end(), name);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

}  // namespace

TEST(JackPorts, PlaysASongToAnotherProgramsPortAndQZTakesMessagesFromOthers) {
    if (!JackServer::Installed()) GTEST_SKIP() << "jackd is not installed";
    JackServer jack;
    ASSERT_TRUE(jack.Ready()) << "jackd did not start";
    RecordingBackend inbox;  // what another program's input port receives
    RtMidiIn listener(RtMidi::UNIX_JACK, "tester");
    listener.ignoreTypes(false, true, true);
    listener.setCallback(
        [](double, std::vector<unsigned char>* message, void* to) {
            static_cast<RecordingBackend*>(to)->Send(message->data(), int(message->size()));
        },
        &inbox);
    listener.openVirtualPort("inbox");

    const auto items = MidiDeviceList();
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0], "MIDI_MAPPER");
    const int item = IndexOf(items, "tester:inbox");
    ASSERT_GE(item, 1) << "the test's port is not listed";
    // Item k of the list is destination k - 1.
    EXPECT_EQ(MIDIGetDestinationName(MIDIGetDestination(item - 1)), "tester:inbox");

    auto song = SongFromTrack(
        96, Msg({0x00, 0xC0, 0x10,                                // program
                 0x00, 0xB0, 0x07, 0x64,                          // volume
                 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // GM on
                 0x00, 0x90, 0x3C, 0x64,                          // note on
                 0x18, 0xE1, 0x00, 0x50,                          // bend
                 0x18, 0x80, 0x3C, 0x00,                          // note off
                 0x18, 0x91, 0x40, 0x50, 0x18, 0x81, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00}));
    ended = 0;
    SetStopCallback([] { ended.fetch_add(1); }, nullptr);
    MusicPlayer.SetDestination(item - 1);
    ASSERT_EQ(song->Play(), 0);
    ASSERT_TRUE(StaticMusicPlayer::WaitFor([] { return ended.load() == 1; }, 10s));
    ASSERT_TRUE(WaitIdle());
    const std::vector<Bytes> expected{
        Msg({0xC0, 0x10}),       Msg({0xB0, 0x07, 0x64}), Msg({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
        Msg({0x90, 0x3C, 0x64}), Msg({0xE1, 0x00, 0x50}), Msg({0x80, 0x3C, 0x00}),
        Msg({0x91, 0x40, 0x50}), Msg({0x81, 0x40, 0x00}), Msg({0xB0, 0x7B, 0x00}),
        Msg({0xB1, 0x7B, 0x00})};
    // A loaded machine (the sanitizer run) may deliver the last ones late.
    StaticMusicPlayer::WaitFor([&] { return inbox.MessageBytes().size() >= expected.size(); }, 15s);
    EXPECT_EQ(inbox.MessageBytes(), expected);
    song->Stop();
    SetStopCallback(nullptr, nullptr);
    MusicPlayer.SetDestination(-1);

    // "QZ", the synthesizer's input, takes messages from other programs.
    MidiControler output(kMidiMapperIndex);
    ASSERT_NE(MidiControler::m_music, nullptr);
    RtMidiOut sender(RtMidi::UNIX_JACK, "sender");
    int qz = -1;
    for (unsigned i = 0; i < sender.getPortCount(); ++i) {
        if (sender.getPortName(i) == "client:QZ") qz = static_cast<int>(i);
    }
    ASSERT_GE(qz, 0) << "\"QZ\" is not a destination of the MIDI system";
    EXPECT_GE(IndexOf(MidiDeviceList(), "client:QZ"), 1);
    sender.openPort(static_cast<unsigned>(qz), "out");
    retrograde::detail::WaitTwoJackCycles();
    // A short exclusive (three bytes, as a channel message), program, volume.
    for (Bytes message : {Bytes{0xF0, 0x7E, 0xF7}, {0xC3, 0x28}, {0xB3, 7, 0x21}})
        sender.sendMessage(&message);
    // The synthesizer took them, in order: once channel 3's volume changed,
    // so had its program.
    EXPECT_TRUE(StaticMusicPlayer::WaitFor(
        [] {
            int value = 0;
            fluid_synth_get_cc(MidiControler::m_music, 3, 7, &value);
            return value == 0x21;
        },
        3s));
    int bank = 0, preset = 0, sfont = 0;
    fluid_synth_get_program(MidiControler::m_music, 3, &sfont, &bank, &preset);
    EXPECT_EQ(preset, 0x28);
}
