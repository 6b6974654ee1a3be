#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root), configures, builds and runs
# every test, with warnings as errors. Usage: ./test.sh [build-dir] [extra cmake options...]
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh test

build="${1:-build}"
shift || true
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON -DFONAVID_WERROR=ON "$@"
cmake --build "$build" -j "$(nproc)"

# The playback tests play through a real sound server: a private one with a
# null sink, stopped again whatever way the tests end. Without one they skip
# and say why.
sound="$(mktemp -d "${TMPDIR:-/tmp}/fonavid-sound.XXXXXX")"
trap 'tools/sound-server.sh stop "$sound"' EXIT
if server="$(tools/sound-server.sh start "$sound")"; then
    export PULSE_SERVER="$server"
else
    echo "No sound server could be started: the playback tests will be skipped" >&2
    export PULSE_SERVER="unix:$sound/none"
fi
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
