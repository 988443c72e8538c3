#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan and UBSan) and runs each
# for SECONDS (default 60), or for N executions with --runs N. Reports the
# executions, executions per second, time and findings of every target;
# exits nonzero when any target found something.
# Usage: scripts/fuzz.sh [--runs N] [SECONDS] [TARGET...]
#   TARGET: command_line, described_setup, lzma_stage, package_archive, pe_image (default: all)
#   FUZZ_BUILD: build directory (default build/fuzz); FUZZ_CXX: compiler (default clang++)
#
# A campaign, one target at a time at low priority:
#   nice -n 15 scripts/fuzz.sh --runs 10000000 pe_image
#
# Each target starts from its working corpus (fuzz/corpus-work/<target>,
# git-ignored, where new inputs are kept between runs), the checked-in
# corpus fuzz/corpus/<target> and the seeds that scripts/fuzz-seeds.sh
# writes. Findings are saved as $FUZZ_BUILD/findings/<target>/crash-* (or
# leak-, timeout-, oom-); run the target on such a file to see it again:
#   build/fuzz/package_archive_fuzzer build/fuzz/findings/package_archive/crash-...
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 [--runs N] [SECONDS] [TARGET...]" >&2
  exit 2
}

all_targets=(command_line described_setup lzma_stage package_archive pe_image)
seconds=60
runs=
targets=()
while (($#)); do
  case $1 in
  --runs)
    [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || usage
    runs=$2
    shift 2
    ;;
  [0-9]*)
    [[ $1 =~ ^[1-9][0-9]*$ ]] || usage
    seconds=$1
    shift
    ;;
  *)
    [[ " ${all_targets[*]} " == *" $1 "* ]] || usage
    targets+=("$1")
    shift
    ;;
  esac
done
((${#targets[@]})) || targets=("${all_targets[@]}")
build=${FUZZ_BUILD:-build/fuzz}
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null

# The targets write and read a few scratch files for every input: on a
# memory file system where there is one, else in the build tree. This run's
# own directory holds them and the seeds, and goes when the run ends; a
# target stopped by a finding leaves its scratch files there until then.
memory_file_system() {
  [[ -n $1 && -d $1 && -w $1 ]] && [[ $(stat -f -c %T "$1" 2>/dev/null) =~ ^(tmpfs|ramfs)$ ]]
}
base=$PWD/$build/tmp
for candidate in /dev/shm "${XDG_RUNTIME_DIR:-}"; do
  if memory_file_system "$candidate"; then
    base=$candidate
    break
  fi
done
mkdir -p "$base"
scratch=$(mktemp -d "$base/vemfuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export VEMSETUP_FUZZ_SCRATCH=$scratch TMPDIR=$scratch
printf 'scratch files in %s (%s)\n' "$scratch" "$(stat -f -c %T "$scratch")"

seeds=$scratch/seeds
scripts/fuzz-seeds.sh "$build/tools/vempack" "$seeds"

# Readable stacks need llvm-symbolizer; Debian's llvm-14 keeps it here.
if ! command -v llvm-symbolizer >/dev/null && [[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]]; then
  export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

if [[ -n $runs ]]; then
  limit=(-runs="$runs")
  what="$runs executions"
else
  limit=(-max_total_time="$seconds")
  what="$seconds s"
fi

stat_of() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }
grouped() { sed -e ':a' -e 's/\([0-9]\)\([0-9]\{3\}\)\($\|,\)/\1,\2\3/' -e 'ta' <<<"${1:-0}"; }

failed=0
report=()
for target in "${targets[@]}"; do
  corpus=fuzz/corpus-work/$target
  findings=$build/findings/$target
  log=$build/logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  rm -f "$findings"/{crash,leak,timeout,oom}-*
  printf 'fuzzing %s for %s ...\n' "$target" "$what"
  # The first directory receives the new inputs; the others are only read.
  inputs=("$corpus")
  for directory in "fuzz/corpus/$target" "$seeds/$target"; do
    [[ -d $directory ]] && inputs+=("$directory")
  done
  status=0
  started=$(date +%s)
  "$build/${target}_fuzzer" "${limit[@]}" -print_final_stats=1 -timeout=20 -rss_limit_mb=2048 \
    -use_value_profile=1 -dict="fuzz/dictionaries/$target.dict" -artifact_prefix="$findings/" \
    "${inputs[@]}" >"$log" 2>&1 || status=$?
  elapsed=$(($(date +%s) - started))
  executions=$(stat_of number_of_executed_units "$log")
  rate=$(stat_of average_exec_per_sec "$log")
  figures=$(printf '%-16s %13s executions %8s exec/s %7s s' "$target" "$(grouped "$executions")" \
    "$(grouped "$rate")" "$elapsed")
  shopt -s nullglob
  found=("$findings"/{crash,leak,timeout,oom}-*)
  shopt -u nullglob
  if ((status == 72 && ${#found[@]} == 0)); then
    failed=1 # libFuzzer's code for a run stopped by a signal
    report+=("$figures  interrupted")
  elif ((status != 0 || ${#found[@]} != 0)); then
    failed=1
    report+=("$figures  FINDING (exit $status): ${found[*]:-see $log}")
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz (target|platform):)' "$log" | head -n 5 >&2 || true
  else
    report+=("$figures  no findings (corpus $(find "$corpus" -type f | wc -l) inputs)")
  fi
  printf '%s\n' "${report[-1]}"
done

printf '\n'
printf '%s\n' "${report[@]}"
if ((failed)); then
  printf '\nLogs in %s/logs; rerun a finding with its target binary.\n' "$build" >&2
  exit 1
fi
