// What the playback tests share: a back end that records every message the
// output sends, a rig that puts the sequencer on a virtual clock and that
// back end, and builders of exclusive events and small songs.
#pragma once

#include <chrono>
#include <initializer_list>
#include <mutex>
#include <ostream>

#include "midi/song/MidiF0Data.h"
#include "playback/MidiBackend.h"
#include "playback/MidiControler.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"
#include "playback/StopCallback.h"
#include "playback/VirtualPlayTimer.h"
#include "support/TestEvents.h"

struct Sent {
    std::int64_t micros;  // the clock's time when it was sent
    Bytes bytes;
    bool operator==(const Sent&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Sent& sent) {
        out << "{" << sent.micros << " us:";
        for (auto b : sent.bytes) out << " " << std::hex << int(b) << std::dec;
        return out << "}";
    }
};

// Records each message with the time of the given timer (0 without one).
class RecordingBackend final : public MidiBackend {
public:
    explicit RecordingBackend(PlayTimer* clock = nullptr) : clock_(clock) {}
    void Send(const unsigned char* bytes, int count) override {
        const std::int64_t now = clock_ ? clock_->Now().count() : 0;
        std::lock_guard lock(mutex_);
        sent_.push_back({now, Bytes(bytes, bytes + count)});
    }
    std::vector<Sent> Messages() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    std::vector<Bytes> MessageBytes() const {  // the bytes only
        std::vector<Bytes> out;
        for (const auto& sent : Messages()) out.push_back(sent.bytes);
        return out;
    }

private:
    PlayTimer* clock_;
    mutable std::mutex mutex_;
    std::vector<Sent> sent_;
};

// The player has no play thread left.
inline bool WaitIdle() {
    return StaticMusicPlayer::WaitFor([] { return MusicPlayer.idle.load() == 1; },
                                      std::chrono::seconds(5));
}

// While it lives, every sequencer made uses the virtual timer and sends to
// the recorder. Leaves no sequencer, callback or hook behind.
struct PlaybackRig {
    PlaybackRig() {
        MidiControler::UseBackend(&out);
        MidiPlayer::UseTimer(&timer);
    }
    ~PlaybackRig() {
        MusicPlayer.RequestStop();
        MusicPlayer.CancelPlay();
        WaitIdle();
        MusicPlayer.StopMidi();
        MidiControler::UseBackend(nullptr);
        MidiPlayer::UseTimer(nullptr);
        SetStopCallback(nullptr, nullptr);
        SetStopButtonTitleHook(nullptr);
        MusicPlayer.SetDestination(-1);
    }
    PlaybackRig(const PlaybackRig&) = delete;
    PlaybackRig& operator=(const PlaybackRig&) = delete;

    VirtualPlayTimer timer;
    RecordingBackend out{&timer};
};

inline Bytes Msg(std::initializer_list<int> bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// An exclusive event as the reader keeps it: F0, the SMF length, message, F7.
inline MidiEvent* Framed(int delta, const Bytes& message) {
    return SysEx(delta,
                 Concat({{0xF0}, smf::Vlq(std::uint32_t(message.size() + 1)), message, {0xF7}}));
}

inline MidiEvent* Escape(int delta, const Bytes& bytes) {  // F7, length, bytes
    MidiEvent* event = SysEx(delta, Concat({{0xF7, std::uint8_t(bytes.size())}, bytes}));
    event->status = kEvSysExEscape;
    return event;
}

// A song in form Q1 holding the given events, in order.
inline std::unique_ptr<MidiF0Data> Q1Song(int division, std::initializer_list<MidiEvent*> events) {
    auto song = std::make_unique<MidiF0Data>(kFormQ1, division);
    for (MidiEvent* event : events) song->GetTrack()->AddEvent(event);
    return song;
}

// A song read from a format-0 file of one track with the given body (ends in Q2).
inline std::unique_ptr<MidiF0Data> SongFromTrack(int division, const Bytes& track_body) {
    const Bytes image = Concat({HeaderChunk(0, 1, division), TrackChunk(track_body)});
    return std::make_unique<MidiF0Data>(image.data(), static_cast<long>(image.size()));
}
