// The playing subcommands of `retrograde` end to end: ports, play (to its
// end and stopped by Ctrl-C) and render.
#include <unistd.h>

#include "PlaybackTestSupport.h"

using namespace std::chrono_literals;

namespace {

const std::string kRetrogradeCli = std::string(RETROGRADE_BINARY_DIR) + "/cli/retrograde";

// Runs the program without a MIDI system or audio device; with interrupt_after
// (in seconds), sends SIGINT after that time, once: without --foreground
// timeout sends it to its process group as well, and a second Ctrl-C ends the
// program at once.
// Gives standard output and error together, in out.
RunResult RunProgram(const std::string& args, const std::string& interrupt_after = "") {
    const std::string timeout =
        interrupt_after.empty()
            ? ""
            : "timeout --foreground --preserve-status -s INT " + interrupt_after + " ";
    const RunResult run = RunShell("RETROGRADE_MIDI_API=none RETROGRADE_AUDIO=none " + timeout +
                                   Quote(kRetrogradeCli) + " " + args);
    return {run.status, run.out + run.err, ""};
}

// A format-0 file: a quarter note of the flute, E5, and a rest of rest_vlq
// ticks after it.
std::string WriteSong(const TempDir& dir, const std::string& name, const Bytes& rest_vlq) {
    const Bytes body = Concat({Msg({0x00, 0xC0, 73, 0x00, 0x90, 76, 100, 0x60, 0x80, 76, 0}),
                               rest_vlq, Msg({0xFF, 0x2F, 0x00})});
    WriteBytes(dir.File(name), Concat({HeaderChunk(0, 1, 96), TrackChunk(body)}));
    return Quote(dir.File(name));
}

}  // namespace

TEST(CliPlayback, PortsPlayToTheEndOrStopOnCtrlCAndRender) {
    if (access(kRetrogradeCli.c_str(), X_OK) != 0)
        GTEST_SKIP() << kRetrogradeCli << " is not built";
    const RunResult ports = RunProgram("ports");
    EXPECT_EQ(ports.status, 0);
    EXPECT_NE(ports.out.find("  0  MIDI_MAPPER\n"), std::string::npos) << ports.out;
    EXPECT_NE(ports.out.find("No MIDI system was found"), std::string::npos);

    TempDir dir;
    const std::string song = WriteSong(dir, "short.mid", {0x00});
    const RunResult played = RunProgram("play -H " + song);
    EXPECT_EQ(played.status, 0) << played.out;
    EXPECT_NE(played.out.find("on MIDI_MAPPER"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("0:00 / 0:00  done"), std::string::npos) << played.out;

    const auto start = std::chrono::steady_clock::now();
    const RunResult stopped = RunProgram("play " + WriteSong(dir, "long.mid", {0x8F, 0x00}), "1.5");
    EXPECT_EQ(stopped.status, 130) << stopped.out;
    EXPECT_NE(stopped.out.find("stopped"), std::string::npos) << stopped.out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 8s);  // not the whole 10 s rest

    const RunResult missing = RunProgram("play --port 3 " + song);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("there is no output 3"), std::string::npos) << missing.out;

    const std::string wav = Quote(dir.File("song.wav"));
    const RunResult rendered = RunProgram("render -V " + song + " -o " + wav);
    EXPECT_EQ(rendered.status, 0) << rendered.out;
    EXPECT_NE(rendered.out.find("44.1 kHz stereo"), std::string::npos);
    const Bytes bytes = ReadBytes(dir.File("song.wav"));
    ASSERT_GT(bytes.size(), 44u + 44100u);  // the note and its fading
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");

    // An existing output is kept unless --force says otherwise.
    const RunResult refused = RunProgram("render " + song + " -o " + wav);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(ReadBytes(dir.File("song.wav")), bytes);
}
