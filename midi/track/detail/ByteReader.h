// A checked view over bytes read from outside: every access is bounded by the
// view's end, so a damaged chunk can never make a decoder read past it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace retrograde::detail {

class ByteReader {
public:
    enum class Vlq { kOk, kCutOff, kTooLong };
    static constexpr int kMaxVlqBytes = 4;  // 28 bits, the most an SMF quantity may take

    ByteReader(const std::uint8_t* data, std::size_t size, std::size_t pos = 0) noexcept
        : data_(data), size_(size), pos_(pos <= size ? pos : size) {}

    std::size_t Pos() const noexcept { return pos_; }
    std::size_t Left() const noexcept { return size_ - pos_; }
    bool AtEnd() const noexcept { return pos_ >= size_; }
    // Bytes from the cursor on; only Left() of them may be looked at.
    const std::uint8_t* Here() const noexcept { return data_ + pos_; }

    // False at the end; never reads past it.
    bool U8(std::uint8_t& out) noexcept {
        if (pos_ >= size_) return false;
        out = data_[pos_++];
        return true;
    }
    // The byte ahead bytes after the cursor, without moving.
    bool Peek(std::size_t ahead, std::uint8_t& out) const noexcept {
        if (ahead >= Left()) return false;
        out = data_[pos_ + ahead];
        return true;
    }
    // False (and nothing skipped) when fewer than n bytes are left.
    bool Skip(std::size_t n) noexcept {
        if (n > Left()) return false;
        pos_ += n;
        return true;
    }
    void SkipToEnd() noexcept { pos_ = size_; }

    // A variable-length quantity: 7 bits a byte, most significant group
    // first, bit 7 set on every byte but the last. On failure the cursor is
    // left behind the bytes that were looked at.
    Vlq ReadVlq(std::uint32_t& out, int& bytes) noexcept {
        out = 0;
        bytes = 0;
        std::uint8_t b = 0;
        while (bytes < kMaxVlqBytes) {
            if (!U8(b)) return Vlq::kCutOff;
            ++bytes;
            out = (out << 7) | (b & 0x7Fu);
            if ((b & 0x80u) == 0) return Vlq::kOk;
        }
        return Vlq::kTooLong;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
};

}  // namespace retrograde::detail
