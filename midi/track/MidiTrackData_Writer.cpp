// The writer: turns a Q1 event list back into the bytes of an MTrk chunk.
// Every message is written with its full status byte (no running status).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"

namespace {

constexpr int kChunkHeaderSize = 8;                // "MTrk" and the 4-byte length
constexpr std::int64_t kMaxVariable = 0x0FFFFFFF;  // 28 bits: 4 bytes of 7
constexpr int kNoteOffVelocity = 64;               // every note off is written with it
constexpr int kLongMeta = 128;                     // longer meta texts are worth a warning
constexpr int kTimeSignatureBytes = 4;
constexpr int kTempoBytes = 3;
constexpr const char* kInternalErrorText = "MidiTrackDataで内部エラーが発生しました。";

// Where encoded bytes go. Without an output it only counts, so a track can be
// measured before a byte of it is written.
class ByteSink {
public:
    explicit ByteSink(unsigned char* out) : out_(out) {}

    void Put(int byte) {
        if (out_ != nullptr) out_[size_] = static_cast<unsigned char>(byte);
        ++size_;
    }
    void Put(const unsigned char* bytes, int count) {
        if (count <= 0) return;
        if (out_ != nullptr) std::memcpy(out_ + size_, bytes, static_cast<std::size_t>(count));
        size_ += static_cast<std::size_t>(count);
    }
    std::size_t Size() const { return size_; }

private:
    unsigned char* out_;
    std::size_t size_ = 0;
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

int VariableSize(std::int64_t value) {
    unsigned char scratch[4];
    return EncodeVariable(
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, kMaxVariable)), scratch);
}

void PutVariable(ByteSink& sink, std::int64_t value, bool report) {
    unsigned char bytes[4];
    const int count =
        report ? GneSetVariable(static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX)),
                                bytes)
               : EncodeVariable(
                     static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, kMaxVariable)),
                     bytes);
    sink.Put(bytes, count);
}

// The bytes an event keeps in its data area; a length beyond the area is a
// damaged record and is cut to the area.
void PutDataArea(MidiTrackData& track, const MidiEvent& event, ByteSink& sink, bool report) {
    if (event.length > event.DataCapacity() && report) track.ErrorMsg(kErrTrackInternal);
    sink.Put(event.data, std::clamp(event.length, 0, event.DataCapacity()));
}

void EncodeMeta(MidiTrackData& track, const MidiEvent& event, ByteSink& sink, bool report) {
    if (report && event.length > kLongMeta && event.number != kMetaSequencerSpecific) {
        track.ErrorMsgOnce(kErrTrackEventTooLarge);
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
            if (event.length > event.DataCapacity() && report) track.ErrorMsg(kErrTrackInternal);
            const int count = std::clamp(event.length, 0, event.DataCapacity());
            PutVariable(sink, count, report);
            sink.Put(event.data, count);
            return;
        }
    }
}

// One message without its delta.
void EncodeMessage(MidiTrackData& track, const MidiEvent& event, ByteSink& sink, bool report) {
    // A channel outside 0..15 is reported and written as its low 4 bits: a
    // carry into the status byte would turn the message into another kind.
    auto status_byte = [&](int kind) {
        if ((event.channel < 0 || event.channel > 15) && report) track.ErrorMsg(kErrTrackChannel);
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
            PutDataArea(track, event, sink, report);
            if (report) track.ErrorMsg(kErrTrackUndefinedEvent);
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
            PutDataArea(track, event, sink, report);
            if (event.length <= 0 && report) track.ErrorMsg(kErrTrackUndefinedEvent);
            return;
        case kEvMeta:
            EncodeMeta(track, event, sink, report);
            return;
        default:  // none events and Notes have no bytes of their own
            if (report) track.ErrorMsg(kErrTrackUndefinedEvent);
            return;
    }
}

std::size_t MessageSize(MidiTrackData& track, const MidiEvent& event) {
    ByteSink counter(nullptr);
    EncodeMessage(track, event, counter, false);
    return counter.Size();
}

}  // namespace

// Values beyond 28 bits cannot be written as a quantity of 4 bytes: they are
// reported and written as the largest one (a negative value as 0).
int GneSetVariable(int value, unsigned char* out) {
    if (value < 0 || value > kMaxVariable) {
        GneWriteErrorMsg(kInternalErrorText);
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
    ByteSink sink(out);
    EncodeMessage(*this, *event, sink, true);
    return static_cast<int>(sink.Size());
} catch (const std::exception&) {
    return ErrorMsg(kErrTrackInternal);
}

int MidiTrackData::GetMetaEvent(unsigned char* out, MidiEvent* event) try {
    if (event == nullptr || out == nullptr) return ErrorMsg(kErrTrackInternal);
    ByteSink sink(out);
    EncodeMeta(*this, *event, sink, true);
    return static_cast<int>(sink.Size());
} catch (const std::exception&) {
    return ErrorMsg(kErrTrackInternal);
}

// The track is measured first and written only when it fits the buffer, so a
// refused track leaves the buffer, its size and the form as they were. An
// event without bytes of its own (none event, Note) is reported and its delta
// goes on to the next event, so the chunk stays readable.
int MidiTrackData::Q1toRaw() try {
    if (form != kFormQ1 || event_count == 0 || !event_table[event_count - 1]->IsEndOfTrack()) {
        return ErrorMsg(kErrTrackInternal);
    }
    std::size_t total = kChunkHeaderSize;
    std::int64_t carry = 0;
    for (int i = 0; i < event_count && total <= kMusicDataBufferSize; ++i) {
        const MidiEvent& event = *event_table[i];
        const std::size_t message = MessageSize(*this, event);
        carry += event.delta;
        if (message == 0) continue;
        total += static_cast<std::size_t>(VariableSize(carry)) + message;
        carry = 0;
    }
    if (total > kMusicDataBufferSize) return ErrorMsg(kErrTrackTooMuchData);

    ByteSink sink(buffer + kChunkHeaderSize);
    carry = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& event = *event_table[i];
        carry += event.delta;
        if (MessageSize(*this, event) == 0) {
            EncodeMessage(*this, event, sink, true);  // writes nothing, reports
            continue;
        }
        PutVariable(sink, carry, true);
        EncodeMessage(*this, event, sink, true);
        carry = 0;
    }
    std::memcpy(buffer, "MTrk", 4);
    GneLongToChar(buffer + 4, static_cast<long>(total - kChunkHeaderSize));
    size = static_cast<int>(total);
    position = 0;
    form = kFormRaw;
    return 1;
} catch (const std::exception&) {
    return ErrorMsg(kErrTrackInternal);
}
