// A JACK server of the test's own (jackd --no-realtime -d dummy): real MIDI
// ports on a machine without sound hardware. While it lives the program's
// MIDI system is that server; it is stopped at destruction, and dies with
// the test process if that ends first.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "playback/MidiDestinations.h"
#include "playback/detail/MidiSystem.h"

class JackServer {
public:
    JackServer() : name_("retrograde-test-" + std::to_string(getpid())) {
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // no server outlives a crashed test
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            // Synchronous, with a long client timeout: on a loaded machine (the
            // sanitizer runs) a late client's messages would otherwise be dropped.
            execlp("jackd", "jackd", "-n", name_.c_str(), "--no-realtime", "--sync", "-t", "5000",
                   "-d", "dummy", "-r", "48000", "-p", "256", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (pid_ < 0) return;
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        setenv("RETROGRADE_MIDI_API", "jack", 1);
        setenv("RETROGRADE_AUDIO", "none", 1);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;  // it ended at once: no server
                return;
            }
            if (retrograde::detail::ProbeMidiSystem() == retrograde::detail::MidiSystemKind::Jack) {
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        MIDIRefreshDestinations();
    }
    ~JackServer() {
        unsetenv("JACK_DEFAULT_SERVER");
        unsetenv("RETROGRADE_MIDI_API");
        unsetenv("RETROGRADE_AUDIO");
        MIDIRefreshDestinations();
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    static bool Installed() {
        return access("/usr/bin/jackd", X_OK) == 0 || access("/usr/local/bin/jackd", X_OK) == 0;
    }  // jackd can be found
    bool Ready() const { return ready_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool ready_ = false;
};
