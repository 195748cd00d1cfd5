#pragma once
// A large file whose fetch broke off is kept beside its target, hidden, so
// that the next run asks the server only for the rest. Beside the partial
// file ".NOM.velorine-partiel" (the bytes received, from the first) lies its
// record ".NOM.velorine-partiel.infos": the address it came from and what
// the server told of the file (ETag, modification date, length). Both are
// reached beneath the product folder without following a symbolic link, as
// every product file is.

#include "platform/transfert.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace velorine {

// A fetch that breaks off is kept only for a file over this length.
inline constexpr long long seuilpartiel = 1 << 20;
// A partial file left alone for longer than this is removed.
inline constexpr long long agepartielmax = 7LL * 24 * 3600;

// The names, in the target's folder, of the partial file of the target
// named nom and of its record.
QByteArray nompartiel(const QByteArray& nom);
QByteArray nominfos(const QByteArray& nom);

// What the record says of a partial file.
struct Partiel {
    QString adresse;
    Validateurs validateurs;
};

// The record of cible's partial file, read beneath racine; none when it is
// missing, damaged or not a regular file.
std::optional<Partiel> lirepartiel(const QString& cible, const QString& racine);

// Writes the record of cible's partial file, whole or not at all. Throws
// Echec.
void ecrirepartiel(const QString& cible, const QString& racine, const Partiel& partiel);

// Creates cible's partial file, empty and named, for a fetch to write into
// from its first byte: whatever stood at its name (a regular file or a
// link) goes first, never written through. Throws Echec.
void creerpartiel(const QString& cible, const QString& racine);

// Whether a fetch of a file the server told of so may be kept in part and
// taken up later: over seuilpartiel bytes, ranges served, and named by a
// strong ETag or a modification date.
bool partielgardable(const Validateurs& v);

// Whether a name ("\\" or "/" separating its parts) has a part that is one of
// the hidden names the updater makes beside the files it writes: a partial
// file, its record, a temporary file (".velorine-maj.…") or a link about to
// be renamed (".velorine-lien.…"), in any letter case. A list naming one is
// refused: the next run's clean-up would remove the file it names.
bool nomdelupdater(const QString& nom);

// Removes cible's partial file and its record, when they are regular files.
void oterpartiel(const QString& cible, const QString& racine) noexcept;

// Removes, in racine and the folders beneath it, the partial files and
// records older than agepartielmax, those whose target is not one of
// cibles, and those that lack their companion. Nothing but regular files
// named exactly as partial files or records is ever removed, and no
// symbolic link is followed.
void nettoyerpartiels(const QString& racine, const QStringList& cibles);

} // namespace velorine
