#!/usr/bin/env bash
# The release layout as cmake --install lays it out: the packer, the stub,
# the README and a SHA-256 list that checks; the installed packer builds a
# setup from the installed stub alone.
# Usage: release_layout_test.sh BUILD_DIR   (exits 77 without the win32 stub)
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
if [[ ! -f $prefix/share/vemsetup/vemsetup.exe ]]; then
  echo "no win32 stub was installed; build it with cmake --build --preset win32"
  exit 77
fi
for file in bin/vempack share/doc/vemsetup/README.md SHA256SUMS; do
  [[ -f $prefix/$file ]] || { echo "missing $file"; exit 1; }
done
(cd "$prefix" && sha256sum -c --quiet SHA256SUMS)
grep -q "share/vemsetup/vemsetup.exe" "$prefix/SHA256SUMS"

printf 'hello\r\n' >"$prefix/Readme.txt"
# Without --stub the installed packer takes the stub beside its bin/.
"$prefix/bin/vempack" build -o "$prefix/setup.exe" "$prefix/Readme.txt"
"$prefix/bin/vempack" build -o "$prefix/expected.exe" --stub "$prefix/share/vemsetup/vemsetup.exe" \
  "$prefix/Readme.txt"
cmp "$prefix/setup.exe" "$prefix/expected.exe"
"$prefix/bin/vempack" list "$prefix/setup.exe" | grep -q "Readme.txt"
