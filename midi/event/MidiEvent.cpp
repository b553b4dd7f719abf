// The MIDI event: channel-aware copying, constructors of frequent events,
// value helpers, comparisons and the mobile-format conversions.
#include "midi/event/MidiEvent.h"

#include <cstring>

#include "General/GeneralMac.h"

MidiEvent::MidiEvent(MidiEvent* source) {
    Copy(source);
}

void MidiEvent::Copy(MidiEvent* source) {
    if (source == nullptr) return;
    channel = source->channel;
    MusicEvent::Copy(source);
}

void MidiEvent::SetControlChange(int channel, int controller, int value) {
    status = kEvControl;
    this->channel = channel;
    number = controller;
    this->value = value;
}

void MidiEvent::SetNoteOffEvent(int channel, int note) {
    status = kEvNoteOff;
    this->channel = channel;
    this->note = note;
}

int MidiEvent::ErrorMsg(int code) {
    if (code == kErrMidiEventInternal) {
        GneWriteErrorMsg("MidiEventで内部エラーが発生しました。");
    } else {
        GneWriteErrorMsg("MidiEventでエラーが発生しました。");
    }
    return 0;
}
