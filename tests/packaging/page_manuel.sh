#!/usr/bin/env bash
# The manual page: mandoc finds nothing at warning level, and every option
# the updater's --help gives is in the page's synopsis and has its entry in
# OPTIONS.
# Usage: page_manuel.sh MANUAL_PAGE VELORINE_EXE
set -uo pipefail
page=$1
exe=$2
command -v mandoc >/dev/null || { echo "SKIP: mandoc is not installed (package mandoc)"; exit 77; }

echec=0
faute() { echo "FAIL: $*"; echec=1; }

rapport=$(mandoc -T lint -W warning "$page" 2>&1) || faute "mandoc -T lint -W warning: $rapport"

# The page as read, one section after another.
texte=$(MANWIDTH=200 mandoc -T utf8 "$page" | sed 's/.\x08//g')
synopsis=$(sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' <<<"$texte")
options=$(sed -n '/^OPTIONS/,/^CODE DE SORTIE/p' <<<"$texte")
for option in $("$exe" --help | grep -o '^  --[a-z-]*' | sort -u); do
  grep -q -- "$option" <<<"$synopsis" || faute "$option is not in the synopsis"
  grep -Eq -- "^ +$option( |$)" <<<"$options" || faute "$option has no entry in OPTIONS"
done
[ $echec -eq 0 ] && echo "OK: $page"
exit $echec
