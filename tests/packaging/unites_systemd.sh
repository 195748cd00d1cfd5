#!/usr/bin/env bash
# The systemd service and timer of the nightly update: systemd-analyze verify
# accepts both, the timer spreads and catches up its runs, and the service
# runs an unattended update with a command line the updater accepts.
# Usage: unites_systemd.sh UNIT_DIR VELORINE_EXE
# UNIT_DIR holds velorine-maj.service (as configured by the build) and
# velorine-maj.timer.
set -uo pipefail
unites=$1
exe=$(realpath "$2")

if ! command -v systemd-analyze >/dev/null; then
  echo "SKIP: systemd-analyze is not installed (package systemd)"
  exit 77
fi

echec=0
faute() { echo "FAIL: $*"; echec=1; }

travail=$(mktemp -d)
trap 'rm -rf "$travail"' EXIT

# The service's program lies in the product folder, which exists only once the
# package is installed: verify a copy that runs the updater just built.
commande=$(sed -n 's/^ExecStart=//p' "$unites/velorine-maj.service")
read -r -a mots <<<"$commande"
sed "s|^ExecStart=[^ ]*|ExecStart=$exe|" "$unites/velorine-maj.service" >"$travail/velorine-maj.service"
cp "$unites/velorine-maj.timer" "$travail/"

# Manual pages are checked with the package, not here.
sortie=$(cd "$travail" && SYSTEMD_LOG_LEVEL=notice systemd-analyze verify --man=no \
           velorine-maj.service velorine-maj.timer 2>&1)
code=$?
if [ $code -ne 0 ] || [ -n "$sortie" ]; then
  if grep -q "System has not been booted with systemd\|Failed to connect to bus" <<<"$sortie"; then
    echo "SKIP: systemd-analyze cannot run here: $sortie"
    exit 77
  fi
  faute "systemd-analyze verify ($code): $sortie"
fi

cle() { sed -n "s/^$2=//p" "$unites/$1"; }
[ "$(cle velorine-maj.timer Persistent)" = true ] || faute "the timer does not catch up missed runs"
[ -n "$(cle velorine-maj.timer RandomizedDelaySec)" ] || faute "the timer has no RandomizedDelaySec"
[ -n "$(cle velorine-maj.timer OnCalendar)" ] || faute "the timer has no OnCalendar"
[ "$(cle velorine-maj.timer WantedBy)" = timers.target ] || faute "the timer is not wanted by timers.target"
[ "$(cle velorine-maj.service StandardError)" = journal ] || faute "messages do not go to the journal"
case "${mots[0]}" in
  /*/velorine-maj) ;;
  *) faute "ExecStart does not run velorine-maj by its full path: $commande" ;;
esac
[ "${mots[*]:1}" = "--unattended --auto" ] || faute "ExecStart is not an unattended update: $commande"
"$exe" "${mots[@]:1}" --version >/dev/null 2>&1 || faute "velorine-maj refuses ${mots[*]:1}"

[ $echec -eq 0 ] && echo "OK: velorine-maj.service, velorine-maj.timer"
exit $echec
