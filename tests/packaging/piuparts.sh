#!/usr/bin/env bash
# piuparts installs and purges the Debian package in a clean Debian root and
# finds nothing left behind, removed or changed. The root's tarball is kept
# in CACHE_DIR for later runs of this build tree.
# Usage: piuparts.sh PACKAGE_DIR CACHE_DIR
set -uo pipefail
. "$(dirname "$0")/../support/outils.sh"
deb=$(ls "$1"/velorine-maj_*.deb 2>/dev/null | head -n 1)
cache=$2

saute() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || saute "piuparts needs root"
command -v piuparts >/dev/null || saute "piuparts is not installed"
[ -n "$deb" ] || saute "no package was built (see the test paquet)"
proc_montable || saute "cannot mount /proc here, which piuparts needs"

. /etc/os-release
suite=${VERSION_CODENAME:-bookworm}
miroir=${VELORINE_MIROIR_DEBIAN:-http://deb.debian.org/debian}
mkdir -p "$cache"
base="$(realpath "$cache")/base-$suite.tgz"
if [ -s "$base" ]; then
  racine=(-b "$base")
else
  racine=(-s "$base")
fi
journal=$(mktemp)
trap 'rm -f "$journal"' EXIT
timeout 1200 piuparts -d "$suite" -m "$miroir" "${racine[@]}" --no-upgrade-test -l "$journal" "$deb" >/dev/null 2>&1
code=$?
if [ $code -ne 0 ]; then
  if grep -qi "could not resolve\|failed to fetch\|connection failed" "$journal"; then
    saute "the Debian archive $miroir cannot be reached"
  fi
  grep -E "ERROR|FAIL|disappeared|not removed|left" "$journal" | tail -n 40
  echo "FAIL: piuparts ($code)"
  rm -f "$base"
  exit 1
fi
tail -n 1 "$journal"
echo "OK: piuparts installs and purges $deb cleanly"
