// Moving part exclusives into their channels' tracks: one merge pass per
// target track, so linear in the exclusives (the complexity report says so),
// never exclusives times track length.
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchEvents.h"
#include "midi/song/MidiF1Data.h"

namespace {

// 16 channel tracks of 2,000 notes, and one exclusive-only track holding
// `exclusives` part exclusives spread over the channels.
std::unique_ptr<MidiF1Data> SongWithExclusives(int exclusives) {
    auto song = std::make_unique<MidiF1Data>(480);
    song->form = kFormQ2;
    auto setup = std::make_unique<MidiF1TrackData>(kFormQ2);
    for (int i = 0; i < exclusives; ++i) {
        MidiEvent* part = BenchEvent(kEvSysEx, i % kMidiChannels, 10);
        part->length = 11;
        setup->AddEvent(part);
    }
    MidiEvent* end = BenchEvent(kEvMeta, kNoChannel, 0);
    end->number = kMetaEndOfTrack;
    setup->AddEvent(end);
    song->AddTrack(setup.release());
    for (int c = 0; c < kMidiChannels; ++c) {
        auto track = std::make_unique<MidiF1TrackData>(kFormQ2);
        for (int i = 0; i < 2000; ++i) {
            MidiEvent* note = BenchEvent(kEvNote, c, 10);
            note->note = 60;
            note->velocity = 100;
            note->duration = 5;
            track->AddEvent(note);
        }
        MidiEvent* last = BenchEvent(kEvMeta, kNoChannel, 0);
        last->number = kMetaEndOfTrack;
        track->AddEvent(last);
        song->AddTrack(track.release());
    }
    return song;
}

void SysExToChanel(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto song = SongWithExclusives(static_cast<int>(state.range(0)));
        state.ResumeTiming();
        song->SysExToChanel();
        benchmark::DoNotOptimize(song->track_count);
        state.PauseTiming();
        song.reset();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(SysExToChanel)->RangeMultiplier(2)->Range(500, 16000)->Complexity(benchmark::oN);
