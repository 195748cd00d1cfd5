#pragma once
// The drives of the picker's drive list. On Linux a drive is a mounted
// volume a user would take an update from: the root file system, the home
// folder, and removable media mounted under /media, /run/media or /mnt.

#include <QList>
#include <QString>
#include <functional>

namespace velorine {

struct Lecteur {
    QString racine;  // absolute folder the drive opens at
    QString libelle; // what the drive list shows
    bool operator==(const Lecteur&) const = default;
};

// Gives the drives as they stand now; called again each time the drive list
// opens, so that a stick plugged in later appears.
using SourceLecteurs = std::function<QList<Lecteur>()>;

// The drives of this machine: "/ (Système)" first, then "Dossier personnel"
// (the home folder), then each removable volume by its volume label, or by
// the name of its mount folder when it has none.
QList<Lecteur> lecteursmachine();

// True when dossier is the folder racine or lies below it (both absolute
// and clean).
bool contient(const QString& racine, const QString& dossier);

// The drive that holds dossier: the one whose root is the longest leading
// part of it, path component by path component. -1 when none holds it.
qsizetype indexlecteur(const QList<Lecteur>& lecteurs, const QString& dossier);

} // namespace velorine
