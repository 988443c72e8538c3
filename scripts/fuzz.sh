#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan) into build/fuzz
# and runs each for SECONDS (default 60). Reports the executions and the
# findings of every target; exits nonzero when any target found something.
# Usage: scripts/fuzz.sh [SECONDS]
#
# Each target starts from its working corpus (fuzz/corpus-work/<target>,
# git-ignored, where new inputs are kept between runs), the checked-in
# corpus fuzz/corpus/<target> and the seeds that scripts/fuzz-seeds.sh
# writes. Findings are saved as build/fuzz/findings/<target>/crash-* (or
# leak-, timeout-, oom-); run the target on such a file to see it again:
#   build/fuzz/package_archive_fuzzer build/fuzz/findings/package_archive/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "usage: $0 [SECONDS]" >&2
  exit 2
fi
targets=(command_line lzma_stage package_archive pe_image)
build=build/fuzz
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null

seeds=fuzz/corpus-work/seeds
rm -rf "$seeds"
scripts/fuzz-seeds.sh "$build/tools/vempack" "$seeds"

# Readable stacks need llvm-symbolizer; Debian's llvm-14 keeps it here.
if ! command -v llvm-symbolizer >/dev/null && [[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# The targets' scratch directories; a target stopped by a finding leaves its
# own behind, so they live in the build tree and are cleared on each run.
export TMPDIR=$PWD/$build/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

failed=0
report=()
for target in "${targets[@]}"; do
  corpus=fuzz/corpus-work/$target
  findings=$build/findings/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  rm -f "$findings"/{crash,leak,timeout,oom}-*
  printf 'fuzzing %s for %s s ...\n' "$target" "$seconds"
  # The first directory receives the new inputs; the others are only read.
  inputs=("$corpus")
  for directory in "fuzz/corpus/$target" "$seeds/$target"; do
    [[ -d $directory ]] && inputs+=("$directory")
  done
  status=0
  "$build/${target}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=20 \
    -rss_limit_mb=2048 -use_value_profile=1 -dict="fuzz/dictionaries/$target.dict" \
    -artifact_prefix="$findings/" "${inputs[@]}" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  shopt -s nullglob
  found=("$findings"/{crash,leak,timeout,oom}-*)
  shopt -u nullglob
  if ((status != 0 || ${#found[@]} != 0)); then
    failed=1
    report+=("$(printf '%-16s %12s executions  FINDING (exit %d): %s' "$target" "${executions:-?}" \
      "$status" "${found[*]:-see $log}")")
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz (target|platform):)' "$log" | head -n 5 >&2 || true
  else
    report+=("$(printf '%-16s %12s executions  no findings (corpus %d inputs)' "$target" \
      "$executions" "$(find "$corpus" -type f | wc -l)")")
  fi
done

printf '\n'
printf '%s\n' "${report[@]}"
if ((failed)); then
  printf '\nLogs in %s/logs; rerun a finding with its target binary.\n' "$build" >&2
  exit 1
fi
