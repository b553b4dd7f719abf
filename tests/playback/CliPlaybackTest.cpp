// The playing subcommands of `retrograde` end to end: play (to its end and
// stopped by Ctrl-C) and render.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "PlaybackTestSupport.h"

using namespace std::chrono_literals;

namespace {

const std::string kProgram = std::string(RETROGRADE_BINARY_DIR) + "/cli/retrograde";

struct Outcome {
    int status = -1;     // exit status, or 128 + signal
    std::string output;  // standard output and error together
};

// Runs the program without a MIDI system or audio device, with a Ctrl-C
// (SIGINT) after interrupt_after seconds.
Outcome RunProgram(const std::string& args, double interrupt_after = 60) {
    const std::string command =
        "RETROGRADE_MIDI_API=none RETROGRADE_AUDIO=none timeout --preserve-status -s INT " +
        std::to_string(interrupt_after) + " '" + kProgram + "' " + args + " 2>&1";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        outcome.output.append(buffer, n);
    const int status = pipe ? pclose(pipe) : -1;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

// A format-0 file: a quarter note of the flute, E5, then with long_rest 10 s
// (1920 ticks) of silence.
std::string WriteSong(const TempDir& dir, bool long_rest) {
    const Bytes body =
        Concat({Msg({0x00, 0xC0, 73, 0x00, 0x90, 76, 100, 0x60, 0x80, 76, 0}),
                long_rest ? Msg({0x8F, 0x00}) : Msg({0x00}), Msg({0xFF, 0x2F, 0x00})});
    const std::string path = dir.File(long_rest ? "long.mid" : "short.mid");
    WriteBytes(path, Concat({HeaderChunk(0, 1, 96), TrackChunk(body)}));
    return path;
}

#define REQUIRE_PROGRAM() \
    if (access(kProgram.c_str(), X_OK) != 0) GTEST_SKIP() << kProgram << " is not built"

}  // namespace

TEST(CliPlayback, PlaysToTheEndOrStopsOnCtrlC) {
    REQUIRE_PROGRAM();
    TempDir dir;
    const Outcome played = RunProgram("play -H " + WriteSong(dir, false));
    EXPECT_EQ(played.status, 0) << played.output;
    EXPECT_NE(played.output.find("on MIDI_MAPPER"), std::string::npos) << played.output;
    EXPECT_NE(played.output.find("0:00 / 0:00  done"), std::string::npos) << played.output;

    const auto start = std::chrono::steady_clock::now();
    const Outcome stopped = RunProgram("play " + WriteSong(dir, true), 1.5);
    EXPECT_EQ(stopped.status, 130) << stopped.output;
    EXPECT_NE(stopped.output.find("stopped"), std::string::npos) << stopped.output;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);  // not the whole 10 s rest
}

TEST(CliPlayback, RendersAWavFile) {
    REQUIRE_PROGRAM();
    TempDir dir;
    const std::string song = WriteSong(dir, false);
    const std::string wav = dir.File("song.wav");
    const Outcome rendered = RunProgram("render -V " + song + " -o " + wav);
    EXPECT_EQ(rendered.status, 0) << rendered.output;
    const Bytes bytes = ReadBytes(wav);
    ASSERT_GT(bytes.size(), 44u + 44100u);  // the note and its fading
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");

    // An existing output is kept unless --force says otherwise.
    const Outcome refused = RunProgram("render " + song + " -o " + wav);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(ReadBytes(wav), bytes);
}
