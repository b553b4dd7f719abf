#!/usr/bin/env bash
# Fetches real MIDI files for the tests: the examples and groove libraries of
# Debian's mma package and the music of openttd-openmsx, downloaded with
# apt-get and unpacked with dpkg -x into DEST (nothing is installed).
#   tests/realfiles/fetch.sh DEST
# Writes DEST/files.txt (one path a line) and DEST/.complete; a second run
# finds them and does nothing. Exits non-zero, saying why, when it fails.
set -euo pipefail
dest=${1:?usage: fetch.sh DEST}
packages=(mma openttd-openmsx)

if [ -f "$dest/.complete" ]; then
    exit 0
fi
mkdir -p "$dest/debs"
cd "$dest/debs"

download() { apt-get download "${packages[@]}" >download.log 2>&1; }
if ! download; then
    # The package lists may be missing on a fresh machine: refresh them once.
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq >>download.log 2>&1 || true
    elif command -v sudo >/dev/null; then
        sudo -n apt-get update -qq >>download.log 2>&1 || true
    fi
    if ! download; then
        echo "fetch.sh: could not download ${packages[*]} with apt-get:" >&2
        tail -5 download.log >&2
        exit 1
    fi
fi

rm -rf "$dest/tree"
for deb in ./*.deb; do
    dpkg -x "$deb" "$dest/tree"
done
find "$dest/tree" -type f \( -iname '*.mid' -o -iname '*.midi' \) | LC_ALL=C sort >"$dest/files.txt"
count=$(wc -l <"$dest/files.txt")
if [ "$count" -eq 0 ]; then
    echo "fetch.sh: the packages held no MIDI files" >&2
    exit 1
fi
touch "$dest/.complete"
echo "fetch.sh: $count MIDI files in $dest"
