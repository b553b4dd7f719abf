#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, builds, and then runs one job:
#   ./build.sh            build only
#   ./build.sh demo       mirror the bundled demo song into retrograde-demo.mid
#   ./build.sh test       run every test: unit and end-to-end, then the sanitizer
#                         builds and a short run of each fuzz target
set -euo pipefail
cd "$(dirname "$0")"
job=${1:-build}

packages=(build-essential cmake ninja-build pkg-config git
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
          qt6-base-dev librtmidi-dev libfluidsynth-dev timgm6mb-soundfont
          jackd2 python3 python3-mido midicsv xvfb xauth gettext
          clang libclang-rt-14-dev doxygen
          fonts-vlgothic)  # the library's messages are Japanese: the window needs a font for them
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    # jackd2 asks about realtime priority; the default answer suits us.
    echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections 2>/dev/null || true
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
werror=OFF; [ -n "${CI:-}" ] && werror=ON
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRETROGRADE_WERROR=$werror >/dev/null
cmake --build build -j "$jobs"

case "$job" in
build) ;;
demo)
    build/cli/retrograde demo --force
    ;;
test)
    # Real MIDI files for the tests (Debian's mma and openttd-openmsx, unpacked,
    # not installed); a failure to fetch them stops the run here, loudly.
    tests/realfiles/fetch.sh "$PWD/build/realfiles"
    ctest --test-dir build --output-on-failure -j "$jobs"
    ./tests/sanitizers.sh   # every suite under AddressSanitizer + UndefinedBehaviorSanitizer
    ./tests/tsan.sh         # playback and window under ThreadSanitizer
    ./tests/fuzz.sh         # each libFuzzer target for half a minute
    ./tests/package.sh      # installed, shared and static; the examples built against it
    ./tests/docs.sh         # the API reference, failing on any Doxygen warning
    ;;
*)
    echo "usage: ./build.sh [build|demo|test]" >&2
    exit 2
    ;;
esac
