// Recording back end, virtual-clock rig and song builders of the playback tests.
#include "PlaybackTestSupport.h"

#include <array>
#include <bitset>
#include <chrono>
#include <ostream>

#include "playback/MidiControler.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"
#include "playback/StopCallback.h"

std::ostream& operator<<(std::ostream& out, const Sent& sent) {
    out << "{" << sent.micros << " us:";
    for (auto b : sent.bytes) out << " " << std::hex << int(b) << std::dec;
    return out << "}";
}

RecordingBackend::RecordingBackend(PlayTimer* clock) : clock_(clock) {}

void RecordingBackend::Send(const unsigned char* bytes, int count) {
    const std::int64_t now = clock_ ? clock_->Now().count() : 0;
    std::lock_guard lock(mutex_);
    sent_.push_back({now, Bytes(bytes, bytes + count)});
}

std::vector<Sent> RecordingBackend::Messages() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

std::vector<Bytes> RecordingBackend::MessageBytes() const {
    std::vector<Bytes> out;
    for (const auto& sent : Messages()) out.push_back(sent.bytes);
    return out;
}

PlaybackRig::PlaybackRig() {
    MidiControler::UseBackend(&out);
    MidiPlayer::UseTimer(&timer);
}

PlaybackRig::~PlaybackRig() {
    MusicPlayer.RequestStop();
    MusicPlayer.CancelPlay();
    StaticMusicPlayer::WaitFor([] { return MusicPlayer.idle.load() == 1; },
                               std::chrono::seconds(5));
    MusicPlayer.StopMidi();
    MidiControler::UseBackend(nullptr);
    MidiPlayer::UseTimer(nullptr);
    SetStopCallback(nullptr, nullptr);
    SetStopButtonTitleHook(nullptr);
    MusicPlayer.SetDestination(-1);
}

MidiEvent* Framed(int delta, const Bytes& message) {
    return SysEx(delta,
                 Concat({{0xF0}, smf::Vlq(std::uint32_t(message.size() + 1)), message, {0xF7}}));
}

MidiEvent* Escape(int delta, const Bytes& bytes) {
    MidiEvent* event = SysEx(delta, Concat({{0xF7, std::uint8_t(bytes.size())}, bytes}));
    event->status = kEvSysExEscape;
    return event;
}

std::unique_ptr<MidiF0Data> Q1Song(int division, std::initializer_list<MidiEvent*> events) {
    auto song = std::make_unique<MidiF0Data>(kFormQ1, division);
    for (MidiEvent* event : events) song->GetTrack()->AddEvent(event);
    return song;
}

std::unique_ptr<MidiF0Data> SongFromTrack(int division, const Bytes& track_body) {
    const Bytes image = Concat({HeaderChunk(0, 1, division), TrackChunk(track_body)});
    return std::make_unique<MidiF0Data>(image.data(), static_cast<long>(image.size()));
}

int HangingNotes(const std::vector<Bytes>& messages) {
    std::array<std::bitset<128>, 16> on;
    for (const auto& m : messages) {
        if (m.size() < 3) continue;
        const int kind = m[0] & 0xF0;
        const int channel = m[0] & 0x0F;
        if (kind == 0x90 && m[2] > 0) on[channel].set(m[1]);
        if (kind == 0x80 || (kind == 0x90 && m[2] == 0)) on[channel].reset(m[1]);
        if (kind == 0xB0 && m[1] == 123) on[channel].reset();
    }
    int count = 0;
    for (const auto& notes : on) count += static_cast<int>(notes.count());
    return count;
}

Bytes Msg(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}
