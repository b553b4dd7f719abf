// The writer: turns a Q1 event list back into the bytes of an MTrk chunk.
// Every message is written with its full status byte (no running status).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/Prefetch.h"
#include "midi/track/detail/TrackMessages.h"

namespace {

constexpr std::int64_t kMaxVariable = 0x0FFFFFFF;  // 28 bits: 4 bytes of 7
constexpr int kNoteOffVelocity = 64;               // every note off is written with it
constexpr int kLongMeta = 128;                     // longer meta texts are worth a warning
constexpr int kTimeSignatureBytes = 4;
constexpr int kTempoBytes = 3;
// What the writers of single messages take as room: their callers provide it.
constexpr std::size_t kUnbounded = std::size_t{1} << 40;

// Where encoded bytes go: at most capacity bytes are written; beyond that the
// sink only counts, so a track too large for its buffer is measured to its end
// without a byte written past it. Without an output it only counts.
class ByteSink {
public:
    explicit ByteSink(unsigned char* out, std::size_t capacity = 0)
        : out_(out), capacity_(capacity) {}

    void Put(int byte) {
        if (size_ < capacity_) out_[size_] = static_cast<unsigned char>(byte);
        ++size_;
    }
    void Put(const unsigned char* bytes, int count) {
        if (count <= 0) return;
        const auto n = static_cast<std::size_t>(count);
        if (size_ + n <= capacity_) std::memcpy(out_ + size_, bytes, n);
        size_ += n;
    }
    std::size_t Size() const { return size_; }
    bool Overflowed() const { return size_ > capacity_; }
    // Forgets what was put since the size was mark.
    void Truncate(std::size_t mark) { size_ = mark; }

private:
    unsigned char* out_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

// Where the encoder's complaints go: to the track's messages, or, without a
// track, nowhere; either way it is noted that there was one.
class Reports {
public:
    explicit Reports(MidiTrackData* track) : track_(track) {}

    void Error(int code) {
        wanted_ = true;
        if (track_ != nullptr) track_->ErrorMsg(code);
    }
    void ErrorOnce(int code) {
        wanted_ = true;
        if (track_ != nullptr) track_->ErrorMsgOnce(code);
    }
    bool Emitting() const { return track_ != nullptr; }
    bool Wanted() const { return wanted_; }

private:
    MidiTrackData* track_;
    bool wanted_ = false;
};

// A quantity already within 0..kMaxVariable, most significant group first.
int EncodeVariable(std::uint32_t value, unsigned char* out) {
    int count = 1;
    while (count < 4 && (value >> (7 * count)) != 0) ++count;
    for (int i = 0; i < count; ++i) {
        const auto group = static_cast<unsigned char>((value >> (7 * (count - 1 - i))) & 0x7F);
        out[i] = i + 1 < count ? static_cast<unsigned char>(group | 0x80) : group;
    }
    return count;
}

// Values beyond 28 bits cannot be written as a quantity of 4 bytes: they are
// reported and written as the largest one (a negative value as 0).
void PutVariable(ByteSink& sink, std::int64_t value, Reports& reports) {
    // Most deltas of a dense song take one byte.
    if (value >= 0 && value < 0x80) [[likely]] {
        sink.Put(static_cast<int>(value));
        return;
    }
    if (value < 0 || value > kMaxVariable) reports.Error(kErrTrackInternal);
    unsigned char bytes[4];
    const int count = EncodeVariable(
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, kMaxVariable)), bytes);
    sink.Put(bytes, count);
}

// The bytes an event keeps in its data area; a length beyond the area is a
// damaged record and is cut to the area.
void PutDataArea(const MidiEvent& event, ByteSink& sink, Reports& reports) {
    if (event.length > event.DataCapacity()) reports.Error(kErrTrackInternal);
    sink.Put(event.data, std::clamp(event.length, 0, event.DataCapacity()));
}

void EncodeMeta(const MidiEvent& event, ByteSink& sink, Reports& reports) {
    if (event.length > kLongMeta && event.number != kMetaSequencerSpecific) {
        reports.ErrorOnce(kErrTrackEventTooLarge);
    }
    sink.Put(kEvMeta);
    sink.Put(event.number);
    switch (event.number) {
        case kMetaEndOfTrack:
            sink.Put(0);
            return;
        case kMetaTempo:
            sink.Put(kTempoBytes);
            sink.Put(event.value >> 16);
            sink.Put(event.value >> 8);
            sink.Put(event.value);
            return;
        case kMetaTimeSignature:
            sink.Put(kTimeSignatureBytes);
            sink.Put(event.data, kTimeSignatureBytes);
            return;
        default: {
            // The length is always a variable-length quantity, so a text of 128
            // bytes or more is read back as it was written.
            if (event.length > event.DataCapacity()) reports.Error(kErrTrackInternal);
            const int count = std::clamp(event.length, 0, event.DataCapacity());
            PutVariable(sink, count, reports);
            sink.Put(event.data, count);
            return;
        }
    }
}

// One message without its delta.
void EncodeMessage(const MidiEvent& event, ByteSink& sink, Reports& reports) {
    // A channel outside 0..15 is reported and written as its low 4 bits: a
    // carry into the status byte would turn the message into another kind.
    auto status_byte = [&](int kind) {
        if (event.channel < 0 || event.channel >= kMidiChannels) reports.Error(kErrTrackChannel);
        return kind | (event.channel & 0x0F);
    };
    switch (event.status) {
        case kEvNoteOff:
            sink.Put(status_byte(kEvNoteOff));
            sink.Put(event.note);
            sink.Put(kNoteOffVelocity);
            return;
        case kEvNoteOn:
            sink.Put(status_byte(kEvNoteOn));
            sink.Put(event.note);
            sink.Put(event.velocity);
            return;
        case kEvKeyPressure:
            PutDataArea(event, sink, reports);
            reports.Error(kErrTrackUndefinedEvent);
            return;
        case kEvControl:
            sink.Put(status_byte(kEvControl));
            sink.Put(event.number);
            sink.Put(event.value);
            return;
        case kEvProgram:
        case kEvChannelPressure:
            sink.Put(status_byte(event.status));
            sink.Put(event.value);
            return;
        case kEvPitchBend:
            sink.Put(status_byte(kEvPitchBend));
            sink.Put(event.note);
            sink.Put(event.value);
            return;
        case kEvSysEx:
        case kEvSysExEscape:
            PutDataArea(event, sink, reports);
            if (event.length <= 0) reports.Error(kErrTrackUndefinedEvent);
            return;
        case kEvMeta:
            EncodeMeta(event, sink, reports);
            return;
        default:  // none events and Notes have no bytes of their own
            reports.Error(kErrTrackUndefinedEvent);
            return;
    }
}

// Writes the events of the track into sink, each message after the delta
// carried to it. An event without bytes of its own (none event, Note) writes
// nothing and its delta goes on to the next event, so the chunk stays readable.
void EncodeEvents(const MidiTrackData& track, ByteSink& sink, Reports& reports) {
    std::int64_t carry = 0;
    for (int i = 0; i < track.event_count; ++i) {
        retrograde::detail::PrefetchAhead(track.event_table.get(), i, track.event_count);
        const MidiEvent& event = *track.event_table[i];
        carry += event.delta;
        if (!reports.Emitting()) {
            // The delta goes first and is taken back when the message has no
            // bytes. A delta out of range is noted even then: that only means
            // the reporting pass runs.
            const std::size_t mark = sink.Size();
            PutVariable(sink, carry, reports);
            const std::size_t message = sink.Size();
            EncodeMessage(event, sink, reports);
            if (sink.Size() == message) {
                sink.Truncate(mark);
                continue;
            }
        } else {
            // Reported, the message is measured first, so a delta out of range
            // is reported with the event that carries it.
            ByteSink counter(nullptr);
            Reports none(nullptr);
            EncodeMessage(event, counter, none);
            if (counter.Size() == 0) {
                EncodeMessage(event, sink, reports);  // writes nothing, reports
                continue;
            }
            PutVariable(sink, carry, reports);
            EncodeMessage(event, sink, reports);
        }
        carry = 0;
    }
}

}  // namespace

// Values beyond 28 bits cannot be written as a quantity of 4 bytes: they are
// reported and written as the largest one (a negative value as 0).
int GneSetVariable(int value, unsigned char* out) {
    if (value < 0 || value > kMaxVariable) {
        retrograde::detail::ShowError(retrograde::detail::kTrackMessages, kErrTrackInternal);
        value = static_cast<int>(std::clamp<std::int64_t>(value, 0, kMaxVariable));
    }
    return EncodeVariable(static_cast<std::uint32_t>(value), out);
}

void GneLongToChar(unsigned char* out, long value) {
    const auto bits = static_cast<std::uint32_t>(value);
    out[0] = static_cast<unsigned char>(bits >> 24);
    out[1] = static_cast<unsigned char>(bits >> 16);
    out[2] = static_cast<unsigned char>(bits >> 8);
    out[3] = static_cast<unsigned char>(bits);
}

int MidiTrackData::SetVariable(MidiEvent* event, unsigned char* out) {
    if (event == nullptr || out == nullptr) return ErrorMsg(kErrTrackInternal);
    return GneSetVariable(event->delta, out);
}

int MidiTrackData::SetEventData(MidiEvent* event, unsigned char* out) try {
    if (event == nullptr || out == nullptr) return ErrorMsg(kErrTrackInternal);
    ByteSink sink(out, kUnbounded);
    Reports reports(this);
    EncodeMessage(*event, sink, reports);
    return static_cast<int>(sink.Size());
} catch (const std::exception&) {
    return ErrorMsg(kErrTrackInternal);
}

int MidiTrackData::GetMetaEvent(unsigned char* out, MidiEvent* event) try {
    if (event == nullptr || out == nullptr) return ErrorMsg(kErrTrackInternal);
    ByteSink sink(out, kUnbounded);
    Reports reports(this);
    EncodeMeta(*event, sink, reports);
    return static_cast<int>(sink.Size());
} catch (const std::exception&) {
    return ErrorMsg(kErrTrackInternal);
}

// The track is written aside and taken into the buffer, grown as needed, only
// when it is whole, so a refused track leaves the buffer, its size and the
// form as they were. The first pass measures and notes whether anything is to
// be reported; when the bytes did not fit the room tried, or something is to
// be reported, the track is written again into room of its exact size.
int MidiTrackData::Q1toRaw() try {
    if (form != kFormQ1 || event_count == 0 || !event_table[event_count - 1]->IsEndOfTrack()) {
        return ErrorMsg(kErrTrackInternal);
    }
    std::size_t room = static_cast<std::size_t>(capacity) - kSmfChunkHeaderSize;
    auto bytes = std::make_unique_for_overwrite<unsigned char[]>(room);
    ByteSink sink(bytes.get(), room);
    Reports noted(nullptr);
    EncodeEvents(*this, sink, noted);
    if (sink.Size() > static_cast<std::size_t>(INT_MAX) - kSmfChunkHeaderSize) {
        return ErrorMsg(kErrTrackTooMuchData);
    }
    if (sink.Overflowed()) {
        room = sink.Size();
        bytes = std::make_unique_for_overwrite<unsigned char[]>(room);
    }
    if (sink.Overflowed() || noted.Wanted()) {
        ByteSink again(bytes.get(), room);
        Reports reports(noted.Wanted() ? this : nullptr);
        EncodeEvents(*this, again, reports);
        sink = again;
    }
    if (!Reserve(static_cast<long long>(kSmfChunkHeaderSize) +
                 static_cast<long long>(sink.Size()))) {
        return ErrorMsg(kErrTrackTooMuchData);
    }
    const std::size_t total = kSmfChunkHeaderSize + sink.Size();
    std::memcpy(buffer + kSmfChunkHeaderSize, bytes.get(), sink.Size());
    std::memcpy(buffer, "MTrk", 4);
    GneLongToChar(buffer + 4, static_cast<long>(total - kSmfChunkHeaderSize));
    size = static_cast<int>(total);
    position = 0;
    form = kFormRaw;
    return 1;
} catch (const std::exception&) {
    return ErrorMsg(kErrTrackInternal);
}
