#!/usr/bin/env bash
# Runs every test on a fresh Debian machine: installs what is missing, then
# the native suite, the Windows build under Wine, the sanitizer build and a
# short fuzzing pass. Usage: scripts/test.sh
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
step() { printf '\n==== %s ====\n' "$*"; }

step "Dependencies"
scripts/install-deps.sh native win32 fuzz

step "Windows build (mingw-w64 i686)"
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs"

step "Native build and tests (Wine end-to-end tests included)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

step "AddressSanitizer and UBSan build and tests"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs" -LE wine

if [[ -x scripts/fuzz.sh ]]; then
  step "Fuzzing (short)"
  scripts/fuzz.sh 5
fi
