#!/usr/bin/env bash
# Builds the Windows stub twice, from copies of the same sources in two
# different folders, with SOURCE_DATE_EPOCH set, and compares vemsetup.exe
# byte for byte; then has each copy's packer build a setup from the same
# files with different times, and compares those too.
# Usage: reproducible_stub_test.sh SOURCE_DIR LIBLZMA_WIN32_PREFIX
# Exits 77 (skipped) without mingw-w64 or the prebuilt liblzma.
set -euo pipefail
src=$(cd "$1" && pwd)
liblzma=$2
if ! command -v i686-w64-mingw32-g++ >/dev/null || [[ ! -f $liblzma/lib/liblzma.a ]]; then
  echo "mingw-w64 or $liblzma/lib/liblzma.a is missing; run cmake --preset win32 once"
  exit 77
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 1700000000)}
jobs=$(nproc 2>/dev/null || echo 2)
jobs=$((jobs > 2 ? 2 : jobs))

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for copy in one second/copy; do
  dir=$work/$copy
  mkdir -p "$dir"
  tar -C "$src" --exclude=./build --exclude=./.deps --exclude=./.git \
    --exclude=./fuzz/corpus-work -cf - . | tar -C "$dir" -xf -
  (cd "$dir" &&
    cmake --preset win32 -DVEMSETUP_LIBLZMA_PREFIX="$liblzma" >"$dir.log" 2>&1 &&
    cmake --build --preset win32 -j "$jobs" >>"$dir.log" 2>&1) ||
    { tail -n 30 "$dir.log"; echo "the build in $dir failed"; exit 1; }
done

one=$work/one/build/win32
two=$work/second/copy/build/win32
status=0
for file in demo/demo.lzma vemsetup.exe; do
  if ! cmp "$one/$file" "$two/$file"; then
    echo "$file differs between the two builds"
    status=1
  fi
done

# The packers of both copies, files with other times: the same setup.
printf 'a setup of my own\r\n' >"$work/Readme.txt"
head -c 50000 /dev/urandom >"$work/Program.exe"
"$one/host-tools/vempack" build -o "$work/one.exe" --stub "$one/vemsetup.exe" \
  "$work/Program.exe" "$work/Readme.txt"
touch -d '2001-02-03 04:05:06' "$work/Program.exe" "$work/Readme.txt"
"$two/host-tools/vempack" build -o "$work/two.exe" --stub "$two/vemsetup.exe" \
  "$work/Program.exe" "$work/Readme.txt"
if ! cmp "$work/one.exe" "$work/two.exe"; then
  echo "the setups built by the two packers differ"
  status=1
fi
((status == 0)) && echo "vemsetup.exe ($(wc -c <"$one/vemsetup.exe") bytes) and the setup are identical"
exit "$status"
