#pragma once
// The windowed start of the updater: the backdrop MAJ, which opens the
// update file dialog ouvrir in front of it.

#include "etat.h"
#include "lecteurs.h"
#include "services.h"

#include <QString>

namespace velorine {

// Shows MAJ, which opens ouvrir, and runs the event loop. An update or a
// cancel ends the process from within ouvrir (relancer); otherwise the user
// closed ouvrir and then MAJ, and the loop's result comes back, the product
// not started. Needs a QApplication.
int executerfenetres(Etat& etat, Services& services, SourceLecteurs lecteurs = lecteursmachine);

// Creates the QApplication and the real services for etat.dossierproduit,
// then runs executerfenetres().
int demarrerfenetres(int& argc, char** argv, const QString& dossierproduit);

} // namespace velorine
