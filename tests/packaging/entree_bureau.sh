#!/usr/bin/env bash
# The desktop entry: desktop-file-validate accepts it, it carries the names,
# icon, category and second action schools look for, and every command line
# it runs is one the updater accepts.
# Usage: entree_bureau.sh SOURCE_DIR VELORINE_EXE
set -uo pipefail
source_dir=$1
exe=$2
entree="$source_dir/packaging/velorine-maj.desktop"

if ! command -v desktop-file-validate >/dev/null; then
  echo "SKIP: desktop-file-validate is not installed (package desktop-file-utils)"
  exit 77
fi

echec=0
faute() { echo "FAIL: $*"; echec=1; }

# Warnings count as faults too: the validator prints nothing for a clean entry.
sortie=$(desktop-file-validate "$entree" 2>&1)
[ $? -eq 0 ] && [ -z "$sortie" ] || faute "desktop-file-validate: $sortie"

# key=value of one group.
valeur() {
  awk -v groupe="[$1]" -v cle="$2" '
    /^\[/ { dans = ($0 == groupe); next }
    dans && index($0, cle "=") == 1 { print substr($0, length(cle) + 2); exit }' "$entree"
}

attendu() {
  local v
  v=$(valeur "$1" "$2")
  [ "$v" = "$3" ] || faute "[$1] $2 is '$v', expected '$3'"
}
attendu "Desktop Entry" "Name" "Mise à jour de Velorine"
attendu "Desktop Entry" "Name[fr]" "Mise à jour de Velorine"
attendu "Desktop Entry" "Name[en]" "Velorine Update"
attendu "Desktop Entry" "Categories" "Education;"
attendu "Desktop Entry" "Icon" "velorine-maj"
attendu "Desktop Entry" "Exec" "velorine-maj"
attendu "Desktop Entry" "Actions" "internet;"
attendu "Desktop Action internet" "Name" "Mise à jour par Internet"
attendu "Desktop Action internet" "Exec" "velorine-maj --chooser"

icone=$(valeur "Desktop Entry" "Icon")
[ -f "$source_dir/packaging/icons/$icone.svg" ] || faute "no icon packaging/icons/$icone.svg"

# Each command line parses: --version after it makes the updater stop right
# after reading its options, with status 0 only when every option is known.
for groupe in "Desktop Entry" "Desktop Action internet"; do
  read -r -a mots <<<"$(valeur "$groupe" Exec)"
  [ "${mots[0]}" = velorine-maj ] || faute "[$groupe] Exec does not start velorine-maj"
  "$exe" "${mots[@]:1}" --version >/dev/null 2>&1 || faute "[$groupe] velorine-maj refuses ${mots[*]:1}"
done

[ $echec -eq 0 ] && echo "OK: $entree"
exit $echec
