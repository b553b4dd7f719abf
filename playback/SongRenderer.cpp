// Offline rendering: the sequencer on a virtual clock, the synthesizer
// rendering the audio between one event and the next.
#include "playback/SongRenderer.h"

#include <fluidsynth.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "playback/MidiBackend.h"
#include "playback/MidiControler.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"
#include "playback/VirtualPlayTimer.h"
#include "playback/detail/SynthDevice.h"
#include "playback/detail/WavWriter.h"

using retrograde::detail::SynthDevice;
using retrograde::detail::WavWriter;

namespace {

constexpr int kBlockFrames = 4096;

class SynthBackend final : public MidiBackend {
public:
    explicit SynthBackend(SynthDevice& synth) : synth_(synth) {}
    void Send(const unsigned char* bytes, int count) override { synth_.Play(bytes, count); }

private:
    SynthDevice& synth_;
};

// Puts the sequencer on the virtual clock and the synthesizer for one
// rendering, and back afterwards.
class RenderRouting {
public:
    RenderRouting(MidiBackend* backend, PlayTimer* timer) {
        MidiControler::UseBackend(backend);
        MidiPlayer::UseTimer(timer);
    }
    ~RenderRouting() {
        MidiControler::UseBackend(nullptr);
        MidiPlayer::UseTimer(nullptr);
    }
    RenderRouting(const RenderRouting&) = delete;
    RenderRouting& operator=(const RenderRouting&) = delete;
};

class Rendering {
public:
    Rendering(SynthDevice& synth, WavWriter& wav, const RenderOptions& options, double total)
        : synth_(synth),
          wav_(wav),
          options_(options),
          total_(total),
          block_(static_cast<std::size_t>(kBlockFrames) * 2) {}

    // Renders audio up to the frame where micros falls.
    void RenderTo(std::int64_t micros) {
        const std::int64_t target = micros * options_.sample_rate / 1000000;
        while (frames_ < target) {
            const int n = static_cast<int>(std::min<std::int64_t>(kBlockFrames, target - frames_));
            RenderBlock(n);
        }
    }
    // Renders the fading notes after the end, until silence or the tail's end.
    void RenderTail() {
        const auto limit =
            frames_ + static_cast<std::int64_t>(options_.tail_seconds * options_.sample_rate);
        while (frames_ < limit && fluid_synth_get_active_voice_count(synth_.Synth()) > 0) {
            RenderBlock(static_cast<int>(std::min<std::int64_t>(kBlockFrames, limit - frames_)));
        }
        // The end: all of it done, however long the fading took.
        if (options_.progress) options_.progress(Seconds(), Seconds());
    }

private:
    void RenderBlock(int frames) {
        synth_.Render(block_.data(), frames);
        wav_.Write(block_.data(), frames);
        frames_ += frames;
        if (options_.progress && ++blocks_ % 8 == 0) {
            options_.progress(std::min(Seconds(), total_), total_);
        }
    }
    double Seconds() const { return static_cast<double>(frames_) / options_.sample_rate; }

    SynthDevice& synth_;
    WavWriter& wav_;
    const RenderOptions& options_;
    double total_;
    std::vector<float> block_;
    std::int64_t frames_ = 0;
    int blocks_ = 0;
};

int Render(MidiF0Data* song, const std::string& path, const RenderOptions& options) {
    if (!song || options.sample_rate <= 0) return 0;
    if (MusicPlayer.idle.load() == 0 || MusicPlayer.IsPlayerExist()) {
        GneWriteErrorMsg("A song is playing: it must stop before another one is rendered.");
        return 0;
    }
    std::unique_ptr<MidiF0Data> copy = MakePlayCopy(song);
    if (copy->form != kFormQ1) return 0;

    SynthDevice::Options synth_options;
    synth_options.soundfont = options.soundfont;
    synth_options.audio = false;
    synth_options.sample_rate = options.sample_rate;
    SynthDevice synth(synth_options);
    if (!synth.Synth() || !synth.HasSoundFont()) {
        GneWriteErrorMsg("Nothing was rendered: the synthesizer has no SoundFont.");
        return 0;
    }
    WavWriter wav(path, options.sample_rate, 2);
    if (!wav.Ok()) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }

    SynthBackend backend(synth);
    VirtualPlayTimer timer;
    RenderRouting routing(&backend, &timer);
    const double total =
        static_cast<double>(MidiPlayer::GetPlayMicros(copy.get())) / 1e6 + options.tail_seconds;
    Rendering rendering(synth, wav, options, total);
    {
        MidiPlayer player(copy.get(), kMidiMapperIndex);
        if (!MidiPlayer::MidiCtrl) return 0;
        while (MidiPlayer::Runing.load() == 1) {
            const auto due = timer.NextDue();
            if (!due) break;
            rendering.RenderTo(due->count());
            timer.FireNext();
        }
        // The player goes here and silences what still sounds.
    }
    rendering.RenderTail();
    if (!wav.Finish()) {
        GneErrorMsg(kGneErrOpenFile);
        return 0;
    }
    return 1;
}

}  // namespace

int RenderSongToWav(MidiF0Data* song, const std::string& path, const RenderOptions& options) {
    try {
        return Render(song, path, options);
    } catch (const std::exception&) {
        GneWriteErrorMsg("The song could not be rendered: out of memory.");
        return 0;
    }
}
