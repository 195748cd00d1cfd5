#!/usr/bin/env python3
"""Compares the message table of the guide (docs/guide.md, section
"Les messages") with every message the code can show: each message box and
question (title and text) and each command-line error. A message of the code
missing from the table fails, and so does a row of the table that no code
shows any more. The pictures the guide shows must exist.

In the table, a part of a message that changes from case to case (a file
name, a level) is written in italics: *fichier*. In the code it is any
expression that is not a string literal, or a %1 of .arg().

Usage: table_messages.py SOURCE_DIR
"""
import os
import re
import sys

VARIABLE = "\u2026"  # stands for a part that changes

# The calls that show a message, with the positions of their title and text
# arguments. A call whose title and text hold no string literal forwards
# values it was given (the dialogs themselves, echecfeuille's body).
APPELS = {"message": (1, 2), "question": (0, 1), "echecfeuille": (3, 4)}


def sans_commentaires(code):
    """The code with comments blanked, string and char literals kept."""
    sortie = []
    i, n = 0, len(code)
    while i < n:
        c = code[i]
        if code.startswith("//", i):
            while i < n and code[i] != "\n":
                i += 1
        elif code.startswith("/*", i):
            fin = code.find("*/", i + 2)
            i = n if fin < 0 else fin + 2
        elif c in "\"'":
            j = i + 1
            while j < n and code[j] != c:
                j += 2 if code[j] == "\\" else 1
            sortie.append(code[i:j + 1])
            i = j + 1
        else:
            sortie.append(c)
            i += 1
    return "".join(sortie)


def parcourir(texte, debut):
    """Yields (index, char, depth) from debut, skipping string literals;
    depth counts parentheses opened since debut."""
    profondeur = 0
    i = debut
    while i < len(texte):
        c = texte[i]
        if c in "\"'":
            j = i + 1
            while j < len(texte) and texte[j] != c:
                j += 2 if texte[j] == "\\" else 1
            i = j + 1
            continue
        if c in "([{":
            profondeur += 1
        elif c in ")]}":
            profondeur -= 1
        yield i, c, profondeur
        i += 1


def arguments(texte, ouvrante):
    """The top-level arguments of the call whose "(" is at ouvrante."""
    args, debut = [], ouvrante + 1
    for i, c, p in parcourir(texte, ouvrante):
        if p == 0 and c == ")":
            args.append(texte[debut:i].strip())
            return args
        if p == 1 and c == "," :
            args.append(texte[debut:i].strip())
            debut = i + 1
    return None


def decoupe(expr, separateur):
    """expr split at top-level separateur characters."""
    morceaux, debut = [], 0
    for i, c, p in parcourir(expr, 0):
        if p == 0 and c == separateur:
            morceaux.append(expr[debut:i])
            debut = i + 1
    morceaux.append(expr[debut:])
    return [m.strip() for m in morceaux]


def alternatives(expr):
    """The values of expr: both branches of a top-level c ? a : b."""
    for i, c, p in parcourir(expr, 0):
        if p == 0 and c == "?":
            reste = expr[i + 1:]
            for j, d, q in parcourir(reste, 0):
                if q == 0 and d == ":" and reste[j - 1:j + 1] != "::" and reste[j:j + 2] != "::":
                    return alternatives(reste[:j]) + alternatives(reste[j + 1:])
    return [expr]


LITTERAL = re.compile(r'^(?:QStringLiteral\(\s*|u)?((?:"(?:[^"\\]|\\.)*"\s*)+)\)?(\.arg\(.*\))?$', re.S)
MORCEAU = re.compile(r'"((?:[^"\\]|\\.)*)"')


def dechiffrer(s):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), s)


def canonique(morceaux):
    """Pieces (None for a variable part) as one text: a variable part and the
    blanks around it become one VARIABLE."""
    texte = "".join(VARIABLE if m is None else m for m in morceaux)
    texte = re.sub(r"\s*" + VARIABLE + r"(\s*" + VARIABLE + r")*\s*", VARIABLE, texte)
    return re.sub(r"\s+", " ", texte).strip()


def valeurs(expr):
    """The texts expr can have, or [] when it holds no string literal."""
    resultats = []
    for alt in alternatives(expr):
        morceaux, litteral = [], False
        for terme in decoupe(alt, "+"):
            m = LITTERAL.match(terme)
            if m:
                litteral = True
                texte = "".join(dechiffrer(p) for p in MORCEAU.findall(m.group(1)))
                if m.group(2):
                    texte = re.sub(r"%\d", VARIABLE, texte)
                morceaux.append(texte)
            else:
                morceaux.append(None)
        if litteral:
            resultats.append(canonique(morceaux))
    return resultats


def messages_du_code(source_dir):
    """{(title, text): [places]} of every message the code can show."""
    trouves = {}
    racine = os.path.join(source_dir, "src")
    for dossier, _, fichiers in os.walk(racine):
        for nom in sorted(fichiers):
            if not nom.endswith(".cpp"):
                continue
            chemin = os.path.join(dossier, nom)
            code = sans_commentaires(open(chemin, encoding="utf-8").read())
            lieu = os.path.relpath(chemin, source_dir)
            for m in re.finditer(r"\b(message|question|echecfeuille)\s*\(", code):
                args = arguments(code, m.end() - 1)
                it, ix = APPELS[m.group(1)]
                if not args or len(args) <= max(it, ix):
                    continue
                titres, textes = valeurs(args[it]), valeurs(args[ix])
                if not titres and not textes:
                    continue  # forwards its own parameters
                if not titres or not textes:
                    sys.exit(f"{lieu}: a message whose title or text this test cannot read: {m.group(0)}")
                for t in titres:
                    for x in textes:
                        trouves.setdefault((t, x), []).append(lieu)
            # Command-line errors: "velorine-maj : TEXT" on standard error.
            if not re.fullmatch(r"ligne_?commande\.cpp", nom):
                continue
            for m in re.finditer(r"\berreur\s*=\s*", code):
                fin = next(i for i, c, p in parcourir(code, m.end()) if p == 0 and c == ";")
                for x in valeurs(code[m.end():fin]):
                    trouves.setdefault(("velorine-maj", x), []).append(lieu)
    return trouves


def texte_de_cellule(cellule):
    """The message of a cell: italics are variable parts."""
    morceaux = []
    for i, p in enumerate(re.split(r"(\*[^*]+\*)", cellule)):
        morceaux.append(None if i % 2 else p)
    return canonique(morceaux)


def table(chemin):
    """{(title, text): line} of the tables under "## Les messages", and the
    faults of their rows."""
    lignes = open(chemin, encoding="utf-8").read().split("\n")
    dans, rangees, erreurs = False, {}, []
    for numero, ligne in enumerate(lignes, 1):
        if ligne.startswith("## "):
            dans = ligne.strip() == "## Les messages"
            continue
        if not dans or not ligne.startswith("|"):
            continue
        cellules = [c.strip() for c in ligne.strip().strip("|").split("|")]
        if cellules[0] == "Titre" or set("".join(cellules)) <= set("-: "):
            continue
        if len(cellules) != 4 or not all(cellules):
            erreurs.append(f"{chemin}:{numero}: a row needs a title, a message, a cause and what to do")
            continue
        cle = (cellules[0], texte_de_cellule(cellules[1]))
        if cle in rangees:
            erreurs.append(f"{chemin}:{numero}: the message is already in the table")
        rangees[cle] = numero
    return rangees, erreurs


def main():
    source_dir = sys.argv[1]
    guide = os.path.join(source_dir, "docs", "guide.md")
    code = messages_du_code(source_dir)
    rangees, erreurs = table(guide)
    if not rangees:
        erreurs.append(f"{guide}: no message table under '## Les messages'")
    for (titre, texte), lieux in sorted(code.items()):
        if (titre, texte) not in rangees:
            erreurs.append(f"missing from the guide: {titre} | {texte}   (shown by {', '.join(sorted(set(lieux)))})")
    for (titre, texte), numero in sorted(rangees.items(), key=lambda r: r[1]):
        if (titre, texte) not in code:
            erreurs.append(f"{guide}:{numero}: no code shows {titre} | {texte}")

    # The pictures the guide shows, and the README's link to the guide.
    contenu = open(guide, encoding="utf-8").read()
    for image in re.findall(r"!\[[^\]]*\]\(([^)]+)\)", contenu):
        if not os.path.isfile(os.path.join(source_dir, "docs", image)):
            erreurs.append(f"{guide}: the picture {image} does not exist (make screenshots)")
    if "docs/guide.md" not in open(os.path.join(source_dir, "README.md"), encoding="utf-8").read():
        erreurs.append("README.md does not link docs/guide.md")

    for e in erreurs:
        print("FAIL:", e)
    if not erreurs:
        print(f"OK: the guide's table holds the {len(code)} messages of the code")
    return 1 if erreurs else 0


if __name__ == "__main__":
    sys.exit(main())
