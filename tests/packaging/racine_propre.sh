#!/usr/bin/env bash
# Installs the Debian package into a clean Debian root made by debootstrap
# (minbase, with the package's dependencies) and runs it there:
# velorine-maj --version from the PATH, the group velorine and its product
# folder, an unattended installation by a teacher of that group, then purge.
# The .deb files downloaded for the root are kept in CACHE_DIR, so that later
# runs need no network.
# Usage: racine_propre.sh PACKAGE_DIR SOURCE_DIR CACHE_DIR
set -uo pipefail
deb=$(ls "$1"/velorine-maj_*.deb 2>/dev/null | head -n 1)
source_dir=$2
cache=$3

saute() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || saute "needs root for debootstrap, chroot and mount"
for outil in debootstrap chroot mount dpkg-deb python3; do
  command -v "$outil" >/dev/null || saute "$outil is not installed (package debootstrap for debootstrap)"
done
[ -n "$deb" ] || saute "no package was built (see the test paquet)"

echec=0
faute() { echo "FAIL: $*"; echec=1; }

# debootstrap and the runs inside the root need /proc there: a container
# without the right to mount cannot make a clean root.
essai=$(mktemp -d)
if ! mount -t proc proc "$essai" 2>/dev/null; then
  rmdir "$essai"
  saute "cannot mount /proc here (an unprivileged container?), which debootstrap needs"
fi
umount "$essai"
rmdir "$essai"

racine=$(mktemp -d "${TMPDIR:-/tmp}/velorine-racine.XXXXXX")
chmod 755 "$racine" # its users are not all root
nettoyer() {
  umount "$racine/proc" 2>/dev/null
  rm -rf --one-file-system "$racine"
}
trap nettoyer EXIT

# The suite of this machine and the package's dependencies by name, the first
# of each set of alternatives.
. /etc/os-release
suite=${VERSION_CODENAME:-bookworm}
miroir=${VELORINE_MIROIR_DEBIAN:-http://deb.debian.org/debian}
dependances=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/[[:space:]]//g' | grep . | paste -sd, -)

mkdir -p "$cache"
debut=$(date +%s)
if ! debootstrap --variant=minbase --include="$dependances" --cache-dir="$(realpath "$cache")" \
       "$suite" "$racine" "$miroir" >"$racine.log" 2>&1; then
  if grep -qi "couldn't download\|failed getting release\|could not resolve\|connection\|unable to fetch" "$racine.log"; then
    tail -n 5 "$racine.log"
    rm -f "$racine.log"
    saute "the Debian archive $miroir cannot be reached to make a clean root"
  fi
  tail -n 30 "$racine.log"
  rm -f "$racine.log"
  echo "FAIL: debootstrap could not make a clean root"
  exit 1
fi
rm -f "$racine.log"
echo "clean root $suite made in $(( $(date +%s) - debut )) s"

mount -t proc proc "$racine/proc" || { echo "FAIL: cannot mount /proc in the clean root"; exit 1; }
dans() { chroot "$racine" "$@"; }

cp "$deb" "$racine/tmp/velorine-maj.deb"
dans dpkg -i /tmp/velorine-maj.deb || faute "dpkg -i failed"

version=$(dans velorine-maj --version 2>&1)
[ "$version" = "velorine-maj $(dpkg-deb -f "$deb" Version)" ] || faute "velorine-maj --version printed '$version'"

droits=$(dans stat -c '%U %G %a' /opt/velorine)
[ "$droits" = "root velorine 2775" ] || faute "the product folder is '$droits', not 'root velorine 2775'"
[ -f "$racine/usr/share/man/man1/velorine-maj.1.gz" ] || faute "no manual page"
[ -f "$racine/lib/systemd/system/velorine-maj.timer" ] || faute "no systemd timer"

# A teacher of the group installs an update file from a "USB stick" with the
# command on the PATH: the product folder comes from the link's target.
dans useradd --create-home --groups velorine prof || faute "useradd failed"
mkdir -p "$racine/media/cle/DONNEES"
printf 'leçon 1\n' >"$racine/media/cle/LECON1.DAT"
python3 "$source_dir/scripts/enreg.py" "$racine/media/cle/DECEMBRE.MAJ" MAJQZ LECON1.DAT FINI
uid=$(dans id -u prof)
gid=$(dans id -g prof)
gidvelorine=$(dans getent group velorine | cut -d: -f3)
erreurs=$(chroot --userspec="$uid:$gid" --groups="$gidvelorine" "$racine" \
            env HOME=/home/prof velorine-maj --unattended --install /media/cle/DECEMBRE.MAJ 2>&1)
code=$?
[ $code -eq 0 ] || faute "the unattended installation ended with $code: $erreurs"
[ "$erreurs" = "Mise à jour terminée: La mise à jour a réussi" ] || faute "unexpected messages: $erreurs"
cmp -s "$racine/media/cle/LECON1.DAT" "$racine/opt/velorine/LECON1.DAT" || faute "LECON1.DAT was not installed"
[ "$(dans stat -c %G /opt/velorine/LECON1.DAT 2>/dev/null)" = velorine ] \
  || faute "the installed file does not belong to the group velorine"

# Purge gives the folder back to dpkg; the product's own files keep it.
dans dpkg --purge velorine-maj >/dev/null || faute "dpkg --purge failed"
dans dpkg-statoverride --list /opt/velorine >/dev/null && faute "the override of /opt/velorine outlived the purge"
[ -e "$racine/usr/bin/velorine-maj" ] && faute "the link on the PATH outlived the purge"

echo "clean root test took $(( $(date +%s) - debut )) s"
[ $echec -eq 0 ] && echo "OK: $deb installs and runs in a clean $suite root"
exit $echec
