#!/usr/bin/env bash
# Builds the native stub around hostile payloads and measures each run
# (extract-and-launch mode) with /usr/bin/time -v: exit code, peak resident
# memory and wall time. The figures go into docs/security.md.
# Usage: scripts/hostile-peak-memory.sh
# Builds into build/fuzz-stub (reconfigured per payload) and build/fuzz (the
# packer); needs about 1 GiB of free disk for the large cases.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

build=build/fuzz-stub
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S fuzz -B build/fuzz -DCMAKE_CXX_COMPILER="${FUZZ_CXX:-clang++}" >/dev/null
cmake --build build/fuzz --target vempack -j "$jobs" >/dev/null
vempack=$PWD/build/fuzz/tools/vempack

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
payloads=$work/payloads
mkdir -p "$payloads"

le32() {
  local v=$1
  printf '%b' "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)) \
    $(((v >> 16) & 255)) $(((v >> 24) & 255)))"
}
patch_at() { dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

printf 'setup' >"$work/Setup.exe"
printf 'read me' >"$work/Readme.txt"
"$vempack" create -o "$payloads/small.lzma" "$work/Setup.exe" "$work/Readme.txt"

# Header claims 0xF0000000 bytes of output; the data holds 31.
cp "$payloads/small.lzma" "$payloads/claim-output.lzma"
le32 0xF0000000 | patch_at "$payloads/claim-output.lzma" 5
# The same with a 4 GiB dictionary.
cp "$payloads/claim-output.lzma" "$payloads/claim-output-dict.lzma"
le32 0xFFFFFFFF | patch_at "$payloads/claim-output-dict.lzma" 1

# 5,000,000 entries announced, one present.
{ printf 'HEN'; le32 5000000; le32 0; le32 -1; le32 5; printf 'a.txt'; le32 1; printf 'x'; } \
  >"$work/count.hen"
"$vempack" compress -o "$payloads/claim-count.lzma" "$work/count.hen"

# 2^31-1 entries announced, 1,048,576 present (all named "a", empty).
{ le32 1; printf 'a'; le32 0; } >"$work/records"
for _ in $(seq 20); do cat "$work/records" "$work/records" >"$work/records2"; mv "$work/records2" "$work/records"; done
{ printf 'HEN'; le32 0x7FFFFFFF; le32 0; le32 -1; cat "$work/records"; } >"$work/million.hen"
"$vempack" compress -o "$payloads/million-present.lzma" "$work/million.hen"

# An entry whose dataSize is 0xFFFFFFF0, four bytes present.
{ printf 'HEN'; le32 1; le32 0; le32 -1; le32 5; printf 'a.txt'; le32 0xFFFFFFF0; printf 'data'; } \
  >"$work/data.hen"
"$vempack" compress -o "$payloads/claim-data.lzma" "$work/data.hen"

# An entry whose nameLength is 0xFFFFFFF0.
{ printf 'HEN'; le32 1; le32 0; le32 -1; le32 0xFFFFFFF0; printf 'name'; } >"$work/name.hen"
"$vempack" compress -o "$payloads/claim-name.lzma" "$work/name.hen"

# Honest but large: 256 MiB of zeros in one entry, stated size and not.
head -c $((256 << 20)) /dev/zero >"$work/zeros.bin"
"$vempack" create --preset 0 --no-launch -o "$payloads/zeros-256mib.lzma" "$work/zeros.bin"
"$vempack" create --preset 0 --no-launch --eopm --unknown-size \
  -o "$payloads/zeros-256mib-unknown-size.lzma" "$work/zeros.bin"
rm -f "$work/zeros.bin"

measure() {
  local name=$1 payload=$2
  cmake -S . -B "$build" -DVEMSETUP_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEMSETUP_PAYLOAD="$payload" >/dev/null
  cmake --build "$build" --target vemsetup -j "$jobs" >/dev/null
  local run=$work/run
  rm -rf "$run"
  mkdir -p "$run/temp"
  local status=0
  env TMPDIR="$run/temp" HOME="$run" XDG_DATA_HOME="$run/data" XDG_DESKTOP_DIR="$run/Desktop" \
    /usr/bin/time -v -o "$work/time.txt" "$build/vemsetup" >/dev/null 2>&1 || status=$?
  local rss elapsed
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  elapsed=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
  printf '| %s | %s | %d | %s KiB | %s |\n' "$name" "$(stat -c %s "$payload")" "$status" "$rss" \
    "$elapsed"
  rm -rf "$run"
}

printf '| Payload | Bytes | Exit | Peak RSS | Wall time |\n|---|---|---|---|---|\n'
measure "valid: small archive (baseline)" "$payloads/small.lzma"
measure "output size claimed 0xF0000000" "$payloads/claim-output.lzma"
measure "output size 0xF0000000, dictionary 0xFFFFFFFF" "$payloads/claim-output-dict.lzma"
measure "entryCount 5,000,000, one entry present" "$payloads/claim-count.lzma"
measure "entryCount 2^31-1, 1,048,576 empty entries present" "$payloads/million-present.lzma"
measure "dataSize 0xFFFFFFF0, 4 bytes present" "$payloads/claim-data.lzma"
measure "nameLength 0xFFFFFFF0" "$payloads/claim-name.lzma"
measure "valid: one 256 MiB entry (stated size)" "$payloads/zeros-256mib.lzma"
measure "valid: one 256 MiB entry (no stated size)" "$payloads/zeros-256mib-unknown-size.lzma"
