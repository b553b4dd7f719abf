// Polyphony: how many notes sound at once in a track, and the cuts that keep
// that number within a limit for sound modules with few voices.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/event/MidiConstants.h"
#include "midi/track/MidiTrackData.h"
#include "midi/track/detail/NotePairing.h"
#include "midi/track/detail/Q1Order.h"
#include "midi/track/detail/TrackEdits.h"
#include "music/ChordNameCtl.h"

namespace {

using retrograde::detail::ClampToInt;
using retrograde::detail::IsNoteEvent;
using retrograde::detail::IsSoundingNoteOn;
using retrograde::detail::NoteQueue;
using retrograde::detail::Q1Step;

constexpr int kKeys = 128;
constexpr int kPitchClasses = 12;
constexpr int kOtherChordRow = 3;  // neither major, minor nor diminished, or no chord

bool InTables(int channel, int note) {
    return channel >= 0 && channel < kMidiChannels && note >= 0 && note < kKeys;
}
int KeyOf(int channel, int note) {
    return channel * kKeys + note;
}

// 128 notes as two words.
using Mask = std::array<std::uint64_t, 2>;
int LowestIn(const Mask& m) {
    if (m[0] != 0) return std::countr_zero(m[0]);
    if (m[1] != 0) return 64 + std::countr_zero(m[1]);
    return -1;
}
int HighestIn(const Mask& m) {
    if (m[1] != 0) return 127 - std::countl_zero(m[1]);
    if (m[0] != 0) return 63 - std::countl_zero(m[0]);
    return -1;
}
void ClearIn(Mask& m, int note) {
    m[static_cast<std::size_t>(note >> 6)] &= ~(std::uint64_t{1} << (note & 63));
}
// The notes of each pitch class.
constexpr std::array<Mask, kPitchClasses> kPitchClassMasks = [] {
    std::array<Mask, kPitchClasses> masks{};
    for (int n = 0; n < kKeys; ++n) {
        masks[static_cast<std::size_t>(n % kPitchClasses)][static_cast<std::size_t>(n >> 6)] |=
            std::uint64_t{1} << (n & 63);
    }
    return masks;
}();

// The sounding notes as bits with running counts: a victim is found in a few
// word operations instead of a scan of 2048 flags.
class Sounding {
public:
    bool Test(int c, int n) const {
        return (rows_[static_cast<std::size_t>(c)][static_cast<std::size_t>(n >> 6)] >> (n & 63)) &
               1U;
    }
    void Set(int c, int n) {
        if (Test(c, n)) return;
        rows_[static_cast<std::size_t>(c)][static_cast<std::size_t>(n >> 6)] |= std::uint64_t{1}
                                                                                << (n & 63);
        ++counts_[static_cast<std::size_t>(c)];
        ++total_;
    }
    void Clear(int c, int n) {
        if (!Test(c, n)) return;
        ClearIn(rows_[static_cast<std::size_t>(c)], n);
        --counts_[static_cast<std::size_t>(c)];
        --total_;
    }
    int Total() const { return total_; }
    int Count(int c) const { return counts_[static_cast<std::size_t>(c)]; }
    const Mask& Row(int c) const { return rows_[static_cast<std::size_t>(c)]; }

private:
    std::array<Mask, kMidiChannels> rows_{};
    std::array<int, kMidiChannels> counts_{};
    int total_ = 0;
};

struct Victim {
    int channel = -1;
    int note = -1;
    bool Found() const { return channel >= 0 && note >= 0; }
};

using Excluded = std::array<bool, kMidiChannels>;

Excluded ExcludedChannels(const int* list, int count) {
    Excluded out{};
    for (int i = 0; list != nullptr && i < count; ++i) {
        if (list[i] >= 0 && list[i] < kMidiChannels) out[static_cast<std::size_t>(list[i])] = true;
    }
    return out;
}

// The channel with the most sounding notes; ties go to the lowest.
int BusiestChannel(const Sounding& s, const Excluded& excluded) {
    int best = -1;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (excluded[static_cast<std::size_t>(c)] || s.Count(c) == 0) continue;
        if (best < 0 || s.Count(c) > s.Count(best)) best = c;
    }
    return best;
}

int PositiveMod(std::int64_t value, int modulus) {
    return static_cast<int>(((value % modulus) + modulus) % modulus);
}

// The chord a marker names, as the chord-tone rule reads it.
struct Chord {
    int root = 0;  // pitch class
    int row = kOtherChordRow;
};
Chord ChordOf(int root, int third, int fifth) {
    const int i3 = GneGetInterval(third, root);
    const int i5 = GneGetInterval(fifth, root);
    Chord chord{PositiveMod(root, kPitchClasses), kOtherChordRow};
    if (i3 == 4 && i5 == 5) chord.row = 0;
    if (i3 == 3 && i5 == 5) chord.row = 1;
    if (i3 == 3 && i5 == 6) chord.row = 2;
    return chord;
}

enum class Policy {
    kFromTop,      // highest channel, lowest note: ReduceNumPoly(limit)
    kFromBottom,   // lowest channel, lowest note: SetNumPoly
    kByOrder,      // method 1
    kByChordTone,  // method 2
};

struct Rule {
    int limit = 1;
    Policy policy = Policy::kFromTop;
    Excluded excluded{};
    int (*priority)[12] = nullptr;
    bool keep_top = false;
};

// Chooses the note to cut. Reports through track what the rule says it
// reports; "no channel" is left to the caller, which says it once.
Victim Choose(MidiTrackData& track, const Sounding& s, const Rule& rule, const Chord& chord) {
    switch (rule.policy) {
        case Policy::kFromTop:
            for (int c = kMidiChannels - 1; c >= 0; --c) {
                if (s.Count(c) > 0) return {c, LowestIn(s.Row(c))};
            }
            return {};
        case Policy::kFromBottom:
            for (int c = 0; c < kMidiChannels; ++c) {
                if (s.Count(c) > 0) return {c, LowestIn(s.Row(c))};
            }
            return {};
        case Policy::kByOrder: {
            const int c = BusiestChannel(s, rule.excluded);
            if (c < 0) return {};
            Mask rest = s.Row(c);
            const int lowest = LowestIn(rest);
            ClearIn(rest, lowest);
            const int second = LowestIn(rest);
            return {c, second >= 0 ? second : lowest};
        }
        case Policy::kByChordTone: {
            const int c = BusiestChannel(s, rule.excluded);
            if (c < 0) return {};
            for (bool keep_top = rule.keep_top;; keep_top = false) {
                Mask row = s.Row(c);
                if (keep_top) ClearIn(row, HighestIn(row));
                for (int r = 0; r < kPitchClasses; ++r) {
                    const int p = PositiveMod(
                        std::int64_t{rule.priority[chord.row][r]} + chord.root, kPitchClasses);
                    const Mask& pc = kPitchClassMasks[static_cast<std::size_t>(p)];
                    const int note = LowestIn(Mask{row[0] & pc[0], row[1] & pc[1]});
                    if (note >= 0) return {c, note};
                }
                if (!keep_top) {
                    track.ErrorMsgOnce(kErrTrackThinOut);
                    return {c, -1};
                }
                track.ErrorMsgOnce(kErrTrackTopNoteWarn);
            }
        }
    }
    return {};
}

// Reports an event whose channel or note cannot index the tables, once.
struct OutOfTables {
    bool channel = false;
    bool note = false;
    bool Check(const MidiEvent& e) {
        if (e.channel < 0 || e.channel >= kMidiChannels) return channel = true, false;
        if (e.note < 0 || e.note >= kKeys) return note = true, false;
        return true;
    }
    void Report(MidiTrackData& track) const {
        if (channel) track.ErrorMsg(kErrTrackChannel);
        if (note) track.ErrorMsg(kErrTrackNoteNumber);
    }
};

// Within each run of equal ticks every note off is exchanged with the nearest
// note on before it (MoveNoteOffFront); the ticks stay with the places.
void NoteOffFront(std::vector<MidiEvent*>& order, const std::vector<std::int64_t>& ticks) {
    std::size_t nearest_on = order.size();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || ticks[i] != ticks[i - 1]) nearest_on = order.size();
        if (order[i]->status == kEvNoteOn) {
            nearest_on = i;
        } else if (order[i]->status == kEvNoteOff && nearest_on < order.size()) {
            std::swap(order[i], order[nearest_on]);
            nearest_on = i;
        }
    }
}

// A note off made by a cut, placed before the kept event at index before.
struct Cut {
    std::size_t before;
    int channel;
    int note;
    std::int64_t tick;
    bool dropped = false;  // the cut note began at this very tick: both go
};

// Puts the kept records and the cuts' note offs into the table, if they fit;
// otherwise the track stays as it was. The dropped records go.
bool Commit(MidiTrackData& track, const std::vector<MidiEvent*>& order,
            const std::vector<std::int64_t>& ticks, const std::vector<char>& dropped,
            const std::vector<Cut>& cuts) {
    std::size_t size = 0;
    for (const char d : dropped) size += d == 0 ? 1 : 0;
    for (const Cut& cut : cuts) size += cut.dropped ? 0 : 1;
    if (size > static_cast<std::size_t>(kMaxEvents)) {
        track.ErrorMsg(kErrTrackTooMuchData);
        return false;
    }
    std::vector<std::unique_ptr<MidiEvent>> made;
    made.reserve(cuts.size());
    for (const Cut& cut : cuts) {
        if (cut.dropped) continue;
        auto off = std::make_unique<MidiEvent>(0);
        off->SetNoteOffEvent(cut.channel, cut.note);
        off->velocity = 0;
        made.push_back(std::move(off));
    }
    // Nothing can fail from here on.
    MidiEvent** table = track.event_table.get();
    std::size_t out = 0;
    std::size_t next_cut = 0;
    std::size_t next_made = 0;
    std::int64_t previous = 0;
    auto put = [&](MidiEvent* event, std::int64_t tick) {
        event->delta = ClampToInt(tick - previous);
        previous = tick;
        table[out++] = event;
    };
    for (std::size_t i = 0; i < order.size(); ++i) {
        for (; next_cut < cuts.size() && cuts[next_cut].before == i; ++next_cut) {
            if (!cuts[next_cut].dropped) put(made[next_made++].release(), cuts[next_cut].tick);
        }
        if (dropped[i] != 0) {
            delete order[i];  // note events only: no long data area to give back
        } else {
            put(order[i], ticks[i]);
        }
    }
    std::fill(table + out, table + std::max<std::size_t>(out, order.size()), nullptr);
    track.event_count = static_cast<int>(out);
    return true;
}

// ReduceNumPoly in one pass over a list aside: the note offs still ahead wait
// in a queue per key, so a cut finds its note's own note off at once; the
// cut's note offs go into the new list as it is built.
void Reduce(MidiTrackData& track, const Rule& rule) {
    const auto n = static_cast<std::size_t>(track.event_count);
    std::vector<MidiEvent*> order(track.event_table.get(), track.event_table.get() + n);
    std::vector<std::int64_t> ticks(n);
    std::int64_t t = 0;
    for (std::size_t i = 0; i < n; ++i) ticks[i] = t += order[i]->delta;
    NoteOffFront(order, ticks);

    OutOfTables bad;
    std::vector<int> next_off(n, -1);
    std::vector<NoteQueue> offs(kMidiChannels * kKeys);
    for (std::size_t i = 0; i < n; ++i) {
        const MidiEvent& e = *order[i];
        if (IsNoteEvent(e) && !IsSoundingNoteOn(e) && InTables(e.channel, e.note)) {
            offs[static_cast<std::size_t>(KeyOf(e.channel, e.note))].Push(static_cast<int>(i),
                                                                          next_off);
        }
    }
    // The last note on of each key and the tick group it lies in.
    struct LastOn {
        std::size_t group = 0;
        int index = -1;
    };
    std::vector<LastOn> last_on(kMidiChannels * kKeys);
    std::vector<char> dropped(n, 0);
    std::vector<Cut> cuts;
    Sounding sounding;
    Chord chord;  // before the first marker: no chord
    bool unchosen = false;
    std::size_t group = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t delta = ticks[i] - (i == 0 ? 0 : ticks[i - 1]);
        if (delta != 0 || i + 1 == n) {
            while (sounding.Total() > rule.limit) {
                const Victim v = Choose(track, sounding, rule, chord);
                if (!v.Found()) {
                    unchosen = unchosen || v.channel < 0;
                    break;
                }
                sounding.Clear(v.channel, v.note);
                // The note off lies at the tick that was over the limit.
                cuts.push_back(Cut{i, v.channel, v.note, i == 0 ? 0 : ticks[i - 1]});
                const auto key = static_cast<std::size_t>(KeyOf(v.channel, v.note));
                const int own_off = offs[key].Pop(next_off);
                if (own_off >= 0) dropped[static_cast<std::size_t>(own_off)] = 1;
                if (last_on[key].index >= 0 && last_on[key].group == group) {
                    dropped[static_cast<std::size_t>(last_on[key].index)] = 1;
                    cuts.back().dropped = true;
                    last_on[key].index = -1;
                }
            }
        }
        if (delta != 0) ++group;
        if (dropped[i] != 0) continue;
        const MidiEvent& e = *order[i];
        if (rule.policy == Policy::kByChordTone && e.status == kEvMeta && e.number == kMetaMarker) {
            const ChordNameCtl name(reinterpret_cast<const char*>(e.data), e.length);
            chord = ChordOf(name.root, name.third, name.fifth);
            continue;
        }
        if (!IsNoteEvent(e) || !bad.Check(e)) continue;
        const auto key = static_cast<std::size_t>(KeyOf(e.channel, e.note));
        if (IsSoundingNoteOn(e)) {
            if (sounding.Test(e.channel, e.note)) {
                track.ErrorMsg(kErrTrackDoubleNoteOn);
                dropped[i] = 1;
            } else {
                sounding.Set(e.channel, e.note);
                last_on[key] = LastOn{group, static_cast<int>(i)};
            }
            continue;
        }
        offs[key].Pop(next_off);  // this one
        if (!sounding.Test(e.channel, e.note)) {
            track.ErrorMsg(kErrTrackDoubleNoteOff);
            dropped[i] = 1;
        } else {
            sounding.Clear(e.channel, e.note);
        }
    }
    bad.Report(track);
    if (unchosen) track.ErrorMsg(kErrTrackThinOut);
    if (!Commit(track, order, ticks, dropped, cuts)) return;
    track.MoveNoteOffFront();
}

// SetNumPoly on a Q1 track: a note on that finds no room ends the lowest
// sounding note (lowest channel first) at its own tick.
void CutAtNoteOn(MidiTrackData& track, int limit) {
    const auto n = static_cast<std::size_t>(track.event_count);
    std::vector<MidiEvent*> order(track.event_table.get(), track.event_table.get() + n);
    std::vector<std::int64_t> ticks(n);
    std::int64_t t = 0;
    for (std::size_t i = 0; i < n; ++i) ticks[i] = t += order[i]->delta;
    const std::vector<char> dropped(n, 0);
    std::vector<Cut> cuts;
    OutOfTables bad;
    Sounding sounding;
    const Rule rule{limit, Policy::kFromBottom};
    for (std::size_t i = 0; i < n; ++i) {
        const MidiEvent& e = *order[i];
        if (!IsNoteEvent(e) || !bad.Check(e)) continue;
        if (!IsSoundingNoteOn(e)) {
            sounding.Clear(e.channel, e.note);
            continue;
        }
        if (sounding.Total() >= limit) {
            const Victim v = Choose(track, sounding, rule, Chord{});
            sounding.Clear(v.channel, v.note);
            cuts.push_back(Cut{i, v.channel, v.note, ticks[i]});
        }
        sounding.Set(e.channel, e.note);
    }
    bad.Report(track);
    Commit(track, order, ticks, dropped, cuts);
}

}  // namespace

int MidiTrackData::GetNumPolyCountTrue(bool (*flags)[128]) {
    int count = 0;
    for (int c = 0; c < kMidiChannels; ++c) {
        count += static_cast<int>(std::count(flags[c], flags[c] + kKeys, true));
    }
    return count;
}

int MidiTrackData::GetNumPoly() {
    return GetNumPoly(true);
}

// Sampled where a new tick begins (and before the last event): the notes
// sounding at the end of the previous tick, so a note ending where another
// begins is not counted with it.
int MidiTrackData::GetNumPoly(bool report) try {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    Sounding sounding;
    int most = 0;
    int before_last = 0;  // the sample before the last event
    bool double_on = false;
    bool double_off = false;
    retrograde::detail::ForEachInQ1Order(*this, 0, [&](const Q1Step& step) {
        before_last = sounding.Total();
        if (step.opens_tick) most = std::max(most, before_last);
        if (!InTables(step.Channel(), step.Note())) return;
        if (step.IsNoteOn()) {
            if (sounding.Test(step.Channel(), step.Note())) double_on = true;
            sounding.Set(step.Channel(), step.Note());
        } else if (step.IsNoteOff()) {
            if (!sounding.Test(step.Channel(), step.Note())) double_off = true;
            sounding.Clear(step.Channel(), step.Note());
        }
    });
    most = std::max(most, before_last);
    if (report && double_on) ErrorMsg(kErrTrackDoubleNoteOn);
    if (report && double_off) ErrorMsg(kErrTrackDoubleNoteOff);
    return most;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

int MidiTrackData::GetNumVoice() try {
    if (form != kFormQ2) {
        ErrorMsg(kErrTrackInternal);
        return 0;
    }
    std::array<bool, kKeys> sounding{};
    int count = 0;
    int most = 0;
    retrograde::detail::ForEachInQ1Order(*this, 0, [&](const Q1Step& step) {
        const int note = step.Note();
        if (note < 0 || note >= kKeys || !(step.IsNoteOn() || step.IsNoteOff())) return;
        bool& flag = sounding[static_cast<std::size_t>(note)];
        if (step.IsNoteOn()) {
            count += flag ? 0 : 1;
            flag = true;
            most = std::max(most, count);
        } else {
            count -= flag ? 1 : 0;
            flag = false;
        }
    });
    return most;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return 0;
}

int MidiTrackData::GetNumDrumVoice() {
    std::array<bool, kKeys> used{};
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent* e = event_table[i];
        if (e->status == kEvNote && e->note >= 0 && e->note < kKeys) {
            used[static_cast<std::size_t>(e->note)] = true;
        }
    }
    return static_cast<int>(std::count(used.begin(), used.end(), true));
}

void MidiTrackData::SetNumPoly(int limit) try {
    if (limit < 1) {
        ErrorMsg(kErrGeneral);  // no room for any note
        return;
    }
    if (form == kFormQ1) {
        CutAtNoteOn(*this, limit);
    } else if (form == kFormQ2) {
        Q2toQ1();
        if (form != kFormQ1) return;  // did not fit, reported
        CutAtNoteOn(*this, limit);
        Q1toQ2();
    } else {
        ErrorMsg(kErrTrackInternal);
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::ReduceNumPoly(int limit) try {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    if (limit < 1) {
        ErrorMsg(kErrGeneral);
        return;
    }
    Reduce(*this, Rule{limit, Policy::kFromTop});
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiTrackData::ReduceNumPoly(int limit, int* excluded, int excludedCount, int method,
                                  int (*priority)[12], bool keepTopNote) try {
    if (form != kFormQ1) {
        ErrorMsg(kErrTrackInternal);
        return;
    }
    // A null list with a count of 0 is no exclusion; method 1 never reads the table.
    if (limit < 1 || (method != 1 && method != 2) || (excluded == nullptr && excludedCount > 0) ||
        (method == 2 && priority == nullptr)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    Rule rule{limit, method == 1 ? Policy::kByOrder : Policy::kByChordTone,
              ExcludedChannels(excluded, excludedCount), priority, keepTopNote};
    if (method == 1 && keepTopNote) {
        ErrorMsg(kErrTrackTopNoteMissing);  // once for the whole reduction
        rule.keep_top = false;
    }
    Reduce(*this, rule);
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

// ---- the rules on tables of flags, as callers may use them directly ----

int MidiTrackData::ReduceNumPolyGetMaxUsedChanel(bool (*flags)[128], int* excluded,
                                                 int excludedCount) {
    const Excluded skip = ExcludedChannels(excluded, excludedCount);
    int best = -1;
    int best_count = 0;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (skip[static_cast<std::size_t>(c)]) continue;
        const auto count = static_cast<int>(std::count(flags[c], flags[c] + kKeys, true));
        if (count > best_count) {
            best = c;
            best_count = count;
        }
    }
    return best;
}

int MidiTrackData::ReduceIsTopNote(int note, bool* channelFlags) {
    if (note < 0 || note >= kKeys || !channelFlags[note]) return 0;
    return std::find(channelFlags + note + 1, channelFlags + kKeys, true) == channelFlags + kKeys
               ? 1
               : 0;
}

// keepTopNote is not offered by this rule; ReduceNumPoly says so once.
void MidiTrackData::ReduceNumPolySpecifyTargetByOrder(bool (*flags)[128], int* excluded,
                                                      int excludedCount, int* channel, int* note,
                                                      bool /*keepTopNote*/) {
    *channel = ReduceNumPolyGetMaxUsedChanel(flags, excluded, excludedCount);
    *note = -1;
    if (*channel < 0) return;
    int seen = 0;
    for (int k = 0; k < kKeys && seen < 2; ++k) {
        if (!flags[*channel][k]) continue;
        *note = k;
        ++seen;
    }
}

void MidiTrackData::ReduceNumPolySpecifyTargetByChordTone(bool (*flags)[128], int* excluded,
                                                          int excludedCount, int* channel,
                                                          int* note, void* chord,
                                                          int (*priority)[12], bool keepTopNote) {
    *note = -1;
    *channel = ReduceNumPolyGetMaxUsedChanel(flags, excluded, excludedCount);
    if (*channel < 0 || priority == nullptr) return;
    const auto* name = static_cast<const ChordNameCtl*>(chord);
    const Chord c = name != nullptr ? ChordOf(name->root, name->third, name->fifth) : Chord{};
    bool* row = flags[*channel];
    for (bool keep_top = keepTopNote;; keep_top = false) {
        for (int r = 0; r < kPitchClasses; ++r) {
            const int p = PositiveMod(std::int64_t{priority[c.row][r]} + c.root, kPitchClasses);
            for (int k = p; k < kKeys; k += kPitchClasses) {
                if (!row[k] || (keep_top && ReduceIsTopNote(k, row) == 1)) continue;
                *note = k;
                return;
            }
        }
        if (!keep_top) {
            ErrorMsgOnce(kErrTrackThinOut);
            return;
        }
        ErrorMsgOnce(kErrTrackTopNoteWarn);
    }
}
