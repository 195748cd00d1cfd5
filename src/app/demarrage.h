#pragma once
// The windowed start of the updater: the backdrop MAJ, which opens the
// update file dialog ouvrir in front of it, or the chooser typemaj when the
// command line asks for it.

#include "download/etapes.h"
#include "records/etat.h"
#include "updatefile/lecteurs.h"
#include "app/lignecommande.h"
#include "platform/services.h"

#include <QString>

namespace velorine {

// Shows MAJ, which opens ouvrir (or typemaj when choix is set), and runs the
// event loop. An update or a cancel ends the process from within the windows
// (relancer); otherwise the user closed the dialog and then MAJ, and the
// loop's result comes back, the product not started. etapes are the three
// steps the download window runs. Needs a QApplication.
int executerfenetres(Etat& etat, Services& services, Etapes& etapes, bool choix,
                     SourceLecteurs lecteurs = lecteursmachine);

// Creates the QApplication and the real services for the product folder,
// then runs executerfenetres().
int demarrerfenetres(int& argc, char** argv, const Options& options, const QString& dossierproduit);

} // namespace velorine
