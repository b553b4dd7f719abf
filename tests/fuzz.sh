#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined sanitizers)
# and runs each for FUZZ_SECONDS (default 30) from its seed corpus: the
# hostile-input cases and a few valid songs. A crash fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
jobs=$(nproc)
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRETROGRADE_FUZZ=ON \
      -DRETROGRADE_SANITIZE=address,undefined -DRETROGRADE_TESTS=ON -DRETROGRADE_BENCH=OFF \
      -DRETROGRADE_GUI=OFF -DRETROGRADE_PLAYBACK=OFF >/dev/null
targets=(fuzz_track_decode fuzz_f0_song fuzz_f1_song fuzz_change_format fuzz_mirror fuzz_track_ops fuzz_chord_name fuzz_pianoroll)
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}" test_hostile retrograde

# Seeds: every hostile case, the demo song and its mirrors.
seeds=build-fuzz/seeds
rm -rf "$seeds" && mkdir -p "$seeds"
RETROGRADE_WRITE_SEEDS="$seeds" build-fuzz/tests/test_hostile --gtest_brief=1 >/dev/null
for flags in "" "-H" "-V" "-H -V"; do
    build-fuzz/cli/retrograde demo $flags -o "$seeds/demo${flags// /}.mid" --force >/dev/null
done

status=0
for t in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$t
    mkdir -p "$corpus"
    echo "== $t: ${seconds}s"
    if ! build-fuzz/fuzz/$t "$corpus" "$seeds" -dict=fuzz/dict/smf.dict -max_total_time="$seconds" \
         -rss_limit_mb=2048 -timeout=5 -max_len=${FUZZ_MAX_LEN:-32768} -print_final_stats=1 -artifact_prefix=build-fuzz/"$t"- \
         2>build-fuzz/$t.log; then
        echo "$t FAILED:"; tail -60 build-fuzz/$t.log; status=1
    else
        grep -E 'stat::number_of_executed_units|stat::peak_rss_mb|cov:' build-fuzz/$t.log | tail -3
    fi
done
exit $status
