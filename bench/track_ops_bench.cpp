// Track-level operations on a whole-song track of 65,000 events (about
// 120,000 in form Q1, near the table's limit of 131,072): the
// duplicate clean-ups, the every-match deletions and drum-set packing must
// stay linear (or n log n) in the number of events.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "midi/track/MidiTrackData.h"

namespace {

constexpr int kEvents = 65000;

MidiEvent* MakeEvent(int delta, int status, int channel) {
    auto* event = new MidiEvent(delta);
    event->status = status;
    event->channel = channel;
    return event;
}

// Dense chords on 16 channels (with unison and octave doublings), program and
// bank changes between them and a few texts: a merged song in form Q2.
std::unique_ptr<MidiTrackData> MakeSongTrack() {
    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pitch(36, 84), channel(0, 15), kind(0, 19), size(1, 8);
    while (track->event_count < kEvents - 1) {
        int delta = 60;
        for (int k = size(rng); k > 0 && track->event_count < kEvents - 1; --k) {
            const int c = channel(rng);
            const int roll = kind(rng);
            MidiEvent* event = nullptr;
            if (roll == 0) {
                event = MakeEvent(delta, kEvProgram, c);
                event->value = kind(rng);
            } else if (roll == 1) {
                event = MakeEvent(delta, kEvControl, c);
                event->number = kind(rng) < 10 ? 0 : 32;
                event->value = kind(rng) % 3;
            } else if (roll == 2) {
                event = MakeEvent(delta, kEvMeta, kNoChannel);
                event->number = kMetaMarker;
            } else {
                event = MakeEvent(delta, kEvNote, c);
                event->note = pitch(rng);
                event->duration = 30 * (1 + kind(rng) % 4);
                event->velocity = 100;
            }
            track->AddEvent(event);
            delta = 0;
        }
    }
    auto* end = MakeEvent(0, kEvMeta, kNoChannel);
    end->number = kMetaEndOfTrack;
    track->AddEvent(end);
    return track;
}

const MidiTrackData& Source() {
    static const std::unique_ptr<MidiTrackData> source = MakeSongTrack();
    return *source;
}

// Runs op on a fresh copy of the song track per iteration; the copy is not timed.
template <typename Op>
void RunOnCopy(benchmark::State& state, Op op) {
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = std::make_unique<MidiTrackData>(const_cast<MidiTrackData*>(&Source()));
        state.ResumeTiming();
        op(*copy);
        benchmark::DoNotOptimize(copy->event_count);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * Source().event_count);
}

void BM_DeleteDuplicateNote(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.DeleteDuplicateNote(); });
}
void BM_DeleteDuplicateOctaveNote(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.DeleteDuplicateOctaveNote(); });
}
void BM_CleanUpDuplicateProgramChange(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.CleanUpDuplicateProgramChange(); });
}
void BM_CleanUpDuplicateBankSelectAndProgramChange(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.CleanUpDuplicateBankSelectAndProgramChange(); });
}
void BM_CleanUpDuplicateNoteOnOffSplit(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.CleanUpDuplicateNoteOnOff(true); });
}
void BM_DeleteAllMetaEvent(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.DeleteAllMetaEvent(); });
}
void BM_DeleteChanel(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.DeleteChanel(3); });
}
void BM_PackDrumSet(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.PackDrumSet(); });
}
void BM_Queries(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) {
        benchmark::DoNotOptimize(t.GetTrackDuration());
        benchmark::DoNotOptimize(t.GetTempo(1 << 30));
        benchmark::DoNotOptimize(t.IsDrumChanel(3));
    });
}

}  // namespace

BENCHMARK(BM_DeleteDuplicateNote)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteDuplicateOctaveNote)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanUpDuplicateProgramChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanUpDuplicateBankSelectAndProgramChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CleanUpDuplicateNoteOnOffSplit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteAllMetaEvent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteChanel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PackDrumSet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Queries)->Unit(benchmark::kMillisecond);
