// The clean-ups of a song's track on 100,000 events (notes, controllers,
// pedals, bends on 16 channels): each must stay one pass, well under 50 ms.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <random>

#include "midi/song/MidiF1TrackData.h"

namespace {

constexpr int kEvents = 100000;

std::unique_ptr<MidiF1TrackData> MakeTrack() {
    auto track = std::make_unique<MidiF1TrackData>(kFormQ2);
    std::mt19937 rng(100000);
    std::uniform_int_distribution<int> pick(0, 99);
    constexpr int kControllers[] = {1, 7, 10, 11, 64, 91};
    while (track->event_count < kEvents - 1) {
        auto* e = new MidiEvent(pick(rng) < 50 ? 0 : 1 + pick(rng) % 40);
        e->channel = pick(rng) % 16;
        const int kind = pick(rng);
        if (kind < 35) {
            e->status = kEvNote;
            e->note = 36 + pick(rng) % 48;
            e->velocity = 1 + pick(rng);
            e->duration = 1 + pick(rng) * 4;
        } else if (kind < 85) {
            e->status = kEvControl;
            e->number = kControllers[pick(rng) % 6];
            e->value = pick(rng) % 4 * 40;
        } else {
            e->status = kEvPitchBend;
            e->value = pick(rng) % 128;
        }
        track->AddEvent(e);
    }
    auto* end = new MidiEvent(0);
    end->status = kEvMeta;
    end->number = kMetaEndOfTrack;
    track->AddEvent(end);
    return track;
}

void Run(benchmark::State& state, const std::function<void(MidiF1TrackData&)>& clean) {
    const auto source = MakeTrack();
    for (auto _ : state) {
        state.PauseTiming();
        MidiF1TrackData copy(static_cast<MidiTrackData*>(source.get()));
        state.ResumeTiming();
        clean(copy);
        benchmark::DoNotOptimize(copy.event_count);
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}

}  // namespace

BENCHMARK_CAPTURE(Run, VolumeChange, [](MidiF1TrackData& t) {
    t.CleanUpVolumeChange();
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, Controllers, [](MidiF1TrackData& t) {
    t.CleanUpDuplicateControlChangeExceptSpecifiedCmd(nullptr, 0);
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, Pan, [](MidiF1TrackData& t) {
    t.CleanUpPan();
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, SameValue, [](MidiF1TrackData& t) {
    t.CleanUpDuplicateVolumeExpressionOfSameValue();
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, SameTiming, [](MidiF1TrackData& t) {
    t.CleanUpDuplicateVolumeExpressionOfSameTiming();
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, PitchBend, [](MidiF1TrackData& t) {
    t.CleanUpDuplicatePitchBend();
})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, AdjustDrumDuration, [](MidiF1TrackData& t) {
    t.AdjustDrumDuration();
})->Unit(benchmark::kMillisecond);
