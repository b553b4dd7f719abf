// Area and measure editing of one track: spans cleared, removed or kept,
// blocks of events inserted, measures split by time signatures, notes and
// bends removed, ticks turned into seconds, note pairs turned into Q2 notes.
//
// The edits work on the list as (tick, record) pairs and store it back in
// one pass, so a span costs one walk however many events it holds.
#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/song/MidiF1TrackData.h"
#include "midi/song/MidiStatus.h"
#include "midi/track/detail/EventRecords.h"
#include "midi/track/detail/NotePairing.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampToInt;
using retrograde::detail::IsSoundingNoteOn;
using retrograde::detail::KeySlots;
using retrograde::detail::NoteQueue;

constexpr int kRpnMsb = 101, kRpnLsb = 100, kNrpnMsb = 99, kNrpnLsb = 98;
constexpr int kDataEntry = 6, kDataEntryLsb = 38, kDataIncrement = 96, kDataDecrement = 97;
constexpr int kNullParameter = 127;
constexpr int kSixteenthsPerQuarter = 4;
constexpr int kMaxNumerator = 255;

// One event and its absolute tick; phase and order place events of one tick.
struct Timed {
    std::int64_t tick;
    MidiEvent* event;
    int phase = 1;
    int order = 0;
};

std::vector<Timed> TimelineOf(const MidiTrackData& t) {
    std::vector<Timed> line;
    line.reserve(static_cast<std::size_t>(t.event_count));
    std::int64_t tick = 0;
    for (int i = 0; i < t.event_count; ++i) {
        tick += t.event_table[i]->delta;
        line.push_back({tick, t.event_table[i], 1, i});
    }
    return line;
}

void SortTimeline(std::vector<Timed>& line) {
    std::stable_sort(line.begin(), line.end(), [](const Timed& a, const Timed& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.phase != b.phase) return a.phase < b.phase;
        return a.order < b.order;
    });
}

// Makes line the track's list: every record of the old list that line lacks
// is destroyed, every new record of made is taken over. line fits the table.
void StoreTimeline(MidiTrackData& t, const std::vector<Timed>& line,
                   std::vector<std::unique_ptr<MidiEvent>>& made) {
    std::vector<MidiEvent*> kept;
    kept.reserve(line.size());
    for (const Timed& x : line) kept.push_back(x.event);
    std::sort(kept.begin(), kept.end());
    for (int i = 0; i < t.event_count; ++i) {
        MidiEvent* e = t.event_table[i];
        if (!std::binary_search(kept.begin(), kept.end(), e)) delete e;
    }
    for (auto& e : made) e.release();
    made.clear();
    std::int64_t previous = 0;
    const int old_count = t.event_count;
    t.event_count = static_cast<int>(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        line[i].event->delta = ClampToInt(line[i].tick - previous);
        previous = line[i].tick;
        t.event_table[i] = line[i].event;
    }
    if (old_count > t.event_count)
        std::fill(t.event_table.get() + t.event_count, t.event_table.get() + old_count, nullptr);
}

bool IsNoteOff(const MidiEvent& e) {
    return e.status == kEvNoteOff || (e.status == kEvNoteOn && e.velocity == 0);
}

// For each note on of a Q1 list, the index of its note off (first on with
// first off per channel and key); -1 when it has none. Note offs that end
// nothing are marked -2 in their own place.
std::vector<int> PairNotes(const std::vector<Timed>& line) {
    std::vector<int> partner(line.size(), -1);
    std::vector<int> next(line.size(), -1);
    auto queues = std::make_unique<KeySlots<NoteQueue>>();
    for (std::size_t i = 0; i < line.size(); ++i) {
        const MidiEvent& e = *line[i].event;
        if (IsSoundingNoteOn(e)) {
            queues->At(e.channel, e.note).Push(static_cast<int>(i), next);
        } else if (IsNoteOff(e)) {
            const int on = queues->At(e.channel, e.note).Pop(next);
            if (on >= 0) {
                partner[static_cast<std::size_t>(on)] = static_cast<int>(i);
                partner[i] = on;
            } else {
                partner[i] = -2;
            }
        }
    }
    return partner;
}

bool IsEndOfTrackAt(const std::vector<Timed>& line, std::size_t i) {
    return i + 1 == line.size() && line[i].event->IsEndOfTrack();
}

// Metas that name or mark the whole song rather than a moment of it.
bool IsSongWideMeta(const MidiEvent& e) {
    if (e.status != kEvMeta) return false;
    switch (e.number) {
        case kMetaSequenceNumber:
        case kMetaCopyright:
        case kMetaTrackName:
        case kMetaInstrument:
        case kMetaDeviceName:
        case kMetaChannelPrefix:
        case 0x21:  // MIDI port
        case kMetaSequencerSpecific:
            return true;
        default:
            return false;
    }
}

// Exclusives (resets, part assignments) and song-wide metas: the setup a
// removed span must not take with it.
bool IsSetupEvent(const MidiEvent& e) {
    return e.status == kEvSysEx || e.status == kEvSysExEscape || IsSongWideMeta(e);
}

// Events whose last value holds until changed.
bool IsStateEvent(const MidiEvent& e) {
    if (e.status == kEvControl || e.status == kEvProgram || e.status == kEvPitchBend) return true;
    return e.status == kEvMeta && (e.number == kMetaTempo || e.number == kMetaTimeSignature ||
                                   e.number == kMetaKeySignature);
}

std::unique_ptr<MidiEvent> NewControl(int channel, int number, int value) {
    return retrograde::detail::ChannelRecord(kEvControl, channel, number, value);
}

std::unique_ptr<MidiEvent> NewNote(int status, const MidiEvent& like, int velocity) {
    auto e = std::make_unique<MidiEvent>();
    e->status = status;
    e->channel = like.channel;
    e->note = like.note;
    e->velocity = velocity;
    e->data[0] = static_cast<unsigned char>(status | (like.channel & 0x0F));
    e->data[1] = static_cast<unsigned char>(like.note & 0x7F);
    e->data[2] = static_cast<unsigned char>(velocity & 0x7F);
    e->length = 3;
    return e;
}

// The state a passage plays with: the channel-state record, the last key
// signature, each RPN and NRPN parameter's last coarse and fine value, and
// the parameter each channel has chosen (the kind chosen last receives data
// entry). Data increments are not followed.
struct AreaState {
    MidiStatus record;
    int key_sign = -1;  // first data byte × 256 + second
    // ((channel × 2 + nrpn) × 16384 + parameter) × 2 + fine -> value
    std::map<int, int> parameters;
    std::array<std::array<int, 4>, kMidiChannels> chosen;  // 101, 100, 99, 98
    std::array<int, kMidiChannels> nrpn_last;              // -1 none yet, 0 RPN, 1 NRPN

    AreaState() {
        for (auto& c : chosen) c.fill(-1);
        nrpn_last.fill(-1);
    }

    void Take(const MidiEvent& e) {
        if (e.status == kEvMeta && e.number == kMetaKeySignature) {
            if (e.length >= 2) key_sign = e.data[0] * 256 + e.data[1];
            return;
        }
        const int c = e.channel;
        if (e.status == kEvControl && c >= 0 && c < kMidiChannels) {
            const int n = e.number;
            if (n == kRpnMsb || n == kRpnLsb || n == kNrpnMsb || n == kNrpnLsb) {
                chosen[c][kRpnMsb - n] = e.value;
                nrpn_last[c] = n == kNrpnMsb || n == kNrpnLsb ? 1 : 0;
                return;
            }
            if (n == kDataIncrement || n == kDataDecrement) return;
            if (n == kDataEntry || n == kDataEntryLsb) {
                const int nrpn = nrpn_last[c] == 1 ? 1 : 0;
                const int msb = chosen[c][nrpn * 2], lsb = chosen[c][nrpn * 2 + 1];
                if (msb < 0 || lsb < 0 || (msb == kNullParameter && lsb == kNullParameter)) return;
                const int key =
                    ((c * 2 + nrpn) * 16384 + msb * 128 + lsb) * 2 + (n == kDataEntryLsb ? 1 : 0);
                parameters[key] = e.value;
                return;
            }
        }
        record.UpdateStatus(const_cast<MidiEvent*>(&e));
    }
};

// The events that turn state before into state after, in the order a device
// should receive them: tempo, time and key signature, per channel bank,
// program, controllers, bend; then each changed RPN or NRPN parameter as a
// whole group, then each channel's parameter choice as after holds it.
void StateEvents(const AreaState& before, const AreaState& after,
                 std::vector<std::unique_ptr<MidiEvent>>& out) {
    MidiStatus difference;
    difference.SetDifference(const_cast<MidiStatus*>(&before.record),
                             const_cast<MidiStatus*>(&after.record));
    std::vector<MidiEvent*> made(kMidiStatusMaxEvents, nullptr);
    const int count = difference.CreateStatusEventInSendOrder(made.data());
    int metas = 0;
    while (metas < count && made[metas]->status == kEvMeta) ++metas;
    for (int i = 0; i < metas; ++i) out.emplace_back(made[i]);
    if (after.key_sign >= 0 && after.key_sign != before.key_sign) {
        auto e = std::make_unique<MidiEvent>();
        e->status = kEvMeta;
        e->number = kMetaKeySignature;
        e->value = after.key_sign;
        e->data[0] = static_cast<unsigned char>(after.key_sign >> 8);
        e->data[1] = static_cast<unsigned char>(after.key_sign);
        e->length = 2;
        out.push_back(std::move(e));
    }
    for (int i = metas; i < count; ++i) out.emplace_back(made[i]);
    std::array<bool, kMidiChannels> touched{};
    for (const auto& [key, value] : after.parameters) {
        const auto old = before.parameters.find(key);
        if (old != before.parameters.end() && old->second == value) continue;
        const int fine = key % 2, parameter = key / 2 % 16384, nrpn = key / 2 / 16384 % 2;
        const int c = key / 2 / 16384 / 2;
        out.push_back(NewControl(c, nrpn ? kNrpnMsb : kRpnMsb, parameter / 128));
        out.push_back(NewControl(c, nrpn ? kNrpnLsb : kRpnLsb, parameter % 128));
        out.push_back(NewControl(c, fine ? kDataEntryLsb : kDataEntry, value));
        touched[c] = true;
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        if (!touched[c] && after.chosen[c] == before.chosen[c] &&
            after.nrpn_last[c] == before.nrpn_last[c])
            continue;
        // The kind chosen last goes last, so data entry goes to it again.
        const std::array<int, 4> order =
            after.nrpn_last[c] == 1 ? std::array<int, 4>{kRpnMsb, kRpnLsb, kNrpnMsb, kNrpnLsb}
                                    : std::array<int, 4>{kNrpnMsb, kNrpnLsb, kRpnMsb, kRpnLsb};
        for (int n : order) {
            const int value = after.chosen[c][kRpnMsb - n];
            if (value >= 0) out.push_back(NewControl(c, n, value));
        }
    }
}

struct Gap {
    std::int64_t from;
    std::int64_t to;
};

// The index of the gap holding tick, or -1.
int GapOf(const std::vector<Gap>& gaps, std::int64_t tick) {
    auto it = std::upper_bound(gaps.begin(), gaps.end(), tick,
                               [](std::int64_t t, const Gap& g) { return t < g.to; });
    if (it == gaps.end() || tick < it->from) return -1;
    return static_cast<int>(it - gaps.begin());
}

// Removes the contents of every gap (ascending, disjoint, not empty) from a
// Q1 line, as DeleteAreaData describes; with close, also their time, every
// gap's place becoming its start less the gaps before it.
std::vector<Timed> CutGaps(const std::vector<Timed>& line, const std::vector<Gap>& gaps, bool close,
                           std::vector<std::unique_ptr<MidiEvent>>& made) {
    const std::int64_t last_tick = line.empty() ? 0 : line.back().tick;
    const std::vector<int> partner = PairNotes(line);

    // The state before each gap's start and before its end.
    std::vector<AreaState> at_from(gaps.size()), at_to(gaps.size());
    {
        AreaState state;
        std::size_t b = 0;  // boundary 2g is gaps[g].from, 2g + 1 its to
        const auto snap = [&](std::int64_t tick) {
            while (b < gaps.size() * 2) {
                const Gap& g = gaps[b / 2];
                if ((b % 2 == 0 ? g.from : g.to) > tick) return;
                (b % 2 == 0 ? at_from : at_to)[b / 2] = state;
                ++b;
            }
        };
        for (const Timed& x : line) {
            snap(x.tick);
            if (IsStateEvent(*x.event)) state.Take(*x.event);
        }
        snap(INT64_MAX);
    }

    // The kept stretches between the gaps.
    std::vector<Gap> kept;
    std::int64_t start = INT64_MIN;
    for (const Gap& g : gaps) {
        if (start < g.from) kept.push_back({start, g.from});
        start = g.to;
    }
    kept.push_back({start, INT64_MAX});

    // Within a tick: a gap's setup (0), its state (1) and the notes struck
    // again (2), then the kept events in list order (3), the note offs made
    // at a gap's start (4), the end of track (5).
    std::vector<Timed> out;
    out.reserve(line.size() + gaps.size());
    int order = 0;
    const auto add = [&](std::int64_t tick, MidiEvent* e, int phase, int place) {
        out.push_back({tick, e, phase, place});
    };
    const auto make = [&](std::unique_ptr<MidiEvent> e) {
        made.push_back(std::move(e));
        return made.back().get();
    };
    // Where a gap's setup, state and struck notes go: its end, or the last
    // event when nothing follows the gap.
    const auto target = [&](int g) { return std::min(gaps[g].to, last_tick); };

    for (std::size_t i = 0; i < line.size(); ++i) {
        const Timed& x = line[i];
        MidiEvent& e = *x.event;
        const int place = static_cast<int>(i);
        const int g = GapOf(gaps, x.tick);
        if (IsEndOfTrackAt(line, i)) {
            add(x.tick, &e, 5, place);
        } else if (IsSoundingNoteOn(e) && partner[i] >= 0) {
            // A note keeps the pieces of its time that lie outside the gaps.
            const int off_place = partner[i];
            const Timed& off = line[static_cast<std::size_t>(off_place)];
            const std::int64_t s = x.tick, end = off.tick;
            if (s == end) {
                if (g < 0) {
                    add(s, &e, 3, place);
                    add(end, off.event, 3, off_place);
                }
                continue;
            }
            auto k = std::upper_bound(kept.begin(), kept.end(), s,
                                      [](std::int64_t t, const Gap& a) { return t < a.to; });
            for (; k != kept.end() && k->from < end; ++k) {
                const std::int64_t p = std::max(s, k->from), q = std::min(end, k->to);
                if (p >= q) continue;
                if (p == s) {
                    add(s, &e, 3, place);
                } else {
                    add(p, make(NewNote(kEvNoteOn, e, e.velocity)), 2, order++);
                }
                if (q == end) {
                    add(end, off.event, 3, off_place);
                } else {
                    add(q, make(NewNote(kEvNoteOff, e, 0)), 4, order++);
                }
            }
        } else if (IsSoundingNoteOn(e)) {
            if (g < 0) add(x.tick, &e, 3, place);  // never released: left as it was
        } else if (IsNoteOff(e)) {
            // Paired note offs come with their note on; a stray one stays
            // outside the gaps and at a gap's start.
            if (partner[i] == -2 && (g < 0 || x.tick == gaps[g].from)) add(x.tick, &e, 3, place);
        } else if (g < 0) {
            add(x.tick, &e, 3, place);
        } else if (IsSetupEvent(e)) {
            add(target(g), &e, 0, place);
        }
    }
    for (std::size_t g = 0; g < gaps.size(); ++g) {
        if (gaps[g].to > last_tick) continue;  // nothing follows that needs it
        std::vector<std::unique_ptr<MidiEvent>> state;
        StateEvents(at_from[g], at_to[g], state);
        for (auto& e : state) add(gaps[g].to, make(std::move(e)), 1, order++);
    }
    SortTimeline(out);
    if (close) {
        std::vector<std::int64_t> before(gaps.size() + 1, 0);  // ticks removed before gap g
        for (std::size_t g = 0; g < gaps.size(); ++g)
            before[g + 1] = before[g] + (gaps[g].to - gaps[g].from);
        for (Timed& x : out) {
            const auto k = static_cast<std::size_t>(
                std::upper_bound(gaps.begin(), gaps.end(), x.tick,
                                 [](std::int64_t t, const Gap& a) { return t < a.to; }) -
                gaps.begin());
            x.tick = k < gaps.size() && gaps[k].from <= x.tick ? gaps[k].from - before[k]
                                                               : x.tick - before[k];
        }
    }
    return out;
}

bool RoomFor(MidiTrackData& t, std::size_t count) {
    if (count <= static_cast<std::size_t>(kMaxEvents)) return true;
    t.MidiTrackData::ErrorMsg(kErrTrackTooMuchData);
    return false;
}

}  // namespace

int MidiF1TrackData::ExtractEvent(int from, int to, MidiEvent** out) try {
    if (out == nullptr) return 0;
    int stored = 0;
    std::int64_t tick = 0;
    std::int64_t previous = from;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        tick += e->delta;
        if (tick >= to) break;
        if (tick < from) continue;
        if (stored == kAreaExtractLimit) {
            GneErrorMsg(0);  // a 1,025th event: the caller's array is full
            break;
        }
        auto copy = std::make_unique<MidiEvent>();
        copy->Copy(e);
        copy->delta = ClampToInt(tick - previous);
        previous = tick;
        out[stored++] = copy.release();
    }
    return stored;
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
    return 0;
}

void MidiF1TrackData::ClearEvents(int from, int to) try {
    from = std::max(from, 0);  // no time passes before the track starts
    if (from >= to || event_count < 2) return;
    std::vector<Timed> line = TimelineOf(*this);
    const std::vector<int> partner = form == kFormQ1 ? PairNotes(line) : std::vector<int>{};
    const std::size_t last = line.size() - 1;  // the end of track is never removed
    std::vector<Timed> out;
    out.reserve(line.size());
    std::vector<bool> dropped(line.size(), false);
    for (std::size_t i = 0; i < line.size(); ++i) {
        Timed x = line[i];
        MidiEvent& e = *x.event;
        if (dropped[i]) continue;
        const bool inside = i != last && x.tick >= from && x.tick < to;
        if (e.status == kEvNote && x.tick < from && x.tick + e.duration > from) {
            e.duration = static_cast<int>(from - x.tick);  // sounded into the span: ends at from
        } else if (form == kFormQ1 && IsSoundingNoteOn(e) && partner[i] >= 0) {
            const auto off = static_cast<std::size_t>(partner[i]);
            if (inside) {
                dropped[off] = true;  // left behind it would end a later note of the key
            } else if (x.tick < from && line[off].tick > from && off != last) {
                line[off].tick = from;  // the note ends where the span begins
                line[off].phase = 2;
            }
        }
        if (!inside) {
            out.push_back(x);
            continue;
        }
        if (IsStateEvent(e) || IsSetupEvent(e) ||
            (form == kFormQ1 && IsNoteOff(e) && partner[i] >= 0)) {
            x.tick = from;
            x.phase = IsNoteOff(e) ? 2 : 3;
            out.push_back(x);
        }
    }
    SortTimeline(out);
    std::vector<std::unique_ptr<MidiEvent>> none;
    StoreTimeline(*this, out, none);
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
}

void MidiF1TrackData::InsertEvents(int time, int end, MidiEvent** events) try {
    if (events == nullptr || events[0] == nullptr) return;
    std::vector<std::unique_ptr<MidiEvent>> block;
    for (MidiEvent** p = events; *p != nullptr; ++p) block.emplace_back(*p);
    // A track of no more than its end of track takes the block from its start.
    const std::int64_t base = event_count <= 1 ? 0 : std::max(time, 0);
    std::vector<Timed> line = TimelineOf(*this);
    const bool has_end = !line.empty() && line.back().event->IsEndOfTrack();
    std::int64_t block_end = std::max<std::int64_t>(base, end);
    std::int64_t tick = base;
    std::vector<Timed> added;
    for (auto& e : block) {
        if (e->delta < 0) GneErrorMsg(0);  // taken as 0
        tick += std::max(e->delta, 0);
        block_end =
            std::max(block_end, tick + (e->status == kEvNote ? std::max(e->duration, 0) : 0));
        // The track has its own end of track; one in the block only says
        // where the block ends.
        if (!e->IsEndOfTrack()) added.push_back({tick, e.get(), 4, static_cast<int>(added.size())});
    }
    if (!RoomFor(*this, line.size() + added.size())) return;
    if (has_end) {
        line.back().tick = std::max(line.back().tick, block_end);
        line.back().phase = 5;
    }
    line.insert(line.end(), added.begin(), added.end());
    SortTimeline(line);
    std::vector<std::unique_ptr<MidiEvent>> made;
    for (auto& e : block) {
        if (e->IsEndOfTrack()) continue;  // destroyed with block
        made.push_back(std::move(e));
    }
    StoreTimeline(*this, line, made);
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
}

void MidiF1TrackData::DeleteAreaData(int from, int to) try {
    if (form != kFormQ1) {
        ErrorMsg(kErrGeneral);
        return;
    }
    from = std::max(from, 0);
    if (from >= to) return;
    std::vector<std::unique_ptr<MidiEvent>> made;
    const std::vector<Timed> line = CutGaps(TimelineOf(*this), {{from, to}}, false, made);
    if (!RoomFor(*this, line.size())) return;
    StoreTimeline(*this, line, made);
    CleanUpDuplicateVolumeExpressionOfSameTiming();
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
}

void MidiF1TrackData::DeleteAreaTime(int from, int to) {
    from = std::max(from, 0);  // a span before the start removes only what lies after 0
    if (from >= to || event_count == 0) return;
    if (form != kFormQ1) {
        ErrorMsg(kErrGeneral);
        return;
    }
    const std::int64_t length = std::int64_t{to} - from;
    std::int64_t tick = 0, previous = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        tick += e->delta;
        const std::int64_t moved = tick < from ? tick : tick <= to ? from : tick - length;
        e->delta = ClampToInt(moved - previous);
        previous = moved;
    }
}

void MidiF1TrackData::ExtractArea(int (*areas)[2], int count) try {
    if (form != kFormQ1 || areas == nullptr || count <= 0) {
        ErrorMsg(kErrGeneral);
        return;
    }
    std::int64_t kept = 0;
    for (int k = 0; k < count; ++k) {
        const bool ordered = k == 0 || areas[k][0] >= areas[k - 1][1];
        if (areas[k][0] < 0 || areas[k][1] <= areas[k][0] || !ordered) {
            ErrorMsg(kErrGeneral);  // unsorted, overlapping, empty or negative
            return;
        }
        kept += areas[k][1] - areas[k][0];
    }
    const std::int64_t length = GetTrackLen();
    std::vector<Gap> gaps;
    std::int64_t start = 0;
    for (int k = 0; k < count; ++k) {
        if (start < areas[k][0]) gaps.push_back({start, areas[k][0]});
        start = areas[k][1];
    }
    if (start < length + 1) gaps.push_back({start, length + 1});
    std::vector<std::unique_ptr<MidiEvent>> made;
    std::vector<Timed> line = CutGaps(TimelineOf(*this), gaps, true, made);
    if (line.empty() || !line.back().event->IsEndOfTrack()) {
        auto end = std::make_unique<MidiEvent>();
        end->status = kEvMeta;
        end->number = kMetaEndOfTrack;
        end->data[0] = 0xFF;
        end->data[1] = kMetaEndOfTrack;
        end->length = 3;
        made.push_back(std::move(end));
        line.push_back({0, made.back().get()});
    }
    line.back().tick = std::max(kept, line.size() > 1 ? line[line.size() - 2].tick : 0);
    if (!RoomFor(*this, line.size())) return;
    StoreTimeline(*this, line, made);
    CleanUpDuplicateVolumeExpressionOfSameTiming();
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
}

void MidiF1TrackData::DivideMeasureByTimeSign(int division, int time) try {
    const std::int64_t length = GetTrackLen();
    if (division < kSixteenthsPerQuarter || time < 0 || event_count == 0 || time > length) {
        ErrorMsg(kErrGeneral);
        return;
    }
    // The running time signature (4/4 until one is met) and the position
    // in its measure, as the events pass up to time.
    std::int64_t measure = 4LL * division;
    int numerator = 4, power = 2, value = SetTimeSignValue(4, 2);
    std::int64_t position = 0, tick = 0;
    for (int i = 0; i < event_count; ++i) {
        const MidiEvent& e = *event_table[i];
        const int delta = std::max(e.delta, 0);
        if (tick + delta > time) break;
        tick += delta;
        position = (position + delta) % measure;
        if (!e.IsMeta(kMetaTimeSignature)) continue;
        const auto ticks = static_cast<std::int64_t>(GneGetTimeSignValue(e.value) * division);
        if (ticks < 1) continue;  // a measure under one tick cannot be counted
        measure = ticks;
        numerator = e.data[0];
        power = e.data[1];
        value = e.value;
    }
    position = (position + (time - tick)) % measure;
    if (position == 0) return;  // on a bar line
    const int sixteenth = division / kSixteenthsPerQuarter;
    const std::int64_t rest = measure - position;
    if (position % sixteenth != 0 || rest % sixteenth != 0 ||
        position / sixteenth > kMaxNumerator || rest / sixteenth > kMaxNumerator) {
        ErrorMsg(kErrGeneral);  // not whole sixteenths that a time signature can hold
        return;
    }
    const std::int64_t start = time - position, next = start + measure;
    const auto new_sign = [&](int num, int pow, int code) {
        auto e = std::make_unique<MidiEvent>();
        e->status = kEvMeta;
        e->number = kMetaTimeSignature;
        e->value = code;
        e->data[0] = static_cast<unsigned char>(num);
        e->data[1] = static_cast<unsigned char>(pow);
        e->data[2] = 18;  // MIDI clocks per metronome click
        e->data[3] = 8;   // thirty-second notes per quarter note
        e->length = 4;
        return e;
    };
    const int first = static_cast<int>(position / sixteenth),
              second = static_cast<int>(rest / sixteenth);
    std::vector<std::pair<std::int64_t, std::unique_ptr<MidiEvent>>> signs;
    signs.emplace_back(start, new_sign(first, 4, first * 256 + 16));
    signs.emplace_back(time, new_sign(second, 4, second * 256 + 16));
    std::vector<Timed> line = TimelineOf(*this);
    const bool sign_at_next = std::any_of(line.begin(), line.end(), [&](const Timed& x) {
        return x.tick == next && x.event->IsMeta(kMetaTimeSignature);
    });
    // Nothing goes past the end of track, and a time signature already at
    // the next bar line has the last word there.
    if (!sign_at_next && next < length) signs.emplace_back(next, new_sign(numerator, power, value));
    if (!RoomFor(*this, line.size() + signs.size())) return;
    if (!line.empty() && line.back().event->IsEndOfTrack()) line.back().phase = 5;
    std::vector<std::unique_ptr<MidiEvent>> made;
    for (auto& [at, e] : signs) {
        line.push_back({at, e.get(), 4, static_cast<int>(made.size())});
        made.push_back(std::move(e));
    }
    SortTimeline(line);
    StoreTimeline(*this, line, made);
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
}

void MidiF1TrackData::DeleteNote(int time) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    std::int64_t tick = 0;
    for (int i = 0; i < event_count; ++i) {
        tick += event_table[i]->delta;
        if (event_table[i]->status == kEvNote && tick >= time)
            retrograde::detail::MarkNone(event_table[i]);
    }
    DeleteNop();
}

void MidiF1TrackData::DeleteNote(int note, bool same) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        if (e->status == kEvNote && (e->note == note) == same) retrograde::detail::MarkNone(e);
    }
    DeleteNop();
}

void MidiF1TrackData::DeletePitchBendWithNote(int index) {
    if (index < 0 || index >= event_count) return;
    if (form == kFormQ1) {
        for (int i = index + 1; i < event_count; ++i) {
            MidiEvent* e = event_table[i];
            if (IsNoteOff(*e)) break;
            if (e->status == kEvPitchBend) retrograde::detail::MarkNone(e);
        }
    } else if (form == kFormQ2) {
        std::int64_t remaining = event_table[index]->duration;
        for (int i = index + 1; i < event_count; ++i) {
            MidiEvent* e = event_table[i];
            remaining -= e->delta;
            if (remaining < 1) break;
            if (e->status == kEvPitchBend) retrograde::detail::MarkNone(e);
        }
    }
    DeleteNop();
}

double MidiF1TrackData::DeltaTimeToSecond(int from, int to, int division) {
    if (division <= 0) {
        ErrorMsg(kErrGeneral);
        return 0.0;
    }
    // Seconds from the start to tick; the last tempo goes on past the last event.
    const auto seconds = [&](std::int64_t target) {
        double sum = 0.0;
        std::int64_t now = 0;
        double tempo = kDefaultTempo;
        const auto span = [&](std::int64_t ticks) {
            return static_cast<double>(ticks) * tempo / 1e6 / division;
        };
        for (int i = 0; i < event_count && now < target; ++i) {
            const MidiEvent& e = *event_table[i];
            const std::int64_t next = std::min(target, now + std::max(e.delta, 0));
            sum += span(next - now);
            now = next;
            if (now < target && e.IsMeta(kMetaTempo) && e.value > 0) tempo = e.value;
        }
        if (now < target) sum += span(target - now);
        return sum;
    };
    return seconds(std::max(to, 0)) - seconds(std::max(from, 0));
}

void MidiF1TrackData::SetQ2Data() try {
    if (form == kFormRaw) {
        ErrorMsg(kErrGeneral);  // the chunk's bytes are not events yet
        return;
    }
    // Each note off ends the oldest note on still open, whatever its key.
    std::vector<std::pair<int, std::int64_t>> open;  // index, tick
    std::size_t head = 0;
    std::int64_t tick = 0;
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        tick += e->delta;
        if (IsSoundingNoteOn(*e)) {
            e->status = kEvNote;
            open.emplace_back(i, tick);
        } else if (IsNoteOff(*e)) {
            if (head < open.size()) {
                const auto [on, start] = open[head++];
                event_table[on]->duration = ClampToInt(tick - start);
            }
            retrograde::detail::MarkNone(e);
        }
    }
    for (int i = 0; i < event_count; ++i) {
        MidiEvent* e = event_table[i];
        if (e->status != kEvNote) continue;
        if (e->duration < 0) GneErrorMsg(0);
        if (e->duration <= 0) retrograde::detail::MarkNone(e);
    }
    DeleteNop();
    form = kFormQ2;
} catch (const std::exception&) {
    ErrorMsg(kErrGeneral);
}
