// The test suites' one vocabulary: a capturing message sink, files and
// shell runs, file bytes, the library's messages, events and tracks made in
// code, plain views of tracks to compare, and the literal merges the song
// tests hold the fast ones to.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "General/GneHooks.h"
#include "midi/track/MidiTrackData.h"

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

// ---- files and commands ----

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
std::string ReadText(const std::string& path);
std::vector<std::string> SplitLines(const std::string& text);

// Sets an environment variable while it lives, then restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string Quote(const std::string& text);  // quoted for the shell
struct RunResult {
    int status = -1;  // the exit status; -1 when the command did not exit
    std::string out;
    std::string err;
};
// Runs a shell command line in folder (when given), without input; captures
// both streams.
RunResult RunShell(const std::string& line, const std::string& folder = "");

// ---- Standard MIDI File bytes ----

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes TrackChunk(const Bytes& body);  // "MTrk", the length of body, then body
Bytes HeaderChunk(int format, int tracks, int division);
Bytes RiffChunk(const std::string& tag, const Bytes& body);  // tag, little-endian length, body

namespace smf {

inline Bytes Vlq(std::uint32_t v) {
    Bytes out{std::uint8_t(v & 0x7F)};
    while (v >>= 7) out.insert(out.begin(), std::uint8_t(0x80 | (v & 0x7F)));
    return out;
}
inline Bytes Msg(std::uint32_t delta, Bytes bytes) {
    return Concat({Vlq(delta), bytes});
}
inline Bytes On(std::uint32_t delta, int ch, int note, int vel = 100) {
    return Msg(delta, {std::uint8_t(0x90 | ch), std::uint8_t(note), std::uint8_t(vel)});
}
// Written as the writer writes every note off: status 0x80, velocity 64.
inline Bytes Off(std::uint32_t delta, int ch, int note) {
    return Msg(delta, {std::uint8_t(0x80 | ch), std::uint8_t(note), 64});
}
inline Bytes Cc(std::uint32_t delta, int ch, int number, int value) {
    return Msg(delta, {std::uint8_t(0xB0 | ch), std::uint8_t(number), std::uint8_t(value)});
}
inline Bytes Program(std::uint32_t delta, int ch, int program) {
    return Msg(delta, {std::uint8_t(0xC0 | ch), std::uint8_t(program)});
}
inline Bytes Text(std::uint32_t delta, int type, const std::string& text) {
    return Concat({Vlq(delta),
                   {0xFF, std::uint8_t(type)},
                   Vlq(std::uint32_t(text.size())),
                   Bytes(text.begin(), text.end())});
}
inline Bytes Tempo(std::uint32_t delta, std::uint32_t tempo) {
    return Msg(delta, {0xFF, 0x51, 3, std::uint8_t(tempo >> 16), std::uint8_t(tempo >> 8),
                       std::uint8_t(tempo)});
}
inline Bytes Eot(std::uint32_t delta) {
    return Msg(delta, {0xFF, 0x2F, 0});
}
// MacBinary: 128 bytes of a Macintosh file header in front of the file.
inline Bytes WithMacBinary(const Bytes& file) {
    Bytes head(128, 0);
    head[1] = 8;
    std::memcpy(&head[2], "SONG.MID", 8);
    return Concat({head, file});
}

// A RIFF "RMID" file holding smf in its "data" chunk, after an "INFO" list
// when asked.
inline Bytes Rmid(const Bytes& smf, bool info = false) {
    const Bytes list = info ? RiffChunk("LIST", {'I', 'N', 'F', 'O'}) : Bytes{};
    return RiffChunk("RIFF", Concat({{'R', 'M', 'I', 'D'}, list, RiffChunk("data", smf)}));
}

}  // namespace smf

// A small format-0 file in the writer's own encoding (at one tick: other
// events, then note offs, then note ons): tempo and title at 0, notes on
// channels 0 and 9, a program change at 480.
inline Bytes SmallFormat0() {
    return Concat(
        {HeaderChunk(0, 1, 480),
         TrackChunk(Concat({smf::Text(0, 3, "Song"), smf::Tempo(0, 500000), smf::Program(0, 0, 5),
                            smf::On(0, 0, 60), smf::On(0, 9, 36), smf::Off(240, 9, 36),
                            smf::Program(240, 0, 7), smf::Off(0, 0, 60), smf::On(0, 0, 64),
                            smf::Off(480, 0, 64), smf::Eot(0)}))});
}

// ---- the track's messages ----

inline const std::string kInternal = "MidiTrackDataで内部エラーが発生しました。";
inline const std::string kGeneric = "MidiTrackDataでエラーが発生しました。";
inline const std::string kUndefined = "未定義のMIDIイベントです。";
inline const std::string kChannelError = "チャネルに誤りがあります。";
inline const std::string kTooMuch = "データの量が多すぎます。";
inline const std::string kTooLarge = "サイズが大きすぎるイベントが含まれています。";
inline const std::string kTempoData = "MidiTrackDataでテンポデータの異常が検出されました。";
inline const std::string kTempo = "テンポに誤りがあります。";
inline const std::string kNotMidi =
    "MIDIファイルではないか、マックバイナリがついているファイルです。";
inline const std::string kProgram =
    "プログラム・チェンジで不正な番号がありました。0に調整しました。";

// ---- events ----

// A field given as kAny is not compared.
constexpr int kAny = -1;

// One event as the tests build and compare it. Builders give the delta and
// the fields; views of a track also give the absolute tick, the length and
// the text of text metas. An Ev turns into a new record where a track takes
// one (AddEvent, InsertEvent).
struct Ev {
    int delta = 0;
    int status = kEvNone;
    int channel = kNoChannel;
    int note = 0;
    int velocity = 0;
    int duration = 0;
    int number = 0;
    int value = 0;
    int length = kAny;  // the record's length; from data when not given
    long tick = kAny;
    std::string text{};
    Bytes data{};  // the record's data area; not compared

    operator MidiEvent*() const;  // NOLINT: a new record, owned by whoever takes it
    bool operator==(const Ev& o) const {
        const auto same = [](long a, long b) { return a == kAny || b == kAny || a == b; };
        return std::tie(delta, status, channel, note, velocity, duration, number, value, text) ==
                   std::tie(o.delta, o.status, o.channel, o.note, o.velocity, o.duration, o.number,
                            o.value, o.text) &&
               same(length, o.length) && same(tick, o.tick);
    }
};

inline void PrintTo(const Ev& e, std::ostream* os) {
    *os << "{d" << e.delta << " t" << e.tick << " st" << std::hex << e.status << std::dec << " ch"
        << e.channel << " n" << e.note << " v" << e.velocity << " dur" << e.duration << " num"
        << std::hex << e.number << std::dec << " val" << e.value << " len" << e.length << " '"
        << e.text << "'}";
}

inline MidiEvent* Make(const Ev& v) {
    auto* e = new MidiEvent(v.delta);
    e->status = v.status;
    e->channel = v.channel;
    e->note = v.note;
    e->velocity = v.velocity;
    e->duration = v.duration;
    e->number = v.number;
    e->value = v.value;
    const int size = int(v.data.size());
    if (size + 1 > e->DataCapacity()) e->ResizeData(size + 1);
    std::copy(v.data.begin(), v.data.end(), e->data);
    e->data[size] = 0;  // texts stay zero-terminated
    e->length = v.length != kAny ? v.length : size;
    return e;
}
inline Ev::operator MidiEvent*() const {
    return Make(*this);
}

inline Ev Event(int delta, int status, int channel = kNoChannel) {
    return {delta, status, channel};
}
inline Ev Nop(int delta) {
    return Event(delta, kEvNone);
}
inline Ev Note(int delta, int channel, int note, int duration, int velocity = 100) {
    return {delta, kEvNote, channel, note, velocity, duration, 0, 0, kAny, kAny, {}, {kEvNote}};
}
inline Ev On(int delta, int channel, int note, int velocity = 100) {
    return {delta, kEvNoteOn, channel, note, velocity};
}
inline Ev Off(int delta, int channel, int note, int velocity = 0) {
    return {delta, kEvNoteOff, channel, note, velocity};
}
// Channel messages carry their bytes in the data area.
inline Ev Cc(int delta, int channel, int number, int value) {
    const Bytes data{std::uint8_t(kEvControl | channel), std::uint8_t(number), std::uint8_t(value)};
    return {delta, kEvControl, channel, 0, 0, 0, number, value, kAny, kAny, {}, data};
}
// A control change whose value tells events apart in order tests.
inline Ev Tag(int delta, int tag) {
    return Cc(delta, 0, 20, tag);
}
inline Ev Pc(int delta, int channel, int program) {
    const Bytes data{std::uint8_t(kEvProgram | channel), std::uint8_t(program)};
    return {delta, kEvProgram, channel, 0, 0, 0, 0, program, kAny, kAny, {}, data};
}
inline Ev Bend(int delta, int channel, int bend) {
    return {delta, kEvPitchBend, channel, bend & 127, 0, 0, 0, bend >> 7};
}
// A meta event holding text (zero-terminated, however long).
inline Ev Meta(int delta, int type, const std::string& text = "") {
    const Bytes data(text.begin(), text.end());
    return {delta, kEvMeta, kNoChannel, 0, 0, 0, type, 0, kAny, kAny, {}, data};
}
inline Ev Tempo(int delta, int tempo) {
    const Bytes data{std::uint8_t(tempo >> 16), std::uint8_t(tempo >> 8), std::uint8_t(tempo)};
    return {delta, kEvMeta, kNoChannel, 0, 0, 0, kMetaTempo, tempo, kAny, kAny, {}, data};
}
// numerator/2^power, as the reader stores it.
inline Ev TimeSign(int delta, int numerator, int power) {
    const Bytes data{std::uint8_t(numerator), std::uint8_t(power), 24, 8};
    const int value = numerator * 256 + (1 << power);
    return {delta, kEvMeta, kNoChannel, 0, 0, 0, kMetaTimeSignature, value, kAny, kAny, {}, data};
}
inline Ev Eot(int delta) {
    return Meta(delta, kMetaEndOfTrack);
}
// An exclusive event with the given bytes (F0, length, message, F7) and
// classification.
inline Ev SysEx(int delta, const Bytes& bytes, int type = 0, int channel = kNoChannel,
                int value = 0) {
    return {delta, kEvSysEx, channel, 0, 0, 0, type, value, kAny, kAny, {}, bytes};
}
// The universal master volume message at 100, and as a classified event.
inline const Bytes kMasterVolume = {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x64, 0xF7};
inline Ev MasterVolume(int delta) {
    return SysEx(delta, kMasterVolume, kExTypeMasterVolume, kNoChannel, 100);
}
// A GS rhythm-part assignment of the part on channel (exclusive type 18),
// switching it to drums, or back when on is 0.
inline Ev RhythmPart(int delta, int channel, int on = 1) {
    unsigned char part = 0;
    SetSysExF0Chanel(channel, &part, 0x10);
    return SysEx(
        delta, {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, part, 0x15, std::uint8_t(on), 0x00, 0xF7},
        18, channel, 1);
}
// An exclusive message (without a length byte) for channel ch.
inline Ev GsSysEx(int delta, int ch) {
    return SysEx(delta, {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}, 0, ch);
}

// ---- tracks ----

template <class T = MidiTrackData>
std::unique_ptr<T> Track(int form, const std::vector<Ev>& events) {
    auto track = std::make_unique<T>(form);
    for (const Ev& e : events) track->AddEvent(e);
    return track;
}
// A track read from a chunk at offset of image.
inline std::unique_ptr<MidiTrackData> Read(Bytes image, long offset = 0) {
    return std::make_unique<MidiTrackData>(static_cast<long>(image.size()), offset, image.data());
}
// The chunk bytes a track holds after Q1toRaw.
inline Bytes ChunkBytes(const MidiTrackData& track) {
    return Bytes(track.buffer, track.buffer + track.size);
}
inline Bytes DataOf(const MidiEvent& e, int count) {
    return Bytes(e.data, e.data + count);
}

// ---- views ----

inline Ev View(const MidiEvent& e, long tick = kAny) {
    Ev v{e.delta,  e.status, e.channel, e.note, e.velocity, e.duration,
         e.number, e.value,  e.length,  tick,   "",         {}};
    // Text metas show their text.
    if (e.status == kEvMeta && ((e.number >= 1 && e.number <= 7) || e.number == 0x7F))
        v.text.assign(reinterpret_cast<const char*>(e.data), std::size_t(e.length));
    return v;
}
inline std::vector<Ev> Events(const MidiTrackData& track) {
    std::vector<Ev> out;
    long tick = 0;
    for (int i = 0; i < track.event_count; ++i) {
        tick += track.event_table[i]->delta;
        out.push_back(View(*track.event_table[i], tick));
    }
    return out;
}
// Absolute ticks of the events of a track.
inline std::vector<long> TimesOf(const MidiTrackData& track) {
    std::vector<long> times;
    for (const Ev& e : Events(track)) times.push_back(e.tick);
    return times;
}

// One field of every Note of a track, in track order.
inline std::vector<int> OfNotes(const MidiTrackData& t, int MidiEvent::*field) {
    std::vector<int> out;
    for (int i = 0; i < t.event_count; ++i)
        if (t.event_table[i]->status == kEvNote) out.push_back(t.event_table[i]->*field);
    return out;
}

// "tick kind fields" per event, e.g. "480 N c0 n60 d240", "0 CC c1 #7=100",
// "960 EOT".
inline std::string Describe(long tick, const MidiEvent* e) {
    const auto n = [](int v) { return std::to_string(v); };
    const std::string s = n(int(tick)) + " ", ch = "c" + n(e->channel);
    const int k = e->status;
    if (k == kEvNone) return s + "NONE";
    if (k == kEvNote) return s + "N " + ch + " n" + n(e->note) + " d" + n(e->duration);
    if (k == kEvNoteOn) return s + "ON " + ch + " n" + n(e->note);
    if (k == kEvNoteOff) return s + "OFF " + ch + " n" + n(e->note);
    if (k == kEvControl) return s + "CC " + ch + " #" + n(e->number) + "=" + n(e->value);
    if (k == kEvProgram) return s + "PC " + ch + " " + n(e->value);
    if (k == kEvPitchBend) return s + "PB " + ch + " " + n(e->value * 128 + e->note);
    if (k == kEvSysEx) return s + "F0 t" + n(e->number) + " " + ch;
    if (k == kEvSysExEscape) return s + "F7";
    if (k != kEvMeta) return s + "?" + n(k);
    if (e->number == kMetaEndOfTrack) return s + "EOT";
    if (e->number == kMetaTempo) return s + "TEMPO " + n(e->value);
    return s + "META" + n(e->number) + " " +
           std::string(reinterpret_cast<const char*>(e->data), std::size_t(e->length));
}
using Lines = std::vector<std::string>;
inline Lines Dump(const MidiTrackData& track) {
    Lines out;
    long tick = 0;
    for (int i = 0; i < track.event_count; ++i) {
        tick += track.event_table[i]->delta;
        out.push_back(Describe(tick, track.event_table[i]));
    }
    return out;
}

// Every field of every record, a line each, with the data area's bytes up
// to the length, or the whole area's non-zero bytes when whole_area is set.
inline Lines Image(const MidiTrackData& t, bool whole_area = false) {
    Lines out{"form " + std::to_string(t.form)};
    for (int k = 0; k < t.event_count; ++k) {
        const MidiEvent* e = t.event_table[k];
        std::string line;
        for (int v : {e->delta, e->status, e->channel, e->note, e->velocity, e->number, e->value,
                      e->duration, e->length, whole_area ? e->DataCapacity() : 0})
            line += std::to_string(v) + " ";
        const int bytes = whole_area ? e->DataCapacity() : std::min(e->length, e->DataCapacity());
        for (int b = 0; b < bytes; ++b) {
            if (!whole_area || e->data[b] != 0)
                line += std::to_string(b) + "=" + std::to_string(e->data[b]) + " ";
        }
        out.push_back(line);
    }
    return out;
}

// A note as the comparisons see it.
struct NoteValue {
    long start;
    int channel;
    int note;
    int duration;
    int velocity;
    auto Key() const { return std::tie(start, channel, note, duration, velocity); }
    bool operator==(const NoteValue& o) const { return Key() == o.Key(); }
    bool operator<(const NoteValue& o) const { return Key() < o.Key(); }
};
inline std::ostream& operator<<(std::ostream& out, const NoteValue& n) {
    return out << "{t" << n.start << " c" << n.channel << " n" << n.note << " d" << n.duration
               << " v" << n.velocity << "}";
}
using Notes = std::vector<NoteValue>;

// The Notes of a Q2 track, sorted.
inline Notes NotesOf(const MidiTrackData& track) {
    Notes notes;
    for (const Ev& e : Events(track)) {
        if (e.status == kEvNote)
            notes.push_back({e.tick, e.channel, e.note, e.duration, e.velocity});
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}

// A random Q2 track: notes, controllers, titles, texts and exclusive
// messages, many at one tick; usually closed by an end of track.
inline std::unique_ptr<MidiTrackData> RandomTrack(std::mt19937& rng, int events, int channel) {
    std::uniform_int_distribution<int> pick(0, 99);
    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    for (int i = 0; i < events; ++i) {
        const int delta = pick(rng) < 45 ? 0 : 1 + pick(rng) % 40;
        const int kind = pick(rng);
        // An end of track in the middle, now and then.
        const Ev e =
            kind < 55 ? Note(delta, channel, 30 + pick(rng) % 60, 1 + pick(rng) % 100)
            : kind < 75
                ? Cc(delta, pick(rng) < 90 ? channel : pick(rng) % 16, pick(rng) % 120, pick(rng))
            : kind < 83
                ? Meta(delta, kMetaTrackName, std::string(pick(rng) % 70, char('a' + kind % 26)))
            : kind < 90 ? Meta(delta, kMetaText, "text" + std::to_string(i))
            : kind < 95 ? GsSysEx(delta, pick(rng) < 50 ? kNoChannel : channel)
                        : Eot(delta);
        track->AddEvent(e);
    }
    if (pick(rng) < 85) track->AddEvent(Eot(pick(rng) % 30));
    return track;
}

// ---- literal merges: the oracle of the fast ones, on lists of deltas ----

using EvList = std::vector<Ev>;

// The list with its ticks filled in from the deltas.
inline EvList Absolute(EvList list) {
    long tick = 0;
    for (Ev& e : list) e.tick = tick += e.delta;
    return list;
}
inline bool IsEnd(const Ev& e) {
    return e.status == kEvMeta && e.number == kMetaEndOfTrack;
}
inline bool IsTitle(const Ev& e) {
    return e.status == kEvMeta && e.number == kMetaTrackName;
}
inline void DeleteAt(EvList& list, std::size_t i) {
    if (i + 1 < list.size()) list[i + 1].delta += list[i].delta;
    list.erase(list.begin() + long(i));
}
template <class Match>
void DeleteWhere(EvList& list, Match match, std::size_t keep_last = 0) {
    for (std::size_t i = 0; i + keep_last < list.size();) {
        if (match(list[i])) {
            DeleteAt(list, i);
        } else {
            ++i;
        }
    }
}
inline void DeleteDuplicateEnd(EvList& list) {
    DeleteWhere(list, IsEnd, 1);
    if (list.empty() || !IsEnd(list.back())) list.push_back(Eot(0));
}

// The n-way merge step by step: one event per copy and pass.
inline EvList LiteralMergeN(std::vector<EvList> copies) {
    EvList out;
    std::vector<std::size_t> next(copies.size(), 0);
    for (;;) {
        std::vector<std::size_t> left;
        for (std::size_t c = 0; c < copies.size(); ++c)
            if (next[c] < copies[c].size()) left.push_back(c);
        if (left.empty()) break;
        int d = copies[left[0]][next[left[0]]].delta;
        for (auto c : left) d = std::min(d, copies[c][next[c]].delta);
        bool first = true;
        for (auto c : left) {
            Ev& e = copies[c][next[c]];
            if (e.delta == d) {
                out.push_back(e);
                out.back().delta = first ? d : 0;
                first = false;
                ++next[c];
            } else {
                e.delta -= d;
            }
        }
    }
    DeleteDuplicateEnd(out);
    return out;
}

// The two-way merge of b into a, step by step; on equal times b comes first.
inline EvList LiteralMerge2(EvList a, EvList b, bool withTitle) {
    const auto first_title = [](const EvList& list) {
        const auto t = std::find_if(list.begin(), list.end(), IsTitle);
        return t == list.end() ? std::string() : t->text;
    };
    const auto channel = [](const EvList& list) {
        for (const Ev& e : list) {
            if (e.channel != kNoChannel && e.status != kEvSysEx && e.status != kEvSysExEscape)
                return e.channel;
        }
        return int(kNoChannel);
    };
    if (withTitle) {
        const std::string ta = first_title(a), tb = first_title(b);
        std::string joined = ta.empty() ? tb : tb.empty() ? ta : ta + " / " + tb;
        DeleteWhere(a, IsTitle);
        DeleteWhere(b, IsTitle);
        if (joined.size() > 127) joined = "long name";
        Ev title = Meta(0, kMetaTrackName);
        title.text = joined;
        a.insert(a.begin(), title);
    } else if (channel(b) != kNoChannel) {
        DeleteWhere(b, IsTitle);
    }
    EvList out;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].delta < b[j].delta) {
            b[j].delta -= a[i].delta;
            out.push_back(a[i++]);
        } else {
            a[i].delta -= b[j].delta;
            out.push_back(b[j++]);
        }
    }
    while (i < a.size()) out.push_back(a[i++]);
    while (j < b.size()) out.push_back(b[j++]);
    DeleteDuplicateEnd(out);
    return out;
}
