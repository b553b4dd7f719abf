// Track analysis on large tracks (targets): DetectLongestRepeat on a 2,000-note
// melody under 1 s; SearchBreak across a 50,000-event silent run under 50 ms;
// ReduceVoice(1) and CompareTrackAndDeleteDuplicateNote on 50,000 notes under
// 100 ms each.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "midi/song/MidiF1TrackData.h"

namespace {

// A melody of motifs that come back now and then, or chords when chordSize > 1.
std::unique_ptr<MidiF1TrackData> MakeNotes(int notes, int chordSize, unsigned seed) {
    auto t = std::make_unique<MidiF1TrackData>(kFormQ2);
    std::mt19937 rng(seed);
    for (int k = 0; k < notes; ++k) {
        const bool first = k % chordSize == 0;
        t->AddNote(0, first ? 60 * static_cast<int>(1 + rng() % 4) : 0,
                   48 + static_cast<int>(rng() % 36), 100, 60 + static_cast<int>(rng() % 400));
    }
    t->AddEndOfTrack();
    return t;
}

void BM_DetectLongestRepeat(benchmark::State& state) {
    auto t = MakeNotes(2000, 1, 7);
    int begin = 0, end = 0;
    for (auto _ : state) benchmark::DoNotOptimize(t->DetectLongestRepeat(0, &begin, &end, 120));
}
BENCHMARK(BM_DetectLongestRepeat)->Unit(benchmark::kMillisecond);

void BM_SearchBreakSilentRun(benchmark::State& state) {
    MidiF1TrackData t(kFormQ1);
    t.AddEvent([] {
        auto* on = new MidiEvent(0);
        on->status = kEvNoteOn, on->channel = 0, on->note = 60, on->velocity = 100;
        return on;
    }());
    for (int k = 0; k < 50000; ++k) t.AddControlChange(0, 7, k % 128);
    auto* off = new MidiEvent(10);
    off->SetNoteOffEvent(0, 60);
    t.AddEvent(off);
    t.AddEndOfTrack(10);
    for (auto _ : state) benchmark::DoNotOptimize(t.SearchBreak(0, true, 5));
}
BENCHMARK(BM_SearchBreakSilentRun)->Unit(benchmark::kMillisecond);

void BM_ReduceVoice(benchmark::State& state) {
    auto source = MakeNotes(50000, 4, 9);
    for (auto _ : state) {
        state.PauseTiming();
        MidiF1TrackData t(source.get());
        state.ResumeTiming();
        benchmark::DoNotOptimize(t.ReduceVoice(1));
    }
}
BENCHMARK(BM_ReduceVoice)->Unit(benchmark::kMillisecond);

void BM_CompareTrackAndDeleteDuplicateNote(benchmark::State& state) {
    auto source = MakeNotes(50000, 4, 11);
    auto other = MakeNotes(50000, 4, 12);
    for (auto _ : state) {
        state.PauseTiming();
        MidiF1TrackData t(source.get());
        state.ResumeTiming();
        t.CompareTrackAndDeleteDuplicateNote(other.get());
    }
}
BENCHMARK(BM_CompareTrackAndDeleteDuplicateNote)->Unit(benchmark::kMillisecond);

}  // namespace
