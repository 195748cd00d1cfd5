#!/usr/bin/env python3
"""Draws the updater's small pictures as PNG files, with nothing but the
standard library:

  src/chooser/icons/main.png        the 32 x 32 pointing-hand pointer of the
                                    chooser's entries (hot spot: column 12, row 1)
  src/download/icons/globe.png      the 32 x 32 globe of the download window
  src/download/icons/ordinateur.png the 32 x 32 computer (screen and keyboard)

Run it from the top of the source tree after changing a drawing; the PNG
files are kept in the tree so that the build needs no Python.
"""

import math
import os
import struct
import sys
import zlib

TAILLE = 32


def ecrire_png(chemin, pixels):
    """pixels: TAILLE rows of TAILLE (r, g, b, a) tuples."""
    brut = b''.join(b'\x00' + bytes(c for p in ligne for c in p) for ligne in pixels)

    def bloc(genre, donnees):
        corps = genre + donnees
        return struct.pack('>I', len(donnees)) + corps + struct.pack('>I', zlib.crc32(corps) & 0xffffffff)

    entete = struct.pack('>IIBBBBB', TAILLE, TAILLE, 8, 6, 0, 0, 0)
    png = b'\x89PNG\r\n\x1a\n' + bloc(b'IHDR', entete) + bloc(b'IDAT', zlib.compress(brut, 9)) + bloc(b'IEND', b'')
    with open(chemin, 'wb') as f:
        f.write(png)


# The pointer, pixel by pixel: X black, o white, . transparent. The tip of
# the index finger is the black pixel at column 12 of row 1.
MAIN = [
    "................................",
    "...........XXX..................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooX.................",
    "..........XoooXXXX..............",
    "..........XoooXoooXXXX..........",
    "..........XoooXoooXoooXXX.......",
    "..........XoooXoooXoooXooX......",
    "..........XoooXoooXoooXooX......",
    "....XXX...XoooXoooXoooXooX......",
    "...XoooX..XooooooooooooooX......",
    "...XooooX.XooooooooooooooX......",
    "....XoooooooooooooooooooooX.....",
    ".....XooooooooooooooooooooX.....",
    "......XoooooooooooooooooooX.....",
    ".......XooooooooooooooooooX.....",
    "........XooooooooooooooooX......",
    "..........XooooooooooooX........",
    "..........XooooooooooooX........",
    "..........XooooooooooooX........",
    "..........XXXXXXXXXXXXXX........",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
]


def main_pixels():
    assert len(MAIN) == TAILLE and all(len(l) == TAILLE for l in MAIN)
    assert MAIN[1][12] == 'X'
    couleurs = {'X': (0, 0, 0, 255), 'o': (255, 255, 255, 255), '.': (0, 0, 0, 0)}
    return [[couleurs[c] for c in ligne] for ligne in MAIN]


def rendre(formes, finesse=4):
    """formes: list of (test(x, y) -> bool, (r, g, b)) painted in order, x and
    y in pixels. Each pixel averages finesse x finesse samples."""
    pixels = []
    for py in range(TAILLE):
        ligne = []
        for px in range(TAILLE):
            r = g = b = a = 0.0
            for sy in range(finesse):
                for sx in range(finesse):
                    x = px + (sx + 0.5) / finesse
                    y = py + (sy + 0.5) / finesse
                    couleur = None
                    for test, c in formes:
                        if test(x, y):
                            couleur = c
                    if couleur:
                        r += couleur[0]
                        g += couleur[1]
                        b += couleur[2]
                        a += 1
            n = finesse * finesse
            if a:
                ligne.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                ligne.append((0, 0, 0, 0))
        pixels.append(ligne)
    return pixels


def disque(cx, cy, rayon):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= rayon ** 2


def ellipse(cx, cy, rx, ry, angle=0.0):
    c, s = math.cos(angle), math.sin(angle)

    def test(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1
    return test


def rectangle(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def et(*tests):
    return lambda x, y: all(t(x, y) for t in tests)


def sauf(t):
    return lambda x, y: not t(x, y)


def polygone(points):
    def test(x, y):
        dedans = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                dedans = not dedans
            j = i
        return dedans
    return test


def globe_pixels():
    cx = cy = 16.0
    r = 14.5
    dans = disque(cx, cy, r - 1.0)
    formes = [
        (disque(cx, cy, r), (20, 40, 90)),              # rim
        (dans, (40, 110, 210)),                          # ocean
        (et(dans, disque(cx - 4, cy - 5, 8)), (70, 150, 235)),  # light from the upper left
        # land
        (et(dans, polygone([(6, 8), (12, 5), (16, 7), (14, 12), (10, 13), (11, 17), (7, 15), (4, 12)])), (60, 160, 60)),
        (et(dans, polygone([(12, 17), (17, 16), (19, 20), (17, 27), (14, 28), (13, 22)])), (60, 160, 60)),
        (et(dans, polygone([(19, 6), (25, 7), (28, 12), (26, 15), (22, 13), (20, 10)])), (70, 170, 70)),
        (et(dans, ellipse(25, 21, 3, 2, 0.4)), (70, 170, 70)),
    ]
    # meridians and parallels, thin and pale
    grille = (210, 230, 255)
    for k in (-1, 0, 1):
        formes.append((et(dans, lambda x, y, k=k: abs((y - cy) - k * 6.5) < 0.35), grille))
    for rx in (3.5, 9.0):
        formes.append((et(dans, lambda x, y, rx=rx: abs(((x - cx) / rx) ** 2 + ((y - cy) / (r - 1)) ** 2 - 1) < 0.09), grille))
    formes.append((et(dans, lambda x, y: abs(x - cx) < 0.35), grille))
    return rendre(formes)


def ordinateur_pixels():
    beige = (225, 220, 200)
    ombre = (150, 145, 130)
    trait = (60, 60, 60)
    formes = [
        # screen case
        (rectangle(4, 2, 28, 20), trait),
        (rectangle(5, 3, 27, 19), beige),
        (rectangle(7, 5, 25, 16), trait),
        (rectangle(8, 6, 24, 15), (0, 0, 140)),
        (polygone([(8, 6), (16, 6), (8, 11)]), (40, 60, 190)),  # glare
        (rectangle(21, 17, 25, 18), (40, 160, 40)),               # power light
        # stand
        (rectangle(12, 20, 20, 22), trait),
        (rectangle(13, 20, 19, 21), ombre),
        # keyboard
        (polygone([(3, 23), (29, 23), (31, 30), (1, 30)]), trait),
        (polygone([(4, 24), (28, 24), (29.8, 29), (2.2, 29)]), beige),
    ]
    # three rows of keys
    for rang, (y0, gauche, droite) in enumerate(((24.8, 4.5, 27.5), (26.3, 3.8, 28.2), (27.8, 3.1, 28.9))):
        x = gauche
        while x + 1.6 <= droite:
            formes.append((rectangle(x, y0, x + 1.4, y0 + 0.9), ombre))
            x += 2.0
    return rendre(formes)


def principal():
    racine = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    ecrire_png(os.path.join(racine, 'src/chooser/icons/main.png'), main_pixels())
    ecrire_png(os.path.join(racine, 'src/download/icons/globe.png'), globe_pixels())
    ecrire_png(os.path.join(racine, 'src/download/icons/ordinateur.png'), ordinateur_pixels())
    return 0


if __name__ == '__main__':
    sys.exit(principal())
