// A JACK server of the test's own (jackd --no-realtime -d dummy): real MIDI
// ports on a machine without sound hardware. While it lives the program's
// MIDI system is that server; it is stopped at destruction, and dies with
// the test process if that ends first.
#pragma once

#include <sys/types.h>

#include <string>

class JackServer {
public:
    JackServer();
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    static bool Installed();  // jackd can be found
    bool Ready() const { return ready_; }

private:
    std::string name_;
    pid_t pid_ = -1;
    bool ready_ = false;
};
