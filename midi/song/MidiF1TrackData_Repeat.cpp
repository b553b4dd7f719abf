// Repeats and likeness of melodies: the longest passage that comes again, the
// share of notes two tracks have in common, and the grace notes that would
// hide both.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "General/GneStatus.h"
#include "midi/song/MidiF1TrackData.h"
#include "midi/song/detail/LongestRepeat.h"
#include "midi/track/detail/TrackEdits.h"

namespace retrograde::detail {

namespace {

// Where the walks of the search come into step: from two notes a < b in step
// (as far from a as b is from its passage's start), the walk goes on note by
// note in the first passage, the second following its timing and moving on
// by at most one note for each, until both stand at the same time again. A
// match can only be where they are in step, and a walk that comes into step
// at (k, m) goes on exactly as the walk from (k, m) does: so the next matching
// pair in step is worked out once per pair, from the later pairs, and each
// walk jumps from match to match. kNone: no later match (or the second
// passage runs out, or the first would reach the second).
class MatchChains {
public:
    static constexpr std::int32_t kNone = -1;

    explicit MatchChains(const RepeatNotes& notes, int n) : n_(n), next_(Slots(n), kNone) {
        const int* d = notes.delta.data();
        const int* p = notes.note.data();
        for (int a = n - 2; a >= 0; --a) {
            for (int b = a + 1; b < n; ++b) {
                std::int64_t ahead = 0;  // time of the first passage less the second's
                int m = b;
                std::int32_t next = kNone;
                for (int k = a + 1; k < m; ++k) {
                    ahead += d[k];
                    if (ahead > 0) {
                        if (++m == n) break;
                        ahead -= d[m];
                    }
                    if (ahead == 0 && k < m) {
                        next = p[k] == p[m] ? Pair(k, m) : next_[Slot(k, m)];
                        break;
                    }
                }
                next_[Slot(a, b)] = next;
            }
        }
    }

    // The next match in step after the pair (a, b), as Pair(k, m), or kNone.
    std::int32_t Next(int a, int b) const { return next_[Slot(a, b)]; }
    std::int32_t Next(std::int32_t pair) const { return Next(First(pair), Second(pair)); }
    std::int32_t Pair(int a, int b) const { return a * n_ + b; }
    int First(std::int32_t pair) const { return pair / n_; }
    int Second(std::int32_t pair) const { return pair % n_; }

private:
    static std::size_t Slots(int n) {
        return n < 2 ? 0 : static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2;
    }
    // Pairs a < b, row by row.
    std::size_t Slot(int a, int b) const {
        const auto row = static_cast<std::size_t>(a);
        return row * static_cast<std::size_t>(2 * n_ - a - 1) / 2 +
               static_cast<std::size_t>(b - a - 1);
    }

    int n_;
    std::vector<std::int32_t> next_;
};

}  // namespace

// For one pair of starts (i, j) the matches only grow with the passage's
// length, so a single walk from i gives every length at once: the best length
// is the one ending at the last match. Pairs that cannot beat the best so far
// are skipped; ties therefore keep the first pair and the shortest passage,
// as a search over every length would. The walks go from match to match
// (MatchChains): the table takes n * (n - 1) / 2 entries of 4 bytes, 50 MB
// for the command line's 5,000 notes at most; above kMaxRepeatNotes the
// search is refused (length_error) rather than taking gigabytes and hours.
RepeatFound FindLongestRepeat(const RepeatNotes& notes) {
    const int n = static_cast<int>(std::min(notes.delta.size(), notes.note.size()));
    if (n > kMaxRepeatNotes) throw std::length_error("too many notes for the repeat search");
    const int* p = notes.note.data();
    const MatchChains chains(notes, n);
    RepeatFound best;
    for (int i = 0; i < n - 1 && n - 1 - i > best.matches; ++i) {
        for (int j = i + best.matches + 1; j < n; ++j) {
            int matches = p[i] == p[j] ? 1 : 0;
            int last = i;
            // The first passage ends before j.
            for (std::int32_t at = chains.Next(i, j);
                 at != MatchChains::kNone && chains.First(at) < j; at = chains.Next(at)) {
                ++matches;
                last = chains.First(at);
            }
            if (matches > best.matches) best = {matches, i, last, j};
        }
    }
    return best;
}

int DetectLongestRepeatWithAgain(MidiF1TrackData& track, int* begin, int* end, int* again,
                                 int unit) {
    if (track.form != kFormQ2) {
        track.ErrorMsg(kErrF1TrackInternal);
        return 0;
    }
    try {
        // The copy keeps only notes, with grace notes absorbed and times on
        // the grid; a grid below one tick leaves the times as they are.
        MidiF1TrackData copy(&track);
        copy.FilterEvent(kEvNote, true);
        copy.DeleteDecorationNote(unit);
        if (unit / 2 >= 1) copy.QuantizeData(2, unit);

        const int n = copy.event_count;
        RepeatNotes notes;
        notes.delta.reserve(static_cast<std::size_t>(n));
        notes.note.reserve(static_cast<std::size_t>(n));
        std::vector<std::int64_t> ticks(static_cast<std::size_t>(n));
        std::int64_t now = 0;
        for (int k = 0; k < n; ++k) {
            const MidiEvent* e = copy.event_table[k];
            now += e->delta;
            ticks[static_cast<std::size_t>(k)] = now;
            notes.delta.push_back(e->delta);
            notes.note.push_back(e->note);
        }
        const RepeatFound found = FindLongestRepeat(notes);
        // Without notes there is no passage: both ends are 0.
        std::int64_t from = 0;
        std::int64_t to = 0;
        if (n > 0) {
            from = ticks[static_cast<std::size_t>(found.first)];
            to = ticks[static_cast<std::size_t>(found.last)] +
                 copy.event_table[found.last]->duration;
        }
        if (begin != nullptr) *begin = ClampToInt(from);
        if (end != nullptr) *end = ClampToInt(to);
        if (again != nullptr) {
            *again =
                found.again < 0 ? -1 : ClampToInt(ticks[static_cast<std::size_t>(found.again)]);
        }
        return found.matches;
    } catch (const std::exception&) {
        track.ErrorMsg(kErrGeneral);
        return 0;
    }
}

}  // namespace retrograde::detail

int MidiF1TrackData::DetectLongestRepeat(int, int* begin, int* end, int unit) {
    return retrograde::detail::DetectLongestRepeatWithAgain(*this, begin, end, nullptr, unit);
}

int MidiF1TrackData::GetSimilarity(MidiF1TrackData* other, int tolerance) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return 0;
    }
    // A note of the other track, keyed as IsNoteEventExist compares them.
    using Key = std::tuple<int, int, int, std::int64_t>;  // note, duration, velocity, tick
    std::int64_t found = 0;
    std::int64_t all = 0;
    try {
        std::vector<Key> index;
        if (other != nullptr && other->form == kFormQ2) {
            std::int64_t now = 0;
            for (int k = 0; k < other->event_count; ++k) {
                const MidiEvent* e = other->event_table[k];
                now += e->delta;
                if (e->status == kEvNote)
                    index.emplace_back(e->note, e->duration, e->velocity, now);
            }
            std::sort(index.begin(), index.end());
        }
        bool told = false;
        std::int64_t now = 0;
        for (int k = 0; k < event_count; ++k) {
            const MidiEvent* e = event_table[k];
            now += e->delta;
            if (e->status != kEvNote) continue;
            ++all;
            if (other != nullptr && other->form != kFormQ2 && !told) {
                other->ErrorMsg(kErrGeneral);  // once, not once a note
                told = true;
            }
            const Key low{e->note, e->duration, e->velocity, now - tolerance};
            const auto it = std::lower_bound(index.begin(), index.end(), low);
            if (it != index.end() && std::get<0>(*it) == e->note &&
                std::get<1>(*it) == e->duration && std::get<2>(*it) == e->velocity &&
                std::get<3>(*it) <= now + tolerance) {
                ++found;
            }
        }
    } catch (const std::exception&) {
        ErrorMsg(kErrGeneral);
        return 0;
    }
    return all == 0 ? 0 : static_cast<int>(found * 100 / all);
}

int MidiF1TrackData::IsNoteEventExist(int from, int to, MidiEvent* note) {
    if (form != kFormQ2) {
        ErrorMsg(kErrGeneral);
        return 0;
    }
    if (note == nullptr) return 0;
    std::int64_t now = 0;
    for (int k = 0; k < event_count; ++k) {
        const MidiEvent* e = event_table[k];
        now += e->delta;
        if (now > to) break;  // times only grow
        if (e->status == kEvNote && now >= from && e->note == note->note &&
            e->duration == note->duration && e->velocity == note->velocity) {
            return 1;
        }
    }
    return 0;
}

void MidiF1TrackData::FilterEvent(int status, bool keep) {
    for (int k = 0; k < event_count; ++k) {
        MidiEvent* e = event_table[k];
        if ((e->status == status) != keep) retrograde::detail::MarkNone(e);
    }
    DeleteNop();
}

// The short note must lie close before the long one (t from its own start,
// not only the long note's delta) and on the same channel: a neighbour on
// another channel is another instrument.
void MidiF1TrackData::DeleteDecorationNote(int unit) {
    if (form != kFormQ2) {
        ErrorMsg(kErrF1TrackInternal);
        return;
    }
    const int half = unit / 2;
    for (int i = 0; i + 1 < event_count; ++i) {
        MidiEvent* shortNote = event_table[i];
        if (shortNote->status != kEvNote || shortNote->duration > half) continue;
        std::int64_t t = 0;
        int k = i + 1;
        for (; k < event_count; ++k) {
            t += event_table[k]->delta;
            if (event_table[k]->status == kEvNote) break;
        }
        if (k >= event_count) continue;
        MidiEvent* longNote = event_table[k];
        if (t > half || shortNote->note != longNote->note - 1 || longNote->duration <= half ||
            shortNote->channel != longNote->channel) {
            continue;
        }
        shortNote->note = longNote->note;
        shortNote->duration = retrograde::detail::ClampToInt(t + longNote->duration);
        shortNote->velocity = longNote->velocity;
        retrograde::detail::MarkNone(longNote);
    }
    DeleteNop();
}
