// What the playback tests share: a back end that records every message the
// output sends, a rig that puts the sequencer on a virtual clock and that
// back end, and builders of exclusive events and small songs.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "playback/MidiBackend.h"
#include "playback/PlayTimer.h"
#include "playback/VirtualPlayTimer.h"
#include "support/TestEvents.h"

struct Sent {
    std::int64_t micros;  // the clock's time when it was sent
    Bytes bytes;
    bool operator==(const Sent&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Sent& sent);

// Records each message with the time of the given timer (0 without one).
class RecordingBackend final : public MidiBackend {
public:
    explicit RecordingBackend(PlayTimer* clock = nullptr);
    void Send(const unsigned char* bytes, int count) override;
    std::vector<Sent> Messages() const;
    std::vector<Bytes> MessageBytes() const;  // the bytes only

private:
    PlayTimer* clock_;
    mutable std::mutex mutex_;
    std::vector<Sent> sent_;
};

// While it lives, every sequencer made uses the virtual timer and sends to
// the recorder. Leaves no sequencer, callback or hook behind.
class PlaybackRig {
public:
    PlaybackRig();
    ~PlaybackRig();
    PlaybackRig(const PlaybackRig&) = delete;
    PlaybackRig& operator=(const PlaybackRig&) = delete;

    VirtualPlayTimer timer;
    RecordingBackend out{&timer};
};

// An exclusive event as the reader keeps it: F0, the SMF length, message, F7.
MidiEvent* Framed(int delta, const Bytes& message_without_f0_f7);
MidiEvent* Escape(int delta, const Bytes& bytes);  // F7, length, bytes

// A song in form Q1 holding the given events, in order.
std::unique_ptr<MidiF0Data> Q1Song(int division, std::initializer_list<MidiEvent*> events);
// A song read from a format-0 file of one track with the given body (ends in Q2).
std::unique_ptr<MidiF0Data> SongFromTrack(int division, const Bytes& track_body);

// Note state replayed from messages: the notes left sounding after them
// (note-offs, note-ons of velocity 0 and All Notes Off end a note).
int HangingNotes(const std::vector<Bytes>& messages);

Bytes Msg(std::initializer_list<int> bytes);
