// Drum classification of every track of a song: one pass over the song for
// the drum-channel table, then one question per track. Linear in the events
// (the complexity report says so), never tracks times events.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "midi/song/MidiF1Data.h"
#include "midi/song/detail/DrumChannels.h"

namespace {

// 16 tracks, one a channel, the events spread over them; the rhythm-part
// messages sit at the end of the last track, so the pass reads everything.
std::unique_ptr<MidiF1Data> SixteenTracks(int events) {
    auto song = std::make_unique<MidiF1Data>(480);
    for (int t = 0; t < 16; ++t) {
        auto track = std::make_unique<MidiF1TrackData>(kFormQ2);
        for (int i = 0; i < events / 16; ++i) {
            auto* note = new MidiEvent(0);
            note->status = kEvNote;
            note->channel = t;
            note->note = 36 + i % 40;
            note->velocity = 100;
            note->duration = 10;
            note->delta = 10;
            track->AddEvent(note);
        }
        if (t == 15) {
            for (int c = 0; c < 16; ++c) {
                auto* part = new MidiEvent(0);
                part->status = kEvSysEx;
                part->number = kExTypeGsRhythmPart;
                part->channel = c;
                part->length = 11;
                part->data[9] = static_cast<unsigned char>(c % 2);
                track->AddEvent(part);
            }
        }
        song->AddTrack(track.release());
    }
    return song;
}

void ClassifyAllTracks(benchmark::State& state) {
    const auto song = SixteenTracks(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const retrograde::detail::DrumChannelTable drums(*song);
        int count = 0;
        for (int t = 0; t < song->track_count; ++t) count += drums.IsDrumTrack(*song->GetTrack(t));
        benchmark::DoNotOptimize(count);
    }
    state.SetComplexityN(state.range(0));
}

void SongNumVoice(benchmark::State& state) {
    const auto song = SixteenTracks(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(song->GetNumVoice());
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(ClassifyAllTracks)->RangeMultiplier(4)->Range(1 << 12, 100000)->Complexity(benchmark::oN);
BENCHMARK(SongNumVoice)->RangeMultiplier(4)->Range(1 << 12, 100000)->Complexity(benchmark::oN);
