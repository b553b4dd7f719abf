// The song in midicsv's columns ("Track, Time, Type, values"), so that
// csvmidi and the scripts written for midicsv read what `dump --csv` prints.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "DumpFormat.h"
#include "EditSupport.h"
#include "midi/event/MidiEvent.h"
#include "midi/song/detail/SmfImage.h"
#include "midi/song/detail/SmfReader.h"
#include "midi/track/MidiTrackData.h"

namespace {

// A text field as midicsv writes it: quotes doubled, backslashes and control
// bytes escaped, other bytes (those of Shift-JIS or Latin-1 texts) as they are.
std::string CsvText(const unsigned char* data, int length) {
    std::string out = "\"";
    for (int i = 0; i < length; ++i) {
        const unsigned char b = data[i];
        if (b == '"') {
            out += "\"\"";
        } else if (b == '\\') {
            out += "\\\\";
        } else if (b < 0x20 || b == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", b);
            out += escape;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out + "\"";
}

std::string CsvBytes(const unsigned char* data, int length) {
    std::string out = std::to_string(length);
    for (int i = 0; i < length; ++i) out += ", " + std::to_string(data[i]);
    return out;
}

// The message of an exclusive event after its status byte and length.
std::string ExclusiveBytes(const MidiEvent& event) {
    const int count = std::clamp(event.length, 0, event.DataCapacity());
    int at = 1;
    while (at < count && at < 5 && (event.data[at] & 0x80)) ++at;
    ++at;
    return at <= count ? CsvBytes(event.data + at, count - at) : CsvBytes(event.data, 0);
}

std::string MetaColumns(const MidiEvent& event) {
    const int count = std::clamp(event.length, 0, event.DataCapacity());
    const unsigned char* d = event.data;
    const auto at = [&](int i) -> int { return i < count ? d[i] : 0; };
    const auto n = [](int value) { return std::to_string(value); };
    constexpr std::array<const char*, 8> kTextTypes = {
        "",        "Text_t",   "Copyright_t", "Title_t", "Instrument_name_t",
        "Lyric_t", "Marker_t", "Cue_point_t"};
    if (event.number >= kMetaText && event.number <= kMetaCuePoint) {
        return std::string(kTextTypes[static_cast<std::size_t>(event.number)]) + ", " +
               CsvText(d, count);
    }
    switch (event.number) {
        case kMetaSequenceNumber:
            return "Sequence_number, " + n(at(0) * 256 + at(1));
        case kMetaChannelPrefix:
            return "Channel_prefix, " + n(at(0));
        case kMetaTempo:
            return "Tempo, " + n(event.value);
        case kMetaSmpteOffset:
            return "SMPTE_offset, " + n(at(0)) + ", " + n(at(1)) + ", " + n(at(2)) + ", " +
                   n(at(3)) + ", " + n(at(4));
        case kMetaTimeSignature:
            return "Time_signature, " + n(at(0)) + ", " + n(at(1)) + ", " + n(at(2)) + ", " +
                   n(at(3));
        case kMetaKeySignature:
            return "Key_signature, " + n(static_cast<signed char>(at(0))) + ", " +
                   (at(1) == 1 ? "\"minor\"" : "\"major\"");
        case kMetaSequencerSpecific:
            return "Sequencer_specific, " + CsvBytes(d, count);
        default:
            return "Unknown_meta_event, " + n(event.number) + ", " + CsvBytes(d, count);
    }
}

// The columns of one event; empty for an event that no file holds.
std::string Columns(const MidiEvent& event) {
    const auto n = [](int value) { return std::to_string(value); };
    const std::string channel = n(event.channel) + ", ";
    switch (event.status) {
        case kEvNoteOn:
            return "Note_on_c, " + channel + n(event.note) + ", " + n(event.velocity);
        case kEvNoteOff:
            return "Note_off_c, " + channel + n(event.note) + ", " + n(event.velocity);
        case kEvKeyPressure:
            return "Poly_aftertouch_c, " + n(event.data[0] & 0x0F) + ", " + n(event.data[1]) +
                   ", " + n(event.data[2]);
        case kEvControl:
            return "Control_c, " + channel + n(event.number) + ", " + n(event.value);
        case kEvProgram:
            return "Program_c, " + channel + n(event.value);
        case kEvChannelPressure:
            return "Channel_aftertouch_c, " + channel + n(event.value);
        case kEvPitchBend:
            return "Pitch_bend_c, " + channel + n(event.value * 128 + event.note);
        case kEvSysEx:
            return "System_exclusive, " + ExclusiveBytes(event);
        case kEvSysExEscape:
            return "System_exclusive_packet, " + ExclusiveBytes(event);
        case kEvMeta:
            return MetaColumns(event);
        default:
            return {};
    }
}

// A track in form Q1, its events in the file's order.
void TrackCsv(const MidiTrackData& track, int number, std::string& out) {
    const std::string prefix = std::to_string(number) + ", ";
    out += prefix + "0, Start_track\n";
    long long tick = 0;
    for (int k = 0; k < track.event_count; ++k) {
        const MidiEvent& event = *track.event_table[k];
        tick += event.delta;
        if (event.IsEndOfTrack()) continue;  // written last, whatever came after it
        const std::string columns = Columns(event);
        if (!columns.empty()) out += prefix + std::to_string(tick) + ", " + columns + "\n";
    }
    out += prefix + std::to_string(tick) + ", End_track\n";
}

}  // namespace

std::string FileCsv(std::vector<unsigned char> image) {
    namespace detail = retrograde::detail;
    long size = static_cast<long>(image.size());
    if (!detail::LocateHeader(image.data(), &size)) return {};
    const auto header = detail::ParseHeader(image.data(), size);
    if (!header) return {};
    // Read as the file's own format, without pairing notes: the events stay
    // as the file holds them (a note on of velocity 0 reads as a note off).
    const int format = header->format == 0 ? 0 : 1;
    auto read = detail::ReadSmf<MidiTrackData>(image.data(), size, format, nullptr);
    if (!read.Accepted()) return {};
    const auto& tracks = read.body.tracks;
    std::string out = "0, 0, Header, " + std::to_string(format) + ", " +
                      std::to_string(tracks.size()) + ", " + std::to_string(read.header->division) +
                      "\n";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i]) TrackCsv(*tracks[i], static_cast<int>(i) + 1, out);
    }
    return out + "0, 0, End_of_file\n";
}
