// Events in English for `dump`, and the song in midicsv's columns.
#include "DumpFormat.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>

#include "CliSupport.h"
#include "EditSupport.h"
#include "midi/event/MidiEvent.h"
#include "midi/song/MidiF1Data.h"

namespace {

using Bytes = std::span<const unsigned char>;

std::string Number(long long value) {
    return std::to_string(value);
}

std::string Hex(Bytes bytes) {
    std::string out;
    char byte[4];
    for (const unsigned char b : bytes) {
        std::snprintf(byte, sizeof byte, "%s%02X", out.empty() ? "" : " ", b);
        out += byte;
    }
    return out;
}

std::string JsonBytes(Bytes bytes) {
    std::string out = "[";
    for (std::size_t i = 0; i < bytes.size(); ++i) out += (i ? "," : "") + Number(bytes[i]);
    return out + "]";
}

// The bytes the event keeps, within its area.
Bytes Area(const MidiEvent& event) {
    const int count = std::clamp(event.length, 0, event.DataCapacity());
    return {event.data, static_cast<std::size_t>(count)};
}

struct Named {
    int number;
    std::string_view name;
};

constexpr std::array<Named, 28> kControllers = {{
    {0, "bank select"},
    {1, "modulation"},
    {2, "breath"},
    {4, "foot"},
    {5, "portamento time"},
    {6, "data entry"},
    {7, "volume"},
    {10, "pan"},
    {11, "expression"},
    {32, "bank select LSB"},
    {38, "data entry LSB"},
    {64, "hold pedal"},
    {65, "portamento"},
    {66, "sostenuto"},
    {67, "soft pedal"},
    {71, "resonance"},
    {72, "release time"},
    {73, "attack time"},
    {74, "brightness"},
    {91, "reverb send"},
    {93, "chorus send"},
    {94, "celeste depth"},
    {98, "NRPN LSB"},
    {99, "NRPN MSB"},
    {100, "RPN LSB"},
    {101, "RPN MSB"},
    {121, "reset all controllers"},
    {123, "all notes off"},
}};

constexpr std::array<Named, 7> kTextMetas = {{
    {kMetaText, "Text"},
    {kMetaCopyright, "Copyright"},
    {kMetaTrackName, "Track name"},
    {kMetaInstrument, "Instrument name"},
    {kMetaLyric, "Lyric"},
    {kMetaMarker, "Marker"},
    {kMetaCuePoint, "Cue point"},
}};

template <std::size_t N>
std::string_view Find(const std::array<Named, N>& table, int number) {
    for (const Named& row : table) {
        if (row.number == number) return row.name;
    }
    return {};
}

EventView NoteView(std::string name, int note,
                   std::vector<std::pair<std::string, std::string>> more, std::string detail) {
    EventView view{std::move(name), NoteName(note) + " (" + Number(note) + ")" + detail, {}};
    view.fields = {{"note", Number(note)}, {"note_name", JsonString(NoteName(note))}};
    view.fields.insert(view.fields.end(), more.begin(), more.end());
    return view;
}

// The message of an exclusive event without F0 and its length: the area
// holds F0, the length as a variable-length quantity and the message.
Bytes ExclusiveMessage(Bytes area) {
    std::size_t at = 1;
    while (at < area.size() && at < 5 && (area[at] & 0x80)) ++at;
    return at + 1 <= area.size() ? area.subspan(at + 1) : Bytes{};
}

// GS parts as their address block numbers them: 0x10 is part 10, 0x11..0x19
// parts 1..9, 0x1A..0x1F parts 11..16.
int GsPart(int block) {
    const int low = block & 0x0F;
    return low == 0 ? 10 : low <= 9 ? low : low + 1;
}

EventView ExclusiveView(const MidiEvent& event) {
    const Bytes m = ExclusiveMessage(Area(event));
    const auto is = [&](std::initializer_list<int> pattern) {
        if (m.size() < pattern.size()) return false;
        std::size_t i = 0;
        for (const int b : pattern) {
            if (b >= 0 && m[i] != b) return false;  // -1 matches any device number
            ++i;
        }
        return true;
    };
    EventView view{"System exclusive", Hex(m), {{"bytes", JsonBytes(m)}}};
    if (is({0x7E, -1, 0x09, 0x01, 0xF7})) {
        view.name = "GM system on";
    } else if (is({0x7E, -1, 0x09, 0x02, 0xF7})) {
        view.name = "GM system off";
    } else if (is({0x7E, -1, 0x09, 0x03, 0xF7})) {
        view.name = "GM2 system on";
    } else if (is({0x41, -1, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00})) {
        view.name = "GS reset";
    } else if (is({0x43, -1, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})) {
        view.name = "XG system on";
    } else if (is({0x7F, -1, 0x04, 0x01, -1, -1, 0xF7})) {
        view.name = "Master volume";
        view.detail = Number(m[5]) + "  " + view.detail;
        view.fields.insert(view.fields.begin(), {"value", Number(m[5])});
    } else if (is({0x41, -1, 0x42, 0x12, 0x40, -1, 0x15, -1, -1, 0xF7}) && (m[5] & 0xF0) == 0x10) {
        const int part = GsPart(m[5]);
        const std::string use = m[7] == 0 ? "normal" : "drums, map " + Number(m[7]);
        view.name = "GS rhythm part";
        view.detail = "part " + Number(part) + " " + use + "  " + view.detail;
        view.fields.insert(view.fields.begin(), {{"part", Number(part)}, {"map", Number(m[7])}});
    }
    return view;
}

EventView MetaView(const MidiEvent& event) {
    const Bytes d = Area(event);
    const auto at = [&](std::size_t i) -> int { return i < d.size() ? d[i] : 0; };
    if (const std::string_view name = Find(kTextMetas, event.number); !name.empty()) {
        const std::string text = FileText(d.data(), static_cast<int>(d.size()));
        // Quoted and escaped as in JSON, so that a line break in a text
        // cannot break the table.
        return {std::string(name), JsonString(text), {{"text", JsonString(text)}}};
    }
    switch (event.number) {
        case kMetaSequenceNumber:
            return {"Sequence number",
                    Number(at(0) * 256 + at(1)),
                    {{"value", Number(at(0) * 256 + at(1))}}};
        case kMetaChannelPrefix:
            return {"Channel prefix", Number(at(0) + 1), {{"channel", Number(at(0) + 1)}}};
        case kMetaEndOfTrack:
            return {"End of track", "", {}};
        case kMetaTempo: {
            char bpm[32];
            std::snprintf(bpm, sizeof bpm, "%.2f", event.value > 0 ? 60e6 / event.value : 0.0);
            return {"Tempo",
                    std::string(bpm) + " bpm (" + Number(event.value) + " us a quarter note)",
                    {{"bpm", bpm}, {"microseconds", Number(event.value)}}};
        }
        case kMetaSmpteOffset: {
            char time[32];
            std::snprintf(time, sizeof time, "%02d:%02d:%02d:%02d.%02d", at(0) & 0x1F, at(1), at(2),
                          at(3), at(4));
            return {"SMPTE offset", time, {{"smpte", JsonString(time)}}};
        }
        case kMetaTimeSignature: {
            const int denominator = 1 << std::min(at(1), 30);
            return {"Time signature",
                    Number(at(0)) + "/" + Number(denominator) + ", " + Number(at(2)) +
                        " clocks a click, " + Number(at(3)) + " 32nds a quarter",
                    {{"numerator", Number(at(0))},
                     {"denominator", Number(denominator)},
                     {"clocks", Number(at(2))},
                     {"thirty_seconds", Number(at(3))}}};
        }
        case kMetaKeySignature: {
            constexpr std::array<std::string_view, 15> kMajor = {
                "Cb", "Gb", "Db", "Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E", "B", "F#", "C#"};
            constexpr std::array<std::string_view, 15> kMinor = {
                "Ab", "Eb", "Bb", "F", "C", "G", "D", "A", "E", "B", "F#", "C#", "G#", "D#", "A#"};
            const int sharps = static_cast<signed char>(at(0));
            const bool minor = at(1) == 1;
            std::string key = "?";
            if (sharps >= -7 && sharps <= 7) {
                key = std::string((minor ? kMinor : kMajor)[static_cast<std::size_t>(sharps + 7)]);
            }
            key += minor ? " minor" : " major";
            const std::string count = sharps == 0 ? "no sharps or flats"
                                      : sharps > 0
                                          ? Number(sharps) + (sharps == 1 ? " sharp" : " sharps")
                                          : Number(-sharps) + (sharps == -1 ? " flat" : " flats");
            return {"Key signature",
                    key + " (" + count + ")",
                    {{"key", JsonString(key)},
                     {"sharps", Number(sharps)},
                     {"minor", minor ? "true" : "false"}}};
        }
        case kMetaSequencerSpecific:
            return {"Sequencer specific", Hex(d), {{"bytes", JsonBytes(d)}}};
        default:
            return {"Meta event " + Number(event.number),
                    Hex(d),
                    {{"type", Number(event.number)}, {"bytes", JsonBytes(d)}}};
    }
}

}  // namespace

EventView ViewEvent(const MidiEvent& event) {
    const Bytes d = Area(event);
    const auto at = [&](std::size_t i) -> int { return i < d.size() ? d[i] : 0; };
    switch (event.status) {
        case kEvNote:
            return NoteView(
                "Note", event.note,
                {{"length", Number(event.duration)}, {"velocity", Number(event.velocity)}},
                "  length " + Number(event.duration) + "  velocity " + Number(event.velocity));
        case kEvNoteOn:
        case kEvNoteOff:
            return NoteView(event.status == kEvNoteOn ? "Note on" : "Note off", event.note,
                            {{"velocity", Number(event.velocity)}},
                            "  velocity " + Number(event.velocity));
        case kEvKeyPressure:
            return NoteView("Key pressure", at(1), {{"value", Number(at(2))}},
                            "  " + Number(at(2)));
        case kEvControl: {
            const std::string_view name = Find(kControllers, event.number);
            const std::string which = name.empty()
                                          ? "controller " + Number(event.number)
                                          : std::string(name) + " (" + Number(event.number) + ")";
            return {"Control change",
                    which + " = " + Number(event.value),
                    {{"controller", Number(event.number)}, {"value", Number(event.value)}}};
        }
        case kEvProgram:
            // Programs count from 1 as instrument lists number them.
            return {
                "Program change", Number(event.value + 1), {{"program", Number(event.value + 1)}}};
        case kEvChannelPressure:
            return {"Channel pressure", Number(event.value), {{"value", Number(event.value)}}};
        case kEvPitchBend: {
            const int bend = event.value * 128 + event.note - 8192;
            return {"Pitch bend", (bend > 0 ? "+" : "") + Number(bend), {{"bend", Number(bend)}}};
        }
        case kEvSysEx:
            return ExclusiveView(event);
        case kEvSysExEscape:
            return {"Exclusive packet",
                    Hex(d.size() > 1 ? ExclusiveMessage(d) : d),
                    {{"bytes", JsonBytes(d)}}};
        case kEvMeta:
            return MetaView(event);
        default:
            return {"Event " + Number(event.status), "", {{"status", Number(event.status)}}};
    }
}
