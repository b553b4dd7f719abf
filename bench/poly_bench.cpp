// Polyphony reduction on a whole-song track in form Q1 (65,000 events in Q2,
// about 120,000 in Q1): ReduceNumPoly(4) by every rule and SetNumPoly(4) must
// stay linear in the events (target: under 100 ms each).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>

#include "midi/track/MidiTrackData.h"

namespace {

constexpr int kEvents = 65000;

// Dense chords on 16 channels with a chord-name marker every few ticks.
std::unique_ptr<MidiTrackData> MakeQ1Song(int events) {
    static const char* const kChords[] = {"C", "Am", "F", "G7", "Bdim", "Ebm"};
    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> pitch(36, 84), channel(0, 15), roll(0, 19), size(1, 8);
    while (track->event_count < events - 1) {
        int delta = 60;
        for (int k = size(rng); k > 0 && track->event_count < events - 1; --k) {
            auto* event = new MidiEvent(delta);
            if (roll(rng) == 0) {
                const char* name = kChords[roll(rng) % 6];
                event->status = kEvMeta;
                event->number = kMetaMarker;
                event->length = static_cast<int>(std::strlen(name));
                std::memcpy(event->data, name, static_cast<std::size_t>(event->length));
            } else {
                event->status = kEvNote;
                event->channel = channel(rng);
                event->note = pitch(rng);
                event->duration = 30 * (1 + roll(rng) % 4);
                event->velocity = 100;
            }
            track->AddEvent(event);
            delta = 0;
        }
    }
    track->AddEndOfTrack();
    track->Q2toQ1();
    return track;
}

const MidiTrackData& Source(int events) {
    static const std::unique_ptr<MidiTrackData> whole = MakeQ1Song(kEvents);
    static const std::unique_ptr<MidiTrackData> half = MakeQ1Song(kEvents / 2);
    return events == kEvents ? *whole : *half;
}

template <typename Op>
void RunOnCopy(benchmark::State& state, Op op, int events = kEvents) {
    const MidiTrackData& source = Source(events);
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = std::make_unique<MidiTrackData>();
        copy->SetQ1TrackData(const_cast<MidiTrackData*>(&source));
        state.ResumeTiming();
        op(*copy);
        benchmark::DoNotOptimize(copy->event_count);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * source.event_count);
}

int priority[4][12] = {{1, 2, 3, 5, 6, 8, 9, 10, 11, 7, 4, 0},
                       {1, 2, 4, 5, 6, 8, 9, 10, 11, 7, 3, 0},
                       {1, 2, 4, 5, 7, 8, 9, 10, 11, 6, 3, 0},
                       {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 7, 0}};

void BM_ReduceNumPolyPlain(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.ReduceNumPoly(4); });
}
void BM_ReduceNumPolyByOrder(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.ReduceNumPoly(4, nullptr, 0, 1, nullptr, false); });
}
void BM_ReduceNumPolyByChordTone(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.ReduceNumPoly(4, nullptr, 0, 2, priority, true); });
}
// On the whole track the cuts' note offs would not fit the table: the walk
// runs, and the track is left as it was. Half the track fits.
void BM_SetNumPoly(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.SetNumPoly(4); });
}
void BM_SetNumPolyHalfTrack(benchmark::State& state) {
    RunOnCopy(
        state, [](MidiTrackData& t) { t.SetNumPoly(4); }, kEvents / 2);
}

}  // namespace

BENCHMARK(BM_ReduceNumPolyPlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceNumPolyByOrder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReduceNumPolyByChordTone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetNumPoly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetNumPolyHalfTrack)->Unit(benchmark::kMillisecond);
