// Quantize, swing and the grid edits on a whole-song track of 65,000 events
// and on one of twice as many: each must stay linear in the number of events
// (the swing and grid walks keep a cursor instead of starting over per window).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "midi/track/MidiTrackData.h"

namespace {

MidiEvent* MakeEvent(int delta, int status, int channel) {
    auto* event = new MidiEvent(delta);
    event->status = status;
    event->channel = channel;
    return event;
}

// Chords on 16 channels at times off any grid, with controllers and markers
// between them: a merged song in form Q2.
std::unique_ptr<MidiTrackData> MakeSongTrack(int events) {
    auto track = std::make_unique<MidiTrackData>(kFormQ2);
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> pitch(36, 84), channel(0, 15), kind(0, 19), size(1, 6),
        gap(1, 130);
    while (track->event_count < events - 1) {
        int delta = gap(rng);
        for (int k = size(rng); k > 0 && track->event_count < events - 1; --k) {
            const int roll = kind(rng);
            MidiEvent* event = nullptr;
            if (roll == 0) {
                event = MakeEvent(delta, kEvControl, channel(rng));
                event->number = 7;
                event->value = kind(rng) * 6;
            } else if (roll == 1) {
                event = MakeEvent(delta, kEvMeta, kNoChannel);
                event->number = kMetaMarker;
            } else {
                event = MakeEvent(delta, kEvNote, channel(rng));
                event->note = pitch(rng);
                event->duration = 20 + kind(rng) * 7;
                event->velocity = 100;
            }
            track->AddEvent(event);
            delta = 0;
        }
    }
    auto* end = MakeEvent(0, kEvMeta, kNoChannel);
    end->number = kMetaEndOfTrack;
    track->AddEvent(end);
    return track;
}

const MidiTrackData& Source(int events) {
    static const std::unique_ptr<MidiTrackData> single = MakeSongTrack(65000);
    static const std::unique_ptr<MidiTrackData> twice = MakeSongTrack(130000);
    return events > 65000 ? *twice : *single;
}

// Runs op on a fresh copy of the track per iteration; the copy is not timed.
template <typename Op>
void RunOnCopy(benchmark::State& state, Op op) {
    const MidiTrackData& source = Source(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = std::make_unique<MidiTrackData>(const_cast<MidiTrackData*>(&source));
        state.ResumeTiming();
        op(*copy);
        benchmark::DoNotOptimize(copy->event_count);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * source.event_count);
}

void BM_QuantizeData(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.QuantizeData(4, 480); });
}
void BM_SwingData(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.SwingData(240); });
}
void BM_SwingHarmonyAndDrumData(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.SwingHarmonyAndDrumData(240); });
}
void BM_ModifyDeltaTime(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.ModifyDeltaTime(120); });
}
void BM_ModifyInterval(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.ModifyInterval(10); });
}
void BM_GetTrackLen(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { benchmark::DoNotOptimize(t.GetTrackLen()); });
}

// The event edits that walk the whole track: a cut of its middle half and a
// change of channel.
void BM_DeleteAreaNoteAndPitchBend(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) {
        const long from = t.GetDeltaOfEventIndex(t.event_count / 4);
        const long to = t.GetDeltaOfEventIndex(t.event_count / 4 * 3);
        t.DeleteAreaNoteAndPitchBend(static_cast<int>(from), static_cast<int>(to));
    });
}
void BM_ChangeChanel(benchmark::State& state) {
    RunOnCopy(state, [](MidiTrackData& t) { t.ChangeChanel(3, 5); });
}

}  // namespace

BENCHMARK(BM_QuantizeData)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwingData)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwingHarmonyAndDrumData)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModifyDeltaTime)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModifyInterval)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetTrackLen)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteAreaNoteAndPitchBend)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeChanel)->Arg(65000)->Arg(130000)->Unit(benchmark::kMillisecond);
