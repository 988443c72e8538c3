#!/usr/bin/env bash
# vempack.exe, the packer for Windows, under Wine, laid out as the release
# lays it out: it builds a setup from files, folders and a name outside
# ASCII with its own stub, lists and extracts it as the Linux packer does,
# finds a stub beside itself, and the setup it made installs.
# Usage: vempack_exe_test.sh VEMPACK_EXE NATIVE_VEMPACK WIN32_STUB WIN64_STUB TOOLS_DIR
#   Exits 77 when vempack.exe, the stub or Wine is missing.
set -euo pipefail
absolute() { [[ $1 == /* ]] && echo "$1" || echo "$PWD/$1"; }
exe=$(absolute "$1") native=$(absolute "$2") stub32=$(absolute "$3") stub64=$(absolute "$4")
tools=$(absolute "$5")
work=$(cd "$(mktemp -d)" && pwd -P)
trap 'if [[ ${WINEPREFIX:-} == "$work/wine" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
      rm -rf "$work"' EXIT
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
# The 32-bit stub where this kernel runs 32-bit programs, else the 64-bit one.
arch=(--arch 64) stub=$stub64 stub_name=vemsetup64.exe
if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [[ -x /usr/lib/wine/wine ]]; then
  arch=() stub=$stub32 stub_name=vemsetup.exe
fi
for needed in "$exe" "$stub" "$tools/win64/launch.exe" "$wine"; do
  [[ -e $needed ]] || { echo "skipped: $needed is missing"; exit 77; }
done
export WINEPREFIX=$work/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
"$wine" wineboot -i >/dev/null 2>&1

mkdir -p "$work/release/bin" "$work/release/share/vemsetup" "$work/files/app/plugins"
cp "$exe" "$work/release/bin/vempack.exe"
cp "$stub" "$work/release/share/vemsetup/$stub_name"
printf 'MZ setup' >"$work/files/setup.bin"
printf 'reader' >"$work/files/app/reader.exe"
printf 'plugin' >"$work/files/app/plugins/p.dll"
printf 'western' >"$work/files/café.txt"
cd "$work/files"
status=0
fail() { echo "$*"; status=1; }
packer() { "$wine" "$work/release/bin/vempack.exe" "$@"; }

packer build -q -o setup.exe "${arch[@]}" --codepage 1252 Setup.exe=setup.bin app/ café.txt ||
  { echo "vempack.exe build failed"; exit 1; }
listed=$(packer list --codepage 1252 setup.exe 2>/dev/null | tr -d '\r')
expected=$("$native" list --codepage 1252 setup.exe 2>/dev/null)
[[ $listed == "$expected" ]] || fail "vempack.exe lists"$'\n'"$listed"$'\n'"vempack lists"$'\n'"$expected"
packer extract --codepage 1252 setup.exe extracted 2>/dev/null || fail "vempack.exe extract failed"
for pair in Setup.exe=setup.bin reader.exe=app/reader.exe plugins/p.dll=app/plugins/p.dll \
            café.txt=café.txt; do
  cmp -s "extracted/${pair%%=*}" "${pair#*=}" || fail "extract did not give back ${pair%%=*}"
done

# A stub beside the packer, as a user copies both into one folder.
mkdir "$work/beside"
cp "$exe" "$work/beside/vempack.exe"
cp "$stub" "$work/beside/$stub_name"
"$wine" "$work/beside/vempack.exe" build -q -o beside.exe "${arch[@]}" app/ ||
  fail "vempack.exe did not find the stub beside itself"

# The setup installs: every entry but the designated Setup.exe.
printf '"%s" "C:\\Target"' "$(winepath -w "$work/files/setup.exe" 2>/dev/null)" >command.txt
code=0
"$wine" "$tools/win64/launch.exe" "$(winepath -w "$work/files/command.txt" 2>/dev/null)" \
  >/dev/null 2>&1 || code=$?
[[ $code == 1 ]] || fail "the setup vempack.exe built installed with exit code $code, not 1"
target=$WINEPREFIX/drive_c/Target
[[ -f $target/reader.exe && -f $target/plugins/p.dll && -f $target/café.txt &&
   ! -e $target/Setup.exe ]] || fail "the install left: $(cd "$target" 2>/dev/null && find . | tr '\n' ' ')"
wineserver -w
[[ $status == 0 ]] && echo "vempack.exe builds, lists and extracts; its setup installs"
exit "$status"
