#pragma once
// The process-wide values of the updater and its single file slot. main()
// creates one Etat and hands it to the windows; tests make a fresh one.

#include "records/fichierenreg.h"

#include <QString>
#include <cstdint>

namespace velorine {

struct Etat {
    // The product folder: the updater's own folder unless the command line
    // names another. Joined to file names through avecseparateur().
    QString dossierproduit;

    QString fichiertempo;             // product folder + "TEMPO.QZS"
    std::int16_t versionactuelle = 0; // record 24 of TEMPO.QZS
    QString adresseliste;             // record 7 of PARANET.LST, verbatim
    QString fichierliste;             // product folder + "LISTE.MAJ"

    // True once the current automatic update has been cancelled or has
    // failed, so that the steps still to run do nothing.
    bool abandon = false;

    Fente fente; // the single file slot
};

} // namespace velorine
