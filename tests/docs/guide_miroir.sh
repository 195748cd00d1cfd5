#!/usr/bin/env bash
# The guide's section on a room's mirror, followed as written: its systemd
# service and timer pass systemd-analyze verify, the service's command is one
# the updater accepts, its sandbox lets it write the mirror's folder and
# nothing else, the timer runs before the machines' nightly update, and the
# command that points a machine at the mirror rewrites record 7 of
# PARANET.LST and only that record.
# Usage: guide_miroir.sh SOURCE_DIR VELORINE_EXE
set -uo pipefail
guide=$1/docs/guide.md
exe=$(realpath "$2")

echec=0
faute() { echo "FAIL: $*"; echec=1; }

travail=$(mktemp -d)
trap 'rm -rf "$travail"' EXIT

# The indented blocks of the section, one file each: bloc.1, bloc.2...
awk -v dossier="$travail" '
  /^### / { dans = ($0 == "### Un miroir pour la salle"); next }
  !dans { next }
  /^    / { if (!bloc) { n++; bloc = 1 } print substr($0, 5) > (dossier "/bloc." n); next }
  /^$/ { if (bloc) print "" > (dossier "/bloc." n); next }
  { bloc = 0 }
' "$guide"
service=$(grep -l '^ExecStart=' "$travail"/bloc.* | head -1)
minuteur=$(grep -l '^OnCalendar=' "$travail"/bloc.* | head -1)
paranet=$(grep -l 'PARANET.LST' "$travail"/bloc.* | xargs grep -l '^python3' | head -1)
[ -n "$service" ] || { echo "FAIL: no service unit in the guide's section"; exit 1; }
[ -n "$minuteur" ] || { echo "FAIL: no timer unit in the guide's section"; exit 1; }
[ -n "$paranet" ] || { echo "FAIL: no command writing PARANET.LST in the guide's section"; exit 1; }

cle() { sed -n "s/^$2=//p" "$1"; }
commande=$(cle "$service" ExecStart)
read -r -a mots <<<"$commande"
dossier=
for ((i = 1; i < ${#mots[@]}; i++)); do
  [ "${mots[i]}" = --mirror ] && dossier=${mots[i + 1]}
done
[ -n "$dossier" ] || faute "ExecStart makes no mirror: $commande"
[ "$(cle "$service" ReadWritePaths)" = "$dossier" ] || faute "the service may not write its mirror $dossier"
[ "$(cle "$service" ProtectSystem)" = strict ] || faute "the service may write outside its mirror"
[ "$(cle "$service" SuccessExitStatus)" = 3 ] || faute "another mirror at work counts as a failure"
[ "$(cle "$minuteur" Persistent)" = true ] || faute "the timer does not catch up missed runs"
heure=$(cle "$minuteur" OnCalendar | sed -n 's/.* \([0-9][0-9]\):\([0-9][0-9]\).*/\1\2/p')
[ -n "$heure" ] && [ "$heure" -lt 0130 ] || faute "the mirror does not run before the machines' nightly update (1:30)"

if command -v systemd-analyze >/dev/null; then
  mkdir "$travail/unites"
  sed "s|^ExecStart=[^ ]*|ExecStart=$exe|" "$service" >"$travail/unites/velorine-miroir.service"
  cp "$minuteur" "$travail/unites/velorine-miroir.timer"
  sortie=$(cd "$travail/unites" && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no \
             velorine-miroir.service velorine-miroir.timer 2>&1)
  code=$?
  if [ $code -ne 0 ] || [ -n "$sortie" ]; then
    grep -q "System has not been booted with systemd\|Failed to connect to bus" <<<"$sortie" \
      || faute "systemd-analyze verify ($code): $sortie"
  fi
else
  echo "systemd-analyze is not installed (package systemd): units not verified"
fi

# The command line is accepted: with no settings to read, the run stops at
# reading them (1), not at its arguments (2). The mirror's folder is a
# temporary one.
arguments=("${mots[@]:1}")
for ((i = 0; i < ${#arguments[@]}; i++)); do
  [ "${arguments[i]}" = "$dossier" ] && arguments[i]=$travail/miroir
done
sortie=$("$exe" --product-dir "$travail/vide" "${arguments[@]}" 2>&1)
code=$?
[ $code -eq 1 ] && [ "$sortie" = "Lecture impossible: Lecture imposible sur le disque." ] \
  || faute "the service's command ($code): $sortie"

# Record 7 rewritten, the others kept.
python3 "$1/scripts/enreg.py" "$travail/PARANET.LST" un deux trois quatre cinq six "http://ancienne/LISTE.MAJ" huit
sed "s|/opt/velorine/PARANET.LST|$travail/PARANET.LST|" "$paranet" >"$travail/paranet.sh"
(cd "$travail" && bash paranet.sh) || faute "the command writing PARANET.LST failed"
attendu=$(grep -o 'http://[^ ]*LISTE.MAJ' "$paranet" | head -1)
lus=$(python3 - "$travail/PARANET.LST" <<'FIN'
import sys
d = open(sys.argv[1], "rb").read()
print("|".join(d[i + 2:i + 2 + d[i] + 256 * d[i + 1]].decode("cp1252") for i in range(0, len(d), 128)))
FIN
)
[ "$lus" = "un|deux|trois|quatre|cinq|six|$attendu|huit" ] || faute "PARANET.LST after the guide's command: $lus"

[ $echec -eq 0 ] && echo "OK: the mirror's units, its command and the PARANET.LST command of the guide"
exit $echec
