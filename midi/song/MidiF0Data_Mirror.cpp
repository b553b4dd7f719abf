// The mirror transforms of a format-0 song (backwards in time, upside down in
// pitch) and the small operations that shape the start of a song for playback.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiStatus.h"
#include "midi/song/detail/MirrorSetup.h"
#include "midi/song/detail/VerticalTurn.h"
#include "midi/track/detail/NotePairing.h"
#include "midi/track/detail/Prefetch.h"

namespace {

constexpr int kAhead = retrograde::detail::kPrefetchAhead;

// Asks early for the record a walk will read kAhead places on: the records of
// a song lie scattered in memory, and the waits for them overlap this way.
// Always inlined, or GCC drops the call as one without effect.
[[gnu::always_inline]] inline void Prefetch(const MidiEvent* record) {
    __builtin_prefetch(record);
}

// Puts the records of list into the track's table in order.
void ReplaceEvents(MidiTrackData& track, const std::vector<MidiEvent*>& list) {
    std::copy(list.begin(), list.end(), track.event_table.get());
    track.event_count = static_cast<int>(list.size());
}

using retrograde::detail::kMoveClasses;
using MovePlaces = std::array<std::vector<int>, kMoveClasses>;

// Lays out a track whose place k holds record(k) with the delta delta(k)
// (places 0 .. count-1), with every event of a move class moved back by one
// occurrence of its class: the first of a class goes to the front at time 0
// (the fronts of the classes in descending order: key signature, time
// signature, tempo, programs of channels 15 .. 0), each later one takes the
// place, and so the time, of the one before it, and the place of the last one
// disappears, its delta passed on to the next event. places holds, per class,
// the places of its events in ascending order. Every record is given its
// final delta exactly once; none events go as DeleteNop takes them. The
// records of front (a prefix such as the setup block) stay in front. The
// records are read through record(), never from the track's table, which
// takes the result as it is laid out.
template <typename Record, typename Delta>
void LayOutMoving(MidiTrackData& t, int count, Record record, Delta delta, const MovePlaces& places,
                  const std::vector<MidiEvent*>& front = {}) {
    bool any = false;
    for (const auto& list : places) any = any || !list.empty();
    // For a place of a moved event of class c: the place whose record comes
    // here instead, or -1 when the place is vacated; kNotMoved elsewhere.
    constexpr int kNotMoved = -2;
    auto source_of = [&](int k, int c) {
        const auto& list = places[c];
        const auto it = std::lower_bound(list.begin(), list.end(), k);
        if (it == list.end() || *it != k) return kNotMoved;
        return it + 1 < list.end() ? *(it + 1) : -1;
    };
    MidiEvent** out = std::copy(front.begin(), front.end(), t.event_table.get());
    for (int c = kMoveClasses - 1; c >= 0; --c) {
        if (places[c].empty()) continue;
        MidiEvent* first = record(places[c].front());
        first->delta = 0;
        *out++ = first;
    }
    int carry = 0;
    for (int k = 0; k < count; ++k) {
        if (k + kAhead < count) Prefetch(record(k + kAhead));
        MidiEvent* e = record(k);
        if (any) {
            const int c = retrograde::detail::MoveClass(e);
            const int from = c >= 0 ? source_of(k, c) : kNotMoved;
            if (from == -1) {
                carry += delta(k);
                continue;
            }
            if (from >= 0) e = record(from);
        }
        e->delta = delta(k) + carry;
        carry = 0;
        if (e->status == kEvNone) {
            // Removed as DeleteNop removes it: its delta goes to the next event.
            carry = e->delta;
            delete e;
            continue;
        }
        *out++ = e;
    }
    t.event_count = static_cast<int>(out - t.event_table.get());
}

// A tempo, time or key signature meta event at time 0 with the default value:
// what a song without one at its start plays by.
MidiEvent* DefaultMeta(int type) {
    auto* e = new MidiEvent(0, MusicEvent::Compact{});
    e->status = kEvMeta;
    e->number = type;
    e->channel = kNoChannel;
    e->delta = 0;
    if (type == kMetaTempo) {
        e->SetTempo(kDefaultTempo);
    } else if (type == kMetaTimeSignature) {
        e->value = 0x0404;
        GneSetTimeSignData(e->value, e->data, &e->length);
    } else {
        e->value = 0;
        e->data[0] = 0;
        e->data[1] = 0;
        e->length = 2;
    }
    return e;
}

// A song reverses in form Q1, with its end of track last; otherwise it says so.
bool Reversible(MidiF0Data& song) {
    if (song.form != kFormQ1 || !song.track) {
        song.ErrorMsg(kErrF0Internal);
        return false;
    }
    const MidiTrackData& t = *song.track;
    if (t.event_count == 0 || !t.event_table[t.event_count - 1]->IsEndOfTrack()) {
        song.ErrorMsg(kErrGeneral);
        return false;
    }
    return true;
}

}  // namespace

void MidiF0Data::HorizontalReverse() {
    if (!Reversible(*this)) return;
    MidiTrackData& t = *track;
    const int count = t.event_count;
    using namespace retrograde::detail;
    MidiEvent** ev = t.event_table.get();
    const int last = count - 1;  // the end of track is never moved

    // One walk over the song: the setup block (tick-0 events that set the
    // song up) goes aside to stay first; the rest is paired (each note off
    // changes place with its note on) and the places of the moved classes are
    // noted (those events are never exchanged). Three places are kept free
    // in front for the default tempo, time and key signature a song needs at
    // its start once its last one has moved to the front. The deltas stay
    // with the places; they are kept aside and given out once at the end.
    constexpr int kFront = 3;
    std::vector<MidiEvent*> setup;
    std::vector<MidiEvent*> rest(static_cast<std::size_t>(count) + kFront, nullptr);
    std::vector<int> deltas(rest.size(), 0);
    int filled = kFront;  // places of rest in use
    MovePlaces places;
    std::array<bool, kMoveClasses> seen{};
    std::array<bool, kMoveClasses> at_start{};
    // Each note on trades places with its own note off (the first note off
    // of its channel and key not yet taken), so that it stands behind it
    // once the list is reversed; notes ended by a restrike or by the song's
    // end keep their places.
    NoteOffPairing pairing(count + kFront);
    bool start = true;  // still at tick 0
    for (int i = 0; i < last; ++i) {
        if (i + kAhead < last) Prefetch(ev[i + kAhead]);
        MidiEvent* e = ev[i];
        start = start && e->delta == 0;
        if (start && IsSetupEvent(e)) {
            setup.push_back(e);
            continue;
        }
        const int place = filled++;
        rest[static_cast<std::size_t>(place)] = e;
        deltas[static_cast<std::size_t>(place)] = e->delta;
        const int c = MoveClass(e);
        if (c >= 0) {
            places[c].push_back(place);
            seen[c] = true;
            at_start[c] = at_start[c] || start;
        } else if (const int on = pairing.Add(*e, place); on >= 0) {
            std::swap(rest[static_cast<std::size_t>(on)], rest[static_cast<std::size_t>(place)]);
        }
    }
    // A tempo, time or key signature that changes later but has none at the
    // start gets the default at tick 0 (in that order at the front), so the
    // passage before its first change keeps its sound once reversed.
    std::vector<int> missing;
    for (int c : {kMoveTempo, kMoveTimeSign, kMoveKeySign}) {
        if (seen[c] && !at_start[c]) missing.push_back(c);
    }
    if (count + static_cast<int>(missing.size()) > kMaxEvents) {
        t.ErrorMsg(kErrTrackTooMuchData);
        return;  // nothing has changed yet
    }
    const int base = kFront - static_cast<int>(missing.size());
    for (std::size_t m = 0; m < missing.size(); ++m) {
        const int c = missing[m];
        const int place = base + static_cast<int>(m);
        rest[static_cast<std::size_t>(place)] =
            DefaultMeta(c == kMoveTempo      ? kMetaTempo
                        : c == kMoveTimeSign ? kMetaTimeSignature
                                             : kMetaKeySignature);
        places[c].insert(places[c].begin(), place);
    }
    rest[static_cast<std::size_t>(filled)] = ev[last];
    deltas[static_cast<std::size_t>(filled)] = ev[last]->delta;
    ++filled;
    MidiEvent** list = rest.data() + base;
    const int* gaps = deltas.data() + base;
    const int n = filled - base;
    const int end = n - 1;

    // The order reversed: place k takes the record of place end-1-k. Each
    // gap then lies between the same two events as before, so place k gets
    // the delta of place end-k; the silence in front of the first event is
    // dropped and the end of track keeps its own gap.
    std::reverse(list, list + end);
    for (auto& places_of_class : places) {
        for (int& place : places_of_class) place = end - 1 - (place - base);
        std::reverse(places_of_class.begin(), places_of_class.end());
    }
    // The setup block stays in front, in its order, at time 0.
    for (MidiEvent* e : setup) e->delta = 0;
    LayOutMoving(
        t, n, [list](int k) { return list[k]; },
        [gaps, end](int k) {
            if (k == 0) return 0;  // also an end of track standing alone
            return k == end ? gaps[end] : gaps[end - k];
        },
        places, setup);
}

void MidiF0Data::HorizontalReverseSub() {
    if (form != kFormQ1 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    MidiTrackData& t = *track;
    const int count = t.event_count;
    if (count == 0) return;
    MidiEvent** ev = t.event_table.get();
    // In the reversed song a program change (tempo, time or key signature)
    // follows the passage it governed; moved back by one occurrence of its
    // kind, each again precedes its own passage. Controllers and pitch bends
    // are not moved. The last event (the end of track) is never taken.
    std::vector<int> deltas(static_cast<std::size_t>(count));
    MovePlaces places;
    bool any = false;
    for (int k = 0; k < count; ++k) {
        const MidiEvent* e = ev[k];
        deltas[k] = e->delta;
        const int c = retrograde::detail::MoveClass(e);
        if (k + 1 < count && c >= 0) {
            places[c].push_back(k);
            any = true;
        }
    }
    if (!any) return;
    const std::vector<MidiEvent*> order(ev, ev + count);
    LayOutMoving(
        t, count, [&order](int k) { return order[k]; }, [&deltas](int k) { return deltas[k]; },
        places);
}

namespace {

// ---- the backwards mirror that carries each passage's state ----

// One value of the state a passage plays with, as a key: tempo, time and
// key signature; per channel each controller, program, pitch bend (14 bits),
// channel pressure and whether data entry goes to the NRPN chosen last; per
// channel each RPN and NRPN parameter, its coarse and its fine value.
constexpr int kKeyTempo = 0;
constexpr int kKeyTimeSign = 1;
constexpr int kKeyKeySign = 2;
constexpr int kChannelSlots = 256;
constexpr int kSlotProgram = 128;
constexpr int kSlotBend = 129;
constexpr int kSlotPressure = 130;
constexpr int kSlotNrpnActive = 131;
constexpr int kParameterKeys = 1 << 20;
constexpr int kRpnMsb = 101, kRpnLsb = 100, kNrpnMsb = 99, kNrpnLsb = 98;
constexpr int kDataEntry = 6, kDataEntryLsb = 38;
constexpr int kNullParameter = 127;

constexpr int ChannelKey(int channel, int slot) {
    return kKeyKeySign + 1 + channel * kChannelSlots + slot;
}
constexpr int ParameterKey(int channel, bool nrpn, int parameter, bool lsb) {
    return kParameterKeys +
           (((channel * 2 + (nrpn ? 1 : 0)) * 16384 + parameter) * 2 + (lsb ? 1 : 0));
}

using StateMap = std::unordered_map<int, int>;

// What a device holds before it is told otherwise (General MIDI).
int DefaultOf(int key) {
    if (key == kKeyTempo) return kDefaultTempo;
    if (key == kKeyTimeSign) return 0x0404;
    if (key == kKeyKeySign) return 0;
    if (key >= kParameterKeys) {
        const int rest = key - kParameterKeys;
        const bool lsb = rest % 2 != 0;
        const bool nrpn = rest / 2 / 16384 % 2 != 0;
        const int parameter = rest / 2 % 16384;
        if (nrpn || lsb) return 0;
        if (parameter == 0) return 2;                      // pitch bend range: two semitones
        return parameter == 1 || parameter == 2 ? 64 : 0;  // tunings: centre
    }
    const int slot = (key - ChannelKey(0, 0)) % kChannelSlots;
    switch (slot) {
        case 7:
            return 100;  // volume
        case 8:
        case 10:
            return 64;  // balance, pan: centre
        case 11:
            return 127;  // expression
        case kRpnMsb:
        case kRpnLsb:
        case kNrpnMsb:
        case kNrpnLsb:
            return kNullParameter;
        case kSlotBend:
            return 8192;
        default:
            return 0;
    }
}

int ValueOf(const StateMap& state, int key) {
    const auto it = state.find(key);
    return it == state.end() ? DefaultOf(key) : it->second;
}

// The state values an event sets, given the state before it (data entry
// goes to the parameter chosen then). Empty for an event that is no state,
// or a data entry with no parameter chosen.
std::vector<std::pair<int, int>> ChangesOf(const MidiEvent* e, const StateMap& state) {
    const int c = e->channel;
    switch (e->status) {
        case kEvProgram:
            return {{ChannelKey(c, kSlotProgram), e->value}};
        case kEvPitchBend:
            return {{ChannelKey(c, kSlotBend), e->value * 128 + e->note}};
        case kEvChannelPressure:
            return {{ChannelKey(c, kSlotPressure), e->value}};
        case kEvMeta:
            if (e->number == kMetaTempo) return {{kKeyTempo, e->value}};
            if (e->number == kMetaTimeSignature) return {{kKeyTimeSign, e->value}};
            return {{kKeyKeySign, e->data[0] * 256 + e->data[1]}};
        default:
            break;
    }
    const int n = e->number;
    if (n == kRpnMsb || n == kRpnLsb || n == kNrpnMsb || n == kNrpnLsb) {
        return {{ChannelKey(c, n), e->value},
                {ChannelKey(c, kSlotNrpnActive), n == kNrpnMsb || n == kNrpnLsb ? 1 : 0}};
    }
    if (n != kDataEntry && n != kDataEntryLsb) return {{ChannelKey(c, n), e->value}};
    const bool nrpn = ValueOf(state, ChannelKey(c, kSlotNrpnActive)) != 0;
    const int msb = ValueOf(state, ChannelKey(c, nrpn ? kNrpnMsb : kRpnMsb));
    const int lsb = ValueOf(state, ChannelKey(c, nrpn ? kNrpnLsb : kRpnLsb));
    if (msb == kNullParameter && lsb == kNullParameter) return {};
    return {{ParameterKey(c, nrpn, msb * 128 + lsb, n == kDataEntryLsb), e->value}};
}

MidiEvent* NewControl(int channel, int number, int value) {
    auto* e = new MidiEvent(0, MusicEvent::Compact{});
    e->SetControlChange(channel, number, value);
    e->data[0] = static_cast<unsigned char>(kEvControl | channel);
    e->data[1] = static_cast<unsigned char>(number);
    e->data[2] = static_cast<unsigned char>(value);
    e->length = 3;
    return e;
}

MidiEvent* NewChannelPressure(int channel, int value) {
    auto* e = new MidiEvent(0, MusicEvent::Compact{});
    e->status = kEvChannelPressure;
    e->channel = channel;
    e->value = value;
    e->data[0] = static_cast<unsigned char>(kEvChannelPressure | channel);
    e->data[1] = static_cast<unsigned char>(value);
    e->length = 2;
    return e;
}

MidiEvent* NewKeySign(int code) {
    MidiEvent* e = DefaultMeta(kMetaKeySignature);
    e->data[0] = static_cast<unsigned char>(code >> 8);
    e->data[1] = static_cast<unsigned char>(code);
    return e;
}

// Appends the events that set the values of set, in the order a device
// should receive them: tempo, time and key signature, per channel bank,
// program, controllers, pitch bend; then per channel its RPN and NRPN
// parameters, the parameter choice as now holds it, channel pressure.
void EmitState(const std::vector<std::pair<int, int>>& set, const StateMap& now,
               std::vector<MidiEvent*>& out) {
    MidiStatus plain;
    std::vector<std::pair<int, int>> parameters;
    std::array<bool, kMidiChannels> choice{};
    std::array<int, kMidiChannels> pressure;
    pressure.fill(-1);
    int key_sign = -1;
    for (const auto& [key, value] : set) {
        if (key == kKeyTempo) {
            plain.tempo = value;
        } else if (key == kKeyTimeSign) {
            plain.time_sign = value;
        } else if (key == kKeyKeySign) {
            key_sign = value;
        } else if (key >= kParameterKeys) {
            parameters.emplace_back(key, value);
            choice[(key - kParameterKeys) / 2 / 16384 / 2] = true;
        } else {
            const int c = (key - ChannelKey(0, 0)) / kChannelSlots;
            const int slot = (key - ChannelKey(0, 0)) % kChannelSlots;
            if (slot == kSlotProgram) {
                plain.program[c] = value;
            } else if (slot == kSlotBend) {
                plain.pitch_bend[c] = {value / 128, value % 128};
            } else if (slot == kSlotPressure) {
                pressure[c] = value;
            } else if (slot == kSlotNrpnActive || slot == kRpnMsb || slot == kRpnLsb ||
                       slot == kNrpnMsb || slot == kNrpnLsb) {
                choice[c] = true;
            } else {
                plain.controller[c][slot] = value;
            }
        }
    }
    std::array<MidiEvent*, kMidiStatusMaxEvents> made{};
    const int count = plain.CreateStatusEventInSendOrder(made.data());
    int metas = 0;
    while (metas < count && made[metas]->status == kEvMeta) ++metas;
    out.insert(out.end(), made.begin(), made.begin() + metas);
    if (key_sign >= 0) out.push_back(NewKeySign(key_sign));
    out.insert(out.end(), made.begin() + metas, made.begin() + count);
    std::sort(parameters.begin(), parameters.end());
    for (const auto& [key, value] : parameters) {
        const int rest = key - kParameterKeys;
        const bool lsb = rest % 2 != 0;
        const int parameter = rest / 2 % 16384;
        const bool nrpn = rest / 2 / 16384 % 2 != 0;
        const int c = rest / 2 / 16384 / 2;
        out.push_back(NewControl(c, nrpn ? kNrpnMsb : kRpnMsb, parameter / 128));
        out.push_back(NewControl(c, nrpn ? kNrpnLsb : kRpnLsb, parameter % 128));
        out.push_back(NewControl(c, lsb ? kDataEntryLsb : kDataEntry, value));
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        if (choice[c]) {
            // The parameter chosen as the state holds it, the kind that data
            // entry goes to chosen last.
            const bool nrpn = ValueOf(now, ChannelKey(c, kSlotNrpnActive)) != 0;
            for (int n : nrpn ? std::array<int, 4>{kRpnMsb, kRpnLsb, kNrpnMsb, kNrpnLsb}
                              : std::array<int, 4>{kNrpnMsb, kNrpnLsb, kRpnMsb, kRpnLsb}) {
                out.push_back(NewControl(c, n, ValueOf(now, ChannelKey(c, n))));
            }
        }
        if (pressure[c] >= 0) out.push_back(NewChannelPressure(c, pressure[c]));
    }
}

// The values a tick changes, each with the value it had before the tick.
struct StateInstant {
    std::int64_t tick;
    std::vector<std::pair<int, int>> before;
};

}  // namespace

void MidiF0Data::HorizontalReverse(bool carryState) {
    if (!carryState) {
        HorizontalReverse();
        return;
    }
    if (!Reversible(*this)) return;
    MidiTrackData& t = *track;
    const int count = t.event_count;
    using namespace retrograde::detail;
    MidiEvent** ev = t.event_table.get();
    const int last = count - 1;
    std::vector<MidiEvent*> made;  // new records, until the track takes them
    try {
        // The song walked forwards: state events go into the state (their
        // records are replaced by new ones), every other event keeps its
        // place and tick, notes paired so that each note on will stand in
        // front of its note off once reversed.
        std::vector<MidiEvent*> setup;
        std::vector<MidiEvent*> kept;
        std::vector<std::int64_t> ticks;
        std::vector<MidiEvent*> replaced;
        std::vector<StateInstant> instants;
        StateMap state;
        NoteOffPairing pairing(count);
        std::int64_t tick = 0;
        for (int i = 0; i < last; ++i) {
            MidiEvent* e = ev[i];
            tick += e->delta;
            if (IsStateEvent(e)) {
                const auto changes = ChangesOf(e, state);
                for (const auto& [key, value] : changes) {
                    if (instants.empty() || instants.back().tick != tick)
                        instants.push_back({tick, {}});
                    auto& before = instants.back().before;
                    const bool seen =
                        std::any_of(before.begin(), before.end(),
                                    [key = key](const auto& p) { return p.first == key; });
                    if (!seen) before.emplace_back(key, ValueOf(state, key));
                    state[key] = value;
                }
                replaced.push_back(e);
                continue;
            }
            if (tick == 0 && IsStatelessSetupEvent(e)) {
                setup.push_back(e);
                continue;
            }
            const int place = static_cast<int>(kept.size());
            kept.push_back(e);
            ticks.push_back(tick);
            if (const int on = pairing.Add(*e, place); on >= 0) {
                std::swap(kept[static_cast<std::size_t>(on)],
                          kept[static_cast<std::size_t>(place)]);
            }
        }
        // The axis: the tick of the last event before the end of track.
        const std::int64_t axis = tick;

        // The song's final state at time 0, then for each tick that changed
        // the state, at its mirrored time, the values from before it: the
        // passage that follows backwards is the one that played before it.
        std::vector<std::pair<std::int64_t, MidiEvent*>> timed;
        std::vector<std::pair<int, int>> final_state(state.begin(), state.end());
        std::sort(final_state.begin(), final_state.end());
        StateMap now = state;
        for (MidiEvent* e : setup) timed.emplace_back(0, e);
        EmitState(final_state, now, made);
        for (MidiEvent* e : made) timed.emplace_back(0, e);
        std::size_t next = kept.size();  // kept events taken so far from the back
        for (auto it = instants.rbegin(); it != instants.rend(); ++it) {
            const std::int64_t at = axis - it->tick;
            // Kept events of one tick come in reverse list order this way.
            while (next > 0 && axis - ticks[next - 1] < at) {
                --next;
                timed.emplace_back(axis - ticks[next], kept[next]);
            }
            for (const auto& [key, value] : it->before) now[key] = value;
            const std::size_t from = made.size();
            EmitState(it->before, now, made);
            for (std::size_t m = from; m < made.size(); ++m) timed.emplace_back(at, made[m]);
        }
        while (next > 0) {
            --next;
            timed.emplace_back(axis - ticks[next], kept[next]);
        }
        timed.emplace_back(count > 1 ? axis + ev[last]->delta : 0, ev[last]);
        if (timed.size() > static_cast<std::size_t>(kMaxEvents)) {
            for (MidiEvent* e : made) delete e;
            t.ErrorMsg(kErrTrackTooMuchData);
            return;  // the song is as it was
        }
        std::vector<MidiEvent*> list;
        list.reserve(timed.size());
        std::int64_t previous = 0;
        for (const auto& [at, e] : timed) {
            e->delta = static_cast<int>(at - previous);
            previous = at;
            list.push_back(e);
        }
        for (MidiEvent* e : replaced) delete e;
        ReplaceEvents(t, list);
    } catch (const std::bad_alloc&) {
        for (MidiEvent* e : made) delete e;
        ErrorMsg(kErrF0Internal);
    }
}

void MidiF0Data::VerticalReverse() {
    if (!track) return;
    MidiTrackData& t = *track;
    retrograde::detail::VerticalTurn turn(form);
    for (int k = 0; k < t.event_count; ++k) {
        retrograde::detail::PrefetchAhead(t.event_table.get(), k, t.event_count);
        MidiEvent* e = t.event_table[k];
        if (e->status == kEvSysEx) {
            turn.SeeExclusive(e);
        } else if (e->status == kEvNoteOn || e->status == kEvNoteOff) {
            turn.SeeNote(*e);
        }
    }
    if (!turn.Plan()) return;
    for (int k = 0; k < t.event_count; ++k) {
        retrograde::detail::PrefetchAhead(t.event_table.get(), k, t.event_count);
        MidiEvent* e = t.event_table[k];
        if (e->status == kEvNoteOn || e->status == kEvNoteOff) turn.Apply(*e);
    }
}

void MidiF0Data::HoldPedalToNote() {
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    Q2toQ1();
    MidiTrackData& t = *track;
    bool full_reported = false;
    int added = 0;  // records added in the current pass
    // Whether one more record fits the table once the pass is done.
    auto room = [&]() {
        if (t.event_count + added < kMaxEvents) {
            ++added;
            return true;
        }
        if (!full_reported) t.ErrorMsg(kErrTrackTooMuchData);
        full_reported = true;
        return false;
    };

    std::vector<MidiEvent*> list;
    for (int c = 0; c < kMidiChannels; ++c) {
        std::array<bool, kMidiNotes> held{};
        bool pedal = false;
        added = 0;
        list.clear();
        list.reserve(static_cast<std::size_t>(t.event_count) + kMidiNotes);
        for (int k = 0; k < t.event_count; ++k) {
            MidiEvent* e = t.event_table[k];
            list.push_back(e);
            if (e->channel != c) continue;
            if (e->status == kEvControl && e->number == kCcHoldPedal) {
                e->status = kEvNone;
                pedal = e->value != 0;
                if (pedal) continue;
                // Pedal up: every held note ends here. Each note off goes
                // directly behind the pedal event, so they come out in
                // descending note order.
                for (int n = kMidiNotes - 1; n >= 0; --n) {
                    if (!held[n] || !room()) continue;
                    auto off = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
                    off->SetNoteOffEvent(c, n);
                    off->delta = 0;
                    off->velocity = 0;
                    list.push_back(off.release());
                    held[n] = false;
                }
            } else if (pedal && retrograde::detail::IsSoundingNoteOn(*e) && e->note >= 0 &&
                       e->note < kMidiNotes && held[e->note]) {
                // A held note struck again: end it and strike it anew at once.
                if (!room()) continue;
                auto again = std::make_unique<MidiEvent>(e);
                again->delta = 0;
                e->status = kEvNoteOff;
                list.push_back(again.release());
            } else if (pedal && e->status == kEvNoteOff && e->note >= 0 && e->note < kMidiNotes) {
                e->status = kEvNone;
                held[e->note] = true;
            }
        }
        // Notes still held when the song ends are ended behind its end of
        // track; Q1toQ2 folds them into the notes' lengths.
        for (int n = 0; n < kMidiNotes; ++n) {
            if (!held[n] || !room()) continue;
            auto off = std::make_unique<MidiEvent>(0, MusicEvent::Compact{});
            off->SetNoteOffEvent(c, n);
            off->delta = 0;
            off->velocity = 0;
            list.push_back(off.release());
        }
        ReplaceEvents(t, list);
    }
    t.DeleteNop();
    Q1toQ2();
}

int MidiF0Data::BeginImmidiately() {
    if ((form != kFormQ1 && form != kFormQ2) || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    const int note_status = form == kFormQ1 ? kEvNoteOn : kEvNote;
    long long sum = 0;
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        sum += e->delta;
        if (e->status == note_status) break;
    }
    const int measure = GetOneMeasureTick();
    if (measure <= 0) return 0;
    const int start = static_cast<int>(sum / measure * measure);
    MakeDeltaZero(start);
    return start;
}

void MidiF0Data::MakeDeltaZero(int ticks) {
    if (!track) return;
    long long time = 0;
    for (int k = 0; k < track->event_count; ++k) {
        MidiEvent* e = track->event_table[k];
        time += e->delta;
        if (time <= ticks) {
            e->delta = 0;
        } else {
            e->delta = static_cast<int>(time - ticks);
            break;
        }
    }
}

int MidiF0Data::GetDeltaOfFirstNote() {
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return 0;
    }
    return track->GetDeltaOfFirstNote();
}

int MidiF0Data::GetPostionOfFirstNote() {
    if (form != kFormQ2) ErrorMsg(kErrF0Internal);
    if (!track) return 0;
    const int count = track->event_count;
    int index = 0;
    while (index < count && track->event_table[index]->status != kEvNote) ++index;
    while (index + 1 < count - 1 && track->event_table[index + 1]->delta == 0) ++index;
    return index;
}

void MidiF0Data::GetNoteRange(int channel, int* low, int* high) {
    *low = 127;
    *high = 0;
    if (form != kFormQ2 || !track) {
        ErrorMsg(kErrF0Internal);
        return;
    }
    for (int k = 0; k < track->event_count; ++k) {
        const MidiEvent* e = track->event_table[k];
        if (e->status != kEvNote || e->channel != channel) continue;
        *low = std::min(*low, e->note);
        *high = std::max(*high, e->note);
    }
}
