#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root or with sudo), builds the
# viewer and starts it. Usage: ./run.sh [build-dir]
# Then open one of the samples with File, Open (Ctrl+O): samples/vowel.wav,
# samples/chirp.wav or samples/stereo.wav.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh

build="${1:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target fonavid
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: start ./$build/fonavid from a graphical session." >&2
    exit 1
fi
exec "./$build/fonavid"
