// The channel-state record: filled from events, compared, turned back into
// events.
#include "midi/song/MidiStatus.h"

#include <cstdint>
#include <memory>
#include <new>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"

namespace {

constexpr int kBankSelect = 0;
constexpr int kBankSelectLsb = 32;
constexpr int kFirstChannelMode = 120;

bool IsChannel(int channel) {
    return channel >= 0 && channel < MidiStatus::kChannels;
}

bool IsDataByte(int value) {
    return value >= 0 && value < 128;
}

// Makes the events of a record one by one into the caller's array; stops
// making them when memory runs out.
class EventMaker {
public:
    explicit EventMaker(MidiEvent** events) : events_(events) {}

    void Channel(int status, int channel, int number, int value) {
        MidiEvent* e = Make();
        if (e == nullptr) return;
        e->status = status;
        e->channel = channel;
        // The bytes as the reader keeps them, beside the fields.
        e->data[0] = static_cast<unsigned char>(status | channel);
        if (status == kEvControl) {
            e->number = number;
            e->value = value;
            e->data[1] = static_cast<unsigned char>(number);
            e->data[2] = static_cast<unsigned char>(value);
            e->length = 3;
        } else if (status == kEvPitchBend) {
            e->note = number;  // the low 7 bits
            e->value = value;
            e->data[1] = static_cast<unsigned char>(number);
            e->data[2] = static_cast<unsigned char>(value);
            e->length = 3;
        } else {
            e->value = value;
            e->data[1] = static_cast<unsigned char>(value);
            e->length = 2;
        }
    }
    void Tempo(int tempo) {
        if (MidiEvent* e = Make()) e->SetTempo(static_cast<unsigned long>(tempo));
    }
    void TimeSign(MidiStatus& status, int code) {
        if (code == 0) status.ErrorMsg(kErrGeneral);
        MidiEvent* e = Make();
        if (e == nullptr) return;
        e->status = kEvMeta;
        e->channel = kNoChannel;
        e->number = kMetaTimeSignature;
        e->value = code;
        GneSetTimeSignData(code, e->data, &e->length);
    }
    int Count() const { return count_; }
    bool OutOfMemory() const { return out_of_memory_; }

private:
    MidiEvent* Make() {
        if (out_of_memory_) return nullptr;
        try {
            MidiEvent* e = new MidiEvent();
            events_[count_++] = e;
            return e;
        } catch (const std::bad_alloc&) {
            out_of_memory_ = true;
            return nullptr;
        }
    }

    MidiEvent** events_;
    int count_ = 0;
    bool out_of_memory_ = false;
};

int Finish(MidiStatus& status, const EventMaker& maker) {
    if (maker.OutOfMemory()) status.ErrorMsg(kErrGeneral);
    return maker.Count();
}

}  // namespace

MidiStatus::MidiStatus() : tempo(kUnknown), time_sign(kUnknown) {
    program.fill(kUnknown);
    for (auto& bend : pitch_bend) bend.fill(kUnknown);
    for (auto& values : controller) values.fill(kUnknown);
}

void MidiStatus::UpdateStatus(MidiEvent* event) {
    if (event == nullptr) return;
    const int c = event->channel;
    switch (event->status) {
        case kEvProgram:
            if (IsChannel(c)) program[c] = event->value;
            return;
        case kEvPitchBend:
            if (IsChannel(c)) pitch_bend[c] = {event->value, event->note};
            return;
        case kEvControl:
            if (IsChannel(c) && IsDataByte(event->number))
                controller[c][event->number] = event->value;
            return;
        case kEvMeta:
            if (event->number == kMetaTempo) tempo = event->value;
            if (event->number == kMetaTimeSignature) time_sign = event->value;
            return;
        default:
            return;
    }
}

int MidiStatus::SetStatusAtDelta(MidiF0Data* song, int delta, int* reached) {
    if (reached != nullptr) *reached = 0;
    // In form Raw the track holds bytes, not events.
    const MidiTrackData* track =
        song != nullptr && song->form != kFormRaw ? song->GetTrack() : nullptr;
    if (track == nullptr) return ErrorMsg(kErrGeneral);
    std::int64_t time = 0;
    std::int64_t last = 0;
    int i = 0;
    for (; i < track->event_count; ++i) {
        MidiEvent* e = track->event_table[i];
        time += e->delta;
        if (time >= delta) break;
        UpdateStatus(e);
        last = time;
    }
    if (reached != nullptr) *reached = static_cast<int>(last);
    return i;
}

void MidiStatus::SetDifference(MidiStatus* before, MidiStatus* after) {
    if (before == nullptr || after == nullptr) return;
    for (int c = 0; c < kChannels; ++c) {
        if (before->program[c] != after->program[c]) program[c] = after->program[c];
        if (before->pitch_bend[c] != after->pitch_bend[c]) pitch_bend[c] = after->pitch_bend[c];
        for (int n = 0; n < kControllers; ++n) {
            if (before->controller[c][n] != after->controller[c][n]) {
                controller[c][n] = after->controller[c][n];
            }
        }
    }
    if (before->tempo != after->tempo) tempo = after->tempo;
    if (before->time_sign != after->time_sign) time_sign = after->time_sign;
}

int MidiStatus::CreateStatusEvent(MidiEvent** events) {
    if (events == nullptr) return 0;
    EventMaker make(events);
    for (int c = 0; c < kChannels; ++c) {
        if (program[c] != kUnknown) make.Channel(kEvProgram, c, 0, program[c]);
        if (pitch_bend[c][0] != kUnknown) {
            make.Channel(kEvPitchBend, c, pitch_bend[c][1], pitch_bend[c][0]);
        }
        for (int n = 0; n < kControllers; ++n) {
            if (controller[c][n] != kUnknown) make.Channel(kEvControl, c, n, controller[c][n]);
        }
    }
    if (tempo != kUnknown) make.Tempo(tempo);
    if (time_sign != kUnknown) make.TimeSign(*this, time_sign);
    return Finish(*this, make);
}

int MidiStatus::CreateStatusEventInSendOrder(MidiEvent** events) {
    if (events == nullptr) return 0;
    EventMaker make(events);
    if (tempo != kUnknown) make.Tempo(tempo);
    if (time_sign != kUnknown) make.TimeSign(*this, time_sign);
    for (int c = 0; c < kChannels; ++c) {
        const auto& values = controller[c];
        // The bank is chosen before the program that it selects from.
        for (int n : {kBankSelect, kBankSelectLsb}) {
            if (values[n] != kUnknown) make.Channel(kEvControl, c, n, values[n]);
        }
        if (program[c] != kUnknown) make.Channel(kEvProgram, c, 0, program[c]);
        for (int n = 0; n < kFirstChannelMode; ++n) {
            if (n == kBankSelect || n == kBankSelectLsb || values[n] == kUnknown) continue;
            make.Channel(kEvControl, c, n, values[n]);
        }
        if (pitch_bend[c][0] != kUnknown) {
            make.Channel(kEvPitchBend, c, pitch_bend[c][1], pitch_bend[c][0]);
        }
    }
    return Finish(*this, make);
}

int MidiStatus::ErrorMsg(int) {
    GneWriteErrorMsg("error!");
    return 0;
}
