#!/usr/bin/env bash
# Installs the Debian 12 packages Fonavid needs, when they are missing (as
# root, or through sudo). Usage: tools/install-deps.sh [run|test]
#   run   what building and running the programs need (./run.sh)
#   test  that and the test tool chain (./test.sh, CI); the default
set -euo pipefail
set_name="${1:-test}"

# Building and running: compiler, CMake, Qt (the SVG icon engine draws the
# toolbar icons, Qt's translations make its own dialogs Russian), fonts, and
# playback: Qt Multimedia (its audio sink talks to PulseAudio, or to PipeWire
# through pipewire-pulse, with libpulse; no media plugin is needed for it)
# and libsoxr for rates the device does not take.
run_packages=(
    cmake g++ make ninja-build pkg-config ccache
    qt6-base-dev qt6-qpa-plugins libgl-dev
    libqt6svg6
    qt6-translations-l10n
    fonts-dejavu-core
    qt6-multimedia-dev libsoxr-dev
)
# Testing on top of that: GoogleTest, benchmarks and their FFT baseline,
# memory checking, the validators of the desktop entry and the AppStream
# data, the Russian locale the number-format tests switch to, and a
# PulseAudio server that the playback tests start with a null sink, and
# NumPy, with which a test loads the renderer's NumPy files.
test_packages=(
    libgtest-dev libgmock-dev
    libbenchmark-dev libfftw3-dev
    valgrind
    desktop-file-utils appstream
    locales
    pulseaudio pulseaudio-utils
    python3-numpy
)

case "$set_name" in
    run) packages=("${run_packages[@]}") ;;
    test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
    *) echo "Usage: $0 [run|test]" >&2; exit 2 ;;
esac

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The interface speaks Russian: the tests check that numbers keep their decimal
# point under a Russian locale, so one is compiled when the system has none.
if [ "$set_name" = test ] && ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    echo "Compiling the ru_RU.UTF-8 locale"
    $SUDO localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
