// Speed of the track codec and the form conversions: reading a chunk,
// writing one (Q1toRaw), Q1toQ2 and Q2toQ1, at 1,000 to 120,000 events.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "General/GeneralMac.h"
#include "midi/track/MidiTrackData.h"

namespace {

// A piece of music in Q2: chords and runs on four channels, notes of one
// pitch overlapping now and then, many ending where others begin. Its Q1 form
// holds events events (note ons, note offs and the end of track).
std::unique_ptr<MidiTrackData> MakeQ2(int events) {
    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    std::mt19937 random(12345);
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const int notes = (events - 1) / 2;
    for (int i = 0; i < notes; ++i) {
        const int delta = below(3) == 0 ? 0 : 60 * (1 + below(2));
        const int duration = 60 * (1 + below(8));
        track->AddNote(i % 4, delta, 48 + below(24), 64 + below(60), duration);
    }
    track->AddEndOfTrack(480);
    return track;
}

std::unique_ptr<MidiTrackData> MakeQ1(int events) {
    auto track = MakeQ2(events);
    track->Q2toQ1();
    return track;
}

// Chunk bytes of events events that fit the 256 KiB buffer even at 120,000:
// running status throughout, in blocks of a note on, its release (velocity 0)
// and 28 channel pressure messages of one data byte.
std::vector<unsigned char> MakeChunk(int events) {
    std::vector<unsigned char> body;
    int made = 0;
    for (int block = 0; made < events - 1; ++block) {
        const auto pitch = static_cast<unsigned char>(48 + block % 24);
        body.insert(body.end(), {0x00, 0x90, pitch, 100});
        body.insert(body.end(), {0x3C, pitch, 0});
        made += 2;
        for (int k = 0; k < 28 && made < events - 1; ++k, ++made) {
            const auto value = static_cast<unsigned char>(k);
            if (k == 0) {
                body.insert(body.end(), {0x00, 0xD0, value});
            } else {
                body.insert(body.end(), {0x00, value});  // running status
            }
        }
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<unsigned char> chunk = {'M', 'T', 'r', 'k'};
    const auto n = static_cast<std::uint32_t>(body.size());
    chunk.insert(chunk.end(),
                 {static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                  static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)});
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

// Benchmarks share the prototypes; each iteration works on a fresh copy.
template <class Make>
MidiTrackData& Prototype(std::map<int, std::unique_ptr<MidiTrackData>>& cache, int events,
                         Make make) {
    auto& slot = cache[events];
    if (!slot) slot = make(events);
    return *slot;
}

void BM_Q1toQ2(benchmark::State& state) {
    static std::map<int, std::unique_ptr<MidiTrackData>> cache;
    MidiTrackData& source = Prototype(cache, static_cast<int>(state.range(0)), MakeQ1);
    for (auto _ : state) {
        state.PauseTiming();
        auto track = std::make_unique<MidiTrackData>(kFormQ1);
        track->SetQ1TrackData(&source);
        state.ResumeTiming();
        track->Q1toQ2();
        benchmark::DoNotOptimize(track->event_count);
        state.PauseTiming();
        track.reset();
        state.ResumeTiming();
    }
    state.counters["events"] = source.event_count;
}

void BM_Q2toQ1(benchmark::State& state) {
    static std::map<int, std::unique_ptr<MidiTrackData>> cache;
    MidiTrackData& source = Prototype(cache, static_cast<int>(state.range(0)), MakeQ2);
    int result = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto track = std::make_unique<MidiTrackData>(kFormQ2);
        track->SetTrackData(&source);
        state.ResumeTiming();
        track->Q2toQ1();
        result = track->event_count;
        state.PauseTiming();
        track.reset();
        state.ResumeTiming();
    }
    state.counters["events"] = result;
}

void BM_Read(benchmark::State& state) {
    const auto chunk = MakeChunk(static_cast<int>(state.range(0)));
    std::vector<unsigned char> image = chunk;
    int result = 0;
    for (auto _ : state) {
        auto track =
            std::make_unique<MidiTrackData>(static_cast<long>(image.size()), 0, image.data());
        result = track->event_count;
        state.PauseTiming();
        track.reset();
        state.ResumeTiming();
    }
    state.counters["events"] = result;
    state.counters["bytes"] = static_cast<double>(chunk.size());
}

// A Q1 track of 120,000 notes' events takes about 480,000 bytes without
// running status: more than the buffer holds, so that case measures the
// measuring pass that refuses it; 60,000 events is about the largest that fits.
void BM_Write(benchmark::State& state) {
    static std::map<int, std::unique_ptr<MidiTrackData>> cache;
    MidiTrackData& source = Prototype(cache, static_cast<int>(state.range(0)), MakeQ1);
    // A refused write is reported; keep the figures free of that text.
    GneSetMessageSink([](std::string_view) {});
    int written = 0;
    int bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto track = std::make_unique<MidiTrackData>(kFormQ1);
        track->SetQ1TrackData(&source);
        state.ResumeTiming();
        written = track->Q1toRaw();
        bytes = track->size;
        state.PauseTiming();
        track.reset();
        state.ResumeTiming();
    }
    GneSetMessageSink({});
    state.counters["events"] = source.event_count;
    state.counters["written"] = written;
    state.counters["bytes"] = written ? bytes : 0;
}

}  // namespace

BENCHMARK(BM_Q1toQ2)->Arg(1000)->Arg(10000)->Arg(120000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Q2toQ1)->Arg(1000)->Arg(10000)->Arg(120000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Arg(1000)->Arg(10000)->Arg(120000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write)->Arg(1000)->Arg(10000)->Arg(60000)->Arg(120000)->Unit(benchmark::kMillisecond);
