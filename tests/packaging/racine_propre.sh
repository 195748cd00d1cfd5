#!/usr/bin/env bash
# The guide followed as written on a fresh Debian root (debootstrap, minbase,
# with the package's dependencies and systemd), booted with systemd-nspawn:
# the package installs, Velorine copied in is given to the group, two
# teachers of the group update one after the other and a pupil cannot, no
# member can replace the updater or the publisher's key, the nightly service
# updates the product as its static user, logs to the journal and puts its
# run off while a Velorine runs, its exposure is at most 2.0, the room-wide
# command runs the service, and purge leaves nothing behind. Each command of
# the guide's chapters on installing, rights, USB sticks, the night and the
# exit statuses is taken from docs/guide.md and run as it stands (ssh, the
# one part that needs a second machine, runs the command in place).
# The .deb files downloaded for the root are kept in CACHE_DIR, so that later
# runs need no network; the root itself is made again each time.
# Usage: racine_propre.sh PACKAGE_DIR SOURCE_DIR CACHE_DIR
set -uo pipefail
deb=$(ls "$1"/velorine-maj_*.deb 2>/dev/null | head -n 1)
source_dir=$2
cache=$3
guide=$source_dir/docs/guide.md
enreg=$source_dir/scripts/enreg.py
. "$source_dir/tests/support/outils.sh"

saute() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || saute "needs root for debootstrap, systemd-nspawn and mount"
for outil in debootstrap systemd-nspawn nsenter mount dpkg-deb python3 timeout; do
  command -v "$outil" >/dev/null || saute "$outil is not installed (packages debootstrap, systemd-container)"
done
[ -n "$deb" ] || saute "no package was built (see the test paquet)"

echec=0
faute() { echo "FAIL: $*"; echec=1; }
ok() { echo "ok: $*"; }

# debootstrap and the container need /proc mounted there: a container
# without the right to mount cannot make a clean root.
proc_montable || saute "cannot mount /proc here (an unprivileged container?), which debootstrap needs"

racine=$(mktemp -d "${TMPDIR:-/tmp}/velorine-racine.XXXXXX")
chmod 755 "$racine" # its users are not all root
web=$(mktemp -d)
chmod 755 "$web"
blocs=$(mktemp -d)
nspawn=
serveur=
nettoyer() {
  if [ -n "$nspawn" ]; then
    kill "$nspawn" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$nspawn" 2>/dev/null || break; sleep 0.2; done
    kill -9 "$nspawn" 2>/dev/null
  fi
  [ -n "$serveur" ] && kill "$serveur" 2>/dev/null
  umount -R "$racine/proc" 2>/dev/null
  rm -rf --one-file-system "$racine" "$web" "$blocs"
}
trap nettoyer EXIT

. /etc/os-release
suite=${VERSION_CODENAME:-bookworm}
miroir=${VELORINE_MIROIR_DEBIAN:-http://deb.debian.org/debian}
dependances=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/[[:space:]]//g' | grep . | paste -sd, -)

mkdir -p "$cache"
debut=$(date +%s)
if ! timeout 900 debootstrap --variant=minbase --include="$dependances,systemd,systemd-sysv,dbus,adduser" \
       --cache-dir="$(realpath "$cache")" "$suite" "$racine" "$miroir" >"$racine.log" 2>&1; then
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
echo "clean root $suite made in $(($(date +%s) - debut)) s"

# The guide's indented blocks of a chapter, each as one text.
bloc() { # chapter pattern: the first block of the chapter matching it
  rm -f "$blocs"/bloc.*
  awk -v titre="## $1" -v dossier="$blocs" '
    /^## / { dans = ($0 == titre); next }
    !dans { next }
    /^    / { if (!bloc) { n++; bloc = 1 } print substr($0, 5) > (dossier "/bloc." n); next }
    /^$/ { next }
    { bloc = 0 }
  ' "$guide"
  local f
  for f in $(ls "$blocs"/bloc.* 2>/dev/null | sort -t. -k2 -n); do
    if grep -qE -- "$2" "$f"; then
      cat "$f"
      return
    fi
  done
}
# The commands in backticks of a chapter's table.
tableau() { # chapter
  awk -v titre="## $1" '/^## / { dans = ($0 == titre); next } dans && /^\| / ' "$guide" |
    sed -n 's/^|[^|]*| `\([^`]*\)` |$/\1/p'
}

# What the guide's steps need, beside the root: Velorine's installation
# disk (files 0644 and a 0755 folder, as a copy makes them), a USB stick,
# and the school's server on this machine's loopback, which the container
# shares.
umask 022
serveur_http "$web" 1500
publier() { # levels...
  local groupes=() n
  for n in "$@"; do
    echo "niveau $n" >"$web/L$n.DAT"
    groupes+=(" $n" "$adresse/L$n.DAT" "LECON$n.DAT")
  done
  "$enreg" "$web/LISTE.MAJ" MAJQZ7INTERNET "${groupes[@]}"
}
publier 3
disque="$racine/media/velorine"
mkdir -p "$disque/DONNEES"
printf '#!/bin/sh\nexec sleep 30\n' >"$disque/VELORINE.EXE"
chmod 0755 "$disque/VELORINE.EXE"
echo "leçon 1" >"$disque/LECON1.DAT"
echo "sons" >"$disque/DONNEES/SONS.DAT"
"$enreg" "$disque/TEMPO.QZS" --at 24 " 2"
"$enreg" "$disque/PARANET.LST" --at 7 "$adresse/LISTE.MAJ"
mkdir -p "$racine/media/cle"
"$enreg" "$racine/media/cle/DECEMBRE.MAJ" MAJQZ LECON1.DAT FINI
version=$(dpkg-deb -f "$deb" Version)
mkdir -p "$racine/srv/paquet"
cp "$deb" "$racine/srv/paquet/"

# The root booted.
systemd-nspawn -q -D "$racine" -b --console=read-only --register=no --keep-unit >"$web.console" 2>&1 &
nspawn=$!
pid1=
for _ in $(seq 150); do
  pid1=$(pgrep -P "$nspawn" -x systemd | head -n 1)
  [ -n "$pid1" ] && break
  kill -0 "$nspawn" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$pid1" ]; then
  tail -n 20 "$web.console"
  rm -f "$web.console"
  saute "systemd-nspawn cannot boot the root here"
fi
rm -f "$web.console"
# A command in the booted root, as root, in a login-like environment.
dans() { timeout 120 nsenter -t "$pid1" -a -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
# A command as a user of the root, in the user's groups, umask 022.
comme() { # user command
  local u=$1
  shift
  dans setpriv --reuid "$u" --regid "$(dans id -g "$u")" --init-groups sh -c "umask 022; $*"
}
# Booted once systemd answers and has started its units.
etat=
for _ in $(seq 120); do
  etat=$(dans systemctl is-system-running 2>/dev/null)
  case "$etat" in running | degraded) break ;; esac
  sleep 0.5
done
echo "booted: $etat"

# Installing the package, then Velorine, as the guide says.
commande=$(bloc "Installer le paquet" "apt-get install")
commande=${commande//velorine-maj_1.0.0_amd64.deb/velorine-maj_${version}_amd64.deb}
dans sh -c "cd /srv/paquet && $commande" >/dev/null || faute "the guide's installation failed: $commande"
[ "$(dans stat -c '%F %U %a' /usr/bin/velorine-maj)" = "regular file root 755" ] \
  || faute "/usr/bin/velorine-maj is not root's program: $(dans stat -c '%F %U %a' /usr/bin/velorine-maj)"
[ "$(dans stat -c '%U %G %a' /opt/velorine)" = "root velorine 2775" ] \
  || faute "the product folder is $(dans stat -c '%U %G %a' /opt/velorine)"
dans dpkg -S /opt >/dev/null 2>&1 && faute "the package owns /opt"
[ "$(dans id -gn velorine-maj 2>/dev/null)" = velorine ] || faute "no system user velorine-maj in the group velorine"
[ "$(dans stat -c '%U %a' /etc/velorine-maj)" = "root 755" ] || faute "no configuration folder of root's"
commande=$(bloc "Installer le paquet" "repair-rights")
dans sh -c "$commande" || faute "the guide's copy of Velorine failed: $commande"
hors=$(dans find /opt/velorine \( ! -group velorine -o ! -perm -g+w \) -print)
[ -z "$hors" ] && ok "Velorine copied in belongs to the group" || faute "not the group's after the guide's copy: $hors"

# Two teachers and a pupil; the guide's commands for the group.
for u in mdupont mleroy eleve; do dans useradd --create-home "$u"; done
commande=$(bloc "Donner aux enseignants le droit de mettre à jour" "^adduser")
dans sh -c "$commande" || faute "$commande"
dans sh -c "${commande//mdupont/mleroy}" || faute "${commande//mdupont/mleroy}"
membres=$(dans sh -c "$(bloc "Donner aux enseignants le droit de mettre à jour" "^getent")")
grep -q "mdupont,mleroy\|mleroy,mdupont" <<<"$membres" || faute "getent group velorine gave: $membres"

# Each teacher in turn installs the stick with the guide's command; the
# pupil cannot.
commande=$(bloc "Mettre à jour depuis une clé USB" "--install")
for u in mdupont mleroy; do
  echo "leçon 1 de $u" >"$racine/media/cle/LECON1.DAT"
  chmod 0644 "$racine/media/cle/LECON1.DAT"
  sortie=$(comme "$u" "$commande" 2>&1) || faute "$u: $commande: $sortie"
  grep -q "de $u" "$racine/opt/velorine/LECON1.DAT" && ok "$u updated from the stick" || faute "$u did not update"
done
echo "leçon de l'élève" >"$racine/media/cle/LECON1.DAT"
comme eleve "$commande" >/dev/null 2>&1 && faute "the pupil updated the product"
grep -q "de mleroy" "$racine/opt/velorine/LECON1.DAT" || faute "the pupil changed LECON1.DAT"

# No member can replace the updater, nor the publisher's key.
comme mdupont "mv /usr/bin/velorine-maj /tmp/x" 2>/dev/null && faute "a member moved the updater away"
comme mdupont "cp /bin/true /usr/bin/velorine-maj" 2>/dev/null && faute "a member replaced the updater"
cle=$(bloc "Une salle entière : miroir, preuve d'origine, reprise" "install -m 644 VELORINE.PUB")
if [ -n "$cle" ]; then
  printf 'untrusted comment: clé de test\nRWQAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n' >"$racine/root/VELORINE.PUB"
  dans sh -c "cd /root && $cle" || faute "$cle"
  comme mdupont "rm -f /etc/velorine-maj/VELORINE.PUB" 2>/dev/null
  comme mdupont "echo faux > /etc/velorine-maj/VELORINE.PUB" 2>/dev/null
  cmp -s "$racine/root/VELORINE.PUB" "$racine/etc/velorine-maj/VELORINE.PUB" \
    && ok "the configured key is out of the members' reach" || faute "a member changed the configured key"
  rm -f "$racine/etc/velorine-maj/VELORINE.PUB"
else
  faute "the guide gives no command installing the key"
fi

# The night: the guide's command, then its table.
nuit="La mise à jour de nuit"
dans sh -c "$(bloc "$nuit" "enable --now")" >/dev/null 2>&1 || faute "systemctl enable --now velorine-maj.timer"
[ "$(dans systemctl is-active velorine-maj.timer)" = active ] || faute "the timer is not active"
while read -r commande; do
  case "$commande" in
    *" edit "*) continue ;; # an editor: nothing to run unattended
    *"disable --now"*) arret=$commande; continue ;;
    *"start velorine-maj.service"*) lancement=$commande ;;
  esac
  dans sh -c "$commande" >/dev/null 2>&1 || faute "the guide's $commande failed"
done < <(tableau "$nuit")
[ -n "${lancement:-}" ] || faute "the guide's table does not start the service"
niveau() {
  /usr/bin/python3 -c "import sys; d=open(sys.argv[1],'rb').read()[23*128:24*128]; print(d[2:2+d[0]].decode('cp1252').strip())" \
    "$racine/opt/velorine/TEMPO.QZS"
}
[ "$(niveau)" = 3 ] || faute "the service did not record level 3 but $(niveau)"
[ "$(dans stat -c '%U %G' /opt/velorine/LECON3.DAT 2>/dev/null)" = "velorine-maj velorine" ] \
  || faute "LECON3.DAT is not the service user's: $(dans stat -c '%U %G %a' /opt/velorine/LECON3.DAT 2>&1)"
hors=$(dans find /opt/velorine \( ! -group velorine -o ! -perm -g+w \) -print)
[ -z "$hors" ] || faute "not the group's after the service's run: $hors"
journal=$(dans journalctl -u velorine-maj.service --no-pager -o cat)
grep -q "Actualisation terminée.: Vous disposez maintenant de la version 3" <<<"$journal" \
  && ok "the service updated to level 3 and said so in the journal" || faute "journal: $journal"
exposition=$(dans systemd-analyze security velorine-maj.service 2>&1 |
               sed -n 's/.*Overall exposure level for velorine-maj.service: \([0-9.]*\).*/\1/p')
awk -v e="${exposition:-99}" 'BEGIN { exit !(e <= 2.0) }' && ok "exposure $exposition" \
  || faute "the service's exposure in the booted root is '${exposition}'"

# A pupil's Velorine is open: the service replaces nothing, says why, and
# is no failure; once it is closed the next run updates.
publier 3 4
dans setpriv --reuid eleve --regid "$(dans id -g eleve)" --clear-groups \
  bash -c 'exec -a /opt/velorine/VELORINE.EXE sleep 10' &
ouvert=$!
sleep 2
dans sh -c "$lancement" || faute "the service failed while Velorine was open"
ligne=$(bloc "$nuit" "^velorine-maj: Velorine est ouvert")
dans journalctl -u velorine-maj.service --no-pager -o cat | grep -qxF "$ligne" \
  && ok "the journal gives the guide's line" || faute "the journal lacks: $ligne"
[ -e "$racine/opt/velorine/LECON4.DAT" ] && faute "the service replaced files of an open Velorine"
wait "$ouvert" 2>/dev/null # Velorine closed
dans sh -c "$lancement" || faute "$lancement"
[ -e "$racine/opt/velorine/LECON4.DAT" ] && ok "once closed, the service updated" || faute "level 4 did not come"

# The room-wide command of the exit statuses' chapter, for each machine
# (this one: ssh is the part that needs other machines).
salle=$(bloc "Sans fenêtre : les codes de sortie" "ssh root@")
# Each machine starts its own service once; this one, fifteen times, is
# spared systemd's limit on starts in a row.
sortie=$(dans bash -c "ssh() { shift; systemctl reset-failed velorine-maj.service; \"\$@\"; }; $salle")
[ "$(grep -c ' : 0$' <<<"$sortie")" -eq 15 ] && ok "the room-wide command" || faute "room-wide command: $sortie"

# Leaving the group, then purge with the timer enabled.
dans sh -c "$(bloc "Donner aux enseignants le droit de mettre à jour" "^deluser")" >/dev/null \
  || faute "deluser mdupont velorine"
dans id -nG mdupont | grep -qw velorine && faute "mdupont is still in the group"
dans sh -c "${arret:-false}" >/dev/null 2>&1 || faute "the guide's command to stop the nightly update"
[ "$(dans systemctl is-enabled velorine-maj.timer 2>&1)" = disabled ] || faute "the timer is still enabled"
dans systemctl enable --now velorine-maj.timer >/dev/null 2>&1
dans apt-get purge -y velorine-maj >/dev/null 2>&1 || faute "apt-get purge failed"
for reste in /usr/bin/velorine-maj /etc/systemd/system/timers.target.wants/velorine-maj.timer \
             /var/lib/systemd/timers/stamp-velorine-maj.timer /var/lib/velorine-maj; do
  [ -e "$racine$reste" ] || [ -L "$racine$reste" ] && faute "$reste outlived the purge"
done
[ "$(dans stat -c '%U %G %a' /opt/velorine)" = "root root 755" ] \
  || faute "purge did not give the folder back: $(dans stat -c '%U %G %a' /opt/velorine)"

echo "booted root test took $(($(date +%s) - debut)) s"
[ $echec -eq 0 ] && echo "OK: the guide, followed on a booted $suite root"
exit $echec
