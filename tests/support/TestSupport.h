// Helpers shared by the test suites: a capturing message sink and byte builders.
#pragma once

#include <cstdint>
#include <initializer_list>
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
