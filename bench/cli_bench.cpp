// Whole runs of the `retrograde` program, as a user waits for them: the
// start-up alone (--help), one large song mirrored both ways (the 255 KiB
// format-0 file with running status that song_bench makes), and a folder of
// 1,000 real songs mirrored by the worker pool.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Runs the program itself, without a shell in between (a shell alone takes
// about as long as the program's start-up): arguments are split at spaces,
// output goes to /dev/null. Returns the exit status, or -1.
int Run(const std::string& arguments) {
    std::vector<std::string> words = {RETROGRADE_CLI};
    for (std::size_t start = 0; start < arguments.size();) {
        const std::size_t end = std::min(arguments.find(' ', start), arguments.size());
        if (end > start) words.push_back(arguments.substr(start, end - start));
        start = end + 1;
    }
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&quiet, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    if (failed != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

void Help(benchmark::State& state) {
    for (auto _ : state) {
        if (Run("--help") != 0) state.SkipWithError("--help failed");
    }
}

void MirrorLargeSong(benchmark::State& state) {
    const fs::path song = fs::temp_directory_path() / "retrograde-bench-v2-255k-f2.mid";
    if (!fs::exists(song)) return state.SkipWithError("run song_bench first: it makes the file");
    const fs::path out = fs::temp_directory_path() / "retrograde-cli-bench-out.mid";
    for (auto _ : state) {
        if (Run("mirror -H -V " + song.string() + " -o " + out.string() + " --force") != 0) {
            state.SkipWithError("mirror failed");
        }
    }
}

// 1,000 copies of the real test files of 8 to 48 KiB (tests/realfiles/fetch.sh
// puts them in the build folder), mirrored into a fresh folder each time.
void MirrorThousandFiles(benchmark::State& state) {
    std::ifstream list(std::string(RETROGRADE_BINARY_DIR) + "/realfiles/files.txt");
    std::vector<fs::path> real;
    for (std::string line; std::getline(list, line);) {
        std::error_code error;
        const auto size = fs::file_size(line, error);
        if (!error && size >= 8 * 1024 && size <= 48 * 1024) real.emplace_back(line);
    }
    if (real.empty()) return state.SkipWithError("no real files: run tests/realfiles/fetch.sh");
    const fs::path in = fs::temp_directory_path() / "retrograde-cli-bench-in";
    const fs::path out = fs::temp_directory_path() / "retrograde-cli-bench-batch";
    fs::remove_all(in);
    fs::create_directories(in);
    std::uintmax_t bytes = 0;
    for (int i = 0; i < 1000; ++i) {
        const fs::path& from = real[static_cast<std::size_t>(i) % real.size()];
        fs::copy_file(from, in / (std::to_string(i) + ".mid"));
        bytes += fs::file_size(from);
    }
    const std::string jobs = " -j " + std::to_string(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(out);
        state.ResumeTiming();
        if (Run("mirror -H -V" + jobs + " -r " + in.string() + " -o " + out.string()) != 0) {
            state.SkipWithError("a file was refused");
        }
    }
    state.counters["KiB_per_file"] = static_cast<double>(bytes) / 1000 / 1024;
    fs::remove_all(in);
    fs::remove_all(out);
}

}  // namespace

BENCHMARK(Help)->Unit(benchmark::kMillisecond);
BENCHMARK(MirrorLargeSong)->Unit(benchmark::kMillisecond);
BENCHMARK(MirrorThousandFiles)->Arg(1)->Arg(2)->ArgName("jobs")->Unit(benchmark::kMillisecond);
