#include "support/TestEvents.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace {
std::mutex capture_mutex;
}

CaptureSink::CaptureSink() {
    previous_sink_ = GneSetMessageSink([this](std::string_view text) {
        std::lock_guard lock(capture_mutex);
        messages_.emplace_back(text);
    });
    previous_alert_ = GneSetAlertHook([this](std::string_view title, std::string_view text) {
        std::lock_guard lock(capture_mutex);
        alerts_.push_back(std::string(title) + ": " + std::string(text));
    });
}

CaptureSink::~CaptureSink() {
    GneSetMessageSink(previous_sink_);
    GneSetAlertHook(previous_alert_);
}

int CaptureSink::Count(const std::string& text) const {
    std::lock_guard lock(capture_mutex);
    return static_cast<int>(std::count(messages_.begin(), messages_.end(), text) +
                            std::count(alerts_.begin(), alerts_.end(), text));
}

void CaptureSink::Clear() {
    std::lock_guard lock(capture_mutex);
    messages_.clear();
    alerts_.clear();
}

namespace {
Bytes BigEndian(std::uint32_t v, int bytes) {
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i) out.push_back(std::uint8_t(v >> (8 * i)));
    return out;
}
}  // namespace

Bytes TrackChunk(const Bytes& body) {
    return Concat({{'M', 'T', 'r', 'k'}, BigEndian(std::uint32_t(body.size()), 4), body});
}

Bytes RiffChunk(const std::string& tag, const Bytes& body) {
    const auto n = std::uint32_t(body.size());
    Bytes out(tag.begin(), tag.end());
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(n >> (8 * i)));  // little-endian
    return Concat({out, body});
}

Bytes HeaderChunk(int format, int tracks, int division) {
    return Concat({{'M', 'T', 'h', 'd', 0, 0, 0, 6},
                   BigEndian(std::uint32_t(format), 2),
                   BigEndian(std::uint32_t(tracks), 2),
                   BigEndian(std::uint32_t(division), 2)});
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "retrograde-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Folders made read-only by a test are opened again so they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

RunResult RunShell(const std::string& line, const std::string& folder) {
    TempDir capture;
    const std::string out = capture.File("out");
    const std::string err = capture.File("err");
    std::string command = line + " >" + Quote(out) + " 2>" + Quote(err) + " </dev/null";
    if (!folder.empty()) command = "cd " + Quote(folder) + " && " + command;
    const int raw = std::system(command.c_str());
    RunResult result;
    result.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
}
