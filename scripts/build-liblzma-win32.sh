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
#   HOST is the target triplet: i686-w64-mingw32 (the 32-bit stub) or
#   x86_64-w64-mingw32 (the 64-bit one). Installs into .deps/liblzma-HOST
#   (lib/liblzma.a, include/lzma.h), or LIBLZMA_PREFIX when set, unless that
#   is already there. Both targets build from the same xz-utils source,
#   Debian's (apt-get source, needs a deb-src entry: scripts/install-deps.sh
#   win32 adds one), kept in .deps/src; LIBLZMA_SOURCE_DIR=<unpacked
#   xz-utils tree> uses that instead.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
host=${1:-}
case $host in
  i686-w64-mingw32 | x86_64-w64-mingw32) ;;
  *) echo "usage: $0 i686-w64-mingw32|x86_64-w64-mingw32 [--force]" >&2; exit 2 ;;
esac
variant=${LIBLZMA_VARIANT:-stub}
case $variant in
  stub) name=liblzma-$host
        coders=(--disable-encoders --enable-decoders=lzma1 --disable-match-finders --enable-small) ;;
  packer) name=liblzma-packer-$host
        coders=(--enable-encoders=lzma1 --enable-decoders=lzma1) ;;
  *) echo "$0: LIBLZMA_VARIANT=$variant is neither stub nor packer" >&2; exit 2 ;;
esac
prefix=${LIBLZMA_PREFIX:-$root/.deps/$name}

# The decoder is where the stub spends its time: -O2 (still --enable-small)
# makes it about a tenth faster under Wine for a few KiB of stub.
optimisation=${LIBLZMA_OPTIMISATION:--O2}

force=0
if [[ ${2:-} == --force ]]; then force=1; fi

if ((!force)) && [[ -f $prefix/lib/liblzma.a && -f $prefix/include/lzma.h ]]; then
  exit 0
fi

for tool in "$host-gcc" "$host-ar" make; do
  command -v "$tool" >/dev/null || { echo "$0: $tool not found; run scripts/install-deps.sh win32" >&2; exit 1; }
done

if [[ -n ${LIBLZMA_SOURCE_DIR:-} ]]; then
  src=$(cd "$LIBLZMA_SOURCE_DIR" && pwd)
else
  mkdir -p "$root/.deps/src"
  find_source() { find "$root/.deps/src" -mindepth 1 -maxdepth 1 -type d -name 'xz-utils-*' | sort -V | tail -n 1; }
  src=$(find_source)
  if [[ -z $src ]]; then
    command -v dpkg-source >/dev/null || { echo "$0: dpkg-source not found (package dpkg-dev)" >&2; exit 1; }
    echo "-- fetching xz-utils source with apt-get source" >&2
    (cd "$root/.deps/src" && apt-get source -qq xz-utils >/dev/null)
    src=$(find_source)
    [[ -n $src ]] || { echo "$0: apt-get source xz-utils left no xz-utils-* directory" >&2; exit 1; }
  fi
fi
[[ -x $src/configure ]] || { echo "$0: $src has no configure script" >&2; exit 1; }

# Built out of tree so that a given source directory stays untouched.
build=$root/.deps/build/$name
rm -rf "$build"
mkdir -p "$build"
cd "$build"

echo "-- configuring liblzma for $host from $src" >&2
log=$build/configure-output.log
"$src/configure" --host="$host" --prefix="$prefix" \
  --disable-shared --enable-static \
  "${coders[@]}" --enable-checks=crc32 \
  --disable-microlzma --disable-lzip-decoder \
  --enable-threads=no \
  --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo \
  --disable-lzma-links --disable-scripts --disable-doc --disable-nls \
  CFLAGS="$optimisation -ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables" \
  >"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "$0: configure failed; see $log and config.log" >&2; exit 1; }

# Only the library and its headers: the command-line tools are not wanted.
echo "-- building liblzma" >&2
make -s -C src/liblzma -j"$(nproc)" >/dev/null
rm -f "$prefix/lib/liblzma.a"
make -s -C src/liblzma install >/dev/null
[[ -f $prefix/lib/liblzma.a && -f $prefix/include/lzma.h ]] || { echo "$0: install left no liblzma.a" >&2; exit 1; }
echo "-- liblzma for $host installed in $prefix" >&2
