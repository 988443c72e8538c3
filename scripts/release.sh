#!/usr/bin/env bash
# Builds a release that needs no cross compiler: the Windows stubs, the
# packer (stripped), the README with the documents it links to and a SHA-256
# list, laid out by cmake --install and packed reproducibly (sorted names,
# fixed owner, modes and times). Built from the same commit with the same
# SOURCE_DATE_EPOCH, the release is the same bytes in whatever folder the
# tree is checked out.
# Usage: scripts/release.sh [-j JOBS] [--deps DIR] [OUTDIR]   (default dist/)
#   -j JOBS     parallel build jobs (default: every core)
#   --deps DIR  where the Windows liblzma builds are (DIR/liblzma-TRIPLET),
#               default .deps/ of this tree; a copy of the tree can name the
#               original's so that it builds no liblzma of its own
#   -> OUTDIR/vemsetup-VERSION/{bin/vempack, bin/vempack.exe, share/vemsetup/vemsetup.exe,
#      share/vemsetup/vemsetup64.exe, share/doc/vemsetup/..., SHA256SUMS}
#   -> OUTDIR/vemsetup-VERSION-linux-ARCH.tar.gz
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: $0 [-j JOBS] [--deps DIR] [OUTDIR]" >&2; exit 2; }
jobs=$(nproc 2>/dev/null || echo 2)
deps=""
out=""
while (($#)); do
  case $1 in
    -j) (($# >= 2)) || usage; jobs=$2; shift 2 ;;
    -j?*) jobs=${1#-j}; shift ;;
    --deps) (($# >= 2)) || usage; deps=$(cd "$2" && pwd); shift 2 ;;
    -*) usage ;;
    *) [[ -z $out ]] || usage; out=$1; shift ;;
  esac
done
out=$(mkdir -p "${out:-dist}" && cd "${out:-dist}" && pwd)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

scripts/install-deps.sh native win32
for preset in win32 win64; do
  if cmake --list-presets 2>/dev/null | grep -q "\"$preset\""; then
    liblzma=()
    if [[ -n $deps ]]; then
      triplet=$([[ $preset == win32 ]] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32)
      liblzma=("-DVEMSETUP_LIBLZMA_PREFIX=$deps/liblzma-$triplet"
               "-DVEMPACK_WINDOWS_LIBLZMA_PREFIX=$deps/liblzma-packer-$triplet")
    fi
    cmake --preset "$preset" "${liblzma[@]}" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
  fi
done
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target vempack

version=$(sed -n 's/^project(vemsetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=vemsetup-$version
rm -rf "${out:?}/$name"
# The install strips the packer itself (cmake/Release.cmake).
cmake --install build/native --prefix "$out/$name" >/dev/null
[[ -f $out/$name/share/vemsetup/vemsetup.exe ]] || { echo "$0: no 32-bit stub was built" >&2; exit 1; }
(cd "$out/$name" && sha256sum -c --quiet SHA256SUMS)

archive=$out/$name-linux-$(uname -m).tar.gz
tar -C "$out" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  --mode=u+rwX,go+rX,go-w -cf - "$name" | gzip -n -9 >"$archive"
echo "$out/$name"
echo "$archive"
