#pragma once
// The unattended runs (--unattended): the installation of an update file
// (--install) and the automatic update by download (--auto), without any
// window, each message becoming one line on standard error.

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

} // namespace velorine
