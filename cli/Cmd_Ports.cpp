// `retrograde ports`: the device list as the window shows it.
#ifdef RETROGRADE_HAVE_PLAYBACK

#include <cstdio>
#include <string>

#include "Commands.h"
#include "playback/MidiDestinations.h"

CliCommand AddPortsCommand(CLI::App& parent) {
    CLI::App* app = AddVerbApp(parent, "ports");
    app->footer(
        "Item 0, MIDI_MAPPER, is the built-in synthesizer (FluidSynth behind the program's own "
        "port \"QZ\"); the others are the destinations of the MIDI system (the ALSA sequencer, "
        "else a running JACK server). `retrograde play --port N` plays on item N.");
    return {app, [] {
                const auto items = MidiDeviceList();
                for (std::size_t i = 0; i < items.size(); ++i) {
                    std::printf("%3zu  %s\n", i, items[i].c_str());
                }
                return 0;
            }};
}

#endif  // RETROGRADE_HAVE_PLAYBACK
