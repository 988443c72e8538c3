#!/usr/bin/env bash
# The packer needs nothing of the machine it was built on but the C library:
# every NEEDED entry of its dynamic section is a part of glibc.
# Usage: needed_libraries_test.sh VEMPACK
set -euo pipefail
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[[ -n $needed ]] || { echo "no NEEDED entries read from $1" >&2; exit 1; }
bad=$(grep -Ev '^(libc|libm|libdl|librt|libpthread)\.so\.[0-9]+$|^ld-linux(-x86-64)?\.so\.[0-9]+$' <<<"$needed" || true)
if [[ -n $bad ]]; then
  echo "$1 needs libraries beyond the C library:" $bad >&2
  exit 1
fi
echo "$1 needs:" $needed
