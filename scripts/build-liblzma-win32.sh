#!/usr/bin/env bash
# Builds the liblzma that a Windows stub links: static, for one mingw-w64
# target, with nothing but the LZMA1 decoder (the stub only ever decodes one
# raw LZMA1 stream, and every other coder would be dead weight).
#
# With LIBLZMA_VARIANT=packer it builds the liblzma that the Windows packer
# (vempack.exe) links instead: the LZMA1 encoder and decoder with every
# match finder, optimised for speed, in .deps/liblzma-packer-HOST.
#
# Usage: scripts/build-liblzma-win32.sh HOST [--force]
#        scripts/build-liblzma-win32.sh --fetch | --suite
#   HOST is the target triplet: i686-w64-mingw32 (the 32-bit stub) or
#   x86_64-w64-mingw32 (the 64-bit one). Installs into .deps/liblzma-HOST
#   (lib/liblzma.a, include/lzma.h), or LIBLZMA_PREFIX when set, unless a
#   build of the same source and options is already there. Both targets
#   build from the same xz-utils source, Debian's, 5.8.1 or newer: the
#   newer suite's (--suite prints it), fetched with
#   apt-get source into .deps/src (--fetch does only that; it needs the
#   suite's deb-src entry, which scripts/install-deps.sh win32 adds).
#   LIBLZMA_SOURCE_DIR=<unpacked xz-utils tree> uses that instead.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# 5.8 decodes LZMA1 markedly faster than 5.4 (about 15 % in 32-bit code, a
# third in 64-bit code); bookworm has 5.4.1, trixie 5.8.1.
min_version=5.8.1
suite=${LIBLZMA_SOURCE_SUITE:-trixie}

# Only the newest unpacked source counts, and only when it is new enough.
find_source() {
  local dir version
  dir=$(find "$root/.deps/src" -mindepth 1 -maxdepth 1 -type d -name 'xz-utils-*' 2>/dev/null |
    sort -V | tail -n 1)
  version=${dir##*/xz-utils-}
  if [[ -n $dir ]] && dpkg --compare-versions "$version" ge "$min_version"; then echo "$dir"; fi
}
fetch_source() {
  [[ -n $(find_source) ]] && return 0
  command -v dpkg-source >/dev/null || { echo "$0: dpkg-source not found (package dpkg-dev)" >&2; exit 1; }
  mkdir -p "$root/.deps/src"
  # Newest first; a mirror's index can list a revision its pool does not
  # hold yet, and then the one before it serves.
  local version versions
  versions=$(apt-cache showsrc xz-utils 2>/dev/null | sed -n 's/^Version: //p' | sort -u -Vr)
  for version in $versions; do
    dpkg --compare-versions "$version" ge "$min_version" || continue
    echo "-- fetching the xz-utils $version source with apt-get source" >&2
    if (cd "$root/.deps/src" && apt-get source -qq "xz-utils=$version" >/dev/null 2>&1); then
      [[ -n $(find_source) ]] && return 0
    fi
  done
  echo "$0: no xz-utils source of $min_version or newer could be fetched;" \
    "scripts/install-deps.sh win32 adds $suite's deb-src entry" >&2
  exit 1
}

case ${1:-} in
  --suite) echo "$suite"; exit 0 ;;
  --fetch) [[ -n ${LIBLZMA_SOURCE_DIR:-} ]] || fetch_source; exit 0 ;;
esac

host=${1:-}
case $host in
  i686-w64-mingw32 | x86_64-w64-mingw32) ;;
  *) echo "usage: $0 i686-w64-mingw32|x86_64-w64-mingw32 [--force] | --fetch | --suite" >&2; exit 2 ;;
esac
variant=${LIBLZMA_VARIANT:-stub}
case $variant in
  stub) name=liblzma-$host
        coders=(--disable-encoders --enable-decoders=lzma1 --disable-match-finders) ;;
  packer) name=liblzma-packer-$host
        coders=(--enable-encoders=lzma1 --enable-decoders=lzma1) ;;
  *) echo "$0: LIBLZMA_VARIANT=$variant is neither stub nor packer" >&2; exit 2 ;;
esac
prefix=${LIBLZMA_PREFIX:-$root/.deps/$name}

# The decoder is where the stub spends its time: -O2 without --enable-small
# (its table-driven decoder loop) is the fastest build; -O3 gains nothing
# over it in 32-bit code and costs a few KiB.
optimisation=${LIBLZMA_OPTIMISATION:--O2}

force=0
if [[ ${2:-} == --force ]]; then force=1; fi

for tool in "$host-gcc" "$host-ar" make; do
  command -v "$tool" >/dev/null || { echo "$0: $tool not found; run scripts/install-deps.sh win32" >&2; exit 1; }
done

if [[ -n ${LIBLZMA_SOURCE_DIR:-} ]]; then
  src=$(cd "$LIBLZMA_SOURCE_DIR" && pwd)
else
  fetch_source
  src=$(find_source)
fi
[[ -x $src/configure ]] || { echo "$0: $src has no configure script" >&2; exit 1; }

cflags="$optimisation -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables"
options=(--host="$host" --prefix="$prefix"
  --disable-shared --enable-static
  "${coders[@]}" --enable-checks=crc32
  --disable-microlzma --disable-lzip-decoder
  --enable-threads=no
  --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo
  --disable-lzma-links --disable-scripts --disable-doc --disable-nls)

# What the installed library was built from: a build of another release or
# with other options (an older checkout's) is replaced. The source's name,
# not its folder, so that a copy of the tree with the same source agrees.
stamp_text="${src##*/} ${options[*]} CFLAGS=$cflags"
stamp=$prefix/vemsetup-build.txt
if ((!force)) && [[ -f $prefix/lib/liblzma.a && -f $prefix/include/lzma.h && -f $stamp ]] &&
  [[ $(cat "$stamp") == "$stamp_text" ]]; then
  exit 0
fi

# Built out of tree so that a given source directory stays untouched.
build=$root/.deps/build/$name
rm -rf "$build"
mkdir -p "$build"
cd "$build"

echo "-- configuring liblzma for $host from $src" >&2
log=$build/configure-output.log
"$src/configure" "${options[@]}" CFLAGS="$cflags" >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "$0: configure failed; see $log and config.log" >&2; exit 1; }

# Only the library and its headers: the command-line tools are not wanted.
echo "-- building liblzma" >&2
make -s -C src/liblzma -j"$(nproc)" >/dev/null
rm -f "$prefix/lib/liblzma.a"
make -s -C src/liblzma install >/dev/null
[[ -f $prefix/lib/liblzma.a && -f $prefix/include/lzma.h ]] || { echo "$0: install left no liblzma.a" >&2; exit 1; }
printf '%s\n' "$stamp_text" >"$stamp"
echo "-- liblzma for $host installed in $prefix" >&2
