#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Fonavid
# need, when they are missing (as root, or through sudo).
set -euo pipefail

# Playback: Qt Multimedia (its audio sink talks to PulseAudio, or to PipeWire
# through pipewire-pulse, with libpulse; no media plugin is needed for it),
# libsoxr for rates the device does not take, the SVG icon engine for the
# play icons, and a PulseAudio server that the tests start with a null sink.
packages=(cmake g++ make ninja-build pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev libgtest-dev
          libgmock-dev libbenchmark-dev libfftw3-dev ccache desktop-file-utils fonts-dejavu-core valgrind locales
          qt6-multimedia-dev libsoxr-dev libqt6svg6 pulseaudio pulseaudio-utils)
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
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    echo "Compiling the ru_RU.UTF-8 locale"
    $SUDO localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
