// The pipeline from a file name to the mirrored song, shared by the window and
// the command line.
#include "midi/song/SongPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "midi/song/detail/MirrorSetup.h"
#include "midi/song/detail/VerticalTurn.h"
#include "midi/track/detail/Prefetch.h"

namespace {

using retrograde::detail::VerticalTurn;

// The notes that become a note on and a note off in form Q1 (Q2toQ1 drops
// the others), and the note events kept as they are.
bool IsKeptNote(const MidiEvent& e) {
    if (e.status == kEvNote) return e.duration > 0 && e.velocity != 0;
    return e.status == kEvNoteOn || e.status == kEvNoteOff;
}

void TurnNotes(MidiTrackData& track, const VerticalTurn& turn) {
    for (int k = 0; k < track.event_count; ++k) {
        retrograde::detail::PrefetchAheadForWriting(track.event_table.get(), k, track.event_count);
        MidiEvent* e = track.event_table[k];
        if (IsKeptNote(*e)) turn.Apply(*e);
    }
}

// The events the backwards mirror keeps first: the tick-0 setup, which with
// the carried state leaves out what the state itself re-establishes.
int CountSetup(const MidiTrackData& track, bool carryState) {
    int count = 0;
    for (int k = 0; k + 1 < track.event_count; ++k) {
        const MidiEvent* e = track.event_table[k];
        if (e->delta != 0) break;
        const bool setup = carryState ? retrograde::detail::IsStatelessSetupEvent(e)
                                      : retrograde::detail::IsSetupEvent(e);
        if (setup) ++count;
    }
    return count;
}

// Turns a song of form Q2 upside down as VerticalReverse would turn it in
// form Q1, with or without the backwards mirror in between, and gives back the
// turn made (none when nothing is to turn). That holds when the turn is one to
// one on every channel: the backwards mirror then pairs the same notes, and no
// key or exclusive message comes or goes between the forms. Otherwise the
// song is left as it was and the turn is refused (false).
bool TurnBeforeNoteOffs(MidiF0Data& song, std::optional<VerticalTurn>& made) {
    if (song.form != kFormQ2 || song.track == nullptr) return false;
    MidiTrackData& track = *song.track;
    VerticalTurn& turn = made.emplace(song.form);
    for (int k = 0; k < track.event_count; ++k) {
        retrograde::detail::PrefetchAhead(track.event_table.get(), k, track.event_count);
        MidiEvent* e = track.event_table[k];
        if (e->status == kEvSysEx) {
            turn.SeeExclusive(e);
        } else if (IsKeptNote(*e)) {
            turn.SeeNote(*e);
        }
    }
    const bool turning = turn.Plan();
    if (!turning || !turn.OneToOne()) {
        made.reset();
        return !turning;
    }
    TurnNotes(track, turn);
    return true;
}

}  // namespace

std::unique_ptr<MidiFileLoader> LoadSongByName(const char* path) {
    auto loader = std::make_unique<MidiFileLoader>(nullptr);  // asks for nothing
    if (path != nullptr) loader->MidiFileLoaderSub(path);
    return loader;
}

std::unique_ptr<MidiF0Data> MirroredCopy(MidiF0Data* song, const MirrorChoice& choice,
                                         int* setupKept) {
    auto copy = std::make_unique<MidiF0Data>(song);
    MirrorInPlace(*copy, choice, setupKept);
    return copy;
}

void MirrorInPlace(MidiF0Data& song, const MirrorChoice& choice, int* setupKept) {
    if (setupKept != nullptr) *setupKept = 0;
    // Upside down first, while each note is one record instead of two; not
    // with the carried state, which the turn is not shown to leave alone.
    std::optional<VerticalTurn> turned;
    bool vertical = choice.vertical;
    if (vertical && !(choice.horizontal && choice.carry_state)) {
        vertical = !TurnBeforeNoteOffs(song, turned);
    }
    song.Q2toQ1();
    if (turned && song.form != kFormQ1) {
        // The song stayed in form Q2: turned again, its keys are as they
        // were, and the turn is made as in form Q1 after all.
        TurnNotes(*song.track, *turned);
        vertical = true;
    }
    if (choice.horizontal) {
        const MidiTrackData* track = song.form == kFormQ1 ? song.GetTrack() : nullptr;
        // A song the reverse refuses (no end of track) keeps its order.
        if (setupKept != nullptr && track != nullptr && track->event_count > 0 &&
            track->event_table[track->event_count - 1]->IsEndOfTrack()) {
            *setupKept = CountSetup(*track, choice.carry_state);
        }
        song.HorizontalReverse(choice.carry_state);
    }
    if (vertical) song.VerticalReverse();
}

double SongSeconds(const MidiF0Data& song) {
    const MidiTrackData* track = song.GetTrack();
    // A negative division counts SMPTE frames, not quarter notes.
    if (track == nullptr || song.division <= 0) return 0.0;

    std::vector<std::pair<std::int64_t, int>> tempos;  // absolute tick, microseconds per quarter
    std::int64_t tick = 0;
    std::int64_t end = 0;
    for (int i = 0; i < track->GetEventCount(); ++i) {
        const MidiEvent* event = track->GetEvent(i);
        tick += std::max(event->delta, 0);
        // In form Q2 a note lasts beyond its own tick.
        const std::int64_t last =
            event->status == kEvNote ? tick + std::max(event->duration, 0) : tick;
        end = std::max(end, last);
        if (event->IsMeta(kMetaTempo) && event->value > 0) tempos.emplace_back(tick, event->value);
    }

    double microseconds = 0.0;
    std::int64_t at = 0;
    int tempo = kDefaultTempo;
    for (const auto& [change, value] : tempos) {
        if (change >= end) break;
        microseconds += static_cast<double>(change - at) * tempo;
        at = change;
        tempo = value;
    }
    microseconds += static_cast<double>(end - at) * tempo;
    return microseconds / song.division / 1e6;
}

double PlayedSeconds(MidiF0Data* song, const MirrorChoice& choice) {
    if (song == nullptr) return 0.0;
    auto copy = MirroredCopy(song, choice);
    copy->BeginImmidiately();
    copy->Q1toQ2();
    return SongSeconds(*copy);
}

std::string SongTimeText(double seconds) {
    const long long whole =
        std::isfinite(seconds) && seconds > 0 ? static_cast<long long>(seconds) : 0;
    char text[40];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}
