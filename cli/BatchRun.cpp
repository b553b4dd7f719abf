// The worker pool of the verbs that take many files. Workers are processes,
// not threads: each file is done exactly as a run of its own would do it
// (the library's message hooks are process-wide), and a file that brings a
// worker down costs only that file. What a worker's work prints goes to a
// scratch file and comes back with its result, so the files' messages never
// mix and are shown in the order of the files.
#include "BatchRun.h"

#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <thread>

#include "CliSupport.h"

namespace fs = std::filesystem;

namespace {

// Standard output and error of a worker, sent to scratch files while a file
// is worked on. Without scratch files the work prints straight through.
class Capture {
public:
    Capture() : out_(std::tmpfile()), err_(std::tmpfile()) {}
    ~Capture() {
        if (out_ != nullptr) std::fclose(out_);
        if (err_ != nullptr) std::fclose(err_);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    void Begin() {
        if (out_ == nullptr || err_ == nullptr) return;
        Flush();
        Restart(out_, STDOUT_FILENO);
        Restart(err_, STDERR_FILENO);
    }

    void End(BatchResult& result) {
        if (out_ == nullptr || err_ == nullptr) return;
        Flush();
        result.out = ReadBack(out_);
        result.err = ReadBack(err_);
    }

private:
    // The program prints through stdio only.
    static void Flush() {
        std::fflush(stdout);
        std::fflush(stderr);
    }

    static void Restart(std::FILE* file, int onto) {
        const int fd = fileno(file);
        if (ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0) dup2(fd, onto);
    }

    static std::string ReadBack(std::FILE* file) {
        std::string text;
        std::rewind(file);
        char chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            text.append(chunk, got);
        }
        return text;
    }

    std::FILE* out_;
    std::FILE* err_;
};

// A result on a worker's pipe: "index outcome sizes\n" and the three texts.
std::string Frame(std::size_t index, const BatchResult& result) {
    std::string frame = std::to_string(index) + ' ' + static_cast<char>(result.outcome) + ' ' +
                        std::to_string(result.reason.size()) + ' ' +
                        std::to_string(result.out.size()) + ' ' +
                        std::to_string(result.err.size()) + '\n';
    return frame + result.reason + result.out + result.err;
}

// Takes the whole frames at the front of pending into results; returns how many.
std::size_t TakeFrames(std::string& pending, std::vector<BatchResult>& results) {
    std::size_t taken = 0;
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end == std::string::npos) return taken;
        std::size_t index = 0, sizes[3] = {};
        char outcome = 0;
        if (std::sscanf(pending.c_str(), "%zu %c %zu %zu %zu", &index, &outcome, &sizes[0],
                        &sizes[1], &sizes[2]) != 5) {
            pending.clear();  // not a frame: a worker gone wrong
            return taken;
        }
        const std::size_t body = end + 1;
        if (pending.size() < body + sizes[0] + sizes[1] + sizes[2]) return taken;
        if (index < results.size()) {
            BatchResult& result = results[index];
            result.outcome = static_cast<BatchOutcome>(outcome);
            result.reason = pending.substr(body, sizes[0]);
            result.out = pending.substr(body + sizes[0], sizes[1]);
            result.err = pending.substr(body + sizes[0] + sizes[1], sizes[2]);
            ++taken;
        }
        pending.erase(0, body + sizes[0] + sizes[1] + sizes[2]);
    }
}

// A worker takes the next file from the shared counter until none is left.
[[noreturn]] void Work(const std::vector<BatchFile>& files,
                       const std::function<BatchResult(const BatchFile&)>& work,
                       std::atomic<std::size_t>& next, int pipe) {
    std::FILE* to_parent = fdopen(pipe, "w");
    if (to_parent == nullptr) _exit(1);
    Capture capture;
    for (std::size_t i = next.fetch_add(1); i < files.size(); i = next.fetch_add(1)) {
        BatchResult result;
        if (!files[i].refusal.empty()) {
            result.reason = files[i].refusal;
        } else {
            capture.Begin();
            try {
                result = work(files[i]);
            } catch (const std::exception& failure) {
                result = {BatchOutcome::kRefused, failure.what(), {}, {}};
            }
            capture.End(result);
        }
        const std::string frame = Frame(i, result);
        if (std::fwrite(frame.data(), 1, frame.size(), to_parent) != frame.size() ||
            std::fflush(to_parent) != 0) {
            break;  // the parent is gone
        }
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

// Reads the workers' pipes into results until every worker has closed its own.
void Collect(const std::vector<int>& pipes, std::vector<BatchResult>& results, bool progress) {
    std::vector<pollfd> open;
    for (int fd : pipes) open.push_back({fd, POLLIN, 0});
    std::vector<std::string> pending(open.size());  // beside open, what each pipe has sent
    std::size_t done = 0;
    while (!open.empty()) {
        if (poll(open.data(), open.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (std::size_t w = open.size(); w-- > 0;) {
            if (open[w].revents == 0) continue;
            char chunk[65536];
            const ssize_t got = read(open[w].fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                close(open[w].fd);
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(w));
                pending.erase(pending.begin() + static_cast<std::ptrdiff_t>(w));
                continue;
            }
            pending[w].append(chunk, static_cast<std::size_t>(got));
            done += TakeFrames(pending[w], results);
            if (progress) ShowProgress(done, results.size());
        }
    }
}

}  // namespace

std::vector<BatchFile> FilesInto(const std::vector<std::string>& inputs,
                                 const std::string& folder) {
    std::vector<BatchFile> files;
    std::map<std::string, std::string> taken;  // output -> the input that has it
    for (const std::string& input : inputs) {
        BatchFile file{input, (fs::path(folder) / fs::path(input).filename()).string(), {}};
        if (input == "-") {
            file.refusal = "standard input is read by a run of its own, not with other files";
        } else if (const auto [at, fresh] = taken.emplace(file.output, input); !fresh) {
            file.refusal = "has the same name as " + at->second + " (written once)";
        }
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<BatchResult> RunBatch(const std::vector<BatchFile>& files, int jobs,
                                  const std::function<BatchResult(const BatchFile&)>& work) {
    std::vector<BatchResult> results(files.size());
    const unsigned cores = std::max(1U, std::thread::hardware_concurrency());
    const std::size_t workers =
        std::clamp<std::size_t>(jobs > 0 ? static_cast<std::size_t>(jobs) : cores, 1,
                                std::max<std::size_t>(files.size(), 1));

    // The counter the workers share, in memory every forked worker sees.
    void* shared = mmap(nullptr, sizeof(std::atomic<std::size_t>), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        throw CliFailure(std::string("cannot start workers: ") + std::strerror(errno));
    }
    auto* next = new (shared) std::atomic<std::size_t>(0);
    std::fflush(stdout);
    std::fflush(stderr);
    std::vector<pid_t> started;
    std::vector<int> pipes;
    for (std::size_t w = 0; w < workers; ++w) {
        int ends[2];
        if (pipe(ends) != 0) break;
        const pid_t pid = fork();
        if (pid == 0) {
            close(ends[0]);
            for (int fd : pipes) close(fd);  // the other workers' pipes are the parent's
            Work(files, work, *next, ends[1]);
        }
        close(ends[1]);
        if (pid < 0) {
            close(ends[0]);
            break;
        }
        started.push_back(pid);
        pipes.push_back(ends[0]);
    }
    if (started.empty()) {
        munmap(shared, sizeof(std::atomic<std::size_t>));
        throw CliFailure(std::string("cannot start workers: ") + std::strerror(errno));
    }
    const bool progress = isatty(STDERR_FILENO) != 0;
    Collect(pipes, results, progress);
    for (const pid_t pid : started) waitpid(pid, nullptr, 0);
    munmap(shared, sizeof(std::atomic<std::size_t>));
    if (progress) std::fprintf(stderr, "\r%*s\r", 60, "");
    return results;
}

int ReportBatch(const std::vector<BatchFile>& files, const std::vector<BatchResult>& results,
                std::FILE* summary) {
    std::size_t written = 0, damaged = 0, refused = 0;
    for (std::size_t i = 0; i < files.size() && i < results.size(); ++i) {
        const BatchResult& result = results[i];
        std::fputs(result.out.c_str(), stdout);
        std::fflush(stdout);
        std::fputs(result.err.c_str(), stderr);
        const char* input = files[i].input.c_str();
        switch (result.outcome) {
            case BatchOutcome::kWritten:
                ++written;
                break;
            case BatchOutcome::kDamaged:
                ++damaged;
                if (!result.reason.empty()) {
                    std::fprintf(stderr, "%s: written from a damaged file: %s\n", input,
                                 result.reason.c_str());
                }
                break;
            case BatchOutcome::kRefused: {
                ++refused;
                // A reason that names the file already does not name it twice.
                std::string_view reason = result.reason;
                if (reason.starts_with(files[i].input + ": ")) {
                    reason.remove_prefix(files[i].input.size() + 2);
                }
                std::fprintf(stderr, "%s: refused: %.*s\n", input, static_cast<int>(reason.size()),
                             reason.data());
                break;
            }
        }
    }
    std::fprintf(summary, "%zu files: %zu written, %zu written from damaged files, %zu refused\n",
                 files.size(), written, damaged, refused);
    // As a run of its own: a damaged file written on request is told apart.
    if (refused > 0) return 1;
    return damaged > 0 ? kExitWrittenFromDamage : 0;
}
