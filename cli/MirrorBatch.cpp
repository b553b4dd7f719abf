// Mirroring many files: the work list, the worker processes and the report.
// Workers are processes, not threads: each file is loaded, mirrored and
// written exactly as a run of its own would do it (the library's message
// hooks are process-wide), and a file that brings a worker down costs only
// that file.
#include "MirrorBatch.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <thread>
#include <utility>

#include "CliSupport.h"
#include "General/GneHooks.h"

namespace fs = std::filesystem;

namespace {

enum class Outcome : char { kWritten = 'W', kDamaged = 'D', kRefused = 'R' };

struct Job {
    std::string input;
    std::string output;
    std::string refusal;  // known before any work: the file is refused so
    Outcome outcome = Outcome::kRefused;
    std::string reason = "the worker mirroring it stopped";  // until a worker reports
};

Job MakeJob(std::string input, std::string output) {
    Job job;
    job.input = std::move(input);
    job.output = std::move(output);
    return job;
}

bool IsMidiName(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".mid" || ext == ".midi" || ext == ".kar" || ext == ".smf";
}

std::vector<Job> ListJobs(const MirrorBatch& batch) {
    std::vector<Job> jobs;
    const fs::path out(batch.output);
    if (batch.recursive) {
        const fs::path root(batch.inputs.front());
        std::error_code error;
        if (!fs::is_directory(root, error)) throw CliFailure(root.string() + ": is no folder");
        fs::recursive_directory_iterator walk(root, error), end;
        if (error) throw CliFailure("cannot read " + root.string() + ": " + error.message());
        for (; walk != end; walk.increment(error)) {
            if (error) break;
            if (!walk->is_regular_file(error) || !IsMidiName(walk->path())) continue;
            jobs.push_back(MakeJob(walk->path().string(),
                                   (out / walk->path().lexically_relative(root)).string()));
        }
        // The walk's order is the file system's; the report follows the names.
        std::sort(jobs.begin(), jobs.end(),
                  [](const Job& a, const Job& b) { return a.input < b.input; });
        return jobs;
    }
    std::map<std::string, std::string> taken;  // output -> the input that has it
    for (const std::string& input : batch.inputs) {
        Job job = MakeJob(input, (out / fs::path(input).filename()).string());
        if (input == "-") {
            job.refusal = "standard input is read by a run of its own, not with other files";
        } else if (const auto [at, fresh] = taken.emplace(job.output, input); !fresh) {
            job.refusal = "has the same name as " + at->second + " (written once)";
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// One file, as `retrograde mirror INPUT -o OUTPUT` would write it: the
// reader's quiet repairs are not shown; a damaged file is refused unless
// salvaged, and then its damage is the reason given with it.
std::pair<Outcome, std::string> MirrorOne(const Job& job, const MirrorBatch& batch) {
    std::vector<std::string> reports;
    std::string damage;  // what the reader could not take in
    GneSetMessageSink([&reports](std::string_view text) { reports.emplace_back(text); });
    GneSetAlertHook(
        [&reports](std::string_view, std::string_view text) { reports.emplace_back(text); });
    try {
        CheckOutput(job.input, job.output, batch.force);
        const auto loader = LoadFormat0Song(job.input);
        if (loader->damage.IsDamaged()) {
            damage = loader->damage.Summary();
            if (!batch.salvage)
                return {Outcome::kRefused,
                        "damaged: " + damage + " (--salvage writes what could be read)"};
        }
        const std::vector<unsigned char> image = [&] {
            MidiF0Data* song = loader->GetMidiF0Data();
            MirrorInPlace(*song, batch.choice);
            return EncodeImage(*song);
        }();
        const fs::path folder = fs::path(job.output).parent_path();
        std::error_code error;
        if (!folder.empty()) fs::create_directories(folder, error);
        WriteOutput(job.output, image);
    } catch (const std::exception& failure) {
        return {Outcome::kRefused, failure.what()};
    }
    if (!damage.empty()) return {Outcome::kDamaged, damage};
    return {Outcome::kWritten, {}};
}

// A worker takes the next file from the shared counter until none is left,
// and answers each with one line "index outcome reason" on the pipe (one
// write below the pipe's atomic size, so lines of workers never mix).
[[noreturn]] void Work(std::vector<Job>& jobs, const MirrorBatch& batch,
                       std::atomic<std::size_t>& next, int pipe) {
    for (std::size_t i = next.fetch_add(1); i < jobs.size(); i = next.fetch_add(1)) {
        auto [outcome, reason] = jobs[i].refusal.empty()
                                     ? MirrorOne(jobs[i], batch)
                                     : std::pair{Outcome::kRefused, jobs[i].refusal};
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        std::string line = std::to_string(i) + ' ' + static_cast<char>(outcome) + ' ' + reason;
        line.resize(std::min<std::size_t>(line.size(), PIPE_BUF - 1));
        line += '\n';
        if (write(pipe, line.data(), line.size()) < 0) break;
    }
    _exit(0);
}

void ShowProgress(std::size_t done, std::size_t total) {
    constexpr int kWidth = 30;
    const int filled = total == 0 ? kWidth : static_cast<int>(done * kWidth / total);
    std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), done, total);
    std::fflush(stderr);
}

// Reads the workers' lines into jobs until every worker has closed the pipe.
void Collect(std::vector<Job>& jobs, int pipe, bool progress) {
    std::string pending;
    std::size_t done = 0;
    char chunk[4096];
    for (;;) {
        const ssize_t got = read(pipe, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            std::size_t index = 0;
            char outcome = 0;
            int used = 0;
            if (std::sscanf(line.c_str(), "%zu %c %n", &index, &outcome, &used) < 2 ||
                index >= jobs.size()) {
                continue;
            }
            jobs[index].outcome = static_cast<Outcome>(outcome);
            jobs[index].reason = line.substr(static_cast<std::size_t>(used));
            ++done;
            if (progress) ShowProgress(done, jobs.size());
        }
    }
}

}  // namespace

int RunMirrorBatch(const MirrorBatch& batch) {
    std::vector<Job> jobs = ListJobs(batch);
    std::error_code error;
    fs::create_directories(batch.output, error);
    if (!fs::is_directory(batch.output, error)) {
        throw CliFailure(batch.output + ": cannot be made a folder to write into");
    }
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    const std::size_t workers =
        std::clamp<std::size_t>(batch.jobs > 0 ? static_cast<std::size_t>(batch.jobs) : cores, 1,
                                std::max<std::size_t>(jobs.size(), 1));

    // The counter the workers share, in memory every forked worker sees.
    void* shared = mmap(nullptr, sizeof(std::atomic<std::size_t>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED)
        throw CliFailure(std::string("cannot start workers: ") + std::strerror(errno));
    auto* next = new (shared) std::atomic<std::size_t>(0);
    int ends[2];
    if (pipe(ends) != 0)
        throw CliFailure(std::string("cannot start workers: ") + std::strerror(errno));
    std::fflush(stdout);
    std::fflush(stderr);
    std::vector<pid_t> started;
    for (std::size_t w = 0; w < workers; ++w) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(ends[0]);
            Work(jobs, batch, *next, ends[1]);
        }
        if (pid > 0) started.push_back(pid);
    }
    close(ends[1]);
    if (started.empty())
        throw CliFailure("cannot start workers: " + std::string(std::strerror(errno)));
    const bool progress = isatty(STDERR_FILENO) != 0;
    Collect(jobs, ends[0], progress);
    close(ends[0]);
    for (const pid_t pid : started) waitpid(pid, nullptr, 0);
    munmap(shared, sizeof(std::atomic<std::size_t>));
    if (progress) std::fprintf(stderr, "\r%*s\r", 60, "");

    std::size_t written = 0, damaged = 0, refused = 0;
    for (const Job& job : jobs) {
        if (job.outcome == Outcome::kWritten) ++written;
        if (job.outcome == Outcome::kDamaged) {
            ++damaged;
            std::fprintf(stderr, "%s: written from a damaged file: %s\n", job.input.c_str(),
                         job.reason.c_str());
        }
        if (job.outcome == Outcome::kRefused) {
            ++refused;
            std::fprintf(stderr, "%s: refused: %s\n", job.input.c_str(), job.reason.c_str());
        }
    }
    std::printf("%zu files: %zu written, %zu written from damaged files, %zu refused\n",
                jobs.size(), written, damaged, refused);
    // As a run of its own: a damaged file written on request is told apart.
    if (refused > 0) return 1;
    return damaged > 0 ? kExitWrittenFromDamage : 0;
}
