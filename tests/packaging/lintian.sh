#!/usr/bin/env bash
# lintian accepts the Debian package: no error, warning, information or
# pedantic tag, with the Debian hardening flags (overridden
# tags are listed in the package, each with its reason).
# Usage: lintian.sh PACKAGE_DIR
set -uo pipefail
deb=$(ls "$1"/velorine-maj_*.deb 2>/dev/null | head -n 1)
if ! command -v lintian >/dev/null; then
  echo "SKIP: lintian is not installed"
  exit 77
fi
if [ -z "$deb" ]; then
  echo "SKIP: no package was built (see the test paquet)"
  exit 77
fi
rapport=$(lintian --fail-on none --pedantic --info --suppress-tags-from-file /dev/null "$deb" 2>&1 | grep -v '^running with root privileges')
echo "$rapport"
if grep -q "^[EWIP]: " <<<"$rapport"; then
  echo "FAIL: lintian reports errors or warnings on $deb"
  exit 1
fi
echo "OK: lintian accepts $deb"
