#!/usr/bin/env bash
# Writes seed inputs for the fuzz targets: payloads made by the packer and
# hostile variants (names that leave the destination, records cut short,
# sizes that lie, broken .lzma headers).
# Usage: scripts/fuzz-seeds.sh VEMPACK OUTDIR
# OUTDIR/<target>/ receives the files; scripts/fuzz.sh passes the
# git-ignored fuzz/corpus-work/seeds. fuzz/corpus/ holds a checked-in
# selection of the same files, described in fuzz/corpus/README.md.
set -euo pipefail
export LC_ALL=C

if (($# != 2)); then
  echo "usage: $0 VEMPACK OUTDIR" >&2
  exit 2
fi
vempack=$(realpath "$1")
out=$2

# ---- Byte helpers ---------------------------------------------------------

# A 32-bit little-endian integer on stdout (negative values wrap).
le32() {
  local v=$1
  printf '%b' "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $(((v >> 8) & 255)) \
    $(((v >> 16) & 255)) $(((v >> 24) & 255)))"
}

# Overwrites bytes of FILE at OFFSET with what stdin holds.
patch_at() {
  dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# A package archive on stdout: COUNT FLAG INDEX, then NAME DATA pairs.
hen() {
  local count=$1 flag=$2 index=$3
  shift 3
  printf 'HEN'
  le32 "$count"
  le32 "$flag"
  le32 "$index"
  while (($#)); do
    le32 "${#1}"
    printf '%s' "$1"
    le32 "${#2}"
    printf '%s' "$2"
    shift 2
  done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  printf 'setup' >Setup.exe
  printf 'reader' >'Vemlo Reader.exe'
  printf 'uninstaller' >Uninstall.exe
  printf 'Read me first.\r\n' >Readme.txt
  : >License.txt
  printf 'evil' >evil
)
files=("$work/Setup.exe" "$work/Vemlo Reader.exe" "$work/Uninstall.exe" "$work/Readme.txt"
       "$work/License.txt")

# ---- package_archive: uncompressed archives ------------------------------

a=$out/package_archive
mkdir -p "$a"
"$vempack" archive -o "$a/valid-shipped-like.hen" "${files[@]}"
"$vempack" archive --no-launch -o "$a/valid-no-launch.hen" "${files[@]}"
"$vempack" archive --launch Readme.txt -o "$a/valid-launch-readme.hen" "${files[@]}"
hen 1 1 0 empty.txt '' >"$a/valid-empty-file.hen"
hen 2 1 0 docs 'x' 'docs\a.txt' 'inner' >"$a/inner-level-without-folder.hen"
printf 'HEN' >"$a/magic-only.hen"
{ printf 'HEN'; le32 1; } >"$a/count-only.hen"
{ printf 'HEX'; le32 0; le32 0; le32 0; } >"$a/wrong-magic.hen"
hen -1 1 0 a.txt 'x' >"$a/negative-count.hen"

n=0
for name in '..\evil.txt' '../evil.txt' 'a\..\..\evil.txt' '\evil.txt' '/tmp/vemfuzz-evil.txt' \
            'Z:\tmp\vemfuzz-evil.txt' 'C:evil.txt' 'a.txt:evil' 'con.txt' 'NUL' 'COM1.log' \
            '..' '.. ' '...' 'a\\b.txt' 'a\'; do
  n=$((n + 1))
  "$vempack" archive --raw-name -o "$a/hostile-name-$n.hen" "$work/Setup.exe" "$name=$work/evil"
done
cp "$a/hostile-name-1.hen" "$a/traversal-dotdot.hen"
cp "$a/hostile-name-4.hen" "$a/traversal-absolute.hen"
cp "$a/hostile-name-6.hen" "$a/traversal-drive.hen"
cp "$a/hostile-name-9.hen" "$a/device-name.hen"
hen 2 1 0 a.txt 'first' '' 'empty name' >"$a/empty-name.hen"
{ printf 'HEN'; le32 1; le32 0; le32 -1; le32 5; printf 'a\0b.t'; le32 1; printf 'x'; } \
  >"$a/zero-in-name.hen"
hen 1 0 -1 "$(printf 'n%.0s' {1..260})" 'x' >"$a/name-260-bytes.hen"
{ printf 'HEN'; le32 1; le32 0; le32 -1; le32 0xFFFFFFF0; printf 'abc'; } \
  >"$a/name-length-4gib.hen"
{ printf 'HEN'; le32 1; le32 0; le32 -1; le32 5; printf 'a.txt'; le32 0xFFFFFFF0; printf 'data'; } \
  >"$a/data-size-4gib.hen"
{ printf 'HEN'; le32 1; le32 0; le32 -1; le32 5; printf 'a.txt'; le32 5; printf 'data'; } \
  >"$a/data-size-one-too-many.hen"
hen 5000000 0 -1 a.txt 'x' >"$a/million-entries.hen"
{ hen 2147483647 0 -1 a.txt 'x' b.txt 'y'; le32 5; printf 'c.txt'; le32 0; } \
  >"$a/count-2g-tiny-entries.hen"
hen 2 1 7 a.txt 'x' b.txt 'y' >"$a/designated-out-of-range.hen"
hen 2 1 -1 a.txt 'x' b.txt 'y' >"$a/designated-negative.hen"
hen 3 1 1 a.txt 'first' a.txt 'second' A.TXT 'third' >"$a/duplicate-names.hen"
whole=$(wc -c <"$a/valid-shipped-like.hen")
for cut in 14 16 20 24 28 33 $((whole - 1)); do
  head -c "$cut" "$a/valid-shipped-like.hen" >"$a/truncated-at-$cut.hen"
done

# ---- lzma_stage: .lzma files ---------------------------------------------

l=$out/lzma_stage
mkdir -p "$l"
"$vempack" create -o "$l/valid-known-size.lzma" "${files[@]}"
"$vempack" create --eopm -o "$l/valid-end-marker.lzma" "${files[@]}"
"$vempack" create --eopm --unknown-size -o "$l/valid-unknown-size.lzma" "${files[@]}"
"$vempack" create --lc 0 --lp 0 --pb 0 -o "$l/valid-lc0-lp0-pb0.lzma" "${files[@]}"
"$vempack" create --lc 0 --lp 4 --pb 4 -o "$l/valid-lc0-lp4-pb4.lzma" "${files[@]}"
"$vempack" create --dict 4096 --preset 0 -o "$l/valid-small-dict.lzma" "${files[@]}"
"$vempack" compress -o "$l/valid-hostile-archive.lzma" "$a/traversal-dotdot.hen"
"$vempack" compress --eopm --unknown-size -o "$l/valid-empty-content.lzma" "$work/License.txt"

good=$l/valid-known-size.lzma
size=$(wc -c <"$good")
variant() { cp "$good" "$l/$1"; }
variant properties-225.lzma && printf '\xe1' | patch_at "$l/properties-225.lzma" 0
variant properties-255.lzma && printf '\xff' | patch_at "$l/properties-255.lzma" 0
variant size-zero.lzma && { le32 0; le32 0; } | patch_at "$l/size-zero.lzma" 5
variant size-3.75gib.lzma && le32 0xF0000000 | patch_at "$l/size-3.75gib.lzma" 5
variant size-too-small.lzma && le32 10 | patch_at "$l/size-too-small.lzma" 5
variant size-high-half-set.lzma && le32 0x12345678 | patch_at "$l/size-high-half-set.lzma" 9
variant dict-zero.lzma && le32 0 | patch_at "$l/dict-zero.lzma" 1
variant dict-4gib.lzma && le32 0xFFFFFFFF | patch_at "$l/dict-4gib.lzma" 1
variant unknown-size-without-marker.lzma &&
  { le32 -1; le32 -1; } | patch_at "$l/unknown-size-without-marker.lzma" 5
cp "$l/valid-end-marker.lzma" "$l/end-marker-before-size.lzma"
le32 100000 | patch_at "$l/end-marker-before-size.lzma" 5
head -c $((13 + (size - 13) / 2)) "$good" >"$l/truncated-half.lzma"
head -c 13 "$good" >"$l/header-only.lzma"
head -c 12 "$good" >"$l/short-header.lzma"
: >"$l/empty.lzma"
variant corrupt-data.lzma
for offset in 20 27 34 41 48; do printf '\x5a' | patch_at "$l/corrupt-data.lzma" "$offset"; done
variant trailing-garbage.lzma && head -c 100 /dev/zero | tr '\0' '\245' >>"$l/trailing-garbage.lzma"

# ---- pe_image: setups that vempack build writes ---------------------------

p=$out/pe_image
mkdir -p "$p"
stubs=$(dirname "$0")/../fuzz/corpus/pe_image
for stub in valid-pe32 valid-pe32plus signed; do
  "$vempack" build --strip-signature --stub "$stubs/$stub.exe" -o "$p/setup-$stub.exe" "${files[@]}"
done
"$vempack" build --stub "$stubs/valid-pe32.exe" --version-info ProductName=Seed \
  -o "$p/setup-version-info.exe" "${files[@]}"

# ---- command_line: process command lines and tails -----------------------

c=$out/command_line
mkdir -p "$c"
line() { printf '%s' "$2" >"$c/$1.txt"; }
line empty ''
line extract-plain 'setup.exe'
line quoted-program '"C:\Program Files\setup.exe"'
line install-both '"C:\Program Files\setup.exe" "C:\Program Files\Tools" /d /s'
line install-upper-s 'setup.exe "C:\Program Files\Tools" /S'
line tail-install '"C:\Apps"'
line tail-empty-quotes '""'
line tail-no-closing-quote '"C:\Apps'
line tail-switch-inside-quotes '"C:\a /d b"'
line tail-no-blank-before-switch '"C:\Apps"/d'
line tail-root-one-blank '"C:\" /d'
line tail-root-two-blanks '"C:\"  /d'
line tail-inner-quotes '"C:\My "new" Apps" /d'
line tail-letters-in-directory '"D:\Data\Setup"'
line tail-directory-300 "\"C:\\$(printf 'x%.0s' {1..300})\" /s"
printf '"C:\\setup.exe\t\x01 "D:\\Apps" /d' >"$c/control-blanks.txt"
printf '"setup\xe4\x22.exe" "D:\\Apps"' >"$c/high-bytes-in-program.txt"
