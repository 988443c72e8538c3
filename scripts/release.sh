#!/usr/bin/env bash
# Builds a release that needs no cross compiler: the Windows stub(s), the
# packer, the README and a SHA-256 list, laid out by cmake --install and
# packed reproducibly (sorted names, fixed owner and times).
# Usage: scripts/release.sh [OUTDIR]   (default dist/)
#   -> OUTDIR/vemsetup-VERSION/{bin/vempack, share/vemsetup/vemsetup.exe,
#      share/vemsetup/vemsetup64.exe where a win64 preset exists, ...}
#   -> OUTDIR/vemsetup-VERSION-linux-ARCH.tar.gz
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}

scripts/install-deps.sh native win32
for preset in win32 win64; do
  if cmake --list-presets 2>/dev/null | grep -q "\"$preset\""; then
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
  fi
done
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target vempack

version=$(sed -n 's/^project(vemsetup VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=vemsetup-$version
rm -rf "${out:?}/$name"
cmake --install build/native --prefix "$out/$name" --strip >/dev/null
[[ -f $out/$name/share/vemsetup/vemsetup.exe ]] || { echo "$0: no 32-bit stub was built" >&2; exit 1; }
(cd "$out/$name" && sha256sum -c --quiet SHA256SUMS)

archive=$out/$name-linux-$(uname -m).tar.gz
tar -C "$out" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
  -cf - "$name" | gzip -n -9 >"$archive"
echo "$out/$name"
echo "$archive"
