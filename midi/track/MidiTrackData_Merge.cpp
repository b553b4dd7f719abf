// Merging tracks by time: the n-way merge behind the format conversions, the
// two-way merges with and without joined track names, and Connect.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "midi/track/MidiTrackData.h"

namespace {

constexpr int kMaxMergeTracks = 256;
constexpr std::size_t kMaxTitleLength = 127;  // a longer joined title becomes "long name"

bool IsTitle(const MidiEvent* event) {
    return event->IsMeta(kMetaTrackName);
}

// The text of the first track-name event, or "" when there is none.
std::string FirstTitle(const MidiTrackData* track) {
    for (int i = 0; i < track->event_count; ++i) {
        const MidiEvent* event = track->event_table[i];
        if (IsTitle(event)) {
            const int length = std::clamp(event->length, 0, event->DataCapacity());
            return std::string(reinterpret_cast<const char*>(event->data),
                               static_cast<std::size_t>(length));
        }
    }
    return {};
}

// The title of a two-way merge: this track's, " / ", the other's; the one
// that is there when the other is empty.
std::string JoinTitles(const std::string& own, const std::string& other) {
    std::string joined = own.empty() ? other : other.empty() ? own : own + " / " + other;
    if (joined.size() > kMaxTitleLength) joined = "long name";
    return joined;
}

std::unique_ptr<MidiEvent> MakeTitle(const std::string& text) {
    auto event = std::make_unique<MidiEvent>(0);
    event->status = kEvMeta;
    event->number = kMetaTrackName;
    event->channel = kNoChannel;
    event->length = static_cast<int>(text.size());
    std::memcpy(event->data, text.data(), text.size());
    event->data[text.size()] = 0;  // texts are kept zero-terminated
    return event;
}

// Merging a track with itself reads a copy, as the merge moves the track's
// own records; no copy when other is another track.
std::unique_ptr<MidiTrackData> CopyIfSame(MidiTrackData* self, const MidiTrackData* other) {
    if (other != self) return nullptr;
    auto copy = std::make_unique<MidiTrackData>(self->form);
    for (int i = 0; i < self->event_count; ++i) copy->AddCopyEvent(self->event_table[i]);
    return copy;
}

// Where a source stands in the merge: its next event and that event's time.
struct Cursor {
    int index = 0;
    long long tick = 0;
    int rank = 0;  // events of this source already taken at this tick
};

// Restores the order of a heap (the entry that comes first on top, as
// std::make_heap with before leaves it) whose top entry was replaced: one
// walk down instead of a pop and a push.
template <class Entry, class Before>
void SiftDown(std::vector<Entry>& heap, Before before) {
    const std::size_t n = heap.size();
    if (n < 2) return;
    const Entry entry = heap[0];
    std::size_t at = 0;
    for (;;) {
        std::size_t child = 2 * at + 1;
        if (child >= n) break;
        if (child + 1 < n && before(heap[child], heap[child + 1])) ++child;
        if (!before(entry, heap[child])) break;
        heap[at] = heap[child];
        at = child;
    }
    heap[at] = entry;
}

struct Placed {
    MidiEvent* record;
    long long tick;
    bool copied;  // a new record made here (else moved out of a source)
};

}  // namespace

// The merge behind every MergeTrack: a heap of sources ordered by the time of
// their next events, so the cost is N log k for N events of k sources.
//
// roundRobin orders equal times by (rank within the source at that tick,
// source), which is the order of merging one event per source and pass;
// otherwise by source alone, so all of a source's events at a tick precede
// those of the next source (the order of successive two-way merges).
// singleEndOfTrack leaves one end of track, at the end, as
// DeleteDuplicateEndOfTrack would. title, when given, is adopted and placed
// at tick 0 after the tick-0 events of source 0, where a title at the head of
// the second of two merged tracks would come.
void MidiTrackData::MergeSources(const MergeSource* sources, int count, bool roundRobin,
                                 bool singleEndOfTrack, MidiEvent* titleRecord) {
    std::unique_ptr<MidiEvent> title(titleRecord);
    std::vector<Cursor> cursors(static_cast<std::size_t>(count));
    std::size_t total = title ? 1 : 0;
    for (int s = 0; s < count; ++s)
        total += static_cast<std::size_t>(sources[s].track->event_count);

    // The heap holds each source's key itself, so a comparison reads no
    // cursor: the time, then (round robin) the rank, then the source.
    struct Key {
        long long tick;
        std::uint64_t order;  // rank << 32 | source, or the source alone
    };
    auto key_of = [roundRobin](const Cursor& c, int s) {
        const auto rank = roundRobin ? static_cast<std::uint64_t>(c.rank) : 0;
        return Key{c.tick, rank << 32 | static_cast<std::uint64_t>(s)};
    };
    auto before = [](const Key& a, const Key& b) {  // heap order: true when b comes first
        return a.tick != b.tick ? a.tick > b.tick : a.order > b.order;
    };
    std::vector<Key> heap;
    heap.reserve(static_cast<std::size_t>(count));
    for (int s = 0; s < count; ++s) {
        const MidiTrackData* track = sources[s].track;
        if (track->event_count == 0) continue;
        Cursor& cursor = cursors[static_cast<std::size_t>(s)];
        cursor.tick = track->event_table[0]->delta;
        heap.push_back(key_of(cursor, s));
    }
    std::make_heap(heap.begin(), heap.end(), before);

    // The merged list is built in a table of its own, which becomes the
    // track's at the end. With copies among the records, the deltas are set
    // at the end (a failed allocation must leave the sources as they were),
    // so the times are kept aside; when every record is moved nothing below
    // can fail (the vectors have their room), so each record takes its new
    // delta as it is placed, while it is at hand.
    const bool allMoved =
        std::all_of(sources, sources + count, [](const MergeSource& s) { return s.move; });
    auto table = NewEventTable();
    std::size_t placed = 0;
    std::vector<long long> ticks;       // with copies: the time of each record placed
    std::vector<bool> made;             // the records placed that were made here
    std::vector<MidiEvent*> discarded;  // moved records left out; destroyed at the end
    const std::size_t room = std::min<std::size_t>(total, kMaxEvents);
    made.reserve(room);
    if (allMoved) {
        discarded.reserve(total);
    } else {
        ticks.reserve(room);
    }
    long long lastTick = 0;
    Placed pendingEnd{nullptr, 0, false};
    bool overflow = false;
    // Room stays for the end of track that closes the result.
    const std::size_t capacity = kMaxEvents - 1;

    auto drop = [&](const Placed& p) {
        if (p.record == nullptr) return;
        if (p.copied) {
            delete p.record;
        } else {
            discarded.push_back(p.record);
        }
    };
    auto place = [&](const Placed& p) {
        drop(pendingEnd);  // an end of track with something after it goes
        pendingEnd = {nullptr, 0, false};
        if (placed >= capacity) {
            overflow = true;
            drop(p);
            return;
        }
        if (allMoved) {
            p.record->delta = static_cast<int>(p.tick - lastTick);
            lastTick = p.tick;
        } else {
            ticks.push_back(p.tick);
        }
        made.push_back(p.copied);
        table[placed++] = p.record;
    };
    auto take = [&](int s, MidiEvent* source, long long tick) -> Placed {
        if (sources[s].move) return {source, tick, false};
        auto copy = std::make_unique<MidiEvent>();
        copy->Copy(source);
        return {copy.release(), tick, true};
    };

    try {
        while (!heap.empty()) {
            const int s = static_cast<int>(heap.front().order & 0xFFFFFFFF);
            Cursor& cursor = cursors[static_cast<std::size_t>(s)];
            const MidiTrackData* track = sources[s].track;
            MidiEvent* event = track->event_table[cursor.index];
            const long long tick = cursor.tick;

            if (title && (tick > 0 || s > 0)) place({title.release(), 0, true});

            if (sources[s].drop_titles && IsTitle(event)) {
                if (sources[s].move) discarded.push_back(event);
            } else if (singleEndOfTrack && event->IsEndOfTrack()) {
                drop(pendingEnd);
                pendingEnd = take(s, event, tick);
            } else {
                place(take(s, event, tick));
            }

            if (++cursor.index < track->event_count) {
                // The records lie scattered in memory: ask for the one after
                // the next early, so the waits of the sources overlap.
                if (cursor.index + 1 < track->event_count) {
                    __builtin_prefetch(track->event_table[cursor.index + 1]);
                }
                const int delta = track->event_table[cursor.index]->delta;
                cursor.rank = delta == 0 ? cursor.rank + 1 : 0;
                cursor.tick += delta;
                heap.front() = key_of(cursor, s);
            } else {
                heap.front() = heap.back();
                heap.pop_back();
            }
            SiftDown(heap, before);
        }
        if (title) place({title.release(), 0, true});
    } catch (...) {
        for (std::size_t i = 0; i < placed; ++i) {
            if (made[i]) delete table[i];
        }
        if (pendingEnd.copied) delete pendingEnd.record;
        throw;  // the moved records still belong to their sources
    }

    // From here on nothing can fail: the records change hands.
    bool ownMoved = false;
    for (int s = 0; s < count; ++s) {
        if (!sources[s].move) continue;
        sources[s].track->event_count = 0;
        if (sources[s].track == this) ownMoved = true;
    }
    if (!ownMoved) DeleteAllEvent();
    if (pendingEnd.record != nullptr) {
        if (allMoved) {
            pendingEnd.record->delta = static_cast<int>(pendingEnd.tick - lastTick);
        } else {
            ticks.push_back(pendingEnd.tick);  // within the room reserved
        }
        table[placed++] = pendingEnd.record;
    }
    if (!allMoved) {
        long long last = 0;
        for (std::size_t i = 0; i < placed; ++i) {
            table[i]->delta = static_cast<int>(ticks[i] - last);
            last = ticks[i];
        }
    }
    event_table = std::move(table);
    event_count = static_cast<int>(placed);
    for (MidiEvent* record : discarded) DestroyEvent(record);
    if (singleEndOfTrack && pendingEnd.record == nullptr) AddEndOfTrack(0);
    if (overflow) ErrorMsg(kErrTrackTooMuchData);
}

void MidiTrackData::MergeTrack(int count, MidiTrackData** tracks) {
    if (count <= 0 || count > kMaxMergeTracks || tracks == nullptr) {
        ErrorMsg(kErrGeneral);
        return;
    }
    try {
        std::vector<MergeSource> sources;
        for (int i = 0; i < count; ++i) {
            if (tracks[i] != nullptr) sources.push_back({tracks[i], false, false});
        }
        MergeSources(sources.data(), static_cast<int>(sources.size()), true, true, nullptr);
    } catch (...) {
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::MergeTrackMoving(int count, MidiTrackData** tracks) {
    if (count <= 0 || count > kMaxMergeTracks || tracks == nullptr) {
        ErrorMsg(kErrGeneral);
        return;
    }
    try {
        std::vector<MergeSource> sources;
        for (int i = 0; i < count; ++i) {
            if (tracks[i] == nullptr) continue;
            // A track given twice is moved once and copied after that.
            const bool seen = std::any_of(sources.begin(), sources.end(),
                                          [&](const auto& s) { return s.track == tracks[i]; });
            sources.push_back({tracks[i], !seen, false});
        }
        MergeSources(sources.data(), static_cast<int>(sources.size()), true, true, nullptr);
    } catch (...) {
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::MergeTrack(MidiTrackData* other) {
    MergeTrack(other, true);
}

void MidiTrackData::MergeTrackWithoutTrackTitle(MidiTrackData* other) {
    MergeTrack(other, false);
}

void MidiTrackData::MergeTrack(MidiTrackData* other, bool withTitle) {
    if (other == nullptr) {
        ErrorMsg(kErrGeneral);
        return;
    }
    try {
        std::unique_ptr<MidiTrackData> selfCopy = CopyIfSame(this, other);
        if (selfCopy) other = selfCopy.get();
        std::unique_ptr<MidiEvent> title;
        bool dropOtherTitles = true;
        if (withTitle) {
            title = MakeTitle(JoinTitles(FirstTitle(this), FirstTitle(other)));
        } else {
            dropOtherTitles = other->GetChanel() != kNoChannel;
        }
        // Source 0 is the other track: at equal times its events come first.
        const MergeSource sources[2] = {{other, false, dropOtherTitles}, {this, true, withTitle}};
        MergeSources(sources, 2, false, true, title.release());
    } catch (...) {
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::MergeTrackInTurn(int count, MidiTrackData** tracks, bool withTitle) {
    if (count < 0 || count > kMaxMergeTracks || (count > 0 && tracks == nullptr)) {
        ErrorMsg(kErrGeneral);
        return;
    }
    try {
        // Merging tracks[count - 1] first and tracks[0] last puts, at one
        // tick, the events of track 0 first, then track 1 ..., then the
        // events this track held before; within a track the order stays.
        std::vector<MergeSource> sources;
        std::string title = withTitle ? FirstTitle(this) : std::string();
        for (int i = count - 1; i >= 0; --i) {
            if (tracks[i] == nullptr || tracks[i] == this) continue;
            if (withTitle) title = JoinTitles(title, FirstTitle(tracks[i]));
        }
        for (int i = 0; i < count; ++i) {
            if (tracks[i] == nullptr || tracks[i] == this) continue;
            const bool seen = std::any_of(sources.begin(), sources.end(),
                                          [&](const auto& s) { return s.track == tracks[i]; });
            const bool dropTitles = withTitle || tracks[i]->GetChanel() != kNoChannel;
            sources.push_back({tracks[i], !seen, dropTitles});
        }
        sources.push_back({this, true, withTitle});
        MergeSources(sources.data(), static_cast<int>(sources.size()), false, true,
                     withTitle ? MakeTitle(title).release() : nullptr);
    } catch (...) {
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::MergeTrackOwnFirst(MidiTrackData* other, bool withTitle) {
    if (other == nullptr) {
        ErrorMsg(kErrGeneral);
        return;
    }
    try {
        std::unique_ptr<MidiTrackData> selfCopy = CopyIfSame(this, other);
        if (selfCopy) other = selfCopy.get();
        const MergeSource sources[2] = {{this, true, !withTitle}, {other, false, false}};
        MergeSources(sources, 2, false, false, nullptr);
    } catch (...) {
        ErrorMsg(kErrTrackTooMuchData);
    }
}

void MidiTrackData::Connect(MidiTrackData* other) {
    if (other == nullptr) return;
    // The end of track goes; its delta carries over to the first event appended.
    int carried = 0;
    if (event_count > 0 && event_table[event_count - 1]->IsEndOfTrack()) {
        carried = event_table[event_count - 1]->delta;
        DestroyEvent(event_table[event_count - 1]);
        --event_count;
    }
    const int count = other->event_count;  // fixed before appending (other may be this)
    const int first = event_count;
    for (int i = 0; i < count; ++i) {
        if (!AddCopyEvent(other->event_table[i])) break;
    }
    if (event_count > first) event_table[first]->delta += carried;
}
