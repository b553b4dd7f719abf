// Texts taken from MIDI files, made readable: valid UTF-8 stays as it is,
// anything else is read as Shift-JIS (CP932, through iconv).
#include <iconv.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "General/GeneralMac.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        std::size_t width = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;  // range of the second byte
        if (b0 < 0x80) {
            ++i;
            continue;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            width = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            width = 3;
            if (b0 == 0xE0) low = 0xA0;
            if (b0 == 0xED) high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            width = 4;
            if (b0 == 0xF0) low = 0x90;
            if (b0 == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (i + width > text.size()) return false;
        const auto b1 = static_cast<unsigned char>(text[i + 1]);
        if (b1 < low || b1 > high) return false;
        for (std::size_t k = 2; k < width; ++k) {
            if (!IsContinuation(static_cast<unsigned char>(text[i + k]))) return false;
        }
        i += width;
    }
    return true;
}

// Without the iconv module only ASCII and half-width katakana can be read.
std::string DecodeWithoutIconv(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else if (b >= 0xA1 && b <= 0xDF) {
            const unsigned code = 0xFF61 + (b - 0xA1);
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += kReplacement;
        }
    }
    return out;
}

std::string DecodeShiftJis(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) return DecodeWithoutIconv(bytes);
    std::string out;
    std::string input(bytes);
    char* in = input.data();
    std::size_t in_left = input.size();
    char chunk[1024];
    while (in_left > 0) {
        char* put = chunk;
        std::size_t out_left = sizeof chunk;
        const std::size_t result = iconv(converter, &in, &in_left, &put, &out_left);
        out.append(chunk, static_cast<std::size_t>(put - chunk));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte that starts no CP932 character (or a character cut off at
            // the end) is shown as U+FFFD and the reading goes on after it.
            out += kReplacement;
            ++in;
            --in_left;
        }
    }
    iconv_close(converter);
    return out;
}

}  // namespace

std::string GneFileTextToUtf8(std::string_view bytes) {
    try {
        if (IsValidUtf8(bytes)) return std::string(bytes);
        return DecodeShiftJis(bytes);
    } catch (...) {
        return {};
    }
}
