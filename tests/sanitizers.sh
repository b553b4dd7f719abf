#!/usr/bin/env bash
# The whole test suite again under AddressSanitizer (leaks included) with
# UndefinedBehaviorSanitizer, window tests too.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRETROGRADE_SANITIZE=address,undefined \
      -DRETROGRADE_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
# The real files once, before the suites that read them run side by side.
tests/realfiles/fetch.sh "$PWD/build-asan/realfiles"
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
