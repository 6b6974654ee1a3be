#!/usr/bin/env bash
# Installs what building and running need and is missing (Debian 12, as root
# or with sudo), builds the viewer and starts it. Usage:
#   ./run.sh [build-dir] [file.wav...]
# The build folder may be absolute or relative to the current folder (default:
# build beside this script); files named after it open at start, for example
#   ./run.sh build samples/vowel.wav
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

# Checked first: without a display there is nothing to build for.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: run ./run.sh from a graphical session." >&2
    exit 1
fi

build="${1:-$here/build}"
shift || true
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac

"$here/tools/install-deps.sh" run
# The tests stay out: running needs no GoogleTest.
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
cmake --build "$build" -j "$(nproc)" --target fonavid
exec "$build/fonavid" "$@"
