#!/usr/bin/env bash
# What the Debian package carries for a person at the machine: the fonts the
# windows are laid out with, recommended; the guide with every picture it
# shows, beside it.
# Usage: paquet_contenu.sh PACKAGE_DIR
set -euo pipefail
deb=$(ls "$1"/velorine-maj_*.deb)
racine=$(mktemp -d)
trap 'rm -rf "$racine"' EXIT
dpkg-deb -x "$deb" "$racine"

recommande=$(dpkg-deb -f "$deb" Recommends)
case ", $recommande," in
  *", fonts-liberation,"* | *", fonts-liberation "*) ;;
  *) echo "FAIL: fonts-liberation not recommended (Recommends: $recommande)"; exit 1 ;;
esac

doc="$racine/usr/share/doc/velorine-maj"
[ -f "$doc/guide.md.gz" ] || { echo "FAIL: no guide.md.gz"; exit 1; }
liens=$(zcat "$doc/guide.md.gz" | grep -o '](images/[^)]*)' | sed 's/^](//; s/)$//' | sort -u)
[ -n "$liens" ] || { echo "FAIL: the guide shows no picture"; exit 1; }
echec=0
for lien in $liens; do
  if [ ! -s "$doc/$lien" ]; then
    echo "FAIL: the guide's picture $lien is not beside it"
    echec=1
  fi
done
[ $echec -eq 0 ] && echo "OK: $(echo "$liens" | wc -l) pictures beside the guide, fonts-liberation recommended"
exit $echec
