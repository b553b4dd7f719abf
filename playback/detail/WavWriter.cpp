// The WAV writer: RIFF header, 16-bit little-endian samples, safe replace.
#include "playback/detail/WavWriter.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace retrograde::detail {

namespace {

constexpr std::uint32_t kHeaderBytes = 44;
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

void Put16(unsigned char*& p, std::uint16_t v) {
    *p++ = static_cast<unsigned char>(v);
    *p++ = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char*& p, std::uint32_t v) {
    Put16(p, static_cast<std::uint16_t>(v));
    Put16(p, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace

WavWriter::WavWriter(std::string path, int sample_rate, int channels)
    : path_(std::move(path)), sample_rate_(sample_rate), channels_(channels) {
    temp_path_ = path_ + ".tmp-" + std::to_string(getpid());
    file_ = std::fopen(temp_path_.c_str(), "wb");
    if (file_) WriteHeader(0);
}

WavWriter::~WavWriter() {
    if (file_) {
        std::fclose(file_);
        std::remove(temp_path_.c_str());
    }
}

void WavWriter::WriteHeader(std::uint32_t data_bytes) {
    std::array<unsigned char, kHeaderBytes> header{};
    unsigned char* p = header.data();
    const auto bytes_per_frame = static_cast<std::uint16_t>(channels_ * 2);
    p = std::copy_n("RIFF", 4, p);
    Put32(p, data_bytes + kHeaderBytes - 8);
    p = std::copy_n("WAVEfmt ", 8, p);
    Put32(p, 16);  // format chunk size
    Put16(p, 1);   // PCM
    Put16(p, static_cast<std::uint16_t>(channels_));
    Put32(p, static_cast<std::uint32_t>(sample_rate_));
    Put32(p, static_cast<std::uint32_t>(sample_rate_) * bytes_per_frame);
    Put16(p, bytes_per_frame);
    Put16(p, 16);  // bits per sample
    p = std::copy_n("data", 4, p);
    Put32(p, data_bytes);
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) failed_ = true;
}

void WavWriter::Write(const float* samples, int frames) {
    if (!Ok() || frames <= 0) return;
    std::array<unsigned char, 8192> out;
    const std::size_t count =
        static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, out.size() / 2);
        unsigned char* p = out.data();
        for (std::size_t i = 0; i < n; ++i) {
            const float v = std::clamp(samples[done + i], -1.0f, 1.0f);
            Put16(p,
                  static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lrint(v * 32767.0f))));
        }
        if (std::fwrite(out.data(), 1, n * 2, file_) != n * 2) failed_ = true;
        done += n;
    }
    data_bytes_ += count * 2;
    if (data_bytes_ > kMaxDataBytes) failed_ = true;  // a WAV file ends at 4 GiB
}

bool WavWriter::Finish() {
    if (!file_) return false;
    if (!failed_ && std::fseek(file_, 0, SEEK_SET) == 0) {
        WriteHeader(static_cast<std::uint32_t>(data_bytes_));
    } else {
        failed_ = true;
    }
    if (std::fflush(file_) != 0) failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (failed_ || std::rename(temp_path_.c_str(), path_.c_str()) != 0) {
        std::remove(temp_path_.c_str());
        return false;
    }
    return true;
}

}  // namespace retrograde::detail
