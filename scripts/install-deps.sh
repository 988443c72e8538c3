#!/usr/bin/env bash
# Installs what the builds and tests need on a fresh Debian machine.
# Usage: scripts/install-deps.sh [native] [win32] [fuzz] [bench] [all]
# Safe to run again: packages already present are skipped by apt.
set -euo pipefail

want() { for g in "${GROUPS_WANTED[@]}"; do [[ $g == "$1" || $g == all ]] && return 0; done; return 1; }
GROUPS_WANTED=("${@:-native}")
# The benchmarks compare the Windows build under Wine too.
if want bench; then GROUPS_WANTED+=(win32); fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=()
if want native || want fuzz || want win32 || want bench; then
  packages+=(cmake g++ make pkg-config xz-utils liblzma-dev googletest libgtest-dev
             libgmock-dev libbenchmark-dev clang-format liblnk-utils time)
fi
if want fuzz; then packages+=(clang libclang-rt-14-dev llvm-14); fi
# Both Windows builds: PE32 (i686, 32-bit Wine) and PE32+ (x86-64, wine64,
# which also runs where the kernel refuses 32-bit programs).
if want win32; then
  # locales: the Wine test of double-byte code pages runs in a Japanese locale.
  packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
             binutils-mingw-w64-x86-64 dpkg-dev wine wine64 wine32:i386 locales)
  # Readers and signing of the setups that vempack build writes. bookworm
  # itself has osslsigncode 2.5; its backports have 2.9, which the tests use.
  packages+=(python3-pefile icoutils openssl osslsigncode)
fi
if want bench; then packages+=(nsis python3-matplotlib); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if want win32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing+=(wine32:i386)
fi
# apt-get source (liblzma for the Windows builds) needs a deb-src entry. It
# is derived from the machine's own package sources, so that the sources come
# from wherever its packages come from: deb822 stanzas ("Types: deb") get
# deb-src added, and each one-line "deb" entry is copied as "deb-src" into a
# list file of its own. Only the files apt reads count.
source_files() {
  shopt -s nullglob
  local files=("$1"/sources.list "$1"/sources.list.d/*.list "$1"/sources.list.d/*.sources)
  shopt -u nullglob
  for f in "${files[@]}"; do [[ -f $f ]] && printf '%s\n' "$f"; done
  return 0
}
has_deb_src() {
  local files
  mapfile -t files < <(source_files "$1")
  ((${#files[@]})) && grep -qs '^[[:space:]]*deb-src[[:space:]]\|^Types:.*deb-src' "${files[@]}"
}
add_deb_src() {
  local dir=$1 file files lines=""
  mapfile -t files < <(source_files "$dir")
  for file in "${files[@]}"; do
    case $file in
      *.sources) $SUDO sed -i 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$file" ;;
      *) lines+=$(sed -n 's/^[[:space:]]*deb\([[:space:]]\)/deb-src\1/p' "$file")$'\n' ;;
    esac
  done
  if [[ -n ${lines//$'\n'/} ]]; then
    printf '%s' "$lines" | grep -v '^$' | $SUDO tee "$dir/sources.list.d/vemsetup-src.list" >/dev/null
  fi
  has_deb_src "$dir" || { echo "$0: no package source in $dir to derive a deb-src entry from" >&2; return 1; }
}
if want win32 && ! has_deb_src /etc/apt; then
  add_deb_src /etc/apt
  missing+=(dpkg-dev)
fi

# The stubs' liblzma comes from a newer xz-utils than this release has (its
# decoder is faster): the source of the suite that has it, through deb-src
# lines made from the machine's own entries for its release with only the
# suite name replaced, so that they point wherever its packages come from.
# Source entries only: no binary package changes.
source_suite=$("$(dirname "${BASH_SOURCE[0]}")/build-liblzma-win32.sh" --suite)
has_suite_src() {
  local files
  mapfile -t files < <(source_files "$1")
  ((${#files[@]})) && grep -qs "^[[:space:]]*deb-src[[:space:]].*[[:space:]]$2[[:space:]]" "${files[@]}"
}
# One "deb-src [signed-by=...] URI SUITE COMPONENTS" line for each entry of
# the release CODENAME itself (not its -updates or -security), one-line or
# deb822.
suite_src_lines() {
  local dir=$1 codename=$2 suite=$3 file files
  mapfile -t files < <(source_files "$dir")
  for file in "${files[@]}"; do
    case $file in
      *.sources)
        awk -v codename="$codename" -v suite="$suite" '
          function flush() {
            if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " codename " "))
              for (i = 1; i <= n; ++i)
                print "deb-src " (key ~ /^\// ? "[signed-by=" key "] " : "") uri[i] " " suite " " comps
            types = suites = comps = key = ""; n = 0
          }
          /^[[:space:]]*$/ { flush(); next }
          /^[[:space:]]*#/ { next }
          { field = tolower($1); $1 = ""; sub(/^[[:space:]]+/, ""); sub(/[[:space:]]+$/, "") }
          field == "types:" { types = $0 }
          field == "suites:" { suites = $0 }
          field == "components:" { comps = $0 }
          field == "signed-by:" { key = $0 }
          field == "uris:" { n = split($0, uri, /[[:space:]]+/) }
          END { flush() }' "$file" ;;
      *) sed -n "s/^[[:space:]]*deb\(-src\)\{0,1\}[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\{0,1\}\([^[:space:]]\+\)[[:space:]]\+$codename[[:space:]]\+/deb-src \2\3 $suite /p" "$file" ;;
    esac
  done | sort -u
}
if want win32 && ! has_suite_src /etc/apt "$source_suite"; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  lines=$(suite_src_lines /etc/apt "$codename" "$source_suite")
  [[ -n $codename && -n $lines ]] ||
    { echo "$0: no entry for ${codename:-this release} in /etc/apt to derive $source_suite's sources from" >&2; exit 1; }
  printf '%s\n' "$lines" | $SUDO tee "/etc/apt/sources.list.d/vemsetup-src-$source_suite.list" >/dev/null
  refresh=1
fi

# A mirror caught mid-sync fails one index now and then ("File has unexpected
# size"): try again, then go on with the indexes that did arrive and let the
# install say whether anything it needs is missing.
apt_update() {
  local try
  for try in 1 2 3; do
    $SUDO apt-get update -qq && return 0
    ((try == 3)) || sleep $((try * 10))
  done
  echo "$0: apt-get update failed three times; going on with the indexes it fetched" >&2
}
if ((${#missing[@]})) || ((${refresh:-0})); then
  apt_update
fi
install_missing() {
  $SUDO apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
# 32-bit Wine needs each i386 library at the version of its amd64 twin; a
# mirror whose i386 index of one suite did not arrive cannot give them. Such
# a machine is then one that runs 64-bit Windows programs only: the 32-bit
# build is still made, and its Wine tests say why they are skipped.
if ((${#missing[@]})) && ! install_missing "${missing[@]}"; then
  without32=()
  for p in "${missing[@]}"; do [[ $p == wine32:i386 ]] || without32+=("$p"); done
  ((${#without32[@]} < ${#missing[@]})) || exit 1
  echo "$0: wine32:i386 cannot be installed here (see above); going on with wine64 alone" >&2
  ((${#without32[@]} == 0)) || install_missing "${without32[@]}"
fi
# The source itself, so that the builds find it (and a fresh machine needs
# the network only here).
if want win32; then
  "$(dirname "${BASH_SOURCE[0]}")/build-liblzma-win32.sh" --fetch
fi

# ja_JP.UTF-8 gives Wine the ANSI code page 932. Listed in /etc/locale.gen,
# so that a later locale-gen keeps it.
if want win32 && ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  if grep -q '^# *ja_JP\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $SUDO sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
