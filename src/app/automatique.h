#pragma once
// The automatic update by download without any window (--unattended
// --auto): the download window's load and its three steps, each message
// becoming one line on standard error.

#include "ligne_commande.h"

#include <QString>

namespace velorine {

// The update ends the process itself, with status 0, when it has completed
// or when the product was already current. Returns the status 1 otherwise:
// an error was reported and the update was not carried out.
int mettreajoursansfenetre(const Options& options, const QString& dossierproduit);

} // namespace velorine
