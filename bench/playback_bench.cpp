// Playback timing on the real timer: a 20-second song of more than 2,000
// events with tempo changes plays into a recording back end; each message's
// send time is compared with its event's ideal time from the tempo map.
// Reports the mean, 99th-percentile and largest lateness and the lateness of
// the last event (drift), in microseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "playback/MidiBackend.h"
#include "playback/MidiControler.h"
#include "playback/MidiPlayer.h"
#include "playback/PlayTimer.h"

namespace {

constexpr int kDivision = 96;
constexpr std::int64_t kSongMicros = 20'000'000;

// Stamps each message with the player's own clock; allocation-free.
class StampingBackend final : public MidiBackend {
public:
    StampingBackend(PlayTimer& clock, std::size_t capacity) : clock_(clock), stamps_(capacity) {}
    void Send(const unsigned char*, int) override {
        const std::size_t i = count_.fetch_add(1);
        if (i < stamps_.size()) stamps_[i] = clock_.Now().count();
    }
    std::size_t Count() const { return std::min(count_.load(), stamps_.size()); }
    std::int64_t Stamp(std::size_t i) const { return stamps_[i]; }

private:
    PlayTimer& clock_;
    std::vector<std::int64_t> stamps_;
    std::atomic<std::size_t> count_{0};
};

struct Song {
    std::unique_ptr<MidiF0Data> data;
    std::vector<std::int64_t> ideal;  // due time of each message-sending event, microseconds
};

MidiEvent* NewEvent(int delta, int status, int channel) {
    auto* event = new MidiEvent(delta);
    event->status = status;
    event->channel = channel;
    return event;
}

// Notes on four channels, chords included, with a tempo change every 150
// events, until 20 seconds are filled.
Song MakeSong() {
    Song song;
    song.data = std::make_unique<MidiF0Data>(kFormQ1, kDivision);
    MidiTrackData* track = song.data->GetTrack();
    std::mt19937 random(7);
    std::int64_t numerator = 0;  // microseconds x division, exact
    int tempo = 500000;
    bool first = true;
    for (int i = 0; numerator / kDivision < kSongMicros; ++i) {
        int delta = first ? 0 : static_cast<int>(random() % 3 == 0 ? 0 : 1 + random() % 3);
        if (i % 150 == 149) {
            // The change's own delta still runs at the old tempo.
            numerator += static_cast<std::int64_t>(delta) * tempo;
            tempo = static_cast<int>(330000 + random() % 370000);  // 90 to 180 bpm
            auto* change = NewEvent(delta, kEvMeta, kNoChannel);
            change->number = kMetaTempo;
            change->value = tempo;
            track->AddEvent(change);
            delta = 0;
        }
        numerator += static_cast<std::int64_t>(delta) * tempo;
        const int channel = i % 4;
        auto* note = NewEvent(delta, (i / 4) % 2 ? kEvNoteOff : kEvNoteOn, channel);
        note->note = 48 + (i * 7) % 36;
        note->velocity = 90;
        track->AddEvent(note);
        song.ideal.push_back(numerator / kDivision);
        first = false;
    }
    auto* end = NewEvent(0, kEvMeta, kNoChannel);
    end->number = kMetaEndOfTrack;
    track->AddEvent(end);
    return song;
}

void PlaybackTiming(benchmark::State& state) {
    const Song song = MakeSong();
    for (auto _ : state) {
        RealPlayTimer timer;
        StampingBackend out(timer, song.ideal.size() + 64);
        MidiControler::UseBackend(&out);
        MidiPlayer::UseTimer(&timer);
        const std::int64_t start = timer.Now().count();
        {
            MidiPlayer player(song.data.get(), kMidiMapperIndex);
            while (MidiPlayer::Runing.load() == 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        MidiControler::UseBackend(nullptr);
        MidiPlayer::UseTimer(nullptr);

        std::vector<double> late;
        for (std::size_t i = 0; i < song.ideal.size() && i < out.Count(); ++i) {
            late.push_back(static_cast<double>(out.Stamp(i) - (start + song.ideal[i])));
        }
        if (late.empty()) {
            state.SkipWithError("nothing was sent");
            return;
        }
        std::vector<double> sorted = late;
        std::sort(sorted.begin(), sorted.end());
        double sum = 0;
        for (double v : late) sum += v;
        const double mean = sum / static_cast<double>(late.size());
        const double p99 =
            sorted[static_cast<std::size_t>(0.99 * static_cast<double>(sorted.size() - 1))];
        state.counters["events"] = static_cast<double>(late.size());
        state.counters["song_s"] = static_cast<double>(song.ideal.back()) / 1e6;
        state.counters["mean_us"] = mean;
        state.counters["p99_us"] = p99;
        state.counters["max_us"] = sorted.back();
        state.counters["min_us"] = sorted.front();
        state.counters["drift_us"] = late.back();
        std::printf(
            "playback timing: %zu events over %.1f s: mean %.0f us, p99 %.0f us, max %.0f us, "
            "last event %.0f us late\n",
            late.size(), static_cast<double>(song.ideal.back()) / 1e6, mean, p99, sorted.back(),
            late.back());
    }
}

}  // namespace

BENCHMARK(PlaybackTiming)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
