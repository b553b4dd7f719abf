// A 16-bit PCM WAV file written as it grows: samples stream to a temporary
// file beside the target, which replaces the target only when complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace retrograde::detail {

class WavWriter {
public:
    WavWriter(std::string path, int sample_rate, int channels);
    ~WavWriter();  // an unfinished file is removed
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool Ok() const { return file_ != nullptr && !failed_; }
    // Appends frames of interleaved samples in -1..1 (clipped).
    void Write(const float* samples, int frames);
    // Completes the header and renames the file over the target; false when
    // anything failed on the way.
    bool Finish();

private:
    void WriteHeader(std::uint32_t data_bytes);

    std::string path_;
    std::string temp_path_;
    std::FILE* file_ = nullptr;
    int sample_rate_;
    int channels_;
    std::uint64_t data_bytes_ = 0;
    bool failed_ = false;
};

}  // namespace retrograde::detail
