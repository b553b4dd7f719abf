#!/usr/bin/env bash
# The API reference of the installed headers: Doxygen over them, failing on any
# warning (an undocumented public declaration among them). Writes build/docs/html.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/CMakeCache.txt ] || cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target docs
test -f build/docs/html/index.html
