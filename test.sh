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
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
