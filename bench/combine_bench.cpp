// Merging the tracks of one sound in a song of 65 tracks: the keys that occur
// are visited, never every name, bank and program, so the time grows with
// the events (the complexity report says so).
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchEvents.h"
#include "midi/song/MidiF1Data.h"

namespace {

// A conductor track and 64 tracks on the 15 melodic channels, eight
// programs among them, the notes spread evenly.
std::unique_ptr<MidiF1Data> SixtyFiveTracks(int events) {
    auto song = std::make_unique<MidiF1Data>(480);
    song->AddTrack(new MidiF1TrackData(kFormQ2));
    for (int t = 0; t < kMaxTracks - 1; ++t) {
        auto track = std::make_unique<MidiF1TrackData>(kFormQ2);
        const int channel = t % 15 < 9 ? t % 15 : t % 15 + 1;
        MidiEvent* program = BenchEvent(kEvProgram, channel, 0);
        program->value = t % 8;
        track->AddEvent(program);
        for (int i = 0; i < events / kMaxTracks; ++i) {
            MidiEvent* note = BenchEvent(kEvNote, channel, 10);
            note->note = 36 + (i + t) % 40;
            note->velocity = 100;
            note->duration = 10;
            track->AddEvent(note);
        }
        song->AddTrack(track.release());
    }
    return song;
}

void CombineSameTone(benchmark::State& state) {
    const auto song = SixtyFiveTracks(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        MidiF1Data copy(song.get());
        copy.form = kFormQ2;
        state.ResumeTiming();
        copy.CombineSameToneTrack();
        benchmark::DoNotOptimize(copy.track_count);
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(CombineSameTone)->RangeMultiplier(4)->Range(1 << 12, 100000)->Complexity(benchmark::oN);
