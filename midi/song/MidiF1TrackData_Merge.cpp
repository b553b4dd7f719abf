// Merging a track into another so that it sounds as before (velocities
// balanced for volume and expression, pitch bends for the bend range),
// keeping the notes of one instrument, renaming programs, and the registered
// parameter (RPN) sequence that sets the pitch-bend range.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/ChannelValue.h"
#include "midi/song/detail/Sounding.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::IsChannelOf;
using retrograde::detail::MarkNone;
using retrograde::detail::NewControl;
using retrograde::detail::SetChannelValue;

constexpr int kCcDataEntry = 6;
constexpr int kCcNrpnLsb = 98;
constexpr int kCcNrpnMsb = 99;
constexpr int kCcRpnLsb = 100;
constexpr int kCcRpnMsb = 101;
constexpr int kDefaultBendRange = 2;  // semitones, until a device is told otherwise
constexpr int kBendCenter = 8192;
constexpr int kBendMax = 16383;
constexpr int kStartLevel = 100;  // volume and expression a merge assumes before any change
constexpr std::size_t kMaxTitleLength = 127;

// The registered parameter a channel has selected, as a receiver follows it.
struct Rpn {
    int msb = -1;
    int lsb = -1;
    // Takes in a control change; true when it is a data entry of the bend range.
    bool IsBendRange(const MidiEvent& e) {
        if (e.status != kEvControl) return false;
        switch (e.number) {
            case kCcRpnMsb:
                msb = e.value;
                return false;
            case kCcRpnLsb:
                lsb = e.value;
                return false;
            case kCcNrpnMsb:
            case kCcNrpnLsb:
                msb = lsb = -1;
                return false;
            case kCcDataEntry:
                return msb == 0 && lsb == 0;
            default:
                return false;
        }
    }
};

int Rescale(int bend, int from, int to) {
    if (to <= 0 || from == to) return bend;
    const std::int64_t v = kBendCenter + std::int64_t{bend - kBendCenter} * from / to;
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, kBendMax));
}

// Inserts the records before index, at the time of the event there (it
// hands its delta to the first of them). The caller has made room.
void InsertAtTickOf(MidiTrackData& track, int index, std::vector<MidiEvent*> records) {
    if (records.empty()) return;
    if (index < track.event_count) {
        records.front()->delta = track.event_table[index]->delta;
        track.event_table[index]->delta = 0;
    }
    for (std::size_t k = 0; k < records.size(); ++k)
        track.InsertEvent(index + static_cast<int>(k), kInsertBefore, records[k]);
}

std::string FirstTitle(const MidiTrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        const MidiEvent& e = *track.event_table[i];
        if (!e.IsMeta(kMetaTrackName)) continue;
        const int length = std::clamp(e.length, 0, e.DataCapacity());
        return std::string(reinterpret_cast<const char*>(e.data), static_cast<std::size_t>(length));
    }
    return {};
}

void DropTitles(MidiTrackData& track) {
    for (int i = 0; i < track.event_count; ++i) {
        if (track.event_table[i]->IsMeta(kMetaTrackName)) MarkNone(track.event_table[i]);
    }
    track.DeleteNop();
}

MidiEvent* NewTitle(const std::string& text) {
    auto* e = new MidiEvent(0);
    e->status = kEvMeta;
    e->number = kMetaTrackName;
    e->length = static_cast<int>(text.size());
    std::memcpy(e->data, text.data(), text.size());
    e->data[text.size()] = 0;
    return e;
}

// What one side of a merge has told each channel.
struct Side {
    std::array<int, kMidiChannels> volume;
    std::array<int, kMidiChannels> expression;
    std::array<int, kMidiChannels> range;
    std::array<Rpn, kMidiChannels> rpn{};
    Side() {
        volume.fill(kStartLevel);
        expression.fill(kStartLevel);
        range.fill(kDefaultBendRange);
    }
};

struct Taken {
    MidiEvent* record;  // owned by the copy it came from
    std::int64_t tick;
    int side;
};

}  // namespace

void MidiF1TrackData::MergeTrack(MidiF1TrackData* other) {
    MidiTrackData::MergeTrack(static_cast<MidiTrackData*>(other), true);
}

void MidiF1TrackData::MergeTrackWithoutTrackTitle(MidiF1TrackData* other) {
    MidiTrackData::MergeTrack(static_cast<MidiTrackData*>(other), false);
}

void MidiF1TrackData::MergeTrack(MidiF1TrackData* other, bool withTitle) {
    if (other == nullptr || other->form != form || (form != kFormQ1 && form != kFormQ2)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    // The title may add one event; a merge past the table is refused whole.
    if (std::int64_t{event_count} + other->event_count + 1 > kMaxEvents) {
        MidiTrackData::ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    const int own_channel = GetChanel();
    const int other_channel = other->GetChanel();
    if (own_channel != kNoChannel && other_channel != kNoChannel && own_channel != other_channel)
        ErrorMsg(kErrGeneral);  // merged all the same

    // Copies that keep the form (side 0 this track, side 1 the other).
    std::array<std::unique_ptr<MidiF1TrackData>, 2> copy = {
        std::make_unique<MidiF1TrackData>(static_cast<MidiTrackData*>(this)),
        std::make_unique<MidiF1TrackData>(static_cast<MidiTrackData*>(other))};
    if (withTitle) {
        std::string joined = FirstTitle(*copy[0]);
        const std::string theirs = FirstTitle(*copy[1]);
        joined = joined.empty() ? theirs : theirs.empty() ? joined : joined + " / " + theirs;
        if (joined.size() > kMaxTitleLength) joined = "long name";
        DropTitles(*copy[0]);
        DropTitles(*copy[1]);
        copy[0]->InsertEvent(0, kInsertBefore, NewTitle(joined));
    } else if (copy[1]->GetChanel() != kNoChannel) {
        DropTitles(*copy[1]);
    }

    // The order of the merge: by time, the other track first at equal times.
    std::vector<Taken> merged;
    merged.reserve(static_cast<std::size_t>(copy[0]->event_count + copy[1]->event_count));
    {
        std::array<int, 2> next{};
        std::array<std::int64_t, 2> tick{};
        for (int s = 0; s < 2; ++s)
            if (copy[s]->event_count > 0) tick[s] = copy[s]->event_table[0]->delta;
        for (;;) {
            const bool left0 = next[0] < copy[0]->event_count;
            const bool left1 = next[1] < copy[1]->event_count;
            if (!left0 && !left1) break;
            const int s = !left1 ? 0 : !left0 ? 1 : tick[0] < tick[1] ? 0 : 1;
            merged.push_back({copy[s]->event_table[next[s]], tick[s], s});
            if (++next[s] < copy[s]->event_count) tick[s] += copy[s]->event_table[next[s]]->delta;
        }
    }

    // Bends follow the range each side set; a note is balanced for the
    // volume and expression in force at the end of its tick, where a
    // receiver hears it.
    std::array<Side, 2> side;
    std::array<int, kMidiChannels> range;  // the range the merged track has told
    range.fill(kDefaultBendRange);
    std::array<int, kMidiChannels> volume, expression;
    volume.fill(kStartLevel);
    expression.fill(kStartLevel);
    std::vector<const Taken*> tick_notes;
    const auto balance = [&] {
        for (const Taken* t : tick_notes) {
            const int ch = t->record->channel;
            AdjustVolumeExpressionVelocity(t->record, volume[ch], expression[ch],
                                           side[t->side].volume[ch], side[t->side].expression[ch]);
        }
        tick_notes.clear();
    };
    for (std::size_t k = 0; k < merged.size(); ++k) {
        const Taken& t = merged[k];
        if (k > 0 && t.tick != merged[k - 1].tick) balance();
        MidiEvent& e = *t.record;
        if (!IsChannelOf(e)) continue;
        Side& own = side[t.side];
        const int ch = e.channel;
        if (e.status == kEvControl && e.number == kCcVolume) own.volume[ch] = volume[ch] = e.value;
        if (e.status == kEvControl && e.number == kCcExpression)
            own.expression[ch] = expression[ch] = e.value;
        if (own.rpn[ch].IsBendRange(e)) own.range[ch] = range[ch] = e.value;
        if (e.status == kEvPitchBend && own.range[ch] != range[ch]) {
            SetChannelValue(e, Rescale(e.value * 128 + e.note, own.range[ch], range[ch]));
        }
        if (e.status == kEvNote || e.status == kEvNoteOn) tick_notes.push_back(&t);
    }
    balance();

    // The records move from the copies into this track, in merged order.
    std::vector<MidiEvent*> records;
    records.reserve(merged.size());
    std::int64_t previous = 0;
    for (const Taken& t : merged) {
        t.record->delta = retrograde::detail::ClampToInt(t.tick - previous);
        previous = t.tick;
        records.push_back(t.record);
    }
    for (auto& c : copy) {
        std::fill(c->event_table.get(), c->event_table.get() + c->event_count, nullptr);
        c->event_count = 0;
    }
    DeleteAllEvent();
    for (MidiEvent* record : records) AddEvent(record);

    DeleteNop();
    DeleteDuplicateEndOfTrack();
    int balanced[] = {7, 11, 39, 43, 10};
    CleanUpDuplicateControlChangeExceptSpecifiedCmd(balanced, 5);
    CleanUpDuplicateVolumeExpressionOfSameTiming();
    if (form == kFormQ2) CleanUpDuplicateNoteOnOff(true);
    CleanUpDuplicateProgramChange();
}

void MidiF1TrackData::ExtractEventOfSpecifiedBankSelectAndProgramChange(int msb, int lsb,
                                                                        int program) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    int bank_msb = 0, bank_lsb = 0, running = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        bool drop = false;
        if (e.status == kEvControl && e.number == kCcBankSelectMsb) {
            bank_msb = e.value;
            drop = e.value != msb;
        } else if (e.status == kEvControl && e.number == kCcBankSelectLsb) {
            bank_lsb = e.value;
            drop = e.value != lsb;
        } else if (e.status == kEvProgram) {
            running = e.value;
            drop = e.value != program;
        } else if (e.status == kEvNote) {
            drop = bank_msb != msb || bank_lsb != lsb || running != program;
        }
        if (drop) MarkNone(&e);
    }
    DeleteNop();
    CleanUpDuplicatePitchBend();
}

void MidiF1TrackData::UnifyProgramChange(int program, int otherProgram) {
    if (program < 0 || program > kMidiMaxDataByte) {
        ErrorMsg(kErrGeneral);
        return;
    }
    const auto has = [this](int p) {
        for (int i = 0; i < event_count; ++i)
            if (event_table[i]->status == kEvProgram && event_table[i]->value == p) return true;
        return false;
    };
    if (!has(program) || !has(otherProgram)) return;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvProgram && e.value == otherProgram) SetChannelValue(e, program);
    }
}

// The remembered bank selects are read values. A rewritten bank select that
// a later, untouched program change also relied on gets the old bank again
// just before that program change, so the other instrument stays as it was.
void MidiF1TrackData::UnifyProgramChange(int msb, int lsb, int program, int oldMsb, int oldLsb,
                                         int oldProgram) {
    for (int v : {msb, lsb, program}) {
        if (v < 0 || v > kMidiMaxDataByte) {
            ErrorMsg(kErrGeneral);
            return;
        }
    }
    const auto occurs = [this](int status, int number, int value) {
        for (int i = 0; i < event_count; ++i) {
            const MidiEvent& e = *event_table[i];
            if (e.status == status && (status != kEvControl || e.number == number) &&
                e.value == value)
                return true;
        }
        return false;
    };
    if (!occurs(kEvProgram, 0, program) || !occurs(kEvProgram, 0, oldProgram) ||
        !occurs(kEvControl, kCcBankSelectMsb, msb) ||
        !occurs(kEvControl, kCcBankSelectMsb, oldMsb) ||
        !occurs(kEvControl, kCcBankSelectLsb, lsb) || !occurs(kEvControl, kCcBankSelectLsb, oldLsb))
        return;
    struct Bank {
        int value = 0;
        int index = -1;
        bool rewritten = false;
    };
    Bank high, low;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status == kEvControl && e.number == kCcBankSelectMsb) high = {e.value, i, false};
        if (e.status == kEvControl && e.number == kCcBankSelectLsb) low = {e.value, i, false};
        if (e.status != kEvProgram) continue;
        if (e.value == oldProgram && high.value == oldMsb && low.value == oldLsb) {
            if (high.index >= 0) {
                SetChannelValue(*event_table[high.index], msb);
                high.rewritten = true;
            }
            if (low.index >= 0) {
                SetChannelValue(*event_table[low.index], lsb);
                low.rewritten = true;
            }
            SetChannelValue(e, program);
            continue;
        }
        std::vector<MidiEvent*> restore;
        if (high.rewritten) restore.push_back(NewControl(e.channel, kCcBankSelectMsb, high.value));
        if (low.rewritten) restore.push_back(NewControl(e.channel, kCcBankSelectLsb, low.value));
        if (restore.empty()) continue;
        if (event_count + static_cast<int>(restore.size()) > kMaxEvents) {
            for (MidiEvent* r : restore) delete r;
            MidiTrackData::ErrorMsg(kErrTrackTooMuchData);
            return;
        }
        const int count = static_cast<int>(restore.size());
        InsertAtTickOf(*this, i, restore);
        if (high.rewritten) high = {high.value, i, false};
        if (low.rewritten) low = {low.value, i + count - 1, false};
        i += count;
    }
}

void MidiF1TrackData::UnifyPitchBendSensitivity(int sensitivity) {
    if (sensitivity < 1 || sensitivity > kMidiMaxDataByte) {
        ErrorMsg(kErrGeneral);
        return;
    }
    std::array<Rpn, kMidiChannels> rpn{};
    std::array<int, kMidiChannels> range;
    range.fill(kDefaultBendRange);
    std::array<bool, kMidiChannels> told{};
    std::vector<int> untold_first_bend;  // indexes, ascending
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (!IsChannelOf(e)) continue;
        const int ch = e.channel;
        if (rpn[ch].IsBendRange(e)) {
            range[ch] = e.value;
            SetChannelValue(e, sensitivity);
            told[ch] = true;
        } else if (e.status == kEvPitchBend) {
            // A device never told the range bends by 2 semitones: tell it.
            if (!told[ch] && sensitivity != kDefaultBendRange) untold_first_bend.push_back(i);
            told[ch] = true;
            SetChannelValue(e, Rescale(e.value * 128 + e.note, range[ch], sensitivity));
        }
    }
    if (event_count + 3 * static_cast<int>(untold_first_bend.size()) > kMaxEvents) {
        MidiTrackData::ErrorMsg(kErrTrackTooMuchData);
    } else {
        for (auto it = untold_first_bend.rbegin(); it != untold_first_bend.rend(); ++it) {
            const int ch = event_table[*it]->channel;
            InsertAtTickOf(*this, *it,
                           {NewControl(ch, kCcRpnMsb, 0), NewControl(ch, kCcRpnLsb, 0),
                            NewControl(ch, kCcDataEntry, sensitivity)});
        }
    }
    CleanUpDuplicatePitchBendSensitivity();
}

void MidiF1TrackData::CleanUpDuplicatePitchBendSensitivity() {
    struct State {
        int msb = -1, lsb = -1;
        bool msb_fresh = false, lsb_fresh = false;  // selected since the last data entry
        int range = -1;
    };
    std::array<State, kMidiChannels> states{};
    for (int i = 0; i < event_count; ++i) {
        MidiEvent& e = *event_table[i];
        if (e.status != kEvControl || !IsChannelOf(e)) continue;
        State& s = states[e.channel];
        switch (e.number) {
            case kCcRpnMsb:
                if (s.msb_fresh && e.value == s.msb) MarkNone(&e);
                s.msb_fresh = true;
                s.msb = e.value;
                break;
            case kCcRpnLsb:
                if (s.lsb_fresh && e.value == s.lsb) MarkNone(&e);
                s.lsb_fresh = true;
                s.lsb = e.value;
                break;
            case kCcNrpnMsb:
            case kCcNrpnLsb:
                s.msb = s.lsb = -1;
                s.msb_fresh = s.lsb_fresh = false;
                break;
            case kCcDataEntry:
                s.msb_fresh = s.lsb_fresh = false;
                if (s.msb == 0 && s.lsb == 0) {
                    if (e.value == s.range) MarkNone(&e);
                    s.range = e.value;
                }
                break;
            default:
                break;
        }
    }
    DeleteNop();
}

int MidiF1TrackData::InsertRpnAndDataEntry(int index, int mode, int msb, int lsb, int value) {
    const int channel = GetChanel();
    if (channel == kNoChannel || mode != kInsertBefore) return ErrorMsg(kErrGeneral);
    for (int v : {msb, lsb, value}) {
        if (v < 0 || v > kMidiMaxDataByte) return ErrorMsg(kErrGeneral);
    }
    if (index < 0 || index > event_count) return ErrorMsg(kErrGeneral);
    if (event_count + 3 > kMaxEvents) return MidiTrackData::ErrorMsg(kErrTrackTooMuchData);
    InsertAtTickOf(*this, index,
                   {NewControl(channel, kCcRpnMsb, msb), NewControl(channel, kCcRpnLsb, lsb),
                    NewControl(channel, kCcDataEntry, value)});
    return 1;
}

int MidiF1TrackData::GetRpnDataEntry(int* index, int msb, int lsb) {
    if (index == nullptr) return -1;
    Rpn rpn;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        if (e.status != kEvControl) continue;
        if (e.number == kCcDataEntry) {
            if (i >= *index && rpn.msb == msb && rpn.lsb == lsb) {
                *index = i;
                return e.value;
            }
            continue;
        }
        rpn.IsBendRange(e);
    }
    return -1;
}

bool MidiF1TrackData::IsSC88BPort() {
    for (int i = 0; i < event_count; ++i) {
        if (event_table[i]->IsMeta(kMetaInstrument) && event_table[i]->IsSC88BPort()) return true;
    }
    return false;
}
