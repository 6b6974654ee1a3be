#!/usr/bin/env bash
# A packager's configuration: BUILD_TESTING=OFF with GoogleTest made
# unfindable must configure, and must leave the test program out.
# Usage: no-tests-configure-test.sh CMAKE SOURCE-DIR
set -euo pipefail
cmake="$1" source="$2"
build="$(mktemp -d "${TMPDIR:-/tmp}/fonavid-notests.XXXXXX")"
trap 'rm -rf "$build"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

"$cmake" -S "$source" -B "$build" -G Ninja -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
    > "$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; fail "configuring without tests failed"; }
targets="$("$cmake" --build "$build" -- -t targets all)"
grep -q '^fonavid:' <<< "$targets" || fail "the program fonavid is not built"
if grep -q '^fonavid_tests:' <<< "$targets"; then fail "the test program is still built"; fi
echo "configured without tests and without GoogleTest"
