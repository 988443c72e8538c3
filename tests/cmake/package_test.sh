#!/usr/bin/env bash
# The CMake package from an installed release, used by an outside project
# (example/: a Windows program, its DLL and a data folder, cross-compiled
# with mingw-w64): vemsetup_add_setup packs at build time and again when an
# input changes, cpack -G External makes <name>-<version>-setup.exe, and
# both setups install under Wine with a working program.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR LAUNCH_DIR
#   LAUNCH_DIR holds the Wine helpers (win32/launch.exe, win64/launch.exe).
#   Exits 77 when the stub, mingw-w64 or Wine is missing.
set -euo pipefail
source_dir=$(cd "$1" && pwd -P)
build=$(cd "$2" && pwd -P)
tools=$3
work=$(cd "$(mktemp -d)" && pwd -P)
# Only this test's own Wine server is stopped.
trap 'if [[ ${WINEPREFIX:-} == "$work/wine" ]]; then wineserver -k >/dev/null 2>&1 || true; fi
      rm -rf "$work"' EXIT

# The 32-bit product where this kernel runs 32-bit programs, else the
# 64-bit build.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [[ -x /usr/lib/wine/wine ]]; then
  arch=32 triplet=i686-w64-mingw32 wine=/usr/lib/wine/wine tool=$tools/win32/launch.exe
  export WINEARCH=win32
else
  arch=64 triplet=x86_64-w64-mingw32 wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
  tool=$tools/win64/launch.exe
  export WINEARCH=win64
fi
prefix=$work/release
cmake --install "$build" --prefix "$prefix" >/dev/null
stub=$prefix/share/vemsetup/vemsetup.exe
[[ $arch == 64 ]] && stub=$prefix/share/vemsetup/vemsetup64.exe
for needed in "$stub" "$tool" "$wine" "$(command -v $triplet-gcc || echo /none)"; do
  [[ -e $needed ]] || { echo "skipped: $needed is missing (the $arch-bit build)"; exit 77; }
done

# The outside project's own toolchain file, as its authors would write it.
cat >"$work/toolchain.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER $triplet-gcc)
set(CMAKE_RC_COMPILER $triplet-windres)
TOOLCHAIN
cp -r "$source_dir/tests/cmake/example" "$work/example"
cmake -S "$work/example" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" -DEXAMPLE_ARCH=$arch >/dev/null
cmake --build "$work/build" >"$work/build.log"
setup=$work/build/example-setup.exe
listing=$("$prefix/bin/vempack" list "$setup")
for entry in app.exe greet.dll 'data\greeting.txt'; do
  grep -qF "  $entry" <<<"$listing" || { echo "$entry is not in the setup:"$'\n'"$listing"; exit 1; }
done

status=0
fail() { echo "$*"; status=1; }
# Nothing changed: nothing is packed again; a changed data file repacks.
cmake --build "$work/build" >"$work/again.log"
grep -q "Packing the setup" "$work/again.log" && fail "an unchanged build packed the setup again"
printf 'changed\n' >"$work/example/data/greeting.txt"
cmake --build "$work/build" >"$work/changed.log"
"$prefix/bin/vempack" extract "$setup" "$work/extracted" >/dev/null 2>&1
[[ $(cat "$work/extracted/data/greeting.txt") == changed ]] ||
  fail "a changed data file did not rebuild the setup"

(cd "$work/build" && cpack -G External >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
packaged=$work/build/example-1.2.3-setup.exe
[[ -f $packaged ]] || { cat "$work/cpack.log"; echo "cpack made no example-1.2.3-setup.exe"; exit 1; }
grep -qF "$packaged" "$work/cpack.log" || fail "cpack did not report $packaged"

# Both setups install under Wine, and the installed program runs.
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
"$wine" wineboot -i >/dev/null 2>&1
for made in "$setup" "$packaged"; do
  target=C:\\$(basename "$made" .exe)
  printf '"%s" "%s"' "$(winepath -w "$made" 2>/dev/null)" "$target" >"$work/command.txt"
  code=0
  "$wine" "$tool" "$(winepath -w "$work/command.txt" 2>/dev/null)" >/dev/null 2>&1 || code=$?
  # Both carry the product description, and a described setup succeeds with 0.
  [[ $code == 0 ]] || { fail "$made installed with exit code $code, not 0"; continue; }
  wineserver -w
  grep -qi '^"DisplayName"="example"' "$WINEPREFIX"/system.reg "$WINEPREFIX"/user.reg ||
    fail "$made registered no product named example"
  installed=$WINEPREFIX/drive_c/$(basename "$made" .exe)
  [[ -f $installed/Uninstall.exe ]] || fail "$made installed no uninstaller"
  output=$("$wine" "$installed/app.exe" 2>/dev/null | tr -d '\r') ||
    fail "the program installed by $made failed"
  [[ $output == "hello from greet.dll; changed" ]] ||
    fail "the program installed by $made printed '$output'"
done
wineserver -w
[[ $status == 0 ]] && echo "both setups install; the program runs ($arch-bit)"
exit "$status"
