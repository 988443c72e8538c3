#!/usr/bin/env bash
# Runs every test on a fresh Debian machine: installs what is missing, then
# the native suite, both Windows builds (under Wine where this machine runs
# them), the sanitizer build and a short fuzzing pass. Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
step() { printf '\n==== %s ====\n' "$*"; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT

step "Dependencies"
scripts/install-deps.sh native win32 fuzz

# Both Windows builds are made on every machine; the Wine tests then run
# each one this machine can run and report the other's as skipped.
for preset in win32 win64; do
  step "Windows build $preset (mingw-w64 $([[ $preset == win32 ]] && echo i686 || echo x86-64))"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# A failing test run does not stop the script, so that the closing line
# always counts every test; the exit status says whether all went well.
status=0
step "Native build and tests (Wine end-to-end tests included)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" | tee -a "$log" || status=1
# Why a Windows build did not run under Wine here, if one did not.
grep -h '^Skipped: .* does not run here' build/native/Testing/Temporary/LastTest.log 2>/dev/null || true

step "AddressSanitizer and UBSan build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" -LE wine | tee -a "$log" || status=1

if [[ -x scripts/fuzz.sh ]]; then
  step "Fuzzing (short)"
  scripts/fuzz.sh 5 || status=1
fi

# One closing line for the whole run, summed over both ctest runs (skipped
# tests count as neither).
awk '/tests passed, .* tests failed out of/ {
       total += $NF; failed += $4
     }
     /\*\*\*Skipped/ { skipped++ }
     END { printf "all: %d passed, %d failed, %d skipped\n", total - failed - skipped, failed, skipped }' "$log"
exit "$status"
