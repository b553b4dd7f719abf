#!/usr/bin/env bash
# The API reference of the installed headers: Doxygen over them, failing on any
# warning (an undocumented public declaration among them). Writes build/docs/html.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v doxygen >/dev/null; then
    echo "docs: doxygen is not installed (apt-get install doxygen)" >&2
    exit 1
fi
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja >/dev/null
# A build directory configured before doxygen was installed lacks the target.
cmake --build build --target help | grep '^docs:' >/dev/null || cmake build >/dev/null
cmake --build build --target docs
test -f build/docs/html/index.html
