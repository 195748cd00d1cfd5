#!/usr/bin/env bash
# A product folder shared by a group, as on a school's machines: two
# teachers of the group update one after the other, by an update file and by
# download, with the umask 022 and the 0644 files of a USB stick, and each
# leaves every file writable by the group; a pupil outside the group changes
# nothing; a product copied in by hand is repaired by --repair-rights
# without following a link a teacher put there; a run never replaces the
# files of a Velorine that is running.
#   droits_groupe.sh UPDATER SOURCE-DIR
set -euo pipefail
exe=$1
source=$2
enreg="$source/scripts/enreg.py"
. "$source/tests/support/outils.sh"

passer() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || passer "demande root (utilisateurs et groupes de test)"
for outil in setpriv groupadd useradd userdel groupdel; do
  command -v "$outil" >/dev/null || passer "$outil absent"
done

n=$$
groupe=vmg$n
a=vma$n
b=vmb$n
eleve=vme$n
tmp=$(mktemp -d)
serveur=
enfants=()
nettoyer() {
  [ -n "$serveur" ] && kill "$serveur" 2>/dev/null || true
  for p in "${enfants[@]}"; do kill "$p" 2>/dev/null || true; done
  for u in "$a" "$b" "$eleve"; do userdel "$u" 2>/dev/null || true; done
  groupdel "$groupe" 2>/dev/null || true
  rm -rf "$tmp"
}
trap nettoyer EXIT
groupadd "$groupe"
useradd -M -N -g "$groupe" "$a"
useradd -M -N -g "$groupe" "$b"
useradd -M -N -g nogroup "$eleve"
chmod 0755 "$tmp"

echecs=0
verifier() { # description command...
  local quoi=$1
  shift
  if "$@"; then echo "ok: $quoi"; else echo "ÉCHEC: $quoi" >&2; echecs=$((echecs + 1)); fi
}
# Runs the updater as a user, umask 022, in the product folder's group.
en() { # user args...
  local u=$1
  shift
  setpriv --reuid "$u" --regid "$(id -g "$u")" --init-groups \
    sh -c 'umask 022; exec "$@"' sh "$exe" --product-dir "$produit" "$@"
}
statut() { # expected user args...
  local attendu=$1
  shift
  local code=0
  en "$@" 2>"$tmp/erreurs" || code=$?
  if [ "$code" -ne "$attendu" ]; then
    echo "code $code au lieu de $attendu pour $*:" >&2
    cat "$tmp/erreurs" >&2
    return 1
  fi
}
# Every file and folder of the product is the group's and writable by it.
tout_au_groupe() {
  local hors
  hors=$(find "$produit" \( ! -group "$groupe" -o ! -perm -g+w \) -printf '%m %g %p\n')
  [ -z "$hors" ] || { echo "$hors" >&2; return 1; }
}
niveau() {
  /usr/bin/python3 -c "import sys; d=open(sys.argv[1],'rb').read()[23*128:24*128]; print(d[2:2+d[0]].decode('cp1252').strip())" "$produit/TEMPO.QZS"
}

# The product folder as the package makes it, and a product installed in it
# for the group.
produit="$tmp/produit"
mkdir "$produit"
chown root:"$groupe" "$produit"
chmod 2775 "$produit"
echo "leçon d'origine" >"$produit/LECON1.DAT"
printf '#!/bin/sh\n' >"$produit/OUTIL.EXE"
chmod 0755 "$produit/OUTIL.EXE"
"$enreg" "$produit/TEMPO.QZS" --at 24 " 2"
chgrp "$groupe" "$produit"/*
chmod g+w "$produit"/*

# The stick: the files of a FAT stick, or of a copy, 0644.
cle="$tmp/cle"
mkdir "$cle"
umask 022
"$enreg" "$cle/M.MAJ" MAJQZ LECON1.DAT OUTIL.EXE NOUVEAU.DAT FINI
for tour in a b; do
  echo "leçon, mise à jour $tour" >"$cle/LECON1.DAT"
  printf '#!/bin/sh\necho %s\n' "$tour" >"$cle/OUTIL.EXE"
  echo "nouveau $tour" >"$cle/NOUVEAU.DAT"
  chmod 0644 "$cle"/*
  verifier "--install par $tour" statut 0 "${!tour}" --unattended --install "$cle/M.MAJ"
  verifier "le contenu de $tour est en place" grep -q "mise à jour $tour" "$produit/LECON1.DAT"
  verifier "après $tour, tout reste au groupe" tout_au_groupe
  verifier "après $tour, OUTIL.EXE reste exécutable" test -x "$produit/OUTIL.EXE"
  verifier "après $tour, NOUVEAU.DAT n'est pas exécutable" test "$(stat -c %a "$produit/NOUVEAU.DAT")" = 664
done

# A pupil outside the group changes nothing.
echo "leçon de l'élève" >"$cle/LECON1.DAT"
verifier "--install par un élève échoue" statut 1 "$eleve" --unattended --install "$cle/M.MAJ"
verifier "l'élève n'a rien remplacé" grep -q "mise à jour b" "$produit/LECON1.DAT"

# By download: the list and the record files too stay the group's.
web="$tmp/web"
mkdir "$web"
serveur_http "$web" 120
"$enreg" "$produit/PARANET.LST" --at 7 "$adresse/LISTE.MAJ"
chgrp "$groupe" "$produit/PARANET.LST"
chmod 0664 "$produit/PARANET.LST"
groupes=()
for niveau in 3 4; do
  echo "niveau $niveau" >"$web/L$niveau.DAT"
  chmod 0644 "$web/L$niveau.DAT"
  groupes+=(" $niveau" "$adresse/L$niveau.DAT" "LECON$niveau.DAT")
  "$enreg" "$web/LISTE.MAJ" MAJQZ7INTERNET "${groupes[@]}"
  if [ "$niveau" = 3 ]; then qui=$a; else qui=$b; fi
  verifier "--auto jusqu'au niveau $niveau" statut 0 "$qui" --unattended --auto
  verifier "niveau $niveau enregistré" test "$(niveau)" = "$niveau"
  verifier "après le niveau $niveau, tout reste au groupe" tout_au_groupe
done

# Velorine running, natively or under wine, from this product folder (and
# another user's): nothing is replaced, with the status 4; once it ends, the
# run goes on. One from another folder is no obstacle.
groupes+=(" 5" "$adresse/L5.DAT" "LECON5.DAT")
echo "niveau 5" >"$web/L5.DAT"
"$enreg" "$web/LISTE.MAJ" MAJQZ7INTERNET "${groupes[@]}"
ailleurs="$tmp/ailleurs"
mkdir "$ailleurs"
setpriv --reuid "$eleve" --regid nogroup --clear-groups bash -c "exec -a '$ailleurs/VELORINE.EXE' sleep 60" &
enfants+=($!)
for forme in "$produit/VELORINE.EXE" "Z:${produit//\//\\}\\velorine.exe"; do
  setpriv --reuid "$eleve" --regid nogroup --clear-groups bash -c "exec -a '$forme' sleep 60" &
  ouvert=$!
  enfants+=("$ouvert")
  sleep 0.2
  verifier "Velorine ouvert ($forme) : --auto s'arrête avec 4" statut 4 "$a" --unattended --auto
  verifier "Velorine ouvert ($forme) : la raison est dite" \
    grep -qx "velorine-maj: Velorine est ouvert : rien n'est remplacé, la mise à jour attendra qu'il soit fermé" "$tmp/erreurs"
  verifier "Velorine ouvert ($forme) : rien n'est remplacé" test "$(niveau)" = 4
  kill "$ouvert"
  wait "$ouvert" 2>/dev/null || true
done
verifier "Velorine fermé (un autre dossier a le sien) : --auto reprend" statut 0 "$b" --unattended --auto
verifier "niveau 5 enregistré" test "$(niveau)" = 5

# A product copied in by hand by root (umask 022): the teachers cannot
# update it until --repair-rights gives it to the group. A link a teacher
# put there is not followed: the file it leads to keeps its rights.
mkdir -p "$tmp/copie/DONNEES"
echo "copie" >"$tmp/copie/LECON1.DAT"
echo "sons" >"$tmp/copie/DONNEES/SONS.DAT"
chmod 0755 "$tmp/copie/DONNEES"
cp -r "$tmp/copie/." "$produit/"
chown -R root:root "$produit/LECON1.DAT" "$produit/DONNEES"
chmod 0644 "$produit/LECON1.DAT"
echo "secret de root" >"$tmp/secret"
chmod 0600 "$tmp/secret"
setpriv --reuid "$a" --regid "$groupe" --init-groups ln -s "$tmp/secret" "$produit/LIEN"
echo "leçon après copie" >"$cle/LECON1.DAT"
verifier "avant réparation, --install échoue" statut 1 "$a" --unattended --install "$cle/M.MAJ"
verifier "--repair-rights" "$exe" --product-dir "$produit" --repair-rights
verifier "le lien n'a pas été suivi" test "$(stat -c '%a %U:%G' "$tmp/secret")" = "600 root:root"
rm "$produit/LIEN"
verifier "après réparation, tout est au groupe" tout_au_groupe
verifier "après réparation, un sous-dossier garde les nouveaux fichiers au groupe" test -g "$produit/DONNEES"
verifier "après réparation, --install réussit" statut 0 "$b" --unattended --install "$cle/M.MAJ"

[ "$echecs" -eq 0 ]
