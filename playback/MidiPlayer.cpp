// The sequencer: set-up, the timer routine and the sending of one event.
#include "playback/MidiPlayer.h"

#include <array>
#include <bitset>
#include <climits>
#include <exception>
#include <vector>

#include "General/GeneralMac.h"
#include "General/detail/ClassMessages.h"
#include "midi/song/MidiF0Data.h"
#include "playback/MidiControler.h"
#include "playback/StopCallback.h"
#include "playback/detail/PlaybackState.h"
#include "playback/detail/TempoClock.h"

using retrograde::detail::playback_state;

using retrograde::detail::ChooseTempo;
using retrograde::detail::TempoChoice;
using retrograde::detail::TempoClock;

std::unique_ptr<MidiControler>& MidiPlayer::MidiCtrl = playback_state.output;
PlayTimer*& MidiPlayer::m_timer = playback_state.timer;
MidiPlayer*& MidiPlayer::Self = playback_state.self;
std::atomic<int>& MidiPlayer::Runing = playback_state.runing;
std::atomic<int>& MidiPlayer::CancelFlg = playback_state.cancel;
MidiF0Data*& MidiPlayer::MidiDat = playback_state.song;
int& MidiPlayer::PlayIdx = playback_state.play_index;
int& MidiPlayer::BpmTempo = playback_state.bpm_tempo;
int& MidiPlayer::TempoRate = playback_state.tempo_rate;

namespace {

constexpr int kWireBufferSize = 1024;  // exclusive messages up to this size need no allocation

// The rest of the sequencer's state, touched by the set-up and then only by
// the timer routine.
TempoClock& tempo_clock = playback_state.tempo_clock;
auto& sounding = playback_state.sounding;  // notes on and not yet off
auto& channels_used = playback_state.channels_used;

constexpr std::array kPlayerTexts = {
    retrograde::detail::MessageText{kErrPlayerDivision, "分解狽ｪ大きすぎます。"},
    retrograde::detail::MessageText{kErrPlayerTimer, "タイマーが使用できませんでした。"},
    retrograde::detail::MessageText{kErrPlayerSlowTempo, "設定されているテンポが遅すぎます。"},
    retrograde::detail::MessageText{kErrPlayerInternal, "MidiPlayerで内部エラーが起きました。"},
};
constexpr retrograde::detail::MessageTable kPlayerMessages{"MidiPlayer", kPlayerTexts};

void TakeTempo(int micros_per_quarter) {
    const TempoChoice choice = ChooseTempo(micros_per_quarter);
    if (choice.tiny) GneErrorMsg(kGneErrNoMemory);
    if (choice.slow) ShowError(kPlayerMessages, kErrPlayerSlowTempo);
    MidiPlayer::BpmTempo = choice.bpm;
    tempo_clock.SetTempo(choice.micros);
}

unsigned char Data7(int value) {
    return static_cast<unsigned char>(value & 0x7F);
}
unsigned char Channel(const MidiEvent* event) {
    return static_cast<unsigned char>(event->channel & 0x0F);
}

MidiTrackData* Track() {
    return MidiPlayer::MidiDat ? MidiPlayer::MidiDat->GetTrack() : nullptr;
}

// Tells GetPlayTick where the sequencer is: last_tick sent, the next event
// at play_tick due at the clock's due time.
void PublishPosition(std::int64_t last_tick) {
    std::lock_guard lock(playback_state.position_mutex);
    auto& position = playback_state.position;
    position.last_tick = last_tick;
    position.next_tick = playback_state.play_tick;
    position.due = tempo_clock.Due();
    position.tempo = tempo_clock.Tempo();
    position.division = MidiPlayer::MidiDat ? MidiPlayer::MidiDat->division : 0;
    position.rate = MidiPlayer::TempoRate;
}

}  // namespace

void MidiPlayer::UseTimer(PlayTimer* timer) {
    playback_state.chosen_timer.store(timer);
}

void MidiPlayer::SetRuning(int value) {
    Runing = value;
    playback_state.Announce();
}

MidiPlayer::MidiPlayer(MidiF0Data* song, int destination) {
    Self = this;
    try {
        SetupMidiPlayer2(song, destination);
    } catch (const std::exception&) {
        ErrorMsg(kErrPlayerInternal);
        DropOutput();
    }
    if (!MidiCtrl) {
        SetRuning(0);
        return;
    }
    try {
        m_timer = playback_state.chosen_timer.load();
        if (!m_timer) {
            playback_state.own_timer = std::make_unique<RealPlayTimer>();
            m_timer = playback_state.own_timer.get();
        }
        m_timer->Install(MidiPlayTimerProc);
    } catch (const std::exception&) {
        // No thread for the timer: nothing plays, the output goes again.
        ErrorMsg(kErrPlayerTimer);
        m_timer = nullptr;
        playback_state.own_timer.reset();
        DropOutput();
        SetRuning(0);
        return;
    }
    // The first note sounds at once: its own delta is not waited for. Played
    // from a chosen point, the song starts at the point instead.
    tempo_clock.Start(m_timer->Now().count());
    if (playback_state.wait_lead_in.load()) {
        tempo_clock.Advance(
            static_cast<int>(std::min<std::int64_t>(playback_state.play_tick, INT_MAX)));
        PublishPosition(0);
    } else {
        PublishPosition(playback_state.play_tick);
    }
    m_timer->PrimeAt(PlayTimer::Micros{tempo_clock.Due()});
}

void MidiPlayer::DropOutput() {
    MidiCtrl.reset();
}

MidiPlayer::~MidiPlayer() {
    if (m_timer) m_timer->Remove();
    m_timer = nullptr;
    playback_state.own_timer.reset();
    if (MidiCtrl) {
        SilenceSoundingNotes();
        MidiCtrl.reset();
    }
    SetRuning(0);
    if (Self == this) Self = nullptr;
}

int MidiPlayer::SetupMidiPlayer2(MidiF0Data* song, int destination) {
    if (!song || !song->GetTrack() || song->form != kFormQ1) return ErrorMsg(kErrPlayerInternal);
    MidiDat = song;
    MidiCtrl = std::make_unique<MidiControler>(destination);
    if (!MidiControler::IsOpen()) {
        DropOutput();
        return 0;
    }
    SetRuning(1);
    BpmTempo = 120;
    PlayIdx = 0;
    TempoRate = 100;
    CancelFlg = 0;
    tempo_clock = TempoClock(song->division, TempoRate);
    tempo_clock.SetTempo(kDefaultTempo);
    for (auto& notes : sounding) notes.reset();
    channels_used.reset();
    const int result = SendControlBeforeNote();
    // The tick at which playing starts: that of the first note.
    std::int64_t tick = 0;
    for (int i = 0; i <= PlayIdx && i < song->GetTrack()->event_count; ++i)
        tick += song->GetTrack()->GetEvent(i)->delta;
    playback_state.play_tick = tick;
    return result;
}

int MidiPlayer::SendControlBeforeNote() {
    MidiTrackData* track = Track();
    while (track && PlayIdx < track->event_count) {
        MidiEvent* event = track->GetEvent(PlayIdx);
        if (event->status == kEvNoteOn) return 1;
        PlayEvent(event);
    }
    return 0;
}

void MidiPlayer::MidiPlayTimerProc(PlayTimer* task) {
    for (;;) {
        // Tested before the song is touched: a stopped song may be gone.
        if (CancelFlg.load()) {
            SetRuning(0);
            return;
        }
        MidiTrackData* track = Track();
        if (!track || PlayIdx >= track->event_count) {
            // Everything went out before the first note: the song is over.
            SetRuning(0);
            CallStopFunc();
            return;
        }
        if (task->Now().count() < tempo_clock.Due()) {
            task->PrimeAt(PlayTimer::Micros{tempo_clock.Due()});
            return;
        }
        const int delta_time = PlayEvent(track->GetEvent(PlayIdx));
        if (delta_time < 0) {
            SetRuning(0);
            CallStopFunc();
            return;
        }
        if (!tempo_clock.Valid()) {  // no ticks per minute: division or rate 0
            SetRuning(0);
            GneErrorMsg(kGneErrNoMemory);
            return;
        }
        tempo_clock.Advance(delta_time);
        const std::int64_t sent = playback_state.play_tick;
        playback_state.play_tick += delta_time;
        PublishPosition(sent);
    }
}

int MidiPlayer::PlayEvent(MidiEvent* event) {
    MidiControler* out = MidiCtrl.get();
    if (event && out) {
        const unsigned char channel = Channel(event);
        switch (event->status) {
            case kEvNoteOn:
                out->MidiNoteOn(Data7(event->note), Data7(event->velocity), channel);
                sounding[channel].set(Data7(event->note), event->velocity > 0);
                channels_used.set(channel);
                break;
            case kEvNoteOff:
                out->MidiNoteOff(Data7(event->note), channel);
                sounding[channel].reset(Data7(event->note));
                channels_used.set(channel);
                break;
            case kEvProgram:
                out->MidiProgramChange(Data7(event->value), channel);
                channels_used.set(channel);
                break;
            case kEvControl:
                out->MidiThreeBytesEvent(static_cast<unsigned char>(kEvControl + channel),
                                         Data7(event->number), Data7(event->value));
                channels_used.set(channel);
                break;
            case kEvPitchBend:
                // The low 7 bits travel first.
                out->MidiThreeBytesEvent(static_cast<unsigned char>(kEvPitchBend + channel),
                                         Data7(event->note), Data7(event->value));
                channels_used.set(channel);
                break;
            case kEvSysEx:
            case kEvSysExEscape:
                SendExclusive(event);
                break;
            case kEvMeta:
                if (event->number == kMetaTempo) TakeTempo(event->value);
                break;
            default:
                break;
        }
    }
    MidiTrackData* track = Track();
    ++PlayIdx;
    if (!track || PlayIdx >= track->event_count) return -1;
    return track->GetEvent(PlayIdx)->delta;
}

void MidiPlayer::SendExclusive(const MidiEvent* event) {
    const unsigned char* area = event->data;
    const int length = std::min(event->length, event->DataCapacity());
    if (!area || length < 2) return;
    const unsigned char* body;
    int body_length;
    bool framed;
    if (event->status == kEvSysEx) {
        // The area holds the file's bytes: F0, the SMF length (a variable-
        // length quantity), the message, F7. A port expects F0 to be followed
        // by the manufacturer, so the length goes.
        int i = 1;
        while (i < length && (area[i] & 0x80)) ++i;
        body = area + i + 1;
        body_length = length - i - 1;
        if (body_length > 0 && body[body_length - 1] == 0xF7) --body_length;
        framed = true;
    } else {
        // An escaped message: F7, its length, then bytes sent as they are.
        body = area + 2;
        body_length = std::min(length - 2, static_cast<int>(area[1]));
        framed = false;
    }
    if (body_length < 0) return;
    const int wire_length = body_length + (framed ? 2 : 0);
    if (wire_length == 0) return;
    std::array<unsigned char, kWireBufferSize> buffer;
    std::vector<unsigned char> large;
    unsigned char* wire = buffer.data();
    if (wire_length > kWireBufferSize) {
        large.resize(static_cast<std::size_t>(wire_length));
        wire = large.data();
    }
    unsigned char* p = wire;
    if (framed) *p++ = 0xF0;
    std::copy(body, body + body_length, p);
    if (framed) p[body_length] = 0xF7;
    MidiCtrl->MidiLongEvent(wire_length, wire);
}

void MidiPlayer::SilenceSoundingNotes() {
    for (int channel = 0; channel < kMidiChannels; ++channel) {
        if (!channels_used.test(channel)) continue;
        const auto ch = static_cast<unsigned char>(channel);
        for (int note = 0; note < kMidiNotes; ++note) {
            if (sounding[channel].test(note))
                MidiCtrl->MidiNoteOff(static_cast<unsigned char>(note), ch);
        }
        sounding[channel].reset();
        MidiCtrl->MidiThreeBytesEvent(static_cast<unsigned char>(kEvControl + channel),
                                      kCcAllNotesOff, 0);
    }
    channels_used.reset();
}

void MidiPlayer::Cancel() {
    CancelFlg = 1;
    if (PlayTimer* timer = m_timer) timer->Wake();
}

int MidiPlayer::ErrorMsg(int code) {
    return ShowError(kPlayerMessages, code);
}

std::int64_t MidiPlayer::GetPlayMicros(MidiF0Data* song) {
    MidiTrackData* track = song ? song->GetTrack() : nullptr;
    if (!track || song->form != kFormQ1) return 0;
    TempoClock walk(song->division, 100);
    if (!walk.Valid()) return 0;
    walk.SetTempo(kDefaultTempo);
    int i = 0;
    for (; i < track->event_count; ++i) {
        const MidiEvent* event = track->GetEvent(i);
        if (event->status == kEvNoteOn) break;
        if (event->IsMeta(kMetaTempo)) walk.SetTempo(ChooseTempo(event->value).micros);
    }
    walk.Start(0);
    for (; i + 1 < track->event_count; ++i) {
        const MidiEvent* event = track->GetEvent(i);
        if (event->IsMeta(kMetaTempo)) walk.SetTempo(ChooseTempo(event->value).micros);
        walk.Advance(track->GetEvent(i + 1)->delta);
    }
    return walk.Due();
}
