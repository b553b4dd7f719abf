// Text helpers: itoa, the Shift-JIS katakana narrowing and the parsers of
// command-like texts.
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "General/GeneralMac.h"

namespace {

struct NarrowRow {
    unsigned char lead, trail;  // the full-width katakana in Shift-JIS
    unsigned char half[2];      // its half-width form; half[1] is 0 for a single byte
};

// Table A: plain katakana, two bytes become one.
constexpr std::array<NarrowRow, 45> kTableA = {{
    {0x83, 0x41, {0xB1, 0}}, {0x83, 0x43, {0xB2, 0}}, {0x83, 0x45, {0xB3, 0}},  // ア イ ウ
    {0x83, 0x47, {0xB4, 0}}, {0x83, 0x49, {0xB5, 0}}, {0x83, 0x4A, {0xB6, 0}},  // エ オ カ
    {0x83, 0x4C, {0xB7, 0}}, {0x83, 0x4E, {0xB8, 0}}, {0x83, 0x50, {0xB9, 0}},  // キ ク ケ
    {0x83, 0x52, {0xBA, 0}}, {0x83, 0x54, {0xBB, 0}}, {0x83, 0x56, {0xBC, 0}},  // コ サ シ
    {0x83, 0x58, {0xBD, 0}}, {0x83, 0x5A, {0xBE, 0}}, {0x83, 0x5C, {0xBF, 0}},  // ス セ ソ
    {0x83, 0x5E, {0xC0, 0}}, {0x83, 0x60, {0xC1, 0}}, {0x83, 0x63, {0xC2, 0}},  // タ チ ツ
    {0x83, 0x65, {0xC3, 0}}, {0x83, 0x67, {0xC4, 0}}, {0x83, 0x69, {0xC5, 0}},  // テ ト ナ
    {0x83, 0x6A, {0xC6, 0}}, {0x83, 0x6B, {0xC7, 0}}, {0x83, 0x6C, {0xC8, 0}},  // ニ ヌ ネ
    {0x83, 0x6D, {0xC9, 0}}, {0x83, 0x6E, {0xCA, 0}}, {0x83, 0x71, {0xCB, 0}},  // ノ ハ ヒ
    {0x83, 0x74, {0xCC, 0}}, {0x83, 0x77, {0xCD, 0}}, {0x83, 0x7A, {0xCE, 0}},  // フ ヘ ホ
    {0x83, 0x7D, {0xCF, 0}}, {0x83, 0x7E, {0xD0, 0}}, {0x83, 0x80, {0xD1, 0}},  // マ ミ ム
    {0x83, 0x81, {0xD2, 0}}, {0x83, 0x82, {0xD3, 0}}, {0x83, 0x84, {0xD4, 0}},  // メ モ ヤ
    {0x83, 0x86, {0xD5, 0}}, {0x83, 0x88, {0xD6, 0}}, {0x83, 0x8F, {0xDC, 0}},  // ユ ヨ ワ
    {0x83, 0x92, {0xA6, 0}}, {0x83, 0x93, {0xDD, 0}}, {0x83, 0x83, {0xAC, 0}},  // ヲ ン ャ
    {0x83, 0x85, {0xAD, 0}}, {0x83, 0x87, {0xAE, 0}}, {0x83, 0x62, {0xAF, 0}},  // ュ ョ ッ
}};

// Table B: voiced katakana become the letter and the voicing mark ﾞ (0xDE).
constexpr std::array<NarrowRow, 21> kTableB = {{
    {0x83, 0x4B, {0xB6, 0xDE}}, {0x83, 0x4D, {0xB7, 0xDE}}, {0x83, 0x4F, {0xB8, 0xDE}},  // ガギグ
    {0x83, 0x51, {0xB9, 0xDE}}, {0x83, 0x53, {0xBA, 0xDE}}, {0x83, 0x55, {0xBB, 0xDE}},  // ゲゴザ
    {0x83, 0x57, {0xBC, 0xDE}}, {0x83, 0x59, {0xBD, 0xDE}}, {0x83, 0x5B, {0xBE, 0xDE}},  // ジズゼ
    {0x83, 0x5D, {0xBF, 0xDE}}, {0x83, 0x5F, {0xC0, 0xDE}}, {0x83, 0x61, {0xC1, 0xDE}},  // ゾダヂ
    {0x83, 0x64, {0xC2, 0xDE}}, {0x83, 0x66, {0xC3, 0xDE}}, {0x83, 0x68, {0xC4, 0xDE}},  // ヅデド
    {0x83, 0x6F, {0xCA, 0xDE}}, {0x83, 0x72, {0xCB, 0xDE}}, {0x83, 0x75, {0xCC, 0xDE}},  // バビブ
    {0x83, 0x78, {0xCD, 0xDE}}, {0x83, 0x7B, {0xCE, 0xDE}}, {0x83, 0x94, {0xB3, 0xDE}},  // ベボヴ
}};

bool IsShiftJisLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Walks the text character by character, so the trail byte of one character
// and the lead byte of the next are never taken for a katakana (宴 followed
// by A holds the bytes 83 41 of ア across the boundary).
template <std::size_t N>
void Narrow(unsigned char* text, const std::array<NarrowRow, N>& table) {
    if (text == nullptr) return;
    std::size_t i = 0;
    while (text[i] != 0) {
        if (!IsShiftJisLead(text[i]) || text[i + 1] == 0) {
            ++i;
            continue;
        }
        const auto row = std::find_if(table.begin(), table.end(), [&](const NarrowRow& r) {
            return r.lead == text[i] && r.trail == text[i + 1];
        });
        if (row == table.end()) {
            i += 2;
            continue;
        }
        text[i] = row->half[0];
        if (row->half[1] != 0) {
            text[i + 1] = row->half[1];
            i += 2;
        } else {
            // Move the rest, its terminating zero included, one byte to the left.
            std::memmove(text + i + 1, text + i + 2,
                         std::strlen(reinterpret_cast<char*>(text + i + 2)) + 1);
            i += 1;
        }
    }
}

// Copies at most kGneWordSize - 1 bytes of part into a 256-byte row.
void CopyBounded(char* destination, std::string_view part) {
    const std::size_t n = std::min<std::size_t>(part.size(), 255);
    if (n > 0) std::memcpy(destination, part.data(), n);
    destination[n] = 0;
}

// A decimal number as atoi reads it (leading blanks, a sign, digits, the rest
// ignored), held within int instead of overflowing.
int ReadInt(const char* text) {
    if (text == nullptr) return 0;
    errno = 0;
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

}  // namespace

char* itoa(int value, char* destination, int radix) {
    if (destination == nullptr) return destination;
    if (radix == 10) {
        std::snprintf(destination, 12, "%d", value);
    } else if (radix == 16) {
        std::snprintf(destination, 9, "%x", static_cast<unsigned>(value));
    }
    return destination;
}

void GneSetSbcsKataKana(unsigned char* text) {
    GneSetSbcsKataKanaA(text);
    GneSetSbcsKataKanaB(text);
}

void GneSetSbcsKataKanaA(unsigned char* text) {
    Narrow(text, kTableA);
}

void GneSetSbcsKataKanaB(unsigned char* text) {
    Narrow(text, kTableB);
}

int GneHexToI(const char* text) {
    if (text == nullptr) return 0;
    // Unsigned, so a long text wraps instead of overflowing.
    unsigned value = 0;
    for (const char* p = text; *p != 0; ++p) {
        unsigned digit = 0;
        if (*p >= '0' && *p <= '9') {
            digit = static_cast<unsigned>(*p - '0');
        } else if (*p >= 'a' && *p <= 'f') {
            digit = static_cast<unsigned>(*p - 'a' + 10);
        } else if (*p >= 'A' && *p <= 'F') {
            digit = static_cast<unsigned>(*p - 'A' + 10);
        } else {
            GneErrorMsg(kGneErrHexDigit);
        }
        value = value * 16 + digit;
    }
    return static_cast<int>(value);
}

int GneIsNumberString(const char* text) {
    if (text == nullptr) return 1;
    for (const char* p = text; *p != 0; ++p) {
        if (*p < '0' || *p > '9') return 0;
    }
    return 1;
}

int GneIsStringIncluded(const char* text, char* pattern) {
    if (text == nullptr || pattern == nullptr) return 0;
    for (char* p = pattern; *p != 0; ++p) {
        if (*p == '*') *p = 0;
    }
    const std::string_view haystack(text);
    const std::string_view needle(pattern);
    // Only positions before the end count, so nothing is found in an empty text.
    for (std::size_t i = 0; i < haystack.size(); ++i) {
        if (haystack.substr(i).starts_with(needle)) return 1;
    }
    return 0;
}

int GneCompareStringWithWildCard(const char* pattern, const char* text) {
    if (pattern == nullptr || text == nullptr) return 0;
    for (;; ++pattern, ++text) {
        if (*pattern == '*') return 1;
        if (*pattern == 0 || *text == 0) return *pattern == *text ? 1 : 0;
        if (*pattern != '?' && *pattern != *text) return 0;
    }
}

int GneCountTrue(const bool* flags, int count) {
    if (flags == nullptr || count <= 0) return 0;
    return static_cast<int>(std::count(flags, flags + count, true));
}

int GneExtractCommandParam(const char* line, char (*words)[256]) {
    if (words == nullptr) return 0;
    for (int i = 0; i < kGneMaxWords; ++i) words[i][0] = 0;
    if (line == nullptr) return 0;
    int word = 0;
    std::size_t used = 0;
    bool quoted = false;
    for (const char* p = line; *p != 0; ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (*p == ' ' && !quoted) {
            words[word][used] = 0;
            // Words past the sixteenth have no row: the rest of the line is dropped.
            if (word + 1 >= kGneMaxWords) return word;
            ++word;
            used = 0;
        } else if (used < kGneWordSize - 1) {
            words[word][used++] = *p;
        }
    }
    words[word][used] = 0;
    return word;
}

int GneGetParams(const char* text, char (*parts)[256]) {
    if (text == nullptr || parts == nullptr || *text == 0) return 0;
    std::string_view rest(text);
    int count = 0;
    while (!rest.empty() && count < kGneMaxWords) {
        const std::size_t end = rest.find(';');
        CopyBounded(parts[count++], rest.substr(0, end));
        // A final ";" closes the last part without opening another.
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return count;
}

int GneGetParamRange(const char* text, int* from, int* to) {
    int low = 0;
    int high = 0;
    const char* colon = text ? std::strchr(text, ':') : nullptr;
    if (colon == nullptr) {
        GneErrorMsg(kGneErrParamRange);
        // A lone number is taken as the range of that one number.
        low = high = ReadInt(text);
    } else {
        low = ReadInt(text);  // stops at the colon
        high = ReadInt(colon + 1);
    }
    if (from) *from = low;
    if (to) *to = high;
    return high;
}

// Output texts are taken to be 256-byte buffers, as every caller's are.
void GneGetCommandAndParam(const char* text, char* command, char* param) {
    const std::string_view all(text ? text : "");
    const std::size_t at = all.find_first_of("=>");
    if (command) CopyBounded(command, all.substr(0, at));
    if (param) CopyBounded(param, at == std::string_view::npos ? "" : all.substr(at + 1));
}

void GneGetCommandAndParamAndOperator(const char* text, char* command, char* param, char* op) {
    const std::string_view all(text ? text : "");
    const std::size_t at = all.find_first_of("=><");
    if (command) CopyBounded(command, all.substr(0, at));
    std::string_view sign;
    std::string_view rest;
    if (at != std::string_view::npos) {
        const std::size_t width = (at + 1 < all.size() && all[at + 1] == '=') ? 2 : 1;
        sign = all.substr(at, width);
        rest = all.substr(at + width);
    }
    if (op) CopyBounded(op, sign);
    if (param) CopyBounded(param, rest);
}
