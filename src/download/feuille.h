#pragma once
// What the download window does when it loads and when it closes, and the
// dial-up question, independent of its widgets: the parts of the download
// controller's sequences (controleurfeuille.h) that the steps share.

#include "download/etapes.h"
#include "records/etat.h"
#include "platform/services.h"

namespace velorine {

// Load of the download window: sets fichierliste and fichiertempo, reads the
// update-list address (record 7 of PARANET.LST), yields once, then reads the
// level (record 24 of TEMPO.QZS). Any failing step ends the load: the slot
// is closed, "Lecture imposible sur le disque." is shown, abandon is set and
// the window unloaded. Returns false in that case.
bool chargerfeuille(Etat& etat, Services& services, HoteEtapes& fenetre);

// The failure block of the window's load and of its steps: the slot is
// closed (a step may have failed half-way through a file), the one message
// is shown, abandon is set and the window unloaded.
void echecfeuille(Etat& etat, Services& services, HoteEtapes& fenetre, const QString& titre, const QString& texte);

// True when the first dial-up connection is connected.
bool connexionactive(Numerotation& numerotation);

// Offers to hang up an open dial-up connection; "Oui" hangs it up.
void couper(Services& services);

// Close of the download window: deletes the list file, a missing file being
// no error. (The question of couper comes first, on the query to close.)
void fermerfeuille(Etat& etat);

} // namespace velorine
