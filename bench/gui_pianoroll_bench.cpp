// Speed of the window's piano roll: the first draw of a song (its note cache
// built, the fitted view painted) and one scroll step (a wheel notch across,
// the view painted again), on the real test file with the most notes and on
// a made song of 27,000 notes. Offscreen; the first draw should stay under
// 50 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QScrollBar>

#include "app/PianoRollView.h"
#include "midi/song/SongPipeline.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

// A format-0 file of notes on 16 channels, chords and runs, at division 480.
Bytes DenseSong(int notes) {
    std::mt19937 random(27000);
    Bytes body;
    for (int i = 0; i < notes; ++i) {
        const int channel = int(random() % 16);
        const int pitch = channel == 9 ? 35 + int(random() % 20) : 36 + int(random() % 60);
        body.insert(body.end(), {std::uint8_t(random() % 3 == 0 ? 0 : 60),
                                 std::uint8_t(0x90 | channel), std::uint8_t(pitch), 100});
        body.insert(body.end(), {std::uint8_t(20 + random() % 100), std::uint8_t(0x80 | channel),
                                 std::uint8_t(pitch), 64});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    Put32(file, std::uint32_t(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

struct Song {
    std::unique_ptr<MidiFileLoader> loader;
    std::unique_ptr<MidiF0Data> shown;  // the mirror both ways, as the window shows it
    std::size_t notes = 0;
};

Song LoadSong(const std::string& path) {
    Song song;
    song.loader = LoadSongByName(path.c_str());
    if (song.loader->GetMidiF1Data() == nullptr) return song;
    song.loader->SetMidiF0Data();
    MidiF0Data* loaded = song.loader->GetMidiF0Data();
    if (loaded == nullptr) return song;
    song.shown = MirroredCopy(loaded, MirrorChoice{true, true, false});
    song.shown->Q1toQ2();
    PianoRollNotes notes;
    notes.Build(loaded);
    song.notes = notes.All().size();
    return song;
}

// The real test file with the most notes.
std::string LargestRealFile() {
    const std::string list = std::string(RETROGRADE_BINARY_DIR) + "/realfiles/files.txt";
    std::ifstream in(list);
    std::string path;
    std::string best;
    std::size_t most = 0;
    while (std::getline(in, path)) {
        const Song song = LoadSong(path);
        if (song.notes > most) {
            most = song.notes;
            best = path;
        }
    }
    return best;
}

Song& RealSong() {
    static Song song = LoadSong(LargestRealFile());
    return song;
}

Song& MadeSong() {
    static Song song = [] {
        const std::string path =
            (std::filesystem::temp_directory_path() / "retrograde-pianoroll-bench.mid").string();
        const Bytes file = DenseSong(27000);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        Song made = LoadSong(path);
        std::filesystem::remove(path);
        return made;
    }();
    return song;
}

constexpr int kWidth = 960;
constexpr int kHeight = 420;

void Paint(PianoRollView& view, QImage& image) {
    view.Canvas()->viewport()->render(&image);
}

void FirstDraw(benchmark::State& state, Song& song) {
    if (!song.shown) {
        state.SkipWithError("no song: fetch the real files (tests/realfiles/fetch.sh)");
        return;
    }
    PianoRollView view;
    view.resize(kWidth, kHeight);
    view.show();
    QImage image(view.Canvas()->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.SetSong(song.loader->GetMidiF0Data(), song.shown.get());
        Paint(view, image);
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["notes"] = double(song.notes);
}

void ScrollStep(benchmark::State& state, Song& song) {
    if (!song.shown) {
        state.SkipWithError("no song: fetch the real files (tests/realfiles/fetch.sh)");
        return;
    }
    PianoRollView view;
    view.resize(kWidth, kHeight);
    view.show();
    view.SetSong(song.loader->GetMidiF0Data(), song.shown.get());
    PianoRollCanvas* canvas = view.Canvas();
    canvas->ZoomBy(4.0, PianoRollCanvas::kKeysWidth);  // a few bars in sight, as when reading
    QImage image(canvas->viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    QScrollBar* bar = canvas->horizontalScrollBar();
    for (auto _ : state) {
        // One wheel notch across, wrapping round at the end.
        bar->setValue(bar->value() + 120 > bar->maximum() ? 0 : bar->value() + 120);
        Paint(view, image);
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["notes"] = double(song.notes);
}

}  // namespace

// The offscreen platform says at every window that it has no window manager.
void QuietOffscreen(QtMsgType, const QMessageLogContext&, const QString&) {}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(QuietOffscreen);
    QApplication app(argc, argv);
    // Registered here, so that the songs are read after the program has started.
    for (const auto& [name, song] :
         {std::pair{"largest_real_file", &RealSong}, std::pair{"made_27000_notes", &MadeSong}}) {
        benchmark::RegisterBenchmark((std::string("FirstDraw/") + name).c_str(),
                                     [song](benchmark::State& state) { FirstDraw(state, song()); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("ScrollStep/") + name).c_str(),
                                     [song](benchmark::State& state) { ScrollStep(state, song()); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
