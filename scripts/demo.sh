#!/usr/bin/env bash
# The main job on the built-in demo payload: builds the native stub, runs it
# without arguments (extract and launch) in a throwaway temporary directory,
# and shows what it left there. Usage: scripts/demo.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc 2>/dev/null || echo 2)" --target vemsetup

temp=$(mktemp -d)
echo "Running build/native/vemsetup with TMPDIR=$temp"
set +e
TMPDIR="$temp" build/native/vemsetup
code=$?
set -e
echo "exit code: $code (1 means success)"

work=$(find "$temp" -mindepth 1 -maxdepth 1 -type d -name 'vem*' | head -n 1)
if [[ -n $work ]]; then
  # The setup entry runs on its own; give it a moment to leave its marker.
  for _ in $(seq 50); do [[ -e $work/Setup.ran ]] && break; sleep 0.1; done
  echo "work directory: $work"
  ls -l "$work"
  [[ -e $work/Setup.ran ]] && echo "entry 0 (Setup.exe) was started: $(cat "$work/Setup.ran")"
fi
[[ $code -eq 1 ]]
