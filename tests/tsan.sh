#!/usr/bin/env bash
# The playback and window tests under ThreadSanitizer: the play thread, the
# timer thread, stops from other threads, reports queued to the window, and
# the shared flags between them. Builds only what those tests need, in build-tsan.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRETROGRADE_SANITIZE=thread \
      -DRETROGRADE_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target test_playback test_app retrograde
# The real files, for the window's picture of a song playing.
tests/realfiles/fetch.sh "$PWD/build-tsan/realfiles"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/tests/tsan.supp ${TSAN_OPTIONS:-}"
# JACK, RtMidi and FluidSynth are not instrumented: the synchronisation inside
# them is invisible to the sanitizer, so the tests on real ports stay out.
build-tsan/tests/test_playback --gtest_filter='-JackPorts.*:MidiOutput.*'
QT_QPA_PLATFORM=offscreen build-tsan/tests/test_app --gtest_filter='-*DeviceList*'
