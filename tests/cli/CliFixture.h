// Helpers for the command-line tests: running `retrograde`, and reading its
// files back with an independent reader (mido under /usr/bin/python3) and
// with the library, as plain notes to compare.
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>

#include "midi/song/MidiFileLoader.h"
#include "song/MirrorFixture.h"
#include "support/TestEvents.h"

namespace cli_test {

// `retrograde` with the given (already quoted) arguments.
inline RunResult Retrograde(const std::string& arguments, const std::string& folder = "") {
    return RunShell(Quote(RETROGRADE_CLI) + " " + arguments, folder);
}

// A folder of the test's own, the song in it as in.mid.
struct SongDir : TempDir {
    explicit SongDir(const Bytes& song) { WriteBytes(in, song); }
    const std::string in = File("in.mid");
};

// `retrograde` with the given arguments, which is to succeed.
inline RunResult RetrogradeOk(const std::string& arguments, const std::string& folder = "") {
    const RunResult run = Retrograde(arguments, folder);
    EXPECT_EQ(run.status, 0) << arguments << ": " << run.err;
    return run;
}

// `retrograde verb in -o out` (the verb with its options), which is to succeed.
inline RunResult Written(const std::string& verb, const std::string& in, const std::string& out,
                         const std::string& folder = "") {
    return RetrogradeOk(verb + " " + Quote(in) + " -o " + Quote(out), folder);
}

// Passes when text holds part; a failure shows the whole text.
inline testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// The real MIDI files of Debian's mma and openttd-openmsx packages, fetched
// once into the build folder, or why they could not be.
struct RealFiles {
    std::vector<std::string> files;
    std::string error;  // empty when fetched
};
inline RealFiles FetchRealFiles() {
    const std::string folder = std::string(RETROGRADE_BINARY_DIR) + "/realfiles";
    const RunResult fetch =
        RunShell(Quote(std::string(RETROGRADE_SOURCE_DIR) + "/tests/realfiles/fetch.sh") + " " +
                 Quote(folder));
    if (fetch.status != 0) return {{}, fetch.out + fetch.err};
    return {SplitLines(ReadText(folder + "/files.txt")), ""};
}

// In a test: files becomes the real files. Without them a test proves
// nothing, so it fails; only an explicit offline run (RETROGRADE_OFFLINE)
// skips it knowingly.
#define REQUIRE_REAL_FILES(files)                                                     \
    const RealFiles real_files = FetchRealFiles();                                    \
    if (!real_files.error.empty() && std::getenv("RETROGRADE_OFFLINE") != nullptr)    \
        GTEST_SKIP() << "offline and no real files: " << real_files.error;            \
    ASSERT_TRUE(real_files.error.empty())                                             \
        << "THE REAL MIDI FILES (Debian packages mma, openttd-openmsx) COULD NOT BE " \
           "FETCHED; set RETROGRADE_OFFLINE=1 to skip knowingly. "                    \
        << real_files.error;                                                          \
    std::vector<std::string> files = real_files.files;                                \
    ASSERT_GE(files.size(), 50u) << "fewer MIDI files than those packages ship"

// A Standard MIDI File of the given track bodies, each ended there: format 0
// for one track, else 1.
inline Bytes SongFile(const std::vector<Bytes>& tracks, int division = 480) {
    Bytes file = HeaderChunk(tracks.size() == 1 ? 0 : 1, int(tracks.size()), division);
    for (const Bytes& body : tracks) file = Concat({file, TrackChunk(Concat({body, smf::Eot(0)}))});
    return file;
}

// Runs one of the Python scripts beside these tests over the files.
inline RunResult RunScript(const std::string& script, const std::vector<std::string>& paths) {
    std::string arguments;
    for (const std::string& path : paths) arguments += " " + Quote(path);
    const RunResult run =
        RunShell("/usr/bin/python3 " +
                 Quote(std::string(RETROGRADE_SOURCE_DIR) + "/tests/cli/" + script) + arguments);
    EXPECT_EQ(run.status, 0) << script << " could not run (python3-mido missing?): " << run.err;
    return run;
}

// What mido saw in one file: the header, notes and tempos midi_notes.py
// prints, and every line a script printed, as words under their first word.
struct MidoView {
    bool ok = false;
    std::string error;
    int format = -1;
    int tracks = 0;
    int division = 0;
    int note_ons = 0;
    Notes notes;                                    // sorted
    std::vector<std::pair<long long, int>> tempos;  // tick and tempo, in effect order
    double seconds = 0;  // from the first note's start to the last note's end
    long end = 0;        // midi_events.py: the tick of the last end of track
    std::multimap<std::string, std::vector<std::string>> rows;

    // The lines of a kind as numbers, sorted.
    std::vector<std::vector<long>> Numbers(const std::string& kind) const {
        std::vector<std::vector<long>> out;
        for (auto [i, last] = rows.equal_range(kind); i != last; ++i) {
            out.emplace_back();
            for (const std::string& word : i->second) out.back().push_back(std::atol(word.c_str()));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    bool Has(const std::string& kind, const std::vector<std::string>& words) const {
        for (auto [i, last] = rows.equal_range(kind); i != last; ++i)
            if (i->second == words) return true;
        return false;
    }
};

// Reads every file with mido in one run of the system's Python (where
// Debian's python3-mido lives; another python3 may come first on PATH).
inline std::map<std::string, MidoView> ReadWithMido(const std::vector<std::string>& paths,
                                                    const std::string& script = "midi_notes.py") {
    std::map<std::string, MidoView> views;
    if (paths.empty()) return views;
    MidoView* view = nullptr;
    for (const std::string& line : SplitLines(RunScript(script, paths).out)) {
        std::istringstream in(line);
        std::string kind, word;
        std::vector<std::string> w;
        in >> kind;
        while (in >> word) w.push_back(word);
        if (kind == "FILE") view = &views[line.substr(5)];
        if (kind == "FILE" || view == nullptr) continue;
        // midi_events.py: edited songs pass through Q2, where a note lasts a
        // tick at least.
        if (kind == "NOTE" && w.size() == 4 && w[3] == "0") w[3] = "1";
        view->rows.insert({kind, w});
        const auto n = [&](std::size_t k) { return std::atol(w.at(k).c_str()); };
        if (kind == "ERROR") view->error = line;
        if (kind == "HEADER") {
            view->ok = true;
            std::tie(view->format, view->tracks, view->division) = std::tuple(n(0), n(1), n(2));
        }
        if (kind == "DIVISION") view->division = int(n(0));
        if (kind == "END") view->end = n(0);
        if (kind == "NOTE" && w.size() == 5)
            view->notes.push_back({n(0), int(n(1)), int(n(2)), int(n(3)), int(n(4))});
        if (kind == "TEMPO") view->tempos.push_back({n(0), int(n(1))});
        if (kind == "ONS") view->note_ons = int(n(0));
        if (kind == "SPAN") view->seconds = std::atof(w.at(0).c_str());
    }
    return views;
}

inline MidoView ReadWithMido(const std::string& path) {
    return ReadWithMido(std::vector<std::string>{path})[path];
}

// A song loaded as the program loads it, merged into one Q2 track.
inline std::unique_ptr<MidiFileLoader> LoadSong(const std::string& path) {
    auto loader = std::make_unique<MidiFileLoader>(path.c_str());
    if (loader->GetMidiF1Data()) loader->SetMidiF0Data();
    return loader;
}

// The notes the mirror must write for a file: horizontally each note [s, e)
// becomes [L - e, L - s) (L: the last event before the end of track in Q1
// form); vertically each melodic channel turns about its octave pivot.
// Neither: the notes the file holds, in the pairing every Standard MIDI File
// reader makes (first on with first off).
inline Notes ExpectedMirror(const std::string& path, bool horizontal, bool vertical) {
    auto loader = LoadSong(path);
    if (!loader->GetMidiF0Data()) return {};
    MidiF0Data copy(loader->GetMidiF0Data());
    mirror_test::Normalise(copy);
    const Notes notes = NotesOf(*copy.GetTrack());
    if (!horizontal && !vertical) return notes;
    copy.Q2toQ1();
    return mirror_test::Mirrored(notes, *copy.GetTrack(),
                                 mirror_test::LastEventTime(*copy.GetTrack()), horizontal,
                                 vertical);
}

inline Notes NotesOfFile(const std::string& path) {
    return ExpectedMirror(path, false, false);
}

}  // namespace cli_test
