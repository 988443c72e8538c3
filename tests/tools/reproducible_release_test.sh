#!/usr/bin/env bash
# Builds the release twice with scripts/release.sh, in two copies of the
# source tree (its files as they are in the working tree) whose folders
# differ in name and length, with SOURCE_DATE_EPOCH set, and compares the two
# byte for byte: the archive, SHA256SUMS and every file; no released file
# names the folder it was built in. Then has each release's packer build a
# setup from the same files with different times, and compares those too.
# Usage: reproducible_release_test.sh SOURCE_DIR DEPS_DIR
#   DEPS_DIR holds the Windows liblzma builds (liblzma-TRIPLET), which the
#   copies use rather than build their own.
# Exits 77 (skipped) without mingw-w64 or the prebuilt liblzma.
set -euo pipefail
src=$(cd "$1" && pwd -P)
deps=$(cd "$2" && pwd -P)
for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
  if ! command -v "$triplet-g++" >/dev/null || [[ ! -f $deps/liblzma-$triplet/lib/liblzma.a ]]; then
    echo "$triplet-g++ or $deps/liblzma-$triplet/lib/liblzma.a is missing;" \
      "run cmake --preset win32 and --preset win64 once"
    exit 77
  fi
done
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 1700000000)}

work=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$work"' EXIT
one=$work/a/vemsetup
two=$work/second-build-folder/with/a/longer/path/vemsetup

# The tree's files: tracked ones as they are now, and new ones not ignored
# (no build trees, no .deps, no .git); without git, the folder less those.
copy_sources() {
  mkdir -p "$1"
  if git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$src" ls-files -z -co --exclude-standard |
      (cd "$src" && while IFS= read -r -d '' f; do
        if [[ -e $f || -L $f ]]; then printf '%s\0' "$f"; fi
      done) |
      tar -C "$src" --null -T - -cf - | tar -C "$1" -xf -
  else
    tar -C "$src" --exclude=./build --exclude=./.deps --exclude=./.git --exclude=./dist \
      --exclude=./fuzz/corpus-work --exclude=./bench/results -cf - . | tar -C "$1" -xf -
  fi
}

# Both releases at once, one job each: the two cores stay busy through the
# configure steps, which run on one.
dirs=("$one" "$two")
pids=()
for dir in "${dirs[@]}"; do
  copy_sources "$dir"
  "$dir/scripts/release.sh" -j 1 --deps "$deps" "$dir/dist" >"$dir.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!dirs[@]}"; do
  if ! wait "${pids[$i]}"; then
    tail -n 30 "${dirs[$i]}.log"
    echo "the release in ${dirs[$i]} failed"
    failed=1
  fi
done
((failed == 0)) || exit 1

# dist/ holds the release folder and its archive.
status=0
if ! diff -r "$one/dist" "$two/dist"; then
  echo "the releases differ between the two folders"
  status=1
fi
release_one=$(find "$one/dist" -mindepth 1 -maxdepth 1 -type d)
release_two=$(find "$two/dist" -mindepth 1 -maxdepth 1 -type d)
for release in "$release_one" "$release_two"; do
  named=$(grep -rlaF -e "$work/" -e "$src/" -e "$deps/" "$release" || true)
  if [[ -n $named ]]; then
    echo "these released files name a build folder:"$'\n'"$named"
    status=1
  fi
done

# The packers of both releases, files with other times: the same setup.
printf 'a setup of my own\r\n' >"$work/Readme.txt"
head -c 50000 /dev/urandom >"$work/Program.exe"
"$release_one/bin/vempack" build -o "$work/one.exe" --stub "$release_one/share/vemsetup/vemsetup.exe" \
  "$work/Program.exe" "$work/Readme.txt"
touch -d '2001-02-03 04:05:06' "$work/Program.exe" "$work/Readme.txt"
"$release_two/bin/vempack" build -o "$work/two.exe" --stub "$release_two/share/vemsetup/vemsetup.exe" \
  "$work/Program.exe" "$work/Readme.txt"
if ! cmp "$work/one.exe" "$work/two.exe"; then
  echo "the setups built by the two packers differ"
  status=1
fi
((status == 0)) && echo "the releases ($(du -sb "$release_one" | cut -f1) bytes) and the setups are identical"
exit "$status"
