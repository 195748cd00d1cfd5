#!/usr/bin/env bash
# Builds the Debian package of the build tree into OUT_DIR, as make package
# does, for the tests that check it.
# Usage: paquet.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1
sortie=$2
if ! command -v dpkg-shlibdeps >/dev/null; then
  echo "SKIP: dpkg-shlibdeps is missing (package dpkg-dev)"
  exit 77
fi
rm -rf "$sortie"
mkdir -p "$sortie"
cpack --config "$build/CPackConfig.cmake" -B "$sortie" >"$sortie/cpack.log" 2>&1 || {
  cat "$sortie/cpack.log"
  exit 1
}
ls "$sortie"/velorine-maj_*.deb
