// Pitch bends turned into notes on one long melodic line: the conversion is
// one walk over the events (the complexity report says so), however many
// bends split the notes and however many notes of no length wait for removal.
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchEvents.h"
#include "midi/song/MidiF1Data.h"

namespace {

// A legato line: every fourth event a note of 480 ticks, between them three
// bends 120 ticks apart, and now and then a note of no length.
std::unique_ptr<MidiF1Data> BentLine(int events) {
    auto song = std::make_unique<MidiF1Data>(480);
    auto track = std::make_unique<MidiF1TrackData>(kFormQ2);
    for (int i = 0; i < events; ++i) {
        MidiEvent* e = nullptr;
        if (i % 4 == 0) {
            e = BenchEvent(kEvNote, 0, 120);
            e->note = 40 + i % 50;
            e->velocity = 100;
            e->duration = i % 64 == 0 ? 0 : 480;
            e->data[0] = kEvNote;
            e->length = 1;
        } else {
            e = BenchEvent(kEvPitchBend, 0, 120);
            const int bend = (i * 2731) % 16384;
            e->note = bend & 127;
            e->value = bend >> 7;
        }
        track->AddEvent(e);
    }
    song->AddTrack(track.release());
    return song;
}

void ConvPitchBendToNote(benchmark::State& state) {
    const int events = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto song = BentLine(events);
        state.ResumeTiming();
        song->ConvPitchBendToNote(2);
        benchmark::DoNotOptimize(song->GetTrack(0)->event_count);
        state.PauseTiming();
        song.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(ConvPitchBendToNote)
    ->RangeMultiplier(4)
    ->Range(1 << 12, 100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
