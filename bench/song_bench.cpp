// Speed of what a user waits for: loading a file into one format-0 song
// (MidiFileLoader, SetMidiF0Data), mirroring a copy both ways and encoding it
// as a format-0 file; for files of 10 KiB, 100 KiB and 255 KiB of dense notes
// on 16 channels, written as format 0 and as format 1, and for a 255 KiB
// format-0 file with running status (whose mirror takes more bytes than it
// does). LoadMirrorInPlaceEncode is the command line's way: the loaded song
// itself is mirrored, no copy is made.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "midi/song/MidiF0Data.h"
#include "midi/song/MidiFileLoader.h"
#include "midi/song/SongPipeline.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The "format" argument of the file with running status (a format-0 file).
constexpr int kRunningStatus = 2;

void Put32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

// The body of a track of dense notes on the given channels: chords and runs,
// every status written (as this library writes files, so that the mirrored
// song fits the buffer again when it is written).
Bytes NoteBody(std::mt19937& random, const std::vector<int>& channels, std::size_t bytes) {
    Bytes body = {0x00, 0xFF, 0x03, 4, 'P', 'a', 'r', 't'};
    for (int ch : channels) body.insert(body.end(), {0x00, std::uint8_t(0xC0 | ch), 0});
    std::uniform_int_distribution<int> pitch(36, 96);
    auto event = [&](int delta, int status, int a, int b) {
        body.push_back(std::uint8_t(delta));  // deltas below 128 here
        body.insert(body.end(), {std::uint8_t(status), std::uint8_t(a), std::uint8_t(b)});
    };
    while (body.size() + 16 < bytes) {
        const int ch = channels[random() % channels.size()];
        const int note = pitch(random);
        event(random() % 3 == 0 ? 0 : 10, 0x90 | ch, note, 100);
        event(5 + int(random() % 40), 0x80 | ch, note, 64);
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    return body;
}

void AddChunk(Bytes& file, const Bytes& body) {
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    Put32(file, std::uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
}

Bytes MakeFile(std::size_t bytes, int format) {
    std::mt19937 random(2024);
    Bytes file = {'M',  'T',
                  'h',  'd',
                  0,    0,
                  0,    6,
                  0,    std::uint8_t(format),
                  0,    std::uint8_t(format == 0 ? 1 : 16),
                  0x01, 0xE0};
    if (format == 0) {
        std::vector<int> all;
        for (int ch = 0; ch < 16; ++ch) all.push_back(ch);
        AddChunk(file, NoteBody(random, all, bytes - 22));
    } else {
        for (int ch = 0; ch < 16; ++ch)
            AddChunk(file, NoteBody(random, {ch}, (bytes - 14) / 16 - 8));
    }
    return file;
}

// A format-0 track as many files hold it: running status throughout, note
// offs as note ons of velocity 0, chords on one channel at a time, so nearly
// every event takes 3 bytes (about 87,000 events in 255 KiB). The writer
// writes every status byte, so its mirrored song is larger than the file.
Bytes RunningStatusFile(std::size_t bytes) {
    std::mt19937 random(2025);
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0};
    Bytes body = {0x00, 0xFF, 0x03, 4, 'S', 'o', 'n', 'g'};
    std::uniform_int_distribution<int> pitch(36, 90);
    while (body.size() + 64 < bytes - 22) {
        const int ch = int(random() % 16);
        const int size = 3 + int(random() % 6);
        const int root = pitch(random);
        body.insert(body.end(), {std::uint8_t(random() % 8), std::uint8_t(0x90 | ch)});
        for (int i = 0; i < size; ++i) {
            if (i > 0) body.push_back(0);
            body.insert(body.end(), {std::uint8_t(root + 2 * i), 100});
        }
        for (int i = 0; i < size; ++i) {
            body.insert(body.end(), {std::uint8_t(i == 0 ? 10 + random() % 60 : 0),
                                     std::uint8_t(root + 2 * i), 0});
        }
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    AddChunk(file, body);
    return file;
}

std::string FileFor(std::size_t kib, int format) {
    const auto path =
        std::filesystem::temp_directory_path() /
        ("retrograde-bench-v2-" + std::to_string(kib) + "k-f" + std::to_string(format) + ".mid");
    if (!std::filesystem::exists(path)) {
        const std::size_t bytes = kib * 1024 - (kib >= 256 ? 1 : 0);
        const Bytes file =
            format == kRunningStatus ? RunningStatusFile(bytes) : MakeFile(bytes, format);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    return path.string();
}

int EventCount(const std::string& path) {
    MidiFileLoader loader(path.c_str());
    loader.SetMidiF0Data();
    MidiF0Data copy(loader.midi_f0_data.get());
    copy.Q2toQ1();
    return copy.track->event_count;
}

void Load(benchmark::State& state) {
    const std::string path = FileFor(std::size_t(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        MidiFileLoader loader(path.c_str());
        loader.SetMidiF0Data();
        benchmark::DoNotOptimize(loader.midi_f0_data.get());
    }
    state.counters["events"] = EventCount(path);
}

void LoadMirrorEncode(benchmark::State& state) {
    const std::string path = FileFor(std::size_t(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        MidiFileLoader loader(path.c_str());
        loader.SetMidiF0Data();
        MidiF0Data copy(loader.midi_f0_data.get());
        copy.Q2toQ1();
        copy.HorizontalReverse();
        copy.VerticalReverse();
        if (copy.Q1toRaw() != 1) state.SkipWithError("not written");
        benchmark::DoNotOptimize(copy.buffer);
    }
    state.counters["events"] = EventCount(path);
}

void LoadMirrorInPlaceEncode(benchmark::State& state) {
    const std::string path = FileFor(std::size_t(state.range(0)), int(state.range(1)));
    const MirrorChoice both{.horizontal = true, .vertical = true};
    for (auto _ : state) {
        MidiFileLoader loader(path.c_str());
        loader.SetMidiF0Data();
        MidiF0Data& song = *loader.midi_f0_data;
        MirrorInPlace(song, both);
        if (song.Q1toRaw() != 1) state.SkipWithError("not written");
        benchmark::DoNotOptimize(song.buffer);
    }
    state.counters["events"] = EventCount(path);
}

// The steps of LoadMirrorEncode one by one on the largest files, to see
// where the time goes.
void StepRead(benchmark::State& state) {
    const std::string path = FileFor(255, int(state.range(0)));
    for (auto _ : state) {
        MidiFileLoader loader(path.c_str());
        benchmark::DoNotOptimize(loader.midi_f1_data.get());
    }
}

void StepMerge(benchmark::State& state) {
    const std::string path = FileFor(255, int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto loader = std::make_unique<MidiFileLoader>(path.c_str());
        state.ResumeTiming();
        loader->SetMidiF0Data();
        state.PauseTiming();
        loader.reset();
        state.ResumeTiming();
    }
}

void StepCopyMirrorEncode(benchmark::State& state) {
    const std::string path = FileFor(255, int(state.range(0)));
    MidiFileLoader loader(path.c_str());
    loader.SetMidiF0Data();
    for (auto _ : state) {
        MidiF0Data copy(loader.midi_f0_data.get());
        copy.Q2toQ1();
        copy.HorizontalReverse();
        copy.VerticalReverse();
        copy.Q1toRaw();
        benchmark::DoNotOptimize(copy.buffer);
    }
}

// The two mirror transforms alone, on a fresh Q1 copy each time.
void StepMirror(benchmark::State& state) {
    const std::string path = FileFor(255, int(state.range(0)));
    MidiFileLoader loader(path.c_str());
    loader.SetMidiF0Data();
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = std::make_unique<MidiF0Data>(loader.midi_f0_data.get());
        copy->Q2toQ1();
        state.ResumeTiming();
        copy->HorizontalReverse();
        copy->VerticalReverse();
        benchmark::DoNotOptimize(copy->track.get());
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
}

void Args(benchmark::internal::Benchmark* b) {
    for (int format : {0, 1}) {
        for (int kib : {10, 100, 255}) b->Args({kib, format});
    }
    b->ArgNames({"KiB", "format"})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(Load)->Apply(Args);
BENCHMARK(LoadMirrorEncode)->Apply(Args);
// The running-status file: its mirror is written too, with every status byte.
BENCHMARK(Load)
    ->Args({255, kRunningStatus})
    ->ArgNames({"KiB", "format"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LoadMirrorEncode)
    ->Args({255, kRunningStatus})
    ->ArgNames({"KiB", "format"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(LoadMirrorInPlaceEncode)
    ->Args({255, 0})
    ->Args({255, 1})
    ->Args({255, kRunningStatus})
    ->ArgNames({"KiB", "format"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(StepRead)->Arg(0)->Arg(1)->ArgName("format")->Unit(benchmark::kMillisecond);
BENCHMARK(StepMerge)->Arg(0)->Arg(1)->ArgName("format")->Unit(benchmark::kMillisecond);
BENCHMARK(StepCopyMirrorEncode)->Arg(0)->Arg(1)->ArgName("format")->Unit(benchmark::kMillisecond);
BENCHMARK(StepMirror)->Arg(0)->Arg(1)->ArgName("format")->Unit(benchmark::kMillisecond);
