#!/usr/bin/env bash
# The playback tests under ThreadSanitizer: the play thread, the timer thread,
# stops from other threads and the shared flags between them. Builds only
# what those tests need, in build-tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRETROGRADE_SANITIZE=thread \
      -DRETROGRADE_BENCH=OFF -DRETROGRADE_GUI=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target test_playback
# JACK, RtMidi and FluidSynth (with its OpenMP threads) are not instrumented:
# the synchronisation inside them is invisible to the sanitizer, so the tests
# that run them (real ports, the synthesizer, the program) stay out.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
    build-tsan/tests/test_playback --gtest_filter='-JackPorts.*:MidiOutput.*:Render.*:CliPlayback.*'
