// Area editing on 100,000 events: keeping 200 areas must stay well under
// 0.5 s, and the format-0 song's removal of one controller under 20 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiF1TrackData.h"

namespace {

constexpr int kEvents = 100000;

// Notes, controllers and bends on 16 channels over about 1,000 bars at
// division 480, in form Q1.
void Fill(MidiTrackData& track) {
    std::mt19937 rng(16);
    std::uniform_int_distribution<int> pick(0, 99);
    std::vector<std::pair<long, MidiEvent*>> events;
    for (long tick = 0; static_cast<int>(events.size()) < kEvents - 2; tick += pick(rng) % 40) {
        auto* e = new MidiEvent();
        e->channel = pick(rng) % 16;
        const int kind = pick(rng);
        if (kind < 40) {
            e->status = kEvNoteOn;
            e->note = 36 + pick(rng) % 48;
            e->velocity = 1 + pick(rng);
            auto* off = new MidiEvent();
            off->status = kEvNoteOff;
            off->channel = e->channel;
            off->note = e->note;
            events.emplace_back(tick + 1 + pick(rng) * 4, off);
        } else if (kind < 85) {
            e->SetControlChange(e->channel, pick(rng) % 2 ? 7 : 11, pick(rng));
        } else {
            e->status = kEvPitchBend;
            e->value = pick(rng);
        }
        events.emplace_back(tick, e);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    long previous = 0;
    for (auto& [tick, e] : events) {
        e->delta = static_cast<int>(tick - previous);
        previous = tick;
        track.AddEvent(e);
    }
    track.AddEndOfTrack();
    track.form = kFormQ1;
}

void ExtractAreas(benchmark::State& state) {
    MidiF1TrackData source(kFormQ1);
    Fill(source);
    const long length = source.GetTrackLen();
    std::vector<std::array<int, 2>> areas;
    for (int k = 0; k < 200; ++k) {
        const int begin = static_cast<int>(length * k / 200);
        areas.push_back({begin, begin + static_cast<int>(length / 400)});
    }
    for (auto _ : state) {
        state.PauseTiming();
        MidiF1TrackData copy(kFormQ1);
        copy.SetQ1TrackData(&source);
        state.ResumeTiming();
        copy.ExtractArea(reinterpret_cast<int(*)[2]>(areas.data()), 200);
        benchmark::DoNotOptimize(copy.event_count);
    }
}
BENCHMARK(ExtractAreas)->Unit(benchmark::kMillisecond);

void FormatZeroDeleteControlChange(benchmark::State& state) {
    MidiF0Data source(kFormQ1);
    Fill(*source.track);
    for (auto _ : state) {
        state.PauseTiming();
        MidiF0Data copy(kFormQ1);
        copy.track->SetQ1TrackData(source.track.get());
        state.ResumeTiming();
        benchmark::DoNotOptimize(copy.DeleteControlChange(7));
    }
}
BENCHMARK(FormatZeroDeleteControlChange)->Unit(benchmark::kMillisecond);

}  // namespace
