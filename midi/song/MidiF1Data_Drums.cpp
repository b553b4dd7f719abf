// Drum tracks of a format-1 song: counting them, drum-to-drum and
// drum-to-tone mapping, invalid drum notes, and deleting a drum note of one kit.
#include <algorithm>
#include <bitset>
#include <memory>
#include <new>
#include <string>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::DrumChannelTable;

// A value the track does not set reads as 0 (GetControlChange and
// GetProgramChange give -1 for none).
int ValueOrZero(int value) {
    return std::max(value, 0);
}

// The lowest channel no track uses and the drum table does not mark as
// drums (a tone track there would be played as drums); -1 when none is left.
int FreeToneChannel(const MidiF1Data& song, const DrumChannelTable& drums) {
    std::bitset<kMidiChannels> used;
    for (int t = 0; t < song.track_count; ++t) {
        const int channel = song.GetTrack(t)->GetChanel();
        if (channel >= 0 && channel < kMidiChannels) used.set(static_cast<std::size_t>(channel));
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        if (!used.test(static_cast<std::size_t>(c)) && !drums.IsDrumChannel(c)) return c;
    }
    return kGneNone;
}

std::string TrackName(MidiTrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent* e = track.event_table[i];
        if (e->IsMeta(kMetaTrackName)) return std::string(retrograde::detail::MetaText(e));
    }
    return {};
}

// The tone track for drum note `note` of drum: a copy keeping only that
// note, moved to channel and sounding tone with program.
std::unique_ptr<MidiF1TrackData> ToneTrack(MidiF1TrackData& drum, int note, int channel,
                                           int program, int tone) {
    auto copy = std::make_unique<MidiF1TrackData>(&drum);
    // The drum track's exclusives (its rhythm-part message above all) would
    // make the copy a drum track again.
    for (int i = 0; i < copy->event_count; ++i) {
        MidiEvent* e = copy->event_table[i];
        if (e->status == kEvSysEx || e->status == kEvSysExEscape) retrograde::detail::MarkNone(e);
    }
    copy->DeleteNop();
    std::string name = "DrumToneMapping " + TrackName(drum);
    if (copy->ReplaceMetaData(kMetaTrackName, name.data()) == 0)
        copy->InsertMetaEvent(kMetaTrackName, name.data());
    copy->DeleteNote(note, false);
    copy->SetChanel(channel);
    copy->SetNoteNo(tone);
    copy->DeleteProgramChange();
    copy->InsertProgramChange(channel, program);
    copy->DeleteControlChange(kCcBankSelectLsb, 0, INT_MAX);
    copy->InsertControlChange(channel, kCcBankSelectLsb, 0);
    copy->DeleteControlChange(kCcBankSelectMsb, 0, INT_MAX);
    copy->InsertControlChange(channel, kCcBankSelectMsb, 0);
    return copy;
}

}  // namespace

int MidiF1Data::GetNumDrumTrack() {
    const DrumChannelTable drums(*this);
    int count = 0;
    for (int t = 0; t < track_count; ++t) count += drums.IsDrumTrack(*GetTrack(t)) ? 1 : 0;
    return count;
}

void MidiF1Data::DrumDrumMapping(int bank, char (*map)[128], bool flag) {
    if (map == nullptr) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const DrumChannelTable drums(*this);
    for (int t = track_count - 1; t >= 0; --t) {
        MidiF1TrackData& track = *GetTrack(t);
        if (drums.IsDrumTrack(track) && !track.IsMasterTrack())
            track.DrumDrumMapping(bank, map, flag);
    }
}

int MidiF1Data::DrumToneMapping(int bank, char (*map)[128][2], bool resetKit) try {
    if (form != kFormQ2 || map == nullptr) {
        ErrorMsg(kErrF1Internal);
        return 0;
    }
    const DrumChannelTable drums(*this);
    const int drumTracks = track_count;  // the tone tracks added are not visited
    int moved = 0;
    for (int t = drumTracks - 1; t >= 0; --t) {
        MidiF1TrackData& track = *GetTrack(t);
        if (!drums.IsDrumTrack(track) || track.IsMasterTrack()) continue;
        if (ValueOrZero(track.GetControlChange(kCcBankSelectLsb)) != bank) continue;
        const int kit = std::min(ValueOrZero(track.GetProgramChange()), kMidiMaxDataByte);
        for (int n = 0; n < kMidiNotes; ++n) {
            const auto program = static_cast<signed char>(map[kit][n][0]);
            const auto tone = static_cast<signed char>(map[kit][n][1]);
            if (program < 0 || !track.IsNoteExist(n)) continue;
            if (tone < 0) {
                track.MidiTrackData::ErrorMsg(kErrTrackNoteNumber);
                continue;
            }
            // Everything the move needs is checked before a note leaves the drum track.
            const int channel = FreeToneChannel(*this, drums);
            if (channel == kGneNone) {
                ErrorMsgOnce(kErrF1DrumTone);
                continue;
            }
            if (track_count >= kMaxTracks) {
                ErrorMsg(kErrF1Track);
                continue;
            }
            auto copy = ToneTrack(track, n, channel, program, tone);
            track.DeleteNote(n, true);
            AddTrack(copy.release());
            moved = 1;
        }
        if (resetKit) {
            track.SetControlChangeValue(kCcBankSelectMsb, 0);
            track.SetControlChangeValue(kCcBankSelectLsb, 0);
            track.SetProgramChangeValue(0);
        }
    }
    return moved;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

void MidiF1Data::DeleteInvalidDrum() {
    DeleteInvalidDrum(true);
}

void MidiF1Data::DeleteInvalidDrum(bool report) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = *GetTrack(t);
        if (!drums.IsDrumTrack(track)) continue;
        track.DeleteInvalidDrum(report);
        if (report && track.GetProgramChange() >= 1) ErrorMsg(kErrF1DrumProgram);
    }
}

void MidiF1Data::DeleteDrumNote(int bank, int program, int note, bool same) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    const DrumChannelTable drums(*this);
    for (int t = 0; t < track_count; ++t) {
        MidiF1TrackData& track = *GetTrack(t);
        if (!drums.IsDrumTrack(track)) continue;
        if (ValueOrZero(track.GetControlChange(kCcBankSelectMsb)) != bank ||
            ValueOrZero(track.GetProgramChange()) != program)
            continue;
        track.DeleteNote(note, same);
    }
}
