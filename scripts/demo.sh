#!/usr/bin/env bash
# The main job, as a user meets it: makes setup.exe, the Windows program a
# user ships, from the demo files with `vempack build`, then runs it under
# Wine twice, extract and launch, then install with both shortcuts, and
# shows the exit codes and what landed where: files, registry values (read
# from the Wine prefix's .reg files), links. The 32-bit program where this
# kernel runs 32-bit programs, else the 64-bit one.
# Usage: scripts/demo.sh          (work files in build/demo/)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh native win32 >/dev/null
if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [[ -x /usr/lib/wine/wine ]]; then
  preset=win32 triplet=i686-w64-mingw32 wine=/usr/lib/wine/wine arch=()
else
  preset=win64 triplet=x86_64-w64-mingw32 wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
  arch=(--arch 64)
fi
demo=$PWD/build/demo
rm -rf "$demo"
mkdir -p "$demo/home"
log=$demo/build.log
quietly() { "$@" >>"$log" 2>&1 || { cat "$log"; echo "$0: $* failed" >&2; exit 1; }; }
echo "== building the $preset stub, the demo programs and vempack"
quietly cmake --preset "$preset"
quietly cmake --build --preset "$preset" -j "$jobs" --target vemsetup demo_setup demo_reader \
  demo_uninstall
# The packer that build made for itself; from its folder it finds the stub
# of this build, as a release's packer finds the release's.
vempack=build/$preset/host-tools/vempack
programs=build/$preset/demo
echo "== vempack build"
"$vempack" build -o "$demo/setup.exe" "${arch[@]}" \
  "Setup.exe=$programs/demo_setup.exe" "Vemlo Reader.exe=$programs/demo_reader.exe" \
  "Uninstall.exe=$programs/demo_uninstall.exe" demo/Readme.txt demo/License.txt
"$vempack" list "$demo/setup.exe"

# The exact command line of an install goes through CreateProcessA: wine
# would quote its arguments again.
"$triplet-gcc" -Os -s -o "$demo/launch.exe" tests/wine/tools/launch.c

# A home of its own: Wine links the desktop and other shell folders of a
# new prefix into $HOME.
export HOME=$demo/home WINEPREFIX=$demo/wine WINEARCH=$preset WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
echo "== a fresh Wine prefix ($preset) in $WINEPREFIX"
"$wine" wineboot -i >/dev/null 2>&1
drive=$WINEPREFIX/drive_c
status=0

echo "== extract and launch: wine setup.exe"
code=0
"$wine" "$demo/setup.exe" || code=$?
echo "exit code: $code (1 means success)"
[[ $code == 1 ]] || status=1
work=$(find "$drive/users" -type d -name 'vem*.tmp' | head -n 1)
if [[ -n $work ]]; then
  # The setup entry runs on its own; give it a moment to leave its marker.
  for _ in $(seq 50); do [[ -e $work/Setup.ran ]] && break; sleep 0.1; done
  echo "work directory: C:$(tr / '\\' <<<"${work#"$drive"}")"
  (cd "$work" && ls -l)
  [[ -e $work/Setup.ran ]] && echo "Setup.exe, the designated entry, was started"
fi

echo "== install: setup.exe \"C:\\Apps\\Vemlo Reader\" /d /s"
printf '"%s" "C:\\Apps\\Vemlo Reader" /d /s' "$(winepath -w "$demo/setup.exe" 2>/dev/null)" \
  >"$demo/install.txt"
code=0
"$wine" "$demo/launch.exe" "$(winepath -w "$demo/install.txt" 2>/dev/null)" || code=$?
echo "exit code: $code (1 means success)"
[[ $code == 1 ]] || status=1
wineserver -w
echo "files in C:\\Apps\\Vemlo Reader:"
(cd "$drive/Apps/Vemlo Reader" 2>/dev/null && ls -l) || echo "  (none)"
echo "registry values (system.reg and user.reg of the prefix):"
for hive in system user; do
  awk -v hive="$hive" '
    /^\[/ { show = ($0 ~ /Vemlo/); key = $0; sub(/\] [0-9]+$/, "]", key)
           if (show) print "  " hive ": " key; next }
    show && /^"|^@/ { print "      " $0 }
  ' "$WINEPREFIX/$hive.reg"
done
echo "links:"
# The desktop is a link out of the prefix (into $HOME): looked into on its own.
{ find "$drive/users" -name '*.lnk' -newer "$demo/install.txt"
  find "$drive/users"/*/Desktop/ -maxdepth 1 -name '*.lnk' -newer "$demo/install.txt"
} | while read -r link; do
  echo "  C:$(tr / '\\' <<<"${link#"$drive"}")"
  if command -v lnkinfo >/dev/null; then
    lnkinfo "$link" 2>/dev/null | grep -E 'Local path|Description' | sed 's/^[[:space:]]*/      /'
  fi
done
exit "$status"
