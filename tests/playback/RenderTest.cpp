// Offline rendering through the sequencer into the synthesizer: the WAV file
// holds the song's pitches, mirrored ones included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <utility>
#include <vector>

#include "PlaybackTestSupport.h"
#include "playback/SongRenderer.h"

namespace {

struct Wav {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<float> mono;  // the channels averaged
};

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
    return v;
}

Wav ReadWav(const std::string& path) {
    const Bytes b = ReadBytes(path);
    Wav wav;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt " ||
        std::string(b.begin() + 36, b.begin() + 40) != "data") {
        return wav;
    }
    wav.channels = static_cast<int>(Le(b, 22, 2));
    wav.rate = static_cast<int>(Le(b, 24, 4));
    wav.bits = static_cast<int>(Le(b, 34, 2));
    const std::size_t data = Le(b, 40, 4);
    if (wav.channels < 1 || wav.bits != 16 || 44 + data > b.size()) return wav;
    const std::size_t frames = data / (2 * static_cast<std::size_t>(wav.channels));
    for (std::size_t f = 0; f < frames; ++f) {
        float sum = 0;
        for (int c = 0; c < wav.channels; ++c) {
            const std::size_t at = 44 + (f * static_cast<std::size_t>(wav.channels) + c) * 2;
            sum += static_cast<std::int16_t>(Le(b, at, 2)) / 32768.0f;
        }
        wav.mono.push_back(sum / static_cast<float>(wav.channels));
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

double Rms(const Wav& wav, std::size_t first, std::size_t count) {
    double sum = 0;
    for (std::size_t i = first; i < first + count && i < wav.mono.size(); ++i) {
        sum += wav.mono[i] * wav.mono[i];
    }
    return std::sqrt(sum / static_cast<double>(count));
}

double NoteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A flute (program 73) playing E5 (note 76) for two seconds at 120 bpm.
std::unique_ptr<MidiF0Data> FluteSong() {
    return SongFromTrack(96, Msg({0x00, 0xC0, 73, 0x00, 0x90, 76, 100, 0x83, 0x00, 0x80, 76, 0x00,
                                  0x00, 0xFF, 0x2F, 0x00}));
}

}  // namespace

TEST(Render, WritesTheSongsPitchAndItsVerticalMirror) {
    TempDir dir;
    auto song = FluteSong();
    ASSERT_EQ(song->form, kFormQ2);
    std::vector<double> progress;
    RenderOptions options;
    options.progress = [&](double done, double total) { progress.push_back(done / total); };
    ASSERT_EQ(RenderSongToWav(song.get(), dir.File("song.wav"), options), 1);

    const Wav wav = ReadWav(dir.File("song.wav"));
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.channels, 2);
    ASSERT_GE(wav.mono.size(), 2u * 44100);  // the two seconds of the note and its fade
    EXPECT_GT(Rms(wav, 13230, 44100), 0.005);
    EXPECT_NEAR(StrongestPartial(wav, 13230), NoteHz(76), NoteHz(76) * 0.01);
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
    const Wav mirror = ReadWav(dir.File("mirror.wav"));
    EXPECT_GT(Rms(mirror, 13230, 44100), 0.005);
    EXPECT_NEAR(StrongestPartial(mirror, 13230), NoteHz(68), NoteHz(68) * 0.01);
    EXPECT_EQ(song->division, 96);  // the rendered songs are left as they were
}

TEST(Render, WithoutASoundFontNothingIsWritten) {
    TempDir dir;
    CaptureSink sink;
    auto song = FluteSong();
    RenderOptions options;
    options.soundfont = dir.File("missing.sf2");
    EXPECT_EQ(RenderSongToWav(song.get(), dir.File("out.wav"), options), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav")));
    EXPECT_TRUE(sink.Saw("Nothing was rendered: the synthesizer has no SoundFont."));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              0);  // no temporary file left behind
}
