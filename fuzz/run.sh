#!/usr/bin/env bash
# Builds fuzz_document_load with clang-14 and runs one bounded session.
# Usage: fuzz/run.sh SECONDS [build-dir]
# Fails on any finding; a finding's input is also saved as hex text in
# fuzz/regressions/, where the replay test of the ordinary suite picks it up.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:?usage: fuzz/run.sh SECONDS [build-dir]}"
build="${2:-build-fuzz}"

missing=()
for p in clang-14 libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFONAVID_FUZZ=ON >/dev/null
nice cmake --build "$build" --target fuzz_document_load fuzz_wav_seeds

work="$build/fuzz-session"
rm -rf "$work/seeds" "$work/findings"
mkdir -p "$work/seeds" "$work/corpus" "$work/findings"
"$build/fuzz/fuzz_wav_seeds" "$work/seeds"

status=0
QT_QPA_PLATFORM=offscreen "$build/fuzz/fuzz_document_load" \
    -dict=fuzz/wav_reader.dict -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/findings/" -print_final_stats=1 \
    "$work/corpus" "$work/seeds" 2>&1 | tee "$work/log.txt" | grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|stat::|==|fuzz_document_load:|SUMMARY)' || true
if grep -qE 'ERROR: libFuzzer|ERROR: AddressSanitizer|runtime error|fuzz_document_load: ' "$work/log.txt"; then status=1; fi
for finding in "$work"/findings/*; do
    [ -e "$finding" ] || continue
    status=1
    name="$(basename "$finding")"
    od -An -v -tx1 "$finding" | tr -s ' \n' ' ' | fold -w 96 > "fuzz/regressions/$name.hex"
    echo "finding saved as fuzz/regressions/$name.hex"
done
echo "corpus files: $(find "$work/corpus" -type f | wc -l)"
exit $status
