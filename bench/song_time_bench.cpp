// Cutting the start off a track: one walk and one removal, linear in the
// events (the complexity report says so). Half the notes lie before the cut,
// so half the table goes and the rest moves.
#include <benchmark/benchmark.h>

#include <memory>

#include "midi/song/MidiF1Data.h"

namespace {

// One Q1 track of events note ons and offs on channel 0, 10 ticks apart.
std::unique_ptr<MidiF1Data> OneTrack(int events) {
    auto song = std::make_unique<MidiF1Data>(480);
    auto track = std::make_unique<MidiF1TrackData>(kFormQ1);
    for (int i = 0; i < events; ++i) {
        auto* e = new MidiEvent(10);
        e->status = i % 2 == 0 ? kEvNoteOn : kEvNoteOff;
        e->channel = 0;
        e->note = 36 + (i / 2) % 40;
        e->velocity = i % 2 == 0 ? 100 : 0;
        track->AddEvent(e);
    }
    track->AddEndOfTrack();
    song->AddTrack(track.release());
    return song;
}

void SetBeginHalfway(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto song = OneTrack(events);
        state.ResumeTiming();
        song->SetBegin(0, events * 10 / 2);
        benchmark::DoNotOptimize(song->GetTrack(0)->event_count);
        state.PauseTiming();
        song.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(SetBeginHalfway)->RangeMultiplier(2)->Range(12500, 100000)->Complexity(benchmark::oN);
