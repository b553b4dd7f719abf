// FluidSynth as the built-in synthesizer: SoundFont, audio output, message
// dispatch and offline rendering.
#include "playback/detail/SynthDevice.h"

#include <fluidsynth.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <string_view>

#include "General/GeneralMac.h"
#include "playback/detail/PlatformLog.h"

namespace retrograde::detail {

namespace {

constexpr std::string_view kSoundFontPackagePath = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// Each failure of the platform is told once per process, not at every play.
void ReportOnce(std::atomic<bool>& told, const std::string& text) {
    if (!told.exchange(true)) GneWriteErrorMsg(text.c_str());
}
std::atomic<bool> told_soundfont{false};
std::atomic<bool> told_audio{false};

// Audio outputs to try, in order: FluidSynth's default, then a sound server.
// JACK only when a server answers, so that no server is started for us.
std::array<const char*, 2> kFallbackDrivers = {"pulseaudio", "jack"};

}  // namespace

std::string DefaultSoundFontPath() {
    if (const char* chosen = std::getenv("RETROGRADE_SOUNDFONT"); chosen && *chosen) return chosen;
    return std::string(kSoundFontPackagePath);
}

SynthDevice::SynthDevice(const Options& options) : options_(options) {
    QuietPlatformLibraries();
    settings_ = new_fluid_settings();
    if (!settings_) return;
    fluid_settings_setnum(settings_, "synth.sample-rate", options.sample_rate);
    // Messages arrive from the timer and from the MIDI system's thread.
    fluid_settings_setint(settings_, "synth.threadsafe-api", 1);
    synth_ = new_fluid_synth(settings_);
    if (!synth_) {
        ReportOnce(told_audio,
                   "The built-in synthesizer could not be created: " + LastSynthError());
        return;
    }
    const std::string soundfont =
        options.soundfont.empty() ? DefaultSoundFontPath() : options.soundfont;
    soundfont_id_ = fluid_synth_sfload(synth_, soundfont.c_str(), 1);
    if (soundfont_id_ < 0) {
        soundfont_id_ = -1;
        ReportOnce(told_soundfont, "The SoundFont \"" + soundfont +
                                       "\" could not be loaded: the built-in synthesizer is "
                                       "mute. Set RETROGRADE_SOUNDFONT to a General MIDI "
                                       "SoundFont (.sf2).");
    }
    if (options_.audio) OpenAudio();
}

void SynthDevice::OpenAudio() {
    const char* wanted = std::getenv("RETROGRADE_AUDIO");
    if (wanted && std::string_view(wanted) == "none") return;  // silent on request
    if (wanted && *wanted) fluid_settings_setstr(settings_, "audio.driver", wanted);
    driver_ = new_fluid_audio_driver(settings_, synth_);
    if (!driver_ && !(wanted && *wanted)) {
        for (const char* name : kFallbackDrivers) {
            if (std::string_view(name) == "jack" &&
                !(options_.jack_answers && options_.jack_answers())) {
                continue;
            }
            fluid_settings_setstr(settings_, "audio.driver", name);
            driver_ = new_fluid_audio_driver(settings_, synth_);
            if (driver_) break;
        }
    }
    if (!driver_) {
        ReportOnce(told_audio,
                   "No audio device could be opened: the built-in synthesizer runs silent. "
                   "Use \"retrograde render\" to hear a song as a WAV file.");
    }
}

SynthDevice::~SynthDevice() {
    if (driver_) delete_fluid_audio_driver(driver_);
    if (synth_) delete_fluid_synth(synth_);
    if (settings_) delete_fluid_settings(settings_);
}

void SynthDevice::Play(const unsigned char* bytes, int count) {
    PlayMessageOnSynth(synth_, bytes, count);
}

void SynthDevice::Render(float* out, int frames) {
    if (!synth_) {
        std::fill(out, out + 2 * frames, 0.0f);
        return;
    }
    fluid_synth_write_float(synth_, frames, out, 0, 2, out, 1, 2);
}

void PlayMessageOnSynth(fluid_synth_t* synth, const unsigned char* bytes, int count) {
    if (!synth || !bytes || count <= 0) return;
    if (count > 3) {
        // FluidSynth takes the message without its F0 and F7.
        if (bytes[0] != 0xF0 || bytes[count - 1] != 0xF7) return;
        fluid_synth_sysex(synth, reinterpret_cast<const char*>(bytes + 1), count - 2, nullptr,
                          nullptr, nullptr, 0);
        return;
    }
    const int status = bytes[0];
    const int d1 = count > 1 ? bytes[1] & 0x7F : 0;
    const int d2 = count > 2 ? bytes[2] & 0x7F : 0;
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
        case 0x80:
            fluid_synth_noteoff(synth, channel, d1);
            break;
        case 0x90:
            // A note-on with velocity 0 is a note-off; FluidSynth knows that.
            fluid_synth_noteon(synth, channel, d1, d2);
            break;
        case 0xA0:
            fluid_synth_key_pressure(synth, channel, d1, d2);
            break;
        case 0xB0:
            fluid_synth_cc(synth, channel, d1, d2);
            break;
        case 0xC0:
            fluid_synth_program_change(synth, channel, d1);
            break;
        case 0xD0:
            fluid_synth_channel_pressure(synth, channel, d1);
            break;
        case 0xE0:
            fluid_synth_pitch_bend(synth, channel, d2 << 7 | d1);
            break;
        default:
            // System messages of three bytes or fewer have nothing to play.
            break;
    }
}

}  // namespace retrograde::detail
