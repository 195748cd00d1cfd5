#pragma once
// The process-wide values of the updater and its single file slot. main()
// creates one Etat and hands it to the windows; tests make a fresh one.

#include "records/fichierenreg.h"
#include "records/preuve.h"

#include <QString>
#include <cstdint>
#include <optional>

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

    // With the publisher's key in the product folder: the manifest that
    // proved the update list, against which every file of the run is
    // checked. None without the key.
    std::optional<Manifeste> manifeste;

    // --verbose: why the proof of origin failed also goes to standard error.
    bool bavard = false;

    Fente fente; // the single file slot
};

} // namespace velorine
