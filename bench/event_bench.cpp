// Making, copying and destroying event records in bulk: the class's pooled
// operator new against the global heap (::new) for the same records.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "midi/event/MidiEvent.h"

namespace {

constexpr int kRecords = 100000;

void PooledNewDelete(benchmark::State& state) {
    std::vector<MidiEvent*> events(kRecords);
    for (auto _ : state) {
        for (auto& event : events) event = new MidiEvent(1);
        benchmark::DoNotOptimize(events.data());
        for (auto* event : events) delete event;
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void HeapNewDelete(benchmark::State& state) {
    std::vector<MidiEvent*> events(kRecords);
    for (auto _ : state) {
        for (auto& event : events) event = ::new MidiEvent(1);
        benchmark::DoNotOptimize(events.data());
        for (auto* event : events) ::delete event;
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void PooledCopy(benchmark::State& state) {
    MidiEvent source(10);
    source.SetControlChange(3, 7, 100);
    source.length = 3;
    std::vector<MidiEvent*> events(kRecords);
    for (auto _ : state) {
        for (auto& event : events) event = new MidiEvent(&source);
        benchmark::DoNotOptimize(events.data());
        for (auto* event : events) delete event;
    }
    source.length = 0;
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void HeapCopy(benchmark::State& state) {
    MidiEvent source(10);
    source.SetControlChange(3, 7, 100);
    source.length = 3;
    std::vector<MidiEvent*> events(kRecords);
    for (auto _ : state) {
        for (auto& event : events) event = ::new MidiEvent(&source);
        benchmark::DoNotOptimize(events.data());
        for (auto* event : events) ::delete event;
    }
    source.length = 0;
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// Deleting every other record and refilling, as editing operations do.
template <bool kPooled>
void Churn(benchmark::State& state) {
    std::vector<MidiEvent*> events(kRecords);
    for (auto& event : events) event = kPooled ? new MidiEvent(1) : ::new MidiEvent(1);
    for (auto _ : state) {
        for (int i = 0; i < kRecords; i += 2) {
            if (kPooled) {
                delete events[i];
                events[i] = new MidiEvent(2);
            } else {
                ::delete events[i];
                events[i] = ::new MidiEvent(2);
            }
        }
        benchmark::DoNotOptimize(events.data());
    }
    for (auto* event : events) {
        if (kPooled) {
            delete event;
        } else {
            ::delete event;
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords / 2);
}

}  // namespace

BENCHMARK(PooledNewDelete)->Unit(benchmark::kMillisecond);
BENCHMARK(HeapNewDelete)->Unit(benchmark::kMillisecond);
BENCHMARK(PooledCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(HeapCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(Churn<true>)->Unit(benchmark::kMillisecond);
BENCHMARK(Churn<false>)->Unit(benchmark::kMillisecond);
