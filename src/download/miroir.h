#pragma once
// A mirror for a room: the update list and every file it names, fetched once
// over the school's link into a folder that a web server or a shared folder
// then offers to the room's machines, whose PARANET.LST names the mirror's
// list instead of the publisher's.
//
// Each run fills a folder of its own, "version-N" (see versionsmiroir.h):
// every file at its Windows name, LISTE.MAJ (the publisher's list with each
// address pointing into that folder), the publisher's list untouched
// (LISTE.MAJ.origine) and the publisher's proof of origin, when there is one,
// untouched (LISTE.MAJ.sha256 and LISTE.MAJ.sha256.minisig): a machine
// checks its files against the publisher's key whatever server they came
// from. The room reads those four names at the top of the mirror's folder,
// links into the version served. A mirror made from another mirror's list
// passes on the publisher's list found beside it (LISTE.MAJ.origine), so the
// proof holds along a chain. A hidden state file in each version's folder
// remembers what each server said of each file, so that the next run fetches
// only what changed and links the rest.
//
// A run that fails, is killed or is stopped leaves the previous version
// served whole: the new one is served only once complete, in one rename.

#include "platform/services.h"

#include <QString>

namespace velorine {

namespace fichiersmiroir {
inline const QString liste = QStringLiteral("LISTE.MAJ");
inline const QString origine = QStringLiteral("LISTE.MAJ.origine");
inline const QString manifeste = QStringLiteral("LISTE.MAJ.sha256");
inline const QString signature = QStringLiteral("LISTE.MAJ.sha256.minisig");
inline const QString etat = QStringLiteral(".velorine-miroir");
} // namespace fichiersmiroir

struct ReglagesMiroir {
    QString dossierproduit; // record 7 of its PARANET.LST names the publisher's list
    QString dossier;        // the mirror's folder: absolute, existing, locked by the caller
    QString adressebase;    // where the room's machines find that folder
    bool bavard = false;    // --verbose: say what the mirror found
};

// The address under which the room finds the file at relatif (a path in
// the mirror, "/" separating folders): adressebase, one "/", then each part
// of relatif percent-encoded (UTF-8).
QString adressemiroir(const QString& adressebase, const QString& relatif);

// Brings the mirror up to date with the publisher's list. Each failure shows
// one error message and leaves the previous mirror whole; success shows one
// information message. Returns true on success.
bool actualisermiroir(const ReglagesMiroir& reglages, Services& services);

} // namespace velorine
