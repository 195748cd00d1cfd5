#!/usr/bin/env bash
# The systemd service and timer of the nightly update: systemd-analyze verify
# accepts both, the service's exposure (systemd-analyze security) is at most
# 2.0, it runs as the static user velorine-maj of the group velorine, the
# timer spreads its runs and catches up soon after a start, and the service
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

# The service's program exists only once the package is installed: verify a
# copy that runs the updater just built.
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

# The exposure of the hardened service, out of 10.
exposition=$(cd "$travail" && systemd-analyze security --offline=true velorine-maj.service 2>&1 |
               sed -n 's/.*Overall exposure level for velorine-maj.service: \([0-9.]*\).*/\1/p')
if [ -z "$exposition" ]; then
  faute "systemd-analyze security gave no exposure level"
elif ! awk -v e="$exposition" 'BEGIN { exit !(e <= 2.0) }'; then
  faute "the service's exposure is $exposition, above 2.0"
else
  echo "exposure of velorine-maj.service: $exposition"
fi

cle() { sed -n "s/^$2=//p" "$unites/$1"; }
[ "$(cle velorine-maj.service User)" = velorine-maj ] || faute "the service does not run as the user velorine-maj"
[ "$(cle velorine-maj.service Group)" = velorine ] || faute "the service does not run in the group velorine"
[ -z "$(cle velorine-maj.service DynamicUser)" ] || faute "the service has a dynamic user"
[ "$(cle velorine-maj.service UMask)" = 0002 ] || faute "files the service creates are not the group's"
grep -qw 4 <<<"$(cle velorine-maj.service SuccessExitStatus)" || faute "a run put off (4) is a failure"
delai=$(cle velorine-maj.timer RandomizedDelaySec)
case "$delai" in
  [0-9]min | 1[0-5]min) ;;
  *) faute "a missed run is caught up as late as $delai after the start" ;;
esac
[ "$(cle velorine-maj.timer OnCalendar | wc -l)" -ge 2 ] || faute "the timer never tries again the same day"
[ "$(cle velorine-maj.timer Persistent)" = true ] || faute "the timer does not catch up missed runs"
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
