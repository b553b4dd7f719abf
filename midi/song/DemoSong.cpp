// The bundled demo song: sixteen bars in C major, written below as note and
// chord texts and turned into a format-1 Standard MIDI File by a small
// encoder of its own.
#include "midi/song/DemoSong.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "midi/event/MusicEvent.h"

namespace {

// ---- the piece ----

constexpr int kEighth = kDemoSongDivision / 2;
constexpr int kBar = kDemoSongDivision * 4;
constexpr int kSectionBars = 8;

// Melody: note:eighths, "r" a rest; bars are marked with '|' for the reader.
constexpr std::string_view kMelodyA =
    "E5:2 G5:2 C6:2 B5:2 | A5:3 G5:1 E5:4 | F5:2 A5:2 C6:2 A5:2 | G5:6 r:2 | "
    "E5:2 G5:2 C6:2 D6:2 | E6:3 D6:1 C6:4 | D6:2 C6:2 B5:2 A5:2 | C6:8";
constexpr std::string_view kMelodyB =
    "A5:2 C6:2 F6:3 E6:1 | D6:2 B5:2 G5:4 | G5:2 B5:2 E6:2 D6:2 | C6:4 A5:4 | "
    "A5:1 B5:1 C6:2 F6:2 A6:2 | G6:3 F6:1 D6:4 | E6:2 G6:2 C6:2 E6:2 | C6:8";
// Harmony: chord:eighths.
constexpr std::string_view kChordsA = "C:8 Am:8 F:8 G:8 C:8 Am:8 Dm:4 G:4 C:8";
constexpr std::string_view kChordsB = "F:8 G:8 Em:8 Am:8 F:8 G:8 C:4 G:4 C:8";

struct Chord {
    std::string_view name;
    std::array<int, 3> voicing;  // around middle C
    int bass;                    // root, two octaves lower
};

constexpr std::array<Chord, 6> kChordTable = {{
    {"C", {60, 64, 67}, 36},
    {"Dm", {57, 62, 65}, 38},
    {"Em", {55, 59, 64}, 40},
    {"F", {57, 60, 65}, 41},
    {"G", {55, 59, 62}, 43},
    {"Am", {57, 60, 64}, 45},
}};

// Channels (0-based) and General MIDI programs.
constexpr int kMelodyChannel = 0;
constexpr int kChordChannel = 1;
constexpr int kBassChannel = 2;
constexpr int kFlute = 73;
constexpr int kAltoSax = 65;
constexpr int kStrings = 48;
constexpr int kFingerBass = 33;

constexpr int kKick = 36;
constexpr int kSnare = 38;
constexpr int kClosedHat = 42;
constexpr int kCrash = 49;

constexpr long kTempoA = 500000;  // 120 beats per minute
constexpr long kTempoB = 428571;  // 140 beats per minute

// ---- a small encoder ----

struct TimedEvent {
    long tick;
    int order;  // at one tick: settings, then note offs, then note ons
    std::vector<std::uint8_t> bytes;
};

class TrackBuilder {
public:
    void Meta(long tick, int type, std::vector<std::uint8_t> data) {
        std::vector<std::uint8_t> bytes = {0xFF, static_cast<std::uint8_t>(type)};
        AppendVariable(bytes, static_cast<long>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        events_.push_back({tick, 0, std::move(bytes)});
    }
    void Text(long tick, int type, std::string_view text) {
        Meta(tick, type, std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    void Tempo(long tick, long tempo) {
        Meta(tick, kMetaTempo,
             {static_cast<std::uint8_t>(tempo >> 16), static_cast<std::uint8_t>(tempo >> 8),
              static_cast<std::uint8_t>(tempo)});
    }
    void Program(long tick, int channel, int program) {
        events_.push_back({tick, 0, {Status(0xC0, channel), static_cast<std::uint8_t>(program)}});
    }
    void Control(long tick, int channel, int number, int value) {
        events_.push_back({tick,
                           0,
                           {Status(0xB0, channel), static_cast<std::uint8_t>(number),
                            static_cast<std::uint8_t>(value)}});
    }
    void Note(long tick, int channel, int note, int velocity, long length) {
        events_.push_back({tick,
                           2,
                           {Status(0x90, channel), static_cast<std::uint8_t>(note),
                            static_cast<std::uint8_t>(velocity)}});
        events_.push_back(
            {tick + length, 1, {Status(0x80, channel), static_cast<std::uint8_t>(note), 64}});
    }

    // The chunk: events in time order, relative deltas, end of track.
    std::vector<std::uint8_t> Chunk() {
        std::stable_sort(events_.begin(), events_.end(),
                         [](const TimedEvent& a, const TimedEvent& b) {
                             return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
                         });
        std::vector<std::uint8_t> body;
        long time = 0;
        for (const TimedEvent& e : events_) {
            AppendVariable(body, e.tick - time);
            time = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        const long end = std::max(time, static_cast<long>(kSectionBars) * 2 * kBar);
        AppendVariable(body, end - time);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        std::vector<std::uint8_t> chunk = {'M', 'T', 'r', 'k'};
        AppendBigEndian(chunk, static_cast<long>(body.size()), 4);
        chunk.insert(chunk.end(), body.begin(), body.end());
        return chunk;
    }

    static void AppendBigEndian(std::vector<std::uint8_t>& out, long value, int bytes) {
        for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
            out.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }

private:
    static std::uint8_t Status(int kind, int channel) {
        return static_cast<std::uint8_t>(kind | channel);
    }
    static void AppendVariable(std::vector<std::uint8_t>& out, long value) {
        std::array<std::uint8_t, 5> groups{};
        int count = 0;
        do {
            groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
        } while (value > 0 && count < 5);
        while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
        out.push_back(groups[0]);
    }

    std::vector<TimedEvent> events_;
};

// ---- reading the description ----

// Splits "name:eighths" tokens, skipping the bar marks.
template <typename Each>
void ForEachToken(std::string_view text, Each each) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view token = text.substr(at, end - at);
        at = end + 1;
        const std::size_t colon = token.find(':');
        if (token.empty() || token == "|" || colon == std::string_view::npos) continue;
        int eighths = 0;
        for (char c : token.substr(colon + 1)) eighths = eighths * 10 + (c - '0');
        each(token.substr(0, colon), eighths);
    }
}

// "C4" is 60; "F#5", "Bb3" as usual; -1 for a rest or anything unknown.
int NoteNumber(std::string_view name) {
    static constexpr std::array<int, 7> kSemitones = {9, 11, 0, 2, 4, 5, 7};  // A .. G
    if (name.empty() || name[0] < 'A' || name[0] > 'G') return -1;
    int note = kSemitones[name[0] - 'A'];
    std::size_t at = 1;
    if (at < name.size() && (name[at] == '#' || name[at] == 'b')) {
        note += name[at] == '#' ? 1 : -1;
        ++at;
    }
    int octave = 0;
    for (; at < name.size(); ++at) octave = octave * 10 + (name[at] - '0');
    return note + 12 * (octave + 1);
}

const Chord* FindChord(std::string_view name) {
    for (const Chord& chord : kChordTable) {
        if (chord.name == name) return &chord;
    }
    return nullptr;
}

void AddMelody(TrackBuilder& track, std::string_view text, long start, int velocity) {
    long tick = start;
    ForEachToken(text, [&](std::string_view name, int eighths) {
        const long length = static_cast<long>(eighths) * kEighth;
        const int note = NoteNumber(name);
        // Notes on a beat are played a little stronger; each is slightly
        // detached from the next.
        const int accent = tick % kDemoSongDivision == 0 ? 8 : 0;
        if (note >= 0) track.Note(tick, kMelodyChannel, note, velocity + accent, length - 30);
        tick += length;
    });
}

void AddHarmony(TrackBuilder& chords, TrackBuilder& bass, std::string_view text, long start) {
    long tick = start;
    ForEachToken(text, [&](std::string_view name, int eighths) {
        const Chord* chord = FindChord(name);
        const long length = static_cast<long>(eighths) * kEighth;
        if (chord) {
            for (int note : chord->voicing) chords.Note(tick, kChordChannel, note, 62, length - 20);
            // Bass: root on each beat, the fifth on the last beat of a long chord.
            for (long beat = 0; beat < length; beat += kDemoSongDivision) {
                const bool fifth = length >= kBar && beat == kBar - kDemoSongDivision;
                const int note = chord->bass + (fifth ? 7 : 0);
                bass.Note(tick + beat, kBassChannel, note, beat == 0 ? 96 : 84,
                          kDemoSongDivision - 60);
            }
        }
        tick += length;
    });
}

void AddDrums(TrackBuilder& drums) {
    const int bars = kSectionBars * 2;
    for (int bar = 0; bar < bars; ++bar) {
        const long at = static_cast<long>(bar) * kBar;
        const bool second = bar >= kSectionBars;
        if (bar == 0 || bar == kSectionBars) drums.Note(at, kMidiDrumChannel, kCrash, 100, kBar / 2);
        if (bar == bars - 1) {  // the last bar: one hit and let it ring
            drums.Note(at, kMidiDrumChannel, kCrash, 110, kBar / 2);
            drums.Note(at, kMidiDrumChannel, kKick, 110, kEighth);
            continue;
        }
        for (int eighth = 0; eighth < 8; ++eighth) {
            const long t = at + static_cast<long>(eighth) * kEighth;
            drums.Note(t, kMidiDrumChannel, kClosedHat, eighth % 2 == 0 ? 72 : 56, kEighth / 2);
            if (eighth == 0 || eighth == 4 || (second && eighth == 5)) {
                drums.Note(t, kMidiDrumChannel, kKick, 104, kEighth);
            }
            if (eighth == 2 || eighth == 6) drums.Note(t, kMidiDrumChannel, kSnare, 96, kEighth);
        }
    }
}

}  // namespace

std::vector<unsigned char> DemoSongImage() {
    const long section_b = static_cast<long>(kSectionBars) * kBar;

    TrackBuilder conductor;
    conductor.Text(0, 0x03, "Retrograde Demo");
    conductor.Text(0, 0x02, "Written for Retrograde; free to use");
    conductor.Meta(0, kMetaTimeSignature, {4, 2, 24, 8});  // 4/4
    conductor.Meta(0, 0x59, {0, 0});         // C major
    conductor.Tempo(0, kTempoA);
    conductor.Text(0, 0x06, "A");
    conductor.Tempo(section_b, kTempoB);
    conductor.Text(section_b, 0x06, "B");

    TrackBuilder melody;
    melody.Text(0, 0x03, "Melody");
    melody.Program(0, kMelodyChannel, kFlute);
    melody.Control(0, kMelodyChannel, 7, 104);
    melody.Control(0, kMelodyChannel, 10, 72);
    AddMelody(melody, kMelodyA, 0, 88);
    melody.Program(section_b, kMelodyChannel, kAltoSax);
    AddMelody(melody, kMelodyB, section_b, 92);

    TrackBuilder chords;
    chords.Text(0, 0x03, "Chords");
    chords.Program(0, kChordChannel, kStrings);
    chords.Control(0, kChordChannel, 7, 80);
    chords.Control(0, kChordChannel, 10, 48);
    TrackBuilder bass;
    bass.Text(0, 0x03, "Bass");
    bass.Program(0, kBassChannel, kFingerBass);
    bass.Control(0, kBassChannel, 7, 100);
    AddHarmony(chords, bass, kChordsA, 0);
    AddHarmony(chords, bass, kChordsB, section_b);

    TrackBuilder drums;
    drums.Text(0, 0x03, "Drums");
    drums.Control(0, kMidiDrumChannel, 7, 96);
    AddDrums(drums);

    std::vector<unsigned char> image = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    std::array<TrackBuilder*, 5> tracks = {&conductor, &melody, &chords, &bass, &drums};
    TrackBuilder::AppendBigEndian(image, static_cast<long>(tracks.size()), 2);
    TrackBuilder::AppendBigEndian(image, kDemoSongDivision, 2);
    for (TrackBuilder* track : tracks) {
        const std::vector<std::uint8_t> chunk = track->Chunk();
        image.insert(image.end(), chunk.begin(), chunk.end());
    }
    return image;
}
