// Helpers shared by the test suites: a capturing message sink, file and byte
// builders, a scoped environment variable and a shell command runner.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "General/GneHooks.h"

using Bytes = std::vector<std::uint8_t>;

// Captures every library message and alert while it lives; restores the
// previous sink and alert hook afterwards.
class CaptureSink {
public:
    CaptureSink();
    ~CaptureSink();
    CaptureSink(const CaptureSink&) = delete;
    CaptureSink& operator=(const CaptureSink&) = delete;

    const std::vector<std::string>& Messages() const { return messages_; }
    const std::vector<std::string>& Alerts() const { return alerts_; }  // "title: text"
    int Count(const std::string& text) const;  // how often text was reported
    bool Saw(const std::string& text) const { return Count(text) > 0; }
    void Clear();

private:
    std::vector<std::string> messages_;
    std::vector<std::string> alerts_;
    GneMessageSink previous_sink_;
    GneAlertHook previous_alert_;
};

// A track chunk: "MTrk", the length of body, then body.
Bytes TrackChunk(const Bytes& body);
// A header chunk of the given format, track count and division.
Bytes HeaderChunk(int format, int tracks, int division);
Bytes Concat(std::initializer_list<Bytes> parts);
// A temporary folder, removed with its contents at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
std::string ReadText(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);

// Sets an environment variable while it lives, then restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A text quoted for the shell.
std::string Quote(const std::string& text);
struct RunResult {
    int status = -1;  // the exit status; -1 when the command did not exit
    std::string out;
    std::string err;
};
// Runs a shell command line in folder (when given), without input; captures
// both streams.
RunResult RunShell(const std::string& line, const std::string& folder = "");

// ---- Standard MIDI File bytes ----
namespace smf {

inline Bytes Vlq(std::uint32_t v) {
    Bytes out{std::uint8_t(v & 0x7F)};
    while (v >>= 7) out.insert(out.begin(), std::uint8_t(0x80 | (v & 0x7F)));
    return out;
}
inline Bytes On(std::uint32_t delta, int ch, int note, int vel = 100) {
    return Concat({Vlq(delta), {std::uint8_t(0x90 | ch), std::uint8_t(note), std::uint8_t(vel)}});
}
// Written as the writer writes every note off: status 0x80, velocity 64.
inline Bytes Off(std::uint32_t delta, int ch, int note) {
    return Concat({Vlq(delta), {std::uint8_t(0x80 | ch), std::uint8_t(note), 64}});
}
inline Bytes Cc(std::uint32_t delta, int ch, int number, int value) {
    return Concat(
        {Vlq(delta), {std::uint8_t(0xB0 | ch), std::uint8_t(number), std::uint8_t(value)}});
}
inline Bytes Program(std::uint32_t delta, int ch, int program) {
    return Concat({Vlq(delta), {std::uint8_t(0xC0 | ch), std::uint8_t(program)}});
}
inline Bytes Text(std::uint32_t delta, int type, const std::string& text) {
    return Concat({Vlq(delta),
                   {0xFF, std::uint8_t(type)},
                   Vlq(std::uint32_t(text.size())),
                   Bytes(text.begin(), text.end())});
}
inline Bytes Tempo(std::uint32_t delta, std::uint32_t tempo) {
    return Concat({Vlq(delta),
                   {0xFF, 0x51, 3, std::uint8_t(tempo >> 16), std::uint8_t(tempo >> 8),
                    std::uint8_t(tempo)}});
}
inline Bytes Eot(std::uint32_t delta) {
    return Concat({Vlq(delta), {0xFF, 0x2F, 0}});
}
// MacBinary: 128 bytes of a Macintosh file header in front of the file.
inline Bytes WithMacBinary(const Bytes& file) {
    Bytes head(128, 0);
    head[1] = 8;
    std::memcpy(&head[2], "SONG.MID", 8);
    return Concat({head, file});
}

}  // namespace smf
