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
if want win32; then
  # locales: the Wine test of double-byte code pages runs in a Japanese locale.
  packages+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 dpkg-dev wine wine32:i386 locales)
  # Readers and signing of the setups that vempack build writes. bookworm
  # itself has osslsigncode 2.5; its backports have 2.9, which the tests use.
  packages+=(python3-pefile icoutils openssl osslsigncode)
fi
if want bench; then packages+=(p7zip-full nsis gnuplot-nox); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done

if want win32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing+=(wine32:i386)
fi
# apt-get source needs a deb-src entry; Debian's deb822 sources file gets one added.
if want win32 && ! grep -rqs "^Types:.*deb-src\|^deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
  else
    echo "deb-src http://deb.debian.org/debian bookworm main" | $SUDO tee /etc/apt/sources.list.d/vemsetup-src.list >/dev/null
  fi
  missing+=(dpkg-dev)
fi

if ((${#missing[@]})); then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
