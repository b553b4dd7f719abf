// Offline rendering through the sequencer into the synthesizer: the WAV file
// holds the song's pitches, mirrored ones included.
#include <cmath>
#include <filesystem>
#include <numbers>
#include <utility>

#include "PlaybackTestSupport.h"
#include "playback/SongRenderer.h"

namespace {

struct Wav {
    int rate = 0;
    int channels = 0;
    std::vector<float> mono;  // the channels averaged
};

// A 16-bit PCM file with the plain 44-byte header; nothing read from another.
Wav ReadWav(const std::string& path) {
    const Bytes b = ReadBytes(path);
    const auto le = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
        return v;
    };
    Wav wav;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt " ||
        std::string(b.begin() + 36, b.begin() + 40) != "data" || le(34, 2) != 16 || le(22, 2) < 1 ||
        44 + le(40, 4) > b.size()) {
        return wav;
    }
    wav.channels = static_cast<int>(le(22, 2));
    wav.rate = static_cast<int>(le(24, 4));
    const std::size_t channels = static_cast<std::size_t>(wav.channels);
    for (std::size_t at = 44; at + 2 * channels <= 44 + le(40, 4); at += 2 * channels) {
        float sum = 0;
        for (std::size_t c = 0; c < channels; ++c)
            sum += static_cast<std::int16_t>(le(at + 2 * c, 2)) / 32768.0f;
        wav.mono.push_back(sum / static_cast<float>(channels));
    }
    return wav;
}

// The frequency of the strongest partial between 100 Hz and 2 kHz (1 Hz
// steps, Goertzel's filter) in the Hann window of 32768 samples at first.
double StrongestPartial(const Wav& wav, std::size_t first) {
    std::vector<double> x(32768);
    for (std::size_t i = 0; i < x.size() && first + i < wav.mono.size(); ++i)
        x[i] = wav.mono[first + i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / 32767));
    std::pair<double, double> best{0, 0};  // power, frequency
    for (double hz = 100; hz < 2000; hz += 1) {
        const double c = 2 * std::cos(2 * std::numbers::pi * hz / wav.rate);
        double s1 = 0, s2 = 0;
        for (const double v : x) s2 = std::exchange(s1, v + c * s1 - s2);
        best = std::max(best, {s1 * s1 + s2 * s2 - c * s1 * s2, hz});
    }
    return best.second;
}

// The file sounds a quarter second in, at the note's pitch within 1 %.
void ExpectSounds(const std::string& path, int note) {
    const Wav wav = ReadWav(path);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.channels, 2);
    ASSERT_GE(wav.mono.size(), 2u * 44100);  // the two seconds of the note and its fade
    double power = 0;
    for (std::size_t i = 13230; i < 13230 + 44100; ++i) power += wav.mono[i] * wav.mono[i];
    EXPECT_GT(std::sqrt(power / 44100), 0.005);
    const double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0);
    EXPECT_NEAR(StrongestPartial(wav, 13230), hz, hz * 0.01);
}

// A flute (program 73) playing E5 (note 76) for two seconds at 120 bpm.
std::unique_ptr<MidiF0Data> FluteSong() {
    return SongFromTrack(96, Msg({0x00, 0xC0, 73, 0x00, 0x90, 76, 100, 0x83, 0x00, 0x80, 76, 0x00,
                                  0x00, 0xFF, 0x2F, 0x00}));
}

}  // namespace

TEST(Render, WritesTheSongsPitchAndItsVerticalMirrorAndNothingWithoutASoundFont) {
    TempDir dir;
    auto song = FluteSong();
    ASSERT_EQ(song->form, kFormQ2);
    std::vector<double> progress;
    RenderOptions options;
    options.progress = [&](double done, double total) { progress.push_back(done / total); };
    ASSERT_EQ(RenderSongToWav(song.get(), dir.File("song.wav"), options), 1);

    ExpectSounds(dir.File("song.wav"), 76);
    ASSERT_FALSE(progress.empty());
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    // Upside down: a channel whose range is just E5 turns about C5 (72),
    // so the note becomes G#4 (68).
    MidiF0Data mirrored(song.get());
    mirrored.Q2toQ1();
    mirrored.VerticalReverse();
    mirrored.Q1toQ2();
    ASSERT_EQ(RenderSongToWav(&mirrored, dir.File("mirror.wav"), RenderOptions{}), 1);
    ExpectSounds(dir.File("mirror.wav"), 68);
    EXPECT_EQ(song->division, 96);  // the rendered songs are left as they were

    // Without a SoundFont nothing is written, and no temporary file is left.
    TempDir empty;
    CaptureSink sink;
    options.soundfont = dir.File("missing.sf2");
    EXPECT_EQ(RenderSongToWav(song.get(), empty.File("out.wav"), options), 0);
    EXPECT_TRUE(sink.Saw("Nothing was rendered: the synthesizer has no SoundFont."));
    EXPECT_TRUE(std::filesystem::is_empty(empty.Path()));  // nor a temporary file
}
