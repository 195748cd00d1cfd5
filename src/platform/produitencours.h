#pragma once
// Whether Velorine is running from a product folder: a process whose
// command line names VELORINE.EXE (any letter case) in that folder, started
// natively or under wine (whose drive Z: is the root of the system). An
// unattended run never replaces the files of a running product.

#include <QString>

namespace velorine {

// True when some process of the machine, whatever its user, runs the
// VELORINE.EXE of dossierproduit. A name whose folder cannot be told (a
// relative name whose process's current folder is hidden, another drive
// of wine) counts as running: a run put off is better than a product whose
// files change under it.
bool produitencours(const QString& dossierproduit);

// The same for one command line (its arguments as /proc gives them, each
// ended by a NUL byte), with the current folder of its process (empty when
// hidden).
bool lancedepuis(const QByteArray& lignecommande, const QString& dossiercourant, const QString& dossierproduit);

} // namespace velorine
