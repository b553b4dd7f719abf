// Offline rendering through the sequencer into the synthesizer: the WAV file
// holds the song's pitches, mirrored ones included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <vector>

#include "PlaybackTestSupport.h"
#include "playback/SongRenderer.h"

namespace {

struct Wav {
    int rate = 0;
    int channels = 0;
    std::vector<float> mono;  // the channels averaged
};

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
    return v;
}

// A 16-bit PCM file with the plain 44-byte header.
Wav ReadWav(const std::string& path) {
    const Bytes b = ReadBytes(path);
    Wav wav;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" || Le(b, 34, 2) != 16) {
        return wav;
    }
    wav.channels = static_cast<int>(Le(b, 22, 2));
    wav.rate = static_cast<int>(Le(b, 24, 4));
    const std::size_t samples = std::min<std::size_t>(Le(b, 40, 4), b.size() - 44) / 2;
    for (std::size_t s = 0; wav.channels > 0 && s + wav.channels <= samples; s += wav.channels) {
        float sum = 0;
        for (int c = 0; c < wav.channels; ++c) {
            sum += static_cast<std::int16_t>(Le(b, 44 + (s + c) * 2, 2)) / 32768.0f;
        }
        wav.mono.push_back(sum / static_cast<float>(wav.channels));
    }
    return wav;
}

// The MIDI note, 36 to 108, whose pitch is loudest in a Hann window of a
// third of a second from first.
int StrongestNote(const Wav& wav, std::size_t first) {
    constexpr std::size_t n = 14700;
    int best = 0;
    double best_power = -1;
    for (int note = 36; note <= 108; ++note) {
        const double step =
            2 * std::numbers::pi * 440.0 * std::pow(2.0, (note - 69) / 12.0) / wav.rate;
        double re = 0, im = 0;
        for (std::size_t i = 0; i < n && first + i < wav.mono.size(); ++i) {
            const double x =
                wav.mono[first + i] * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n));
            re += x * std::cos(step * i);
            im += x * std::sin(step * i);
        }
        if (re * re + im * im > best_power) {
            best_power = re * re + im * im;
            best = note;
        }
    }
    return best;
}

// Over one second from first.
double Rms(const Wav& wav, std::size_t first) {
    double sum = 0;
    for (std::size_t i = first; i < first + 44100 && i < wav.mono.size(); ++i) {
        sum += wav.mono[i] * wav.mono[i];
    }
    return std::sqrt(sum / 44100);
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
    std::vector<double> progress;
    RenderOptions options;
    options.progress = [&](double done, double total) { progress.push_back(done / total); };
    ASSERT_EQ(RenderSongToWav(song.get(), dir.File("song.wav"), options), 1);

    const Wav wav = ReadWav(dir.File("song.wav"));
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.channels, 2);
    ASSERT_GE(wav.mono.size(), 2u * 44100);  // the two seconds of the note and its fade
    EXPECT_GT(Rms(wav, 13230), 0.005);
    EXPECT_EQ(StrongestNote(wav, 13230), 76);
    ASSERT_FALSE(progress.empty());
    EXPECT_DOUBLE_EQ(progress.back(), 1.0);

    // Upside down: a channel whose range is just E5 turns about C5 (72),
    // so the note becomes G#4 (68).
    MidiF0Data mirrored(song.get());
    mirrored.Q2toQ1();
    mirrored.VerticalReverse();
    mirrored.Q1toQ2();
    ASSERT_EQ(RenderSongToWav(&mirrored, dir.File("mirror.wav"), RenderOptions{}), 1);
    const Wav mirror = ReadWav(dir.File("mirror.wav"));
    EXPECT_GT(Rms(mirror, 13230), 0.005);
    EXPECT_EQ(StrongestNote(mirror, 13230), 68);
    EXPECT_EQ(song->division, 96);  // the rendered songs are left as they were
}

TEST(Render, WithoutASoundFontNothingIsWritten) {
    TempDir dir;
    CaptureSink sink;
    auto song = FluteSong();
    RenderOptions options;
    options.soundfont = dir.File("missing.sf2");
    EXPECT_EQ(RenderSongToWav(song.get(), dir.File("out.wav"), options), 0);
    EXPECT_TRUE(sink.Saw("Nothing was rendered: the synthesizer has no SoundFont."));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));  // no file, temporary or not
}
