#!/usr/bin/env bash
# The library as another program sees it: installed into a scratch prefix,
# shared and static, then the examples built against the installed package
# with their own CMake project (and once through pkg-config) and run on the
# demo song. The shared core must export no detail/ helper.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
scratch=$PWD/build-package
rm -rf "$scratch"
mkdir -p "$scratch"
build/cli/retrograde demo -o "$scratch/demo.mid" --force >/dev/null

for kind in shared static; do
    prefix=$scratch/prefix-$kind
    # The static libraries are those of the main build; the shared ones need
    # their own.
    built=build
    if [ "$kind" = shared ]; then
        built=$scratch/lib-shared
        cmake -S . -B "$built" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
              -DBUILD_SHARED_LIBS=ON -DRETROGRADE_TESTS=OFF -DRETROGRADE_BENCH=OFF \
              -DRETROGRADE_GUI=OFF -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
        cmake --build "$built" -j "$jobs" --target retrograde_core retrograde_playback_package
    fi
    cmake --install "$built" --component core --prefix "$prefix" >/dev/null
    cmake --install "$built" --component playback --prefix "$prefix" >/dev/null
    if find "$prefix/include" -path '*/detail/*' ! -name PlaybackState.h | grep .; then
        echo "package: detail headers installed"; exit 1
    fi

    cmake -S examples -B "$scratch/examples-$kind" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
    cmake --build "$scratch/examples-$kind" -j "$jobs"
    export LD_LIBRARY_PATH=$prefix/lib
    bin=$scratch/examples-$kind
    "$bin/mirror_file" "$scratch/demo.mid" "$scratch/mirrored-$kind.mid"
    "$bin/edit_track" "$scratch/demo.mid" "$scratch/edited-$kind.mid" 3
    "$bin/tempo_and_chords" "$scratch/demo.mid"
    # What the examples wrote reads back as a song.
    build/cli/retrograde info "$scratch/mirrored-$kind.mid" >/dev/null
    build/cli/retrograde info "$scratch/edited-$kind.mid" >/dev/null
done

lib=$scratch/prefix-shared/lib/libretrograde.so
# (the standard library's code stays inside: every user instantiates its own)
if nm -DC --defined-only "$lib" | grep -E 'detail| [A-Za-z] ([^ (]+ )?std::'; then
    echo "package: $lib exports helpers beyond its interface"; exit 1
fi
echo "package: $(nm -D --defined-only "$lib" | wc -l) symbols exported by libretrograde.so"

# Without CMake: the flags from pkg-config.
export PKG_CONFIG_PATH=$scratch/prefix-shared/lib/pkgconfig
# shellcheck disable=SC2046
c++ -o "$scratch/mirror_file-pc" examples/mirror_file.cpp $(pkg-config --cflags --libs retrograde)
LD_LIBRARY_PATH=$scratch/prefix-shared/lib "$scratch/mirror_file-pc" "$scratch/demo.mid" "$scratch/pc.mid"
cmp "$scratch/pc.mid" "$scratch/mirrored-shared.mid"
echo "package: installed, examples built and run (shared, static, pkg-config)"
