#pragma once
// The unattended runs (--unattended): the installation of an update file
// (--install), the automatic update by download (--auto) and the mirror of a
// room (--mirror), without any window, each message becoming one line on
// standard error.

#include "app/lignecommande.h"

#include <QString>

namespace velorine {

// Installs options.fichiermaj, its folder being the source folder. Returns
// the status: 1 when an error message was shown, 0 otherwise.
int installersansfenetre(const Options& options, const QString& dossierproduit);

// The update ends the process itself, with status 0, when it has completed
// or when the product was already current. Returns the status 1 otherwise:
// an error was reported and the update was not carried out.
int mettreajoursansfenetre(const Options& options, const QString& dossierproduit);

// Brings the mirror options.miroir up to date from the list named by the
// product's settings, for the room to find at options.adressebase. The
// folder is created if missing and locked for the run: two mirror runs never
// write it at once. Returns 0 on success, 1 after an error message,
// statutdejaencours when another mirror run holds the folder.
int miroirsansfenetre(const Options& options, const QString& dossierproduit);

} // namespace velorine
