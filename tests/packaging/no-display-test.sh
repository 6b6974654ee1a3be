#!/usr/bin/env bash
# The viewer answers --help and --version on the terminal with an empty
# environment: no display, no Qt platform chosen.
# Usage: no-display-test.sh FONAVID VERSION
set -euo pipefail
program="$1" version="$2"
fail() { echo "FAILED: $*" >&2; exit 1; }

out="$(env -i "$program" --version)" || fail "--version exited $?"
[ "$out" = "fonavid $version" ] || fail "--version printed '$out'"
out="$(env -i "$program" --help)" || fail "--help exited $?"
case "$out" in "Использование: fonavid "*"--version"*) ;; *) fail "--help printed '$out'" ;; esac
# -h too, and help wins over a file named beside it.
out="$(env -i "$program" some.wav -h)" || fail "-h exited $?"
case "$out" in "Использование: fonavid "*) ;; *) fail "-h printed '$out'" ;; esac
# An unknown option is told as such, not as a missing display.
status=0
err="$(env -i "$program" --bogus 2>&1 >/dev/null)" || status=$?
[ "$status" -eq 1 ] || fail "--bogus exited $status: $err"
[ "$err" = "$(printf 'Неизвестный параметр: --bogus\nСправка: fonavid --help')" ] || fail "--bogus said '$err'"
echo "help, version and an unknown option answered without a display"
