#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root or with sudo), builds the
# viewer and starts it. Usage: ./run.sh [build-dir]
# Then open one of the samples with File, Open (Ctrl+O): samples/vowel.wav,
# samples/chirp.wav or samples/stereo.wav.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ ninja-build pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libgtest-dev libgmock-dev
          fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build="${1:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)" --target fonavid
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: start ./$build/fonavid from a graphical session." >&2
    exit 1
fi
exec "./$build/fonavid"
