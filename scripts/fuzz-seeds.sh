#!/usr/bin/env bash
# Writes seed inputs for the fuzz targets beyond the checked-in corpus
# (fuzz/corpus, which is also the regression suite: see its README.md):
# payloads that the packer makes with other settings and with hostile names
# (--raw-name), setups that `vempack build` writes, and command lines.
# Usage: scripts/fuzz-seeds.sh VEMPACK OUTDIR
# OUTDIR/<target>/ receives the files; scripts/fuzz.sh passes the
# git-ignored fuzz/corpus-work/seeds.
set -euo pipefail
export LC_ALL=C

if (($# != 2)); then
  echo "usage: $0 VEMPACK OUTDIR" >&2
  exit 2
fi
vempack=$(realpath "$1")
out=$2

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
n=0
# In code page 932 "\x83\x5c" is one character whose trail byte is 0x5C; in a
# single-byte code page the 0x5C separates two levels.
for name in '..\evil.txt' '../evil.txt' 'a\..\..\evil.txt' '\evil.txt' '/tmp/vemfuzz-evil.txt' \
            'Z:\tmp\vemfuzz-evil.txt' 'C:evil.txt' 'a.txt:evil' 'con.txt' 'NUL' 'COM1.log' \
            '..' '.. ' '...' 'a\\b.txt' 'a\' '' 'docs\a.txt' 'plugins\platforms\q.dll' \
            'a\b\..\..\..\evil.txt' $'\x83\x5c.txt' $'a\x83\x5c..\\evil.txt' $'\x83\x5c..\\evil.txt'; do
  n=$((n + 1))
  "$vempack" archive --raw-name -o "$a/hostile-name-$n.hen" "$work/Setup.exe" "$name=$work/evil"
done

# ---- lzma_stage: .lzma files ---------------------------------------------

l=$out/lzma_stage
mkdir -p "$l"
"$vempack" create -o "$l/valid-known-size.lzma" "${files[@]}"
"$vempack" create --eopm -o "$l/valid-end-marker.lzma" "${files[@]}"
"$vempack" create --eopm --unknown-size -o "$l/valid-unknown-size.lzma" "${files[@]}"
"$vempack" create --lc 0 --lp 0 --pb 0 -o "$l/valid-lc0-lp0-pb0.lzma" "${files[@]}"
"$vempack" create --lc 4 --lp 0 --pb 4 -o "$l/valid-lc4-lp0-pb4.lzma" "${files[@]}"
"$vempack" create --dict 4096 --preset 0 -o "$l/valid-small-dict.lzma" "${files[@]}"
"$vempack" create --raw-name -o "$l/valid-hostile-archive.lzma" "$work/Setup.exe" "..\evil.txt=$work/evil"
"$vempack" compress --eopm --unknown-size -o "$l/valid-empty-content.lzma" "$work/License.txt"
# A header that understates the dictionary: the numbers 1 to 1100, twice,
# so that the second half is one match 4,893 bytes back, beyond the 4 KiB
# the patched field claims. The stage must decode it all the same.
{ seq 1 1100; seq 1 1100; } >"$work/repeated"
"$vempack" compress -o "$l/valid-dict-understated.lzma" "$work/repeated"
"$vempack" compress --eopm --unknown-size -o "$l/valid-unknown-size-dict-understated.lzma" \
  "$work/repeated"
for file in "$l"/valid-*dict-understated.lzma; do
  printf '\x00\x10\x00\x00' | dd of="$file" bs=1 seek=1 conv=notrunc status=none
done

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
