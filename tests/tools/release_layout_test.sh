#!/usr/bin/env bash
# The release as cmake --install lays it out, without --strip: the stripped
# packer, the stubs, the README with the documents it links to, a SHA-256
# list of every file, and no path of the build machine in any of them. Then
# the release copied elsewhere, away from any build tree, is used on its
# own: its packer takes its own stubs, and without them it finds none.
# Usage: release_layout_test.sh SOURCE_DIR BUILD_DIR
#   (exits 77 without the win32 stub)
set -euo pipefail
source_dir=$(cd "$1" && pwd -P)
build=$(cd "$2" && pwd -P)
work=$(cd "$(mktemp -d)" && pwd -P)
trap 'rm -rf "$work"' EXIT
prefix=$work/installed
cmake --install "$build" --prefix "$prefix" >/dev/null
if [[ ! -f $prefix/share/vemsetup/vemsetup.exe ]]; then
  echo "no win32 stub was installed; build it with cmake --build --preset win32"
  exit 77
fi
status=0
fail() { echo "$*"; status=1; }

for file in bin/vempack share/doc/vemsetup/README.md SHA256SUMS; do
  [[ -f $prefix/$file ]] || { echo "missing $file"; exit 1; }
done
# Every link of the README to a file of the tree resolves beside it.
readme_dir=$prefix/share/doc/vemsetup
links=$(grep -o '](docs/[^)#]*' "$readme_dir/README.md" | cut -c3- | sort -u)
[[ -n $links ]] || fail "the README links to no documents (did the link form change?)"
for link in $links; do
  [[ -f $readme_dir/$link ]] || fail "the README links to $link, which is not installed"
done

(cd "$prefix" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not check"
listed=$(sed 's/^[0-9a-f]\{64\}  //' "$prefix/SHA256SUMS" | sort)
installed=$(cd "$prefix" && find . -type f ! -name SHA256SUMS | cut -c3- | sort)
[[ $listed == "$installed" ]] ||
  fail "SHA256SUMS lists"$'\n'"$listed"$'\n'"but the install holds"$'\n'"$installed"

if readelf -S "$prefix/bin/vempack" | grep -q -e '\.symtab' -e '\.debug_'; then
  fail "bin/vempack is not stripped"
fi
for path in "$source_dir/" "$build/"; do
  named=$(grep -rlaF "$path" "$prefix" || true)
  [[ -z $named ]] || fail "these released files name the build folder $path:"$'\n'"$named"
done

# The release copied to a folder of its own, so that no build tree lies
# beside it (<bin>/../../win32 does not exist). Each copied stub is made
# different from the build tree's by its version resource, which every
# setup built from it keeps: a setup shows which stub it came from.
copy=$work/elsewhere/vemsetup
mkdir -p "$work/elsewhere"
cp -a "$prefix" "$copy"
printf 'hello\r\n' >"$work/Readme.txt"
stubs=(vemsetup.exe)
[[ -f $copy/share/vemsetup/vemsetup64.exe ]] && stubs+=(vemsetup64.exe)
for stub in "${stubs[@]}"; do
  "$copy/bin/vempack" build -o "$work/$stub" --stub "$copy/share/vemsetup/$stub" \
    --version-info "ProductName=copied $stub" "$work/Readme.txt"
  mv "$work/$stub" "$copy/share/vemsetup/$stub"
done

for stub in "${stubs[@]}"; do
  arch=()
  [[ $stub == vemsetup64.exe ]] && arch=(--arch 64)
  "$copy/bin/vempack" build -o "$work/expected.exe" --stub "$copy/share/vemsetup/$stub" \
    "$work/Readme.txt"
  rm -f "$work/setup.exe"
  if ! "$copy/bin/vempack" build -o "$work/setup.exe" "${arch[@]}" "$work/Readme.txt"; then
    fail "vempack build ${arch[*]} without --stub failed in a copied release"
  elif ! cmp -s "$work/setup.exe" "$work/expected.exe"; then
    fail "vempack build ${arch[*]} without --stub did not take the copied release's $stub"
  fi
done
"$copy/bin/vempack" list "$work/expected.exe" | grep -q "Readme.txt" ||
  fail "vempack list does not show the packed file"

# Without its stubs the copied release finds none: it never falls back on
# the stub of the tree it was built in.
rm "$copy"/share/vemsetup/*.exe
if "$copy/bin/vempack" build -o "$work/none.exe" "$work/Readme.txt" 2>"$work/error.txt"; then
  fail "vempack build without --stub found a stub outside the copied release"
elif [[ -e $work/none.exe ]]; then
  fail "vempack build left an output although it found no stub"
fi
exit "$status"
