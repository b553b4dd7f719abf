// The built-in software synthesizer: FluidSynth with a General MIDI
// SoundFont, with or without an audio output. It plays MIDI messages as the
// virtual destination "QZ" receives them and renders audio offline.
#pragma once

#include <functional>
#include <string>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;
typedef struct _fluid_audio_driver_t fluid_audio_driver_t;

namespace retrograde::detail {

// The SoundFont used when none is given: $RETROGRADE_SOUNDFONT, else the
// General MIDI SoundFont of the timgm6mb-soundfont package.
std::string DefaultSoundFontPath();

class SynthDevice {
public:
    struct Options {
        std::string soundfont;  // empty: DefaultSoundFontPath()
        bool audio = true;      // open the default audio output
        double sample_rate = 44100.0;
        // Whether a JACK server answers, asked only when the default audio
        // output fails (JACK is then tried, never started for us); empty: no.
        std::function<bool()> jack_answers;
    };

    // Never fails as a whole: without a SoundFont the synthesizer is mute,
    // without an audio device it runs silent; each case is reported once.
    explicit SynthDevice(const Options& options);
    ~SynthDevice();
    SynthDevice(const SynthDevice&) = delete;
    SynthDevice& operator=(const SynthDevice&) = delete;

    fluid_synth_t* Synth() const { return synth_; }
    bool HasSoundFont() const { return soundfont_id_ >= 0; }
    bool HasAudio() const { return driver_ != nullptr; }

    // One received message: up to 3 bytes as a channel message (missing data
    // bytes are 0), more as an exclusive message F0 ... F7.
    void Play(const unsigned char* bytes, int count);
    // Renders frames of stereo audio, interleaved left/right, into out.
    void Render(float* out, int frames);

private:
    void OpenAudio();

    Options options_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_audio_driver_t* driver_ = nullptr;
    int soundfont_id_ = -1;
};

// Plays one message on synth as SynthDevice::Play describes.
void PlayMessageOnSynth(fluid_synth_t* synth, const unsigned char* bytes, int count);

}  // namespace retrograde::detail
