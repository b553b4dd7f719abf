// Playing from the command line: the song goes to the player front end as the
// window hands it over, the terminal shows the time, Ctrl-C stops cleanly.
#ifdef RETROGRADE_HAVE_PLAYBACK

#include "PlaybackSupport.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <thread>

#include "CliSupport.h"
#include "General/GeneralMac.h"
#include "midi/song/MidiF0Data.h"
#include "midi/song/SongPipeline.h"
#include "playback/MidiDestinations.h"
#include "playback/MidiPlayer.h"
#include "playback/StaticMusicPlayer.h"
#include "playback/StopCallback.h"

namespace {

std::atomic<bool> interrupted{false};
std::atomic<bool> ended{false};

extern "C" void OnInterrupt(int) {
    interrupted.store(true);
}
void OnEnd() {
    ended.store(true);
}

// Ctrl-C and termination ask for a clean stop while a song plays; a second
// Ctrl-C ends the program at once.
class InterruptGuard {
public:
    InterruptGuard() {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &old_int_);
        sigaction(SIGTERM, &action, &old_term_);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &old_int_, nullptr);
        sigaction(SIGTERM, &old_term_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction old_int_ {};
    struct sigaction old_term_ {};
};

// The one updating line on a terminal; library messages that arrive while
// it shows are written on lines of their own above it.
class TimeLine {
public:
    explicit TimeLine(bool terminal) : terminal_(terminal) {
        previous_ = GneSetMessageSink([this](std::string_view text) {
            std::lock_guard lock(mutex_);
            if (terminal_) std::fputs("\r\033[K", stdout);
            std::fflush(stdout);
            std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
            if (terminal_) std::fputs(line_.c_str(), stdout);
            std::fflush(stdout);
        });
    }
    ~TimeLine() { GneSetMessageSink(std::move(previous_)); }
    TimeLine(const TimeLine&) = delete;
    TimeLine& operator=(const TimeLine&) = delete;

    void Show(const std::string& line) {
        std::lock_guard lock(mutex_);
        line_ = line;
        if (!terminal_) return;
        std::printf("\r\033[K%s", line_.c_str());
        std::fflush(stdout);
    }
    void Finish(const std::string& line) {
        std::lock_guard lock(mutex_);
        line_.clear();
        std::printf(terminal_ ? "\r\033[K%s\n" : "%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    bool terminal_;
    std::mutex mutex_;
    std::string line_;
    GneMessageSink previous_;
};

}  // namespace

int PlayUntilEnd(MidiF0Data* song, int item, const std::string& title) {
    const auto items = MidiDeviceList();
    if (item < 0 || item >= static_cast<int>(items.size())) {
        throw CliFailure("there is no output " + std::to_string(item) +
                         " (`retrograde ports` lists them)");
    }
    const double total =
        static_cast<double>(MidiPlayer::GetPlayMicros(MakePlayCopy(song).get())) / 1e6;
    const InterruptGuard guard;
    TimeLine line(isatty(STDOUT_FILENO) == 1);
    interrupted = false;
    ended = false;
    SetStopCallback(OnEnd, nullptr);
    MusicPlayer.SetDestination(item - 1);
    std::printf("%s on %s\n", title.c_str(), items[static_cast<std::size_t>(item)].c_str());
    std::fflush(stdout);
    if (song->Play() != 0) throw CliFailure("the play thread could not be started");

    const auto start = std::chrono::steady_clock::now();
    bool started = false;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const bool exists = MusicPlayer.IsPlayerExist();
        started = started || exists;
        if (interrupted.load() || ended.load()) break;
        // A sequencer that could not be set up leaves the thread idle at once.
        if (MusicPlayer.idle.load() == 1 && !exists) break;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        line.Show(SongTimeText(std::min(elapsed, total)) + " / " + SongTimeText(total));
    }
    const bool stopped = interrupted.load();
    // Stops the sequencer (its notes silenced, its ports closed) and waits
    // until the play thread has let go of the song.
    song->Stop();
    StaticMusicPlayer::WaitFor([] { return MusicPlayer.idle.load() == 1; },
                               std::chrono::seconds(5));
    SetStopCallback(nullptr, nullptr);
    if (stopped) {
        line.Finish("stopped");
        return 130;
    }
    if (!started && !ended.load()) throw CliFailure("the song could not be played");
    line.Finish(SongTimeText(total) + " / " + SongTimeText(total) + "  done");
    return 0;
}

#endif  // RETROGRADE_HAVE_PLAYBACK
