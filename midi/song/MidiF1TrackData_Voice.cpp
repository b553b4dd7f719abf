// Voice and melody reduction: fewer notes at once, fewer drum sounds, the top
// line of chords, no octave doublings, no notes another track already plays,
// and the queries these stand on.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <queue>
#include <utility>
#include <vector>

#include "General/GneStatus.h"
#include "midi/event/MidiConstants.h"
#include "midi/song/MidiF1TrackData.h"
#include "midi/track/detail/TrackEdits.h"

namespace {

using retrograde::detail::ClampToInt;
using retrograde::detail::MarkNone;

constexpr int kKeys = 128;
constexpr int kOctave = 12;

bool IsKey(int note) {
    return note >= 0 && note < kKeys;
}
bool StartsNote(const MidiEvent* e) {
    return e->status == kEvNoteOn && e->velocity != 0;
}
bool EndsNote(const MidiEvent* e) {
    return e->status == kEvNoteOff || (e->status == kEvNoteOn && e->velocity == 0);
}
// A Note that sounds: one with velocity and length.
bool IsHeard(const MidiEvent* e) {
    return e->status == kEvNote && e->velocity > 0 && e->duration > 0 && IsKey(e->note);
}

// 128 note numbers as two words.
class Keys {
public:
    bool Test(int n) const { return (bits_[Word(n)] >> (n & 63)) & 1U; }
    void Set(int n, bool on) {
        const std::uint64_t bit = std::uint64_t{1} << (n & 63);
        bits_[Word(n)] = on ? bits_[Word(n)] | bit : bits_[Word(n)] & ~bit;
    }
    int Count() const { return std::popcount(bits_[0]) + std::popcount(bits_[1]); }
    int Highest() const {
        if (bits_[1] != 0) return 127 - std::countl_zero(bits_[1]);
        if (bits_[0] != 0) return 63 - std::countl_zero(bits_[0]);
        return -1;
    }
    int SecondHighest() const {
        Keys rest = *this;
        const int top = Highest();
        if (top < 0) return -1;
        rest.Set(top, false);
        return rest.Highest();
    }
    Keys operator|(const Keys& o) const {
        Keys k;
        k.bits_ = {bits_[0] | o.bits_[0], bits_[1] | o.bits_[1]};
        return k;
    }
    // Which of the 12 pitch classes sound.
    std::array<bool, kOctave> PitchClasses() const {
        std::array<bool, kOctave> pcs{};
        for (int w = 0; w < 2; ++w) {
            for (std::uint64_t b = bits_[static_cast<std::size_t>(w)]; b != 0; b &= b - 1) {
                pcs[static_cast<std::size_t>((w * 64 + std::countr_zero(b)) % kOctave)] = true;
            }
        }
        return pcs;
    }

private:
    static std::size_t Word(int n) { return static_cast<std::size_t>(n >> 6); }
    std::array<std::uint64_t, 2> bits_{};
};

// Per note number, the latest start and the latest end seen so far: a note
// number sounds when its latest start is not before its latest end.
struct Latest {
    std::array<std::int64_t, kKeys> start;
    std::array<std::int64_t, kKeys> end;
    Latest() {
        start.fill(-1);
        end.fill(-1);
    }
    bool Sounds(int n) const {
        const auto k = static_cast<std::size_t>(n);
        return start[k] >= 0 && start[k] >= end[k];
    }
    Keys Sounding() const {
        Keys keys;
        for (int n = 0; n < kKeys; ++n) keys.Set(n, Sounds(n));
        return keys;
    }
};

std::vector<std::int64_t> Ticks(const MidiTrackData& t) {
    std::vector<std::int64_t> ticks(static_cast<std::size_t>(t.event_count));
    std::int64_t now = 0;
    for (int k = 0; k < t.event_count; ++k)
        ticks[static_cast<std::size_t>(k)] = now += t.event_table[k]->delta;
    return ticks;
}

// Lays list over the table with deltas from ticks; list holds at most
// kMaxEvents records, each owned by the track afterwards.
void Relay(MidiTrackData& t, const std::vector<MidiEvent*>& list,
           const std::vector<std::int64_t>& ticks) {
    std::int64_t before = 0;
    for (std::size_t k = 0; k < list.size(); ++k) {
        list[k]->delta = ClampToInt(ticks[k] - before);
        before = ticks[k];
        t.event_table[k] = list[k];
    }
    t.event_count = static_cast<int>(list.size());
}

// The Q1 walk of ReduceVoice, rebuilt in one pass: each note on that finds
// maxVoices note numbers sounding cuts one of them where it starts. The
// victim's own note off (same channel and note number) goes; a new one on
// its channel ends it. 0 when the table could not take the result.
bool CutVoicesInto(MidiTrackData& t, int maxVoices, std::vector<std::pair<int, int>>& cut) {
    const int count = t.event_count;
    const std::vector<std::int64_t> ticks = Ticks(t);
    // The note offs of each channel and note number, in order.
    std::vector<std::vector<int>> offs(kMidiChannels * kKeys);
    std::vector<std::size_t> head(offs.size(), 0);
    auto keyOf = [](int channel, int note) {
        return channel >= 0 && channel < kMidiChannels && IsKey(note) ? channel * kKeys + note : -1;
    };
    for (int k = 0; k < count; ++k) {
        const MidiEvent* e = t.event_table[k];
        const int key = keyOf(e->channel, e->note);
        if (EndsNote(e) && key >= 0) offs[static_cast<std::size_t>(key)].push_back(k);
    }
    std::vector<MidiEvent*> list;
    std::vector<std::int64_t> listTicks;
    std::vector<std::unique_ptr<MidiEvent>> made;
    list.reserve(static_cast<std::size_t>(count));
    listTicks.reserve(static_cast<std::size_t>(count));
    Keys sounding;
    std::array<int, kKeys> channelOf{};
    std::array<int, kKeys> onIndex{};
    for (int i = 0; i < count; ++i) {
        MidiEvent* e = t.event_table[i];
        const std::int64_t now = ticks[static_cast<std::size_t>(i)];
        if (EndsNote(e)) {
            const int key = keyOf(e->channel, e->note);
            if (key >= 0) {
                auto& q = offs[static_cast<std::size_t>(key)];
                auto& h = head[static_cast<std::size_t>(key)];
                if (h < q.size() && q[h] == i) ++h;
            }
            if (IsKey(e->note)) sounding.Set(e->note, false);
        } else if (StartsNote(e) && IsKey(e->note)) {
            if (sounding.Count() >= maxVoices) {
                const int victim = maxVoices == 1 ? sounding.Highest() : sounding.SecondHighest();
                if (victim >= 0) {
                    const int channel = channelOf[static_cast<std::size_t>(victim)];
                    const int key = keyOf(channel, victim);
                    if (key >= 0) {
                        auto& q = offs[static_cast<std::size_t>(key)];
                        auto& h = head[static_cast<std::size_t>(key)];
                        if (h < q.size()) {
                            MidiEvent* victimOff = t.event_table[q[h++]];
                            cut.emplace_back(q[h - 1], victimOff->status);
                            MarkNone(victimOff);
                        }
                    }
                    // A note cut where it began goes whole; otherwise a
                    // note off ends it where the new note starts.
                    const int on = onIndex[static_cast<std::size_t>(victim)];
                    if (ticks[static_cast<std::size_t>(on)] == now) {
                        cut.emplace_back(on, t.event_table[on]->status);
                        MarkNone(t.event_table[on]);
                    } else {
                        auto off = std::make_unique<MidiEvent>();
                        off->SetNoteOffEvent(channel, victim);
                        list.push_back(off.get());
                        listTicks.push_back(now);
                        made.push_back(std::move(off));
                    }
                    sounding.Set(victim, false);
                }
            }
            sounding.Set(e->note, true);
            channelOf[static_cast<std::size_t>(e->note)] = e->channel;
            onIndex[static_cast<std::size_t>(e->note)] = i;
        }
        // Cut note offs stay in the list, marked, until DeleteNop frees them.
        list.push_back(e);
        listTicks.push_back(now);
    }
    if (list.size() > static_cast<std::size_t>(kMaxEvents)) {
        t.ErrorMsg(kErrTrackTooMuchData);
        return false;
    }
    Relay(t, list, listTicks);
    for (auto& m : made) static_cast<void>(m.release());  // the table owns them now
    return true;
}

// The track is left as it was when the cut cannot be made.
bool CutVoices(MidiTrackData& t, int maxVoices) {
    std::vector<std::pair<int, int>> cut;  // (index, status) of the note offs taken out
    bool done = false;
    try {
        done = CutVoicesInto(t, maxVoices, cut);
    } catch (const std::exception&) {
        t.ErrorMsg(kErrGeneral);
    }
    if (!done) {
        for (const auto& [index, status] : cut) t.event_table[index]->status = status;
    }
    return done;
}

}  // namespace

int MidiF1TrackData::ReduceVoice(int maxVoices) {
    if (form != kFormQ2) return ErrorMsg(kErrF1TrackInternal);
    const int voices = GetNumVoice();
    if (voices <= maxVoices) return voices;
    if (maxVoices <= 0) return ErrorMsg(kErrF1TrackZeroVoices);
    if (GetChanel() == kNoChannel) return kNoChannel;
    Q2toQ1();
    if (form != kFormQ1) return 0;  // the note offs did not fit; reported
    const bool cut = CutVoices(*this, maxVoices);
    DeleteNop();
    Q1toQ2();
    if (!cut) return 0;
    const int after = GetNumVoice();
    return after <= maxVoices ? after : ErrorMsg(kErrF1TrackVoicesLeft);
}

void MidiF1TrackData::ReduceDrumVoiceOne() {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    if (GetChanel() == kNoChannel) return;
    std::array<int, kKeys> uses{};
    for (int k = 0; k < event_count; ++k) {
        const MidiEvent* e = event_table[k];
        if (e->status == kEvNote && IsKey(e->note)) ++uses[static_cast<std::size_t>(e->note)];
    }
    // The least used; of equal counts the highest note number.
    int least = -1;
    int best = INT_MAX;
    for (int n = 0; n < kKeys; ++n) {
        const int c = uses[static_cast<std::size_t>(n)];
        if (c > 0 && c <= best) {
            best = c;
            least = n;
        }
    }
    if (least < 0) return;
    for (int k = 0; k < event_count; ++k) {
        MidiEvent* e = event_table[k];
        if (e->status == kEvNote && e->note == least) MarkNone(e);
    }
    DeleteNop();
}

void MidiF1TrackData::ReduceDrumVoice(int maxVoices) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    if (GetChanel() == kNoChannel) return;
    const int used = GetNumDrumVoice();
    if (used <= maxVoices) return;
    if (maxVoices < 1) {
        ErrorMsg(kErrGeneral);
        return;
    }
    for (int k = used - maxVoices; k > 0; --k) ReduceDrumVoiceOne();
}

void MidiF1TrackData::SetMonophonic() {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    // Of each group struck together only its highest note number stays;
    // the last group is closed by the end of the walk.
    std::vector<MidiEvent*> group;
    auto close = [&group] {
        if (group.size() > 1) {
            int top = INT_MIN;
            for (const MidiEvent* e : group) top = std::max(top, e->note);
            for (MidiEvent* e : group) {
                if (e->note != top) MarkNone(e);
            }
        }
        group.clear();
    };
    for (int k = 0; k < event_count; ++k) {
        MidiEvent* e = event_table[k];
        if (e->delta != 0) close();
        if (e->status == kEvNote) group.push_back(e);
    }
    close();
    DeleteNop();
    // No note lasts past the start of the next; one that would have no
    // length left goes.
    const std::vector<std::int64_t> ticks = Ticks(*this);
    if (event_count == 0) return;
    std::int64_t next = ticks.back();
    for (int k = event_count - 1; k >= 0; --k) {
        MidiEvent* e = event_table[k];
        if (e->status != kEvNote) continue;
        const std::int64_t room = next - ticks[static_cast<std::size_t>(k)];
        next = ticks[static_cast<std::size_t>(k)];
        if (e->duration <= room) continue;
        if (room == 0) {
            MarkNone(e);
        } else {
            e->duration = ClampToInt(room);
        }
    }
    DeleteNop();
}

void MidiF1TrackData::DeleteOctaveNote() {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    // Within each tick group, the notes of each number in order: a note
    // removes every later note an octave below and goes itself when a
    // later note an octave above is left.
    std::vector<std::pair<int, int>> byKey;  // (note number, index)
    std::array<int, kKeys> later{};          // notes of each number after the current one
    std::array<std::size_t, kKeys> firstOf{};
    for (int start = 0; start < event_count;) {
        int stop = start + 1;
        while (stop < event_count && event_table[stop]->delta == 0) ++stop;
        byKey.clear();
        for (int k = start; k < stop; ++k) {
            const MidiEvent* e = event_table[k];
            if (e->status == kEvNote && IsKey(e->note)) byKey.emplace_back(e->note, k);
        }
        if (byKey.size() > 1) {
            std::sort(byKey.begin(), byKey.end());
            for (std::size_t r = byKey.size(); r-- > 0;) {
                const auto n = static_cast<std::size_t>(byKey[r].first);
                firstOf[n] = r;
                ++later[n];
            }
            for (int k = start; k < stop; ++k) {
                MidiEvent* e = event_table[k];
                if (e->status != kEvNote || !IsKey(e->note)) continue;
                const auto n = static_cast<std::size_t>(e->note);
                --later[n];
                ++firstOf[n];
                if (e->note >= kOctave && later[n - kOctave] > 0) {
                    auto& below = firstOf[n - kOctave];
                    for (; below < byKey.size() && byKey[below].first == e->note - kOctave;
                         ++below) {
                        MidiEvent* low = event_table[byKey[below].second];
                        if (low->status == kEvNote) MarkNone(low);
                    }
                    later[n - kOctave] = 0;
                }
                if (e->note + kOctave < kKeys && later[n + kOctave] > 0) MarkNone(e);
            }
            for (const auto& [note, index] : byKey) later[static_cast<std::size_t>(note)] = 0;
        }
        start = stop;
    }
    DeleteNop();
}

void MidiF1TrackData::GetNoteOfDeltaTime(bool* flags, int time) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    if (flags == nullptr) return;
    Latest latest;
    std::int64_t now = 0;
    for (int k = 0; k < event_count; ++k) {
        const MidiEvent* e = event_table[k];
        now += e->delta;
        if (now > time) break;
        if (!IsHeard(e)) continue;
        const auto n = static_cast<std::size_t>(e->note);
        latest.start[n] = now;
        const std::int64_t end = now + e->duration;
        if (end <= time) latest.end[n] = std::max(latest.end[n], end);
    }
    for (int n = 0; n < kKeys; ++n) flags[n] = latest.Sounds(n);
}

int MidiF1TrackData::GetTopNoteOfDeltaTime(int time) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return kGneNone;
    }
    std::array<bool, kKeys> flags{};
    GetNoteOfDeltaTime(flags.data(), time);
    for (int n = kKeys - 1; n >= 0; --n) {
        if (flags[static_cast<std::size_t>(n)]) return n;
    }
    return kGneNone;
}

// One sweep over both tracks in time. This track's state holds its kept
// notes only; a note removed at its start never sounds later. The top note
// at a tick cannot change while the tick's notes are removed, since the top
// note itself is never removed.
void MidiF1TrackData::CompareTrackAndDeleteDuplicateNote(MidiF1TrackData* other) {
    if (other == nullptr) return;
    if (form != kFormQ2 || other->form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return;
    }
    try {
        const bool self = other == this;
        // The other track's heard notes: starts in order, ends sorted.
        std::vector<std::pair<std::int64_t, int>> theirStarts;
        std::vector<std::pair<std::int64_t, int>> theirEnds;
        if (!self) {
            std::int64_t now = 0;
            for (int k = 0; k < other->event_count; ++k) {
                const MidiEvent* e = other->event_table[k];
                now += e->delta;
                if (!IsHeard(e)) continue;
                theirStarts.emplace_back(now, e->note);
                theirEnds.emplace_back(now + e->duration, e->note);
            }
            std::sort(theirEnds.begin(), theirEnds.end());
        }
        std::size_t nextStart = 0;
        std::size_t nextEnd = 0;
        Latest theirs;
        Latest mine;
        using End = std::pair<std::int64_t, int>;
        std::priority_queue<End, std::vector<End>, std::greater<>> myEnds;
        std::array<int, kKeys> startsHere{};
        std::vector<int> group;
        std::int64_t now = 0;
        for (int start = 0; start < event_count;) {
            now += event_table[start]->delta;
            int stop = start + 1;
            while (stop < event_count && event_table[stop]->delta == 0) ++stop;
            group.clear();
            for (int k = start; k < stop; ++k) {
                if (event_table[k]->status == kEvNote) group.push_back(k);
            }
            start = stop;
            if (group.empty()) continue;
            while (!myEnds.empty() && myEnds.top().first <= now) {
                auto& end = mine.end[static_cast<std::size_t>(myEnds.top().second)];
                end = std::max(end, myEnds.top().first);
                myEnds.pop();
            }
            Keys here;
            for (int k : group) {
                const MidiEvent* e = event_table[k];
                if (!IsHeard(e)) continue;
                ++startsHere[static_cast<std::size_t>(e->note)];
                here.Set(e->note, true);
            }
            const Keys before = mine.Sounding();
            const int top = (before | here).Highest();
            std::array<bool, kOctave> classes{};
            if (!self) {
                for (; nextStart < theirStarts.size() && theirStarts[nextStart].first <= now;
                     ++nextStart) {
                    theirs.start[static_cast<std::size_t>(theirStarts[nextStart].second)] =
                        theirStarts[nextStart].first;
                }
                for (; nextEnd < theirEnds.size() && theirEnds[nextEnd].first <= now; ++nextEnd) {
                    auto& end = theirs.end[static_cast<std::size_t>(theirEnds[nextEnd].second)];
                    end = std::max(end, theirEnds[nextEnd].first);
                }
                classes = theirs.Sounding().PitchClasses();
            }
            for (int k : group) {
                MidiEvent* e = event_table[k];
                if (!IsKey(e->note)) continue;
                // Against itself the track's own kept notes are the other's.
                if (self) classes = (before | here).PitchClasses();
                if (!classes[static_cast<std::size_t>(e->note % kOctave)] || e->note == top)
                    continue;
                if (IsHeard(e) && --startsHere[static_cast<std::size_t>(e->note)] == 0) {
                    here.Set(e->note, false);
                }
                MarkNone(e);
            }
            for (int k : group) {
                const MidiEvent* e = event_table[k];
                if (!IsHeard(e)) continue;
                const auto n = static_cast<std::size_t>(e->note);
                startsHere[n] = 0;
                mine.start[n] = now;
                myEnds.emplace(now + e->duration, e->note);
            }
        }
    } catch (const std::exception&) {
        ErrorMsg(kErrGeneral);
    }
    DeleteNop();
}

int MidiF1TrackData::GetNumPolyAttack() {
    int most = 0;
    int here = 0;
    for (int k = 0; k < event_count; ++k) {
        const MidiEvent* e = event_table[k];
        if (e->delta != 0) {
            most = std::max(most, here);
            here = 0;
        }
        if (e->status == kEvNote) ++here;
    }
    return std::max(most, here);
}

int MidiF1TrackData::GetNumNote(int from, int to) {
    int notes = 0;
    std::int64_t now = 0;
    for (int k = 0; k < event_count; ++k) {
        const MidiEvent* e = event_table[k];
        now += e->delta;
        if (e->status == kEvNote && now >= from && now < to) ++notes;
    }
    return notes;
}
