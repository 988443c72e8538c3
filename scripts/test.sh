#!/usr/bin/env bash
# Runs every test on a fresh Debian machine: installs what is missing, then
# the native suite, the Windows build under Wine, the sanitizer build and a
# short fuzzing pass. Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
step() { printf '\n==== %s ====\n' "$*"; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT

step "Dependencies"
scripts/install-deps.sh native win32 fuzz

step "Windows build (mingw-w64 i686)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

step "Native build and tests (Wine end-to-end tests included)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs" | tee -a "$log"

step "AddressSanitizer and UBSan build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" -LE wine | tee -a "$log"

if [[ -x scripts/fuzz.sh ]]; then
  step "Fuzzing (short)"
  scripts/fuzz.sh 5
fi

# One closing line for the whole run, summed over both ctest runs (skipped
# tests count as neither).
awk '/tests passed, .* tests failed out of/ {
       total += $NF; failed += $4
     }
     /\*\*\*Skipped/ { skipped++ }
     END { printf "all: %d passed, %d failed, %d skipped\n", total - failed - skipped, failed, skipped }' "$log"
