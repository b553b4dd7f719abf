// Music arithmetic (tempo, time, note names, intervals, time signatures) and
// the position and time texts.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "General/GeneralMac.h"

namespace {

constexpr long kMicrosPerMinuteInMillis = 60000;

int PositiveMod12(int value) {
    return ((value % 12) + 12) % 12;
}

// A decimal number at the start of text as atoi reads it, held within int.
int ReadInt(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// The number written in at most width characters from offset, stopping at the
// end of the text (a short text is never read past its terminator).
int ReadField(const char* text, std::size_t offset, std::size_t width) {
    const std::size_t length = std::strlen(text);
    if (offset >= length) return 0;
    char field[16] = {};
    std::memcpy(field, text + offset, std::min(width, length - offset));
    return ReadInt(field);
}

}  // namespace

int GneIsSimilerTone(int a, int b) {
    return a / 8 == b / 8 ? 1 : 0;
}

long GneClockToBpm(long tempo) {
    // A tempo below 1000 microseconds per quarter note has no whole
    // milliseconds to divide by; it is no playable tempo and reads as 0 bpm.
    const long millis = tempo / 1000;
    if (millis == 0) return 0;
    return kMicrosPerMinuteInMillis / millis;
}

long GneBpmToClock(long bpm) {
    // Below 1 bpm there is nothing to divide by; 1 bpm is the slowest tempo
    // this gives, already beyond what a tempo event can hold.
    bpm = std::max(bpm, 1L);
    return (kMicrosPerMinuteInMillis / bpm) * 1000;
}

double GneDeltaTimeToSecond(int delta, int division, long tempo) {
    // Without a division there are no ticks per quarter note to measure by.
    if (delta == 0 || division == 0) return 0.0;
    return static_cast<double>(tempo) * (static_cast<double>(delta) / division) / 1000000.0;
}

int GneNoteNameToNoteNumber(int mode, const char* name) {
    if (name == nullptr || *name == 0) return mode == 1 ? 12 : 24;
    int pitch = 0;
    switch (name[0]) {
        case 'C':
            pitch = 0;
            break;
        case 'D':
            pitch = 2;
            break;
        case 'E':
            pitch = 4;
            break;
        case 'F':
            pitch = 5;
            break;
        case 'G':
            pitch = 7;
            break;
        case 'A':
            pitch = 9;
            break;
        case 'B':
            pitch = 11;
            break;
        default:
            pitch = 0;
            break;
    }
    const char* octave = name + 1;
    if (*octave == '#') {
        pitch += 1;
        ++octave;
    } else if (*octave == 'b') {
        pitch -= 1;
        ++octave;
    }
    // Octaves far outside any keyboard are held so the product cannot overflow.
    const long octaves = std::clamp(ReadInt(octave), -1000000, 1000000);
    return static_cast<int>(pitch + octaves * 12 + (mode == 1 ? 12 : 24));
}

int GneGetInterval(int a, int b) {
    const int d = (PositiveMod12(b) - PositiveMod12(a) + 12) % 12;
    return d < 7 ? d : 12 - d;
}

double GneGetTimeSignValue(int code) {
    const int numerator = code / 256;
    const int denominator = code - numerator * 256;
    if (denominator < 2) GneErrorMsg(kGneErrTimeSignature);
    // A denominator of 0 has no meaning: the measure is taken as four quarter
    // notes, so no caller ends up with a measure of no length.
    if (denominator == 0) return 4.0;
    return numerator * (4.0 / denominator);
}

void GneSetTimeSignData(int code, unsigned char* data, int* length) {
    const int numerator = code / 256;
    int denominator = code - numerator * 256;
    int power = 0;
    while (denominator > 1) {
        denominator /= 2;
        ++power;
    }
    if (data != nullptr) {
        data[0] = static_cast<unsigned char>(numerator);
        data[1] = static_cast<unsigned char>(power);
        data[2] = 18;  // MIDI clocks per metronome click
        data[3] = 8;   // 32nd notes per quarter note
    }
    if (length != nullptr) *length = 4;
}

// A position takes 12 bytes; no text is longer than 40, whatever the numbers.
void GneGetTickText(char* text, int measure, int beat, int tick) {
    if (text == nullptr) return;
    // Counted from 1 in 64 bits, so INT_MAX + 1 is shown as it is.
    std::snprintf(text, 40, "%04lld:%02lld:%03d", static_cast<long long>(measure) + 1,
                  static_cast<long long>(beat) + 1, tick);
}

void GneGetMeasureBeatTickText(const char* text, int* measure, int* beat, int* tick) {
    const char* source = text ? text : "";
    if (measure) *measure = ReadField(source, 0, 4);
    if (beat) *beat = ReadField(source, 5, 2);
    if (tick) *tick = ReadField(source, 8, 3);
}

void GneGetMinSecMSecText(char* text, double seconds) {
    if (text == nullptr) return;
    // Negative, unmeasurable or absurdly long times are held to a range the
    // integer fields can show.
    if (!std::isfinite(seconds) || seconds < 0.0) seconds = 0.0;
    seconds = std::min(seconds, 60.0 * 1000000000.0);
    const int minutes = static_cast<int>(seconds / 60.0);
    const double rest = seconds - minutes * 60.0;
    const int whole = static_cast<int>(rest);
    const int millis = static_cast<int>((rest - whole) * 1000.0);
    std::snprintf(text, 32, "%02d:%02d:%02d", minutes, whole, millis);
}

int GneIsSC88BPort(const char* text) {
    if (text == nullptr) return 0;
    const std::string_view name(text);
    for (const std::string_view mark : {"SC88B", "88B", "SC-88 B", "SC-88B"}) {
        if (name.find(mark) != std::string_view::npos) return 1;
    }
    return 0;
}

int GneIsSC88APort(const char* text) {
    return GneIsSC88BPort(text) ? 0 : 1;
}
