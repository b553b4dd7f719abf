// Moving part exclusives into their channels' tracks, and splitting tracks
// by a note property or by instrument.
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

#include "General/GeneralMac.h"
#include "General/GneStatus.h"
#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"
#include "midi/song/detail/SongTracks.h"

using retrograde::detail::HoldsOnlyChannel;

using retrograde::detail::At;
using retrograde::detail::DeleteSecondPortNames;

namespace {

constexpr int kExtendedChannels = 2 * kMidiChannels;
constexpr int kMaxInstruments = 128;
constexpr int kSecondPortDrums = kMidiDrumChannel + kMidiChannels;

bool IsPartExclusive(const MidiEvent& e) {
    return e.status == kEvSysEx && e.channel >= 0 && e.channel < kMidiChannels;
}

// Inserts the events (in tick order) into the track in one pass: each after
// the events already at its tick, before the end of track, which moves later
// when an event lies beyond it.
void InsertSorted(MidiTrackData& track, std::vector<std::pair<std::int64_t, MidiEvent*>>& events) {
    std::vector<std::pair<std::int64_t, MidiEvent*>> merged;
    merged.reserve(static_cast<std::size_t>(track.event_count) + events.size());
    MidiEvent* end = nullptr;
    int count = track.event_count;
    if (count > 0 && track.event_table[count - 1]->IsEndOfTrack()) end = track.event_table[--count];
    std::int64_t tick = 0;
    std::size_t next = 0;
    for (int i = 0; i < count; ++i) {
        tick += track.event_table[i]->delta;
        while (next < events.size() && events[next].first < tick) merged.push_back(events[next++]);
        merged.emplace_back(tick, track.event_table[i]);
    }
    while (next < events.size()) merged.push_back(events[next++]);
    if (end != nullptr)
        merged.emplace_back(std::max(tick + end->delta, merged.empty() ? 0 : merged.back().first),
                            end);
    std::int64_t previous = 0;
    for (std::size_t i = 0; i < merged.size(); ++i) {
        merged[i].second->delta = static_cast<int>(merged[i].first - previous);
        previous = merged[i].first;
        track.event_table[i] = merged[i].second;
    }
    track.event_count = static_cast<int>(merged.size());
    events.clear();
}

// Removes the Notes whose key (1 note number, 2 duration, 3 velocity) is below
// threshold (below == true) or not below it.
void RemoveNotes(MidiTrackData& track, int criterion, int threshold, bool below) {
    bool any = false;
    for (int i = 0; i < track.event_count; ++i) {
        MidiEvent& e = *track.event_table[i];
        if (e.status != kEvNote) continue;
        const int key = criterion == 1 ? e.note : criterion == 2 ? e.duration : e.velocity;
        if ((key < threshold) != below) continue;
        e.status = kEvNone;
        any = true;
    }
    if (any) track.DeleteNop();
}

using Instrument = std::tuple<int, int, int>;  // bank MSB, bank LSB, program

// The instruments the track plays, in the order they first sound; notes before
// the first program change play (0, 0, 0).
std::vector<Instrument> InstrumentsOf(MidiF1Data& song, const MidiTrackData& track) {
    std::vector<Instrument> list;
    int msb = 0, lsb = 0;
    bool programmed = false;
    for (int i = 0; i < track.event_count && int(list.size()) < kMaxInstruments; ++i) {
        const MidiEvent& e = *track.event_table[i];
        Instrument found;
        if (e.status == kEvControl && e.number == kCcBankSelectMsb) {
            msb = e.value;
            continue;
        }
        if (e.status == kEvControl && e.number == kCcBankSelectLsb) {
            lsb = e.value;
            continue;
        }
        if (e.status == kEvProgram) {
            found = {msb, lsb, e.value};
            programmed = true;
        } else if (e.status == kEvNote && !programmed) {
            found = {0, 0, 0};
        } else {
            continue;
        }
        if (std::find(list.begin(), list.end(), found) != list.end()) continue;
        list.push_back(found);
        if (int(list.size()) == kMaxInstruments) song.ErrorMsg(kErrGeneral);
    }
    return list;
}

}  // namespace

void MidiF1Data::SysExToChanel() try {
    if (form != kFormQ1 && form != kFormQ2) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    std::vector<int> gathered;
    long events = 0;
    for (int t = 0; t < track_count; ++t) {
        if (!At(*this, t).IsSysExTrack()) continue;
        gathered.push_back(t);
        events += At(*this, t).event_count - (gathered.size() > 1 ? 1 : 0);
    }
    if (gathered.empty()) return;
    if (events > kMaxEvents) {
        MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
        return;
    }
    auto gathering = std::make_unique<MidiF1TrackData>(&At(*this, gathered.front()));
    for (std::size_t g = 1; g < gathered.size(); ++g) {
        ErrorMsg(kErrF1SysExTracks);
        gathering->MergeTrack(&At(*this, gathered[g]));
    }
    // Where each part exclusive goes: the first other track holding its
    // channel alone, else a new track. Everything is checked before any change.
    std::array<MidiF1TrackData*, kMidiChannels> target{};
    std::array<int, kMidiChannels> incoming{};
    std::vector<bool> is_gathered(static_cast<std::size_t>(track_count), false);
    for (int t : gathered) is_gathered[static_cast<std::size_t>(t)] = true;
    for (int i = 0; i < gathering->event_count; ++i) {
        const MidiEvent& e = *gathering->event_table[i];
        if (IsPartExclusive(e)) ++incoming[static_cast<std::size_t>(e.channel)];
    }
    int new_tracks = 0;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (incoming[static_cast<std::size_t>(c)] == 0) continue;
        for (int t = 0; t < track_count && target[static_cast<std::size_t>(c)] == nullptr; ++t) {
            if (!is_gathered[static_cast<std::size_t>(t)] && HoldsOnlyChannel(At(*this, t), c))
                target[static_cast<std::size_t>(c)] = &At(*this, t);
        }
        MidiF1TrackData* joins = target[static_cast<std::size_t>(c)];
        if (joins == nullptr) ++new_tracks;
        if ((joins != nullptr ? joins->event_count : 1) + incoming[static_cast<std::size_t>(c)] >
            kMaxEvents) {
            MidiTrackData().ErrorMsg(kErrTrackTooMuchData);
            return;
        }
    }
    if (track_count - static_cast<int>(gathered.size()) + 1 + new_tracks > kMaxTracks) {
        ErrorMsg(kErrF1Track);
        return;
    }
    // Take the part exclusives out of the gathering track, with their ticks;
    // the rest keep theirs.
    std::array<std::vector<std::pair<std::int64_t, MidiEvent*>>, kMidiChannels> moving;
    std::vector<std::int64_t> ticks;
    std::int64_t tick = 0;
    int kept = 0;
    for (int i = 0; i < gathering->event_count; ++i) {
        MidiEvent* e = gathering->event_table[i];
        tick += e->delta;
        if (IsPartExclusive(*e)) {
            moving[static_cast<std::size_t>(e->channel)].emplace_back(tick, e);
        } else {
            gathering->event_table[kept++] = e;
            ticks.push_back(tick);
        }
    }
    gathering->event_count = kept;
    std::int64_t previous = 0;
    for (int i = 0; i < kept; ++i) {
        gathering->event_table[i]->delta =
            static_cast<int>(ticks[static_cast<std::size_t>(i)] - previous);
        previous = ticks[static_cast<std::size_t>(i)];
    }
    const int place = gathered.front();
    for (auto g = gathered.rbegin(); g != gathered.rend(); ++g) DeleteTrack(*g);
    // Nothing but an end of track left: no leftover track.
    if (kept > 1 || (kept == 1 && !gathering->event_table[0]->IsEndOfTrack()))
        InsertTrack(gathering.release(), place);
    for (int c = 0; c < kMidiChannels; ++c) {
        auto& list = moving[static_cast<std::size_t>(c)];
        if (list.empty()) continue;
        MidiF1TrackData* joins = target[static_cast<std::size_t>(c)];
        if (joins == nullptr) {
            AddTrack(new MidiF1TrackData(form, 0));
            joins = &At(*this, track_count - 1);
        }
        InsertSorted(*joins, list);
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

void MidiF1Data::SplitChanel(int channel, int threshold, int criterion) try {
    if (form != kFormQ2 || criterion < 1 || criterion > 3 || channel < 0 ||
        channel >= kMidiChannels) {
        ErrorMsg(kErrF1Internal);
        return;
    }
    int splits = 0;
    for (int t = 0; t < track_count; ++t) splits += At(*this, t).GetChanel() == channel ? 1 : 0;
    if (track_count + splits > kMaxTracks) {
        ErrorMsg(kErrF1Track);
        return;
    }
    for (int t = 0; t < track_count; ++t) {
        if (At(*this, t).GetChanel() != channel) continue;
        auto high = std::make_unique<MidiF1TrackData>(static_cast<MidiTrackData*>(&At(*this, t)));
        auto low = std::make_unique<MidiF1TrackData>(static_cast<MidiTrackData*>(&At(*this, t)));
        RemoveNotes(*high, criterion, threshold, true);
        RemoveNotes(*low, criterion, threshold, false);
        tracks[static_cast<std::size_t>(t)] = std::move(high);
        InsertTrack(low.release(), ++t);
    }
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
}

int MidiF1Data::SplitProgramChange(int track) try {
    if (track < 0 || track >= track_count) {
        ErrorMsg(kErrF1Track);
        return kGneNone;
    }
    if (form != kFormQ2 || IsDrumTrack(track)) {
        ErrorMsg(form != kFormQ2 ? kErrF1Internal : kErrGeneral);
        return kGneNone;
    }
    MidiF1TrackData& source = At(*this, track);
    const std::vector<Instrument> instruments = InstrumentsOf(*this, source);
    if (instruments.size() < 2) return 0;
    std::bitset<kExtendedChannels> used;
    for (int t = 0; t < track_count; ++t) {
        const int c = t == track ? kNoChannel : At(*this, t).GetChanelWithInstName();
        if (c >= 0 && c < kExtendedChannels) used.set(static_cast<std::size_t>(c));
    }
    used.set(kMidiDrumChannel).set(kSecondPortDrums);
    const auto copies = static_cast<int>(instruments.size());
    if (kExtendedChannels - static_cast<int>(used.count()) < copies ||
        track_count - 1 + copies > kMaxTracks) {
        ErrorMsg(kErrF1NoFreeChannel);
        return kGneNone;
    }
    // A program change selecting an instrument again stays in each copy, so
    // the notes after it follow the instrument selected there.
    std::vector<std::unique_ptr<MidiF1TrackData>> made;
    for (const auto& [msb, lsb, program] : instruments) {
        made.push_back(std::make_unique<MidiF1TrackData>(static_cast<MidiTrackData*>(&source)));
        made.back()->ExtractEventOfSpecifiedBankSelectAndProgramChange(msb, lsb, program);
        DeleteSecondPortNames(*made.back());
    }
    DeleteTrack(track);
    int free = 0;
    for (auto& copy : made) {
        while (used.test(static_cast<std::size_t>(free))) ++free;
        used.set(static_cast<std::size_t>(free));
        int channel = free;
        if (channel >= kMidiChannels) {
            char name[] = "SC88B";
            copy->InsertMetaEvent(kMetaInstrument, name);
            channel -= kMidiChannels;
        }
        copy->SetChanel(channel);
        AddTrack(copy.release());
    }
    return 0;
} catch (const std::bad_alloc&) {
    GneErrorMsg(kGneErrNoMemory);
    return kGneNone;
}
