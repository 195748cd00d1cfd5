#pragma once
// The versions of a room's mirror. Each run puts the list, every file it
// names and the proof files into a folder of its own, "version-N" (N one
// more than the version served), whose list names the files in that folder.
// The folder served is switched in one rename: the link "courant" points to
// the version served, and the names the room reads beside the mirror's
// list address (LISTE.MAJ, LISTE.MAJ.origine, LISTE.MAJ.sha256,
// LISTE.MAJ.sha256.minisig) are links into "courant". So whatever moment a
// run is killed, or a write fails, the mirror serves one whole version: the
// previous one until the new one is complete, then the new one. The
// previous version's folder stays until the next switch, for a machine that
// read its list just before. A file that did not change is a hard link to
// the previous version's, not a second copy.

#include <QString>
#include <QStringList>
#include <optional>

namespace velorine {

class DossiersASynchroniser;

namespace versionsmiroir {
inline const QString courant = QStringLiteral("courant");
inline const QString prefixe = QStringLiteral("version-");
} // namespace versionsmiroir

// The name of the folder of version n ("version-N").
QString nomversion(long long n);
// The version that the name nom of a folder is; none when it is not one.
std::optional<long long> numeroversion(const QString& nom);

// The version the mirror in dossier serves: the one its link "courant"
// points to, when that is a folder of a version; none otherwise.
std::optional<long long> versionservie(const QString& dossier);

// The version a run makes: the one after the version served, whose folder
// a killed run may have begun. With none served (a first run, a first run
// killed, a link "courant" gone), the highest version folder there is taken
// up, or version 1 made.
long long versionsuivante(const QString& dossier, std::optional<long long> servie);

// Creates the folder of version n in dossier, or takes up the one a killed
// run left (only the starts of large files stay in it); never through a
// link. Throws Echec.
void creerversion(const QString& dossier, long long n);

// Makes relatif in the folder vers the same file as relatif in the folder
// de: a hard link, or, where the file system has none, a copy put in place
// whole. Both folders lie in racine; no link is followed. The folder of
// the new entry joins dossiers. Throws Echec.
void lierinchange(const QString& racine, const QString& de, const QString& vers, const QString& relatif,
                  DossiersASynchroniser& dossiers);

// Serves version n: "courant" switched to its folder in one rename, made
// durable; then the names the room reads made links into "courant", where
// they are not yet (a mirror made before versions, or a name replaced by
// hand). Throws Echec: before the rename, the previous version is still
// served whole.
void servirversion(const QString& dossier, long long n, const QStringList& noms);

// Removes the folders of versions other than garder (the one served and the
// one before it), whole, without following any link. Never throws.
void oteranciennes(const QString& dossier, const QList<long long>& garder) noexcept;

} // namespace velorine
