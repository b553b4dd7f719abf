// The SMF track reader: decodes one MTrk chunk into the track's event list.
// Every byte is read through a checked view bounded by the chunk, so a damaged
// chunk yields the events up to the damage and a message, never a read past it.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/ByteReader.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/NotePairing.h"

using retrograde::detail::ByteReader;
using retrograde::detail::FixedMetaLength;

namespace {

constexpr int kLongEvent = 255;  // longer events need an enlarged data area

bool IsChannelStatus(int status) {
    return status >= 0x80 && status <= 0xEF;
}

// Data bytes that follow a channel status.
int ChannelDataCount(int status) {
    const int kind = status & 0xF0;
    return kind == kEvProgram || kind == kEvChannelPressure ? 1 : 2;
}

// Bytes of a system common or real-time message, status included. They have
// no place in a file; the reader steps over them as a MIDI device would.
int SystemMessageSize(int status) {
    switch (status) {
        case 0xF1:
        case 0xF3:
            return 2;
        case 0xF2:
            return 3;
        default:
            return 1;
    }
}

bool IsVariableMeta(int type) {
    return (type >= kMetaText && type <= kMetaCuePoint) || type == kMetaSequencerSpecific;
}

void MakeNone(MidiEvent& event) {
    event.status = kEvNone;
    event.length = 0;
}

// Makes room for count bytes (and a terminating zero) in the event's area.
// Returns how many of the count bytes fit: all of them unless memory ran out.
int ReserveData(MidiEvent& event, int count) {
    if (count + 1 > event.DataCapacity()) event.ResizeData(count + 1);
    return std::min(count, event.DataCapacity() - 1);
}

// What decoding one message gave: the bytes it takes in the chunk, or a stop
// when the chunk ends inside the message (the rest of the chunk is then lost).
struct Decoded {
    int bytes = 0;
    bool stop = false;
};

class ChunkReader {
public:
    explicit ChunkReader(MidiTrackData& track) : track_(track) {}

    // The message whose status is status and whose status byte stands (or,
    // under running status, would stand) at index at of the buffer.
    Decoded Specify(int status, MidiEvent& event, int at) {
        if (IsChannelStatus(status)) return Channel(status, event, at);
        switch (status) {
            case kEvSysEx:
                return SysEx(event, at);
            case kEvSysExEscape:
                return SysExEscape(event, at);
            case kEvMeta:
                return Meta(event, at);
            default:
                MakeNone(event);
                return {};
        }
    }

    Decoded Meta(MidiEvent& event, int at) {
        event.status = kEvMeta;
        event.channel = kNoChannel;
        ByteReader in = View(at + 1);
        std::uint8_t type = 0;
        if (!in.U8(type)) return Damaged(event, at);
        std::uint32_t declared = 0;
        int vlq_bytes = 0;
        if (in.ReadVlq(declared, vlq_bytes) != ByteReader::Vlq::kOk) return Damaged(event, at);
        if (declared > in.Left()) return Damaged(event, at);
        const int count = static_cast<int>(declared);
        const std::uint8_t* bytes = in.Here();
        event.number = type;
        if (FixedMetaLength(type) >= 0) {
            FixedMeta(event, bytes, count);
        } else {
            VariableMeta(event, bytes, count);
        }
        return {2 + vlq_bytes + count, false};
    }

    // Fixed-length meta types. The declared length is honoured: exactly that
    // many bytes are consumed, so a meta event of a wrong length cannot throw
    // the rest of the chunk out of step; the fields are decoded from the bytes
    // that are there, missing ones counting as 0.
    void FixedMeta(MidiEvent& event, const std::uint8_t* bytes, int count) {
        const int fixed = FixedMetaLength(event.number);
        const auto d = [&](int i) -> int { return i < count ? bytes[i] : 0; };
        const int stored = std::min(count, fixed);
        if (stored > 0) std::memcpy(event.data, bytes, static_cast<std::size_t>(stored));
        event.length = fixed;
        if (event.number == kMetaTempo) {
            // A tempo of fewer than 3 bytes is as unusable as a tempo of 0.
            event.value = count < 3 ? 0 : d(0) * 65536 + d(1) * 256 + d(2);
            if (event.value == 0) {
                track_.ErrorMsg(kErrTrackTempo);
                event.value = kDefaultTempo;
            }
        } else if (event.number == kMetaTimeSignature) {
            event.value = track_.SetTimeSignValue(d(0), d(1));
        }
    }

    void VariableMeta(MidiEvent& event, const std::uint8_t* bytes, int count) {
        const int kept = ReserveData(event, count);
        if (kept > 0) std::memcpy(event.data, bytes, static_cast<std::size_t>(kept));
        event.data[kept] = 0;  // texts are read as zero-terminated strings
        event.length = kept;
        if (event.number == kMetaDeviceName) {
            event.number = kMetaInstrument;
        } else if (!IsVariableMeta(event.number)) {
            event.status = kEvNone;  // an unknown meta type goes with the next DeleteNop
        }
    }

    Decoded Channel(int status, MidiEvent& event, int at) {
        const int count = ChannelDataCount(status);
        ByteReader in = View(at + 1);
        std::uint8_t b[2] = {0, 0};
        for (int i = 0; i < count; ++i) {
            if (!in.U8(b[i])) return Damaged(event, at);
        }
        const int bytes = count + 1;
        event.data[0] = static_cast<unsigned char>(status);
        event.data[1] = b[0];
        event.data[2] = count == 2 ? b[1] : 0;
        event.length = bytes;
        const int kind = status & 0xF0;
        const int channel = status & 0x0F;
        const bool bad_data = b[0] >= 0x80 || b[1] >= 0x80;
        if (kind == kEvProgram) {
            event.status = kEvProgram;
            event.channel = channel;
            event.value = b[0];
            if (b[0] >= 0x80) {
                track_.ErrorMsg(kErrTrackProgram);
                event.value = 0;
                event.data[1] = 0;
            }
            return {bytes, false};
        }
        if (bad_data) {
            // A data byte with bit 7 set cannot belong to the message; the
            // message is dropped rather than kept with values no file, no table
            // of 128 notes and no output can take.
            track_.ErrorMsg(kErrGeneral);
            MakeNone(event);
            return {bytes, false};
        }
        switch (kind) {
            case kEvNoteOn:
                // A note on with velocity 0 is a note off.
                event.status = b[1] > 0 ? kEvNoteOn : kEvNoteOff;
                event.channel = channel;
                event.note = b[0];
                event.velocity = b[1];
                break;
            case kEvNoteOff:
                event.status = kEvNoteOff;
                event.channel = channel;
                event.note = b[0];
                event.velocity = b[1];
                break;
            case kEvKeyPressure:
                event.status = kEvKeyPressure;  // carried through as its bytes
                break;
            case kEvControl:
                event.status = kEvControl;
                event.channel = channel;
                event.number = b[0];
                event.value = b[1];
                break;
            case kEvChannelPressure:
                event.status = kEvChannelPressure;
                event.channel = channel;
                event.value = b[0];
                break;
            default:  // pitch bend: LSB then MSB
                event.status = kEvPitchBend;
                event.channel = channel;
                event.note = b[0];
                event.value = b[1];
                break;
        }
        return {bytes, false};
    }

    // F0, its length byte and the message up to and including the first F7.
    // The length byte is not trusted; the closing F7 decides.
    Decoded SysEx(MidiEvent& event, int at) {
        ByteReader in = View(at);
        const std::uint8_t* start = in.Here();
        const std::size_t left = in.Left();
        const void* end = left > 1 ? std::memchr(start + 1, 0xF7, left - 1) : nullptr;
        if (end == nullptr) return Damaged(event, at);
        const int bytes = static_cast<int>(static_cast<const std::uint8_t*>(end) - start) + 1;
        event.status = kEvSysEx;
        event.channel = kNoChannel;
        StoreLong(event, start, bytes);
        track_.SpecifyExclusiveType(&event);
        return {bytes, false};
    }

    // F7, a length and that many bytes. The length is read as a variable-length
    // quantity, as the file format defines it: for lengths below 128 that is the
    // single byte, and a longer escape keeps the chunk in step.
    Decoded SysExEscape(MidiEvent& event, int at) {
        ByteReader in = View(at + 1);
        std::uint32_t declared = 0;
        int vlq_bytes = 0;
        if (in.ReadVlq(declared, vlq_bytes) != ByteReader::Vlq::kOk) return Damaged(event, at);
        if (declared > in.Left()) return Damaged(event, at);
        const int bytes = 1 + vlq_bytes + static_cast<int>(declared);
        event.status = kEvSysExEscape;
        event.channel = kNoChannel;
        StoreLong(event, View(at).Here(), bytes);
        return {bytes, false};
    }

    // The chunk ends inside the message: it is reported and dropped, and
    // reading stops (whatever follows cannot be told apart from the damage).
    Decoded Damaged(MidiEvent& event, int at) {
        track_.ErrorMsg(kErrTrackInternal);
        MakeNone(event);
        return {track_.size - at, true};
    }

private:
    ByteReader View(int at) const {
        return ByteReader(track_.buffer, static_cast<std::size_t>(track_.size),
                          at < 0 ? 0 : static_cast<std::size_t>(at));
    }

    // An exclusive message is kept whole, in an enlarged area when it is long.
    static void StoreLong(MidiEvent& event, const std::uint8_t* bytes, int count) {
        const int kept = ReserveData(event, count);
        std::memcpy(event.data, bytes, static_cast<std::size_t>(kept));
        event.data[kept] = 0;
        event.length = kept;
    }

    MidiTrackData& track_;
};

// A note off as the channel reader made it, made fresh again for the next
// event: its fields and the three bytes of its data area back to those of a
// new record.
void MakeFresh(MidiEvent& event) {
    event.status = 0;
    event.delta = 0;
    event.note = 0;
    event.velocity = 0;
    event.length = 0;
    event.channel = kNoChannel;
    event.data[0] = 0;
    event.data[1] = 0;
    event.data[2] = 0;
}

// The running state of one chunk being read.
struct ReadState {
    long long ticks = 0;   // absolute time of the last event read
    bool cut = false;      // reading stopped before the chunk's end
    bool clamped = false;  // an absolute time was held at the largest tick
    // With pairing, the notes are paired as they come and the note offs it
    // takes are not kept: their deltas go to the next event kept, as Q1toQ2
    // would pass them on, and their records serve the next event.
    retrograde::detail::NotePairing* pairing = nullptr;
    int read = 0;                      // events read, kept or not
    long long carry = 0;               // deltas of the note offs since the last event kept
    bool last_dropped = false;         // the last event read was a note off, not kept
    std::unique_ptr<MidiEvent> spare;  // a fresh record, left by a note off not kept
};

// Appends a record read; with pairing, it is fed to the pairing as well.
void Keep(MidiTrackData& track, ReadState& state, std::unique_ptr<MidiEvent> event) {
    if (state.pairing != nullptr) {
        // The absolute times stay within 0..INT_MAX, so the sum fits.
        event->delta = static_cast<int>(event->delta + state.carry);
        state.carry = 0;
        state.last_dropped = false;
        state.pairing->Add(*event, state.read++, state.ticks);
    }
    track.event_table[track.event_count++] = event.release();
}

// The messages of nearly every event of a song: a note or a controller whose
// two data bytes are whole and valid, with or without its status byte. Decoded
// here as ChunkReader::Channel would; false leaves everything else to it.
bool ReadCommonMessage(MidiTrackData& track, MidiEvent& event) {
    const int at = track.position;
    const unsigned char* bytes = track.buffer + at;
    int status = bytes[0];
    int size = 3;
    if (status < 0x80) {
        status = track.ex_event;
        size = 2;
        --bytes;  // where the status byte would stand
    }
    const int kind = status & 0xF0;
    if ((kind != kEvNoteOn && kind != kEvNoteOff && kind != kEvControl) || status > 0xEF ||
        at + size > track.size) {
        return false;
    }
    const int b0 = bytes[1];
    const int b1 = bytes[2];
    if ((b0 | b1) >= 0x80) return false;
    event.data[0] = static_cast<unsigned char>(status);
    event.data[1] = static_cast<unsigned char>(b0);
    event.data[2] = static_cast<unsigned char>(b1);
    event.length = 3;
    event.channel = status & 0x0F;
    if (kind == kEvControl) {
        event.status = kEvControl;
        event.number = b0;
        event.value = b1;
    } else {
        // A note on with velocity 0 is a note off.
        event.status = kind == kEvNoteOn && b1 > 0 ? kEvNoteOn : kEvNoteOff;
        event.note = b0;
        event.velocity = b1;
    }
    track.event_id = static_cast<unsigned char>(status);
    track.ex_event = track.event_id;
    track.position += size;
    return true;
}

// Decodes the message at position into event and advances position; on damage
// that ends the chunk, the position is moved to its end and true returned.
bool ReadMessage(MidiTrackData& track, MidiEvent& event) {
    if (track.position < track.size && ReadCommonMessage(track, event)) return false;
    ChunkReader chunk(track);
    if (track.position >= track.size) {
        chunk.Damaged(event, track.size);
        return true;
    }
    const int at = track.position;
    const int byte = track.buffer[at];
    Decoded result;
    if (byte >= 0x80) {
        const bool known =
            IsChannelStatus(byte) || byte == kEvSysEx || byte == kEvSysExEscape || byte == kEvMeta;
        if (!known) {
            // A system common or real-time status: no file event.
            track.ErrorMsg(kErrTrackUndefinedEvent);
            MakeNone(event);
            const int left = track.size - at;
            track.position += std::min(SystemMessageSize(byte), left);
            track.skipped_bytes += std::min(SystemMessageSize(byte), left);
            return false;
        }
        track.event_id = static_cast<unsigned char>(byte);
        result = chunk.Specify(byte, event, at);
    } else if (IsChannelStatus(track.ex_event)) {
        // Running status: the data bytes start here, the status is implied.
        track.event_id = track.ex_event;
        result = chunk.Specify(track.event_id, event, at - 1);
        if (!result.stop) --result.bytes;
    } else {
        // A data byte with no running status in force (at the start of a
        // chunk, or after an exclusive message, which ends running status):
        // reported and stepped over.
        track.ErrorMsg(kErrTrackUndefinedEvent);
        MakeNone(event);
        ++track.position;
        ++track.skipped_bytes;
        return false;
    }
    if (result.stop) {
        track.position = track.size;
        return true;
    }
    if (event.length > kLongEvent && event.number != kMetaSequencerSpecific) {
        track.ErrorMsgOnce(kErrTrackEventTooLarge);
    }
    track.position += result.bytes;
    if (track.event_id < kEvMeta) track.ex_event = track.event_id;
    return false;
}

// Reads one event (delta and message) and appends it. Returns false when the
// chunk can be read no further.
bool ReadEvent(MidiTrackData& track, ReadState& state) {
    if (track.form != kFormRaw) {
        track.ErrorMsg(kErrTrackInternal);
        return false;
    }
    if (track.event_count >= kMaxEvents) {
        // The table is full: the rest of the track is dropped.
        track.ErrorMsg(kErrTrackTooMuchData);
        track.skipped_bytes += track.size - track.position;
        state.cut = true;
        return false;
    }
    // Where the event starts: a damaged event is skipped from here on.
    const int start = track.position;
    ByteReader in(track.buffer, static_cast<std::size_t>(track.size),
                  static_cast<std::size_t>(track.position));
    std::uint32_t delta = 0;
    int vlq_bytes = 0;
    if (in.ReadVlq(delta, vlq_bytes) != ByteReader::Vlq::kOk) {
        // A delta cut off by the chunk's end, or longer than 4 bytes.
        track.ErrorMsg(kErrTrackInternal);
        track.skipped_bytes += track.size - start;
        track.position = track.size;
        state.cut = true;
        return false;
    }
    track.position += vlq_bytes;
    // Deltas are kept as read (at most 28 bits each), but the absolute time
    // they add up to is held at the largest int, so that no later sum of
    // deltas along the track can overflow.
    long long ticks = state.ticks + delta;
    if (ticks > INT_MAX) {
        delta -= static_cast<std::uint32_t>(ticks - INT_MAX);
        ticks = INT_MAX;
        if (!state.clamped) track.ErrorMsg(kErrTrackInternal);
        state.clamped = true;
    }
    state.ticks = ticks;
    std::unique_ptr<MidiEvent> event = std::move(state.spare);
    if (event == nullptr) event = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
    event->delta = static_cast<int>(delta);
    if (ReadMessage(track, *event)) {
        // The damaged message is lost with the rest of the chunk; its delta
        // is not, as an end of track is put there.
        track.skipped_bytes += track.size - start;
        state.cut = true;
        if (event->delta > 0) {
            event->status = kEvMeta;
            event->number = kMetaEndOfTrack;
            event->length = 0;
            event->channel = kNoChannel;
            Keep(track, state, std::move(event));
        }
        return false;
    }
    if (state.pairing != nullptr && event->status == kEvNoteOff && event->length == 3 &&
        event->DataCapacity() <= MusicEvent::kDataSize) {
        // A note off goes to the pairing only; its record serves the next event.
        state.pairing->Add(*event, state.read++, state.ticks);
        state.carry += event->delta;
        state.last_dropped = true;
        MakeFresh(*event);
        state.spare = std::move(event);
        return true;
    }
    Keep(track, state, std::move(event));
    return true;
}

void MakeEndOfTrack(MidiEvent& event) {
    event.status = kEvMeta;
    event.number = kMetaEndOfTrack;
    event.channel = kNoChannel;
    event.length = 0;
    event.value = 0;
}

// A track whose reading stopped at damage ends with an end of track all the
// same, so that it can be played, converted and written like any other.
void CloseCutTrack(MidiTrackData& track) {
    if (track.event_count > 0 && track.event_table[track.event_count - 1]->IsEndOfTrack()) return;
    if (track.event_count < kMaxEvents) {
        track.event_table[track.event_count++] = new MidiEvent(0, MusicEvent::Compact{});
        MakeEndOfTrack(*track.event_table[track.event_count - 1]);
        return;
    }
    // No room left: the last event read gives way to the end of track.
    MidiEvent& last = *track.event_table[track.event_count - 1];
    const int delta = last.delta;
    last.ResizeData(MusicEvent::kDataSize);
    MakeEndOfTrack(last);
    last.delta = delta;
}

ReadState StateAtEnd(const MidiTrackData& track) {
    ReadState state;
    for (int i = 0; i < track.event_count; ++i) state.ticks += track.event_table[i]->delta;
    return state;
}

}  // namespace

namespace {

// Decodes one MTrk chunk of image at offset into the empty track (the reading
// constructors); form Q1 when read, else the form stays none.
void ReadChunk(MidiTrackData& track, long total, long offset, unsigned char* image,
               retrograde::detail::NotePairing* pairing) {
    track.ErrorMsgOnce(kErrClearOnce);
    track.ex_event = 0;
    track.event_id = 0;
    track.skipped_bytes = 0;
    if (image == nullptr || offset < 0 || total < offset || track.buffer == nullptr) {
        track.ErrorMsg(kErrTrackInternal);
        return;
    }
    const long available = total - offset;
    const unsigned char* chunk = image + offset;
    if (available < 4 || std::memcmp(chunk, "MTrk", 4) != 0) {
        track.ErrorMsg(kErrTrackNotMidi);
        return;
    }
    if (available < kSmfChunkHeaderSize) {
        track.ErrorMsg(kErrTrackInternal);
        return;
    }
    const long long declared =
        (static_cast<long long>(chunk[4]) << 24) | (chunk[5] << 16) | (chunk[6] << 8) | chunk[7];
    long long length = declared + kSmfChunkHeaderSize;
    ReadState state;
    state.pairing = pairing;
    if (length > available) {
        // The chunk runs past the end of the file (a file cut short): what is
        // there is read, and the track is closed where the bytes end.
        track.ErrorMsg(kErrTrackInternal);
        length = available;
        state.cut = true;
    }
    if (!track.Reserve(length)) {
        // No room for the chunk: what fits is read.
        track.ErrorMsg(kErrTrackTooMuchData);
        length = track.capacity;
        state.cut = true;
    }
    // A note takes at least six bytes (two events of a delta and two data
    // bytes under running status): room for the notes of most tracks at once.
    if (pairing != nullptr) pairing->Reserve(static_cast<std::size_t>(length / 6 + 1));
    std::memcpy(track.buffer, chunk, static_cast<std::size_t>(length));
    track.size = static_cast<int>(length);
    track.form = kFormRaw;
    track.position = kSmfChunkHeaderSize;
    while (track.position < track.size) {
        if (!ReadEvent(track, state)) break;
    }
    if (state.last_dropped) {
        // The chunk ended on note offs that were not kept: an event without
        // bytes stands where they stood, with their deltas, so the end of
        // track goes behind them as it would behind the note offs; Q1toQ2
        // removes it.
        Keep(track, state, std::make_unique<MidiEvent>(0, MusicEvent::Compact{}));
    }
    if (state.cut) CloseCutTrack(track);
    if (pairing != nullptr) pairing->Finish();
    track.form = kFormQ1;
}

}  // namespace

// The tables come from the plain constructor, not cleared: a song of many
// tracks would otherwise clear a megabyte per track for nothing.
MidiTrackData::MidiTrackData(long total, long offset, unsigned char* image) : MidiTrackData() {
    ReadChunk(*this, total, offset, image, nullptr);
}

MidiTrackData::MidiTrackData(long total, long offset, unsigned char* image,
                             retrograde::detail::NotePairing& pairing)
    : MidiTrackData() {
    pairing.Reset();
    ReadChunk(*this, total, offset, image, &pairing);
}

void MidiTrackData::GetEventData() {
    ReadState state = StateAtEnd(*this);
    ReadEvent(*this, state);
}

int MidiTrackData::GetVariable() {
    ByteReader in(buffer, static_cast<std::size_t>(size > 0 ? size : 0),
                  static_cast<std::size_t>(position > 0 ? position : 0));
    std::uint32_t value = 0;
    int bytes = 0;
    if (in.ReadVlq(value, bytes) != ByteReader::Vlq::kOk) {
        ErrorMsg(kErrTrackInternal);
        position = size;
        return static_cast<int>(value & 0x0FFFFFFF);
    }
    position += bytes;
    return static_cast<int>(value);
}

void MidiTrackData::GetEvent(MidiEvent* event) {
    if (event == nullptr) return;
    ReadMessage(*this, *event);
}

int MidiTrackData::SpecifyEvent(int status, MidiEvent* event) {
    if (event == nullptr || position < 0 || position >= size) return 0;
    if (!IsChannelStatus(status) && status != kEvSysEx && status != kEvSysExEscape &&
        status != kEvMeta) {
        MakeNone(*event);
        return 0;
    }
    return ChunkReader(*this).Specify(status, *event, position).bytes;
}

int MidiTrackData::SetMetaEvent(MidiEvent* event) {
    if (event == nullptr || position < 0 || position >= size) return 0;
    return ChunkReader(*this).Meta(*event, position).bytes;
}

// Both meta readers take the type from the file; the fixed or variable layout
// follows from it.
int MidiTrackData::SetMetaEventFixedLen(MidiEvent* event) {
    return SetMetaEvent(event);
}

int MidiTrackData::SetMetaEventVariableLen(MidiEvent* event) {
    return SetMetaEvent(event);
}

int MidiTrackData::SetTimeSignValue(int numerator, int denominatorPower) {
    // The code keeps the denominator in its low byte, so powers above 7
    // (denominators above 128) cannot be expressed and count as invalid.
    if (numerator <= 0 || numerator > 255 || denominatorPower <= 0 || denominatorPower > 7) {
        ErrorMsg(kErrGeneral);
        return 0x404;
    }
    return numerator * 256 + (1 << denominatorPower);
}

void MidiTrackData::SearchMetaEvent(int type, char* text) {
    if (text == nullptr) return;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* event = event_table[i];
        if (!event->IsMeta(type)) continue;
        const int count = std::clamp(event->length, 0, event->DataCapacity());
        std::memcpy(text, event->data, static_cast<std::size_t>(count));
        text[count] = '\0';
    }
}
