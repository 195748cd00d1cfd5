#pragma once
// The platform services handed to the windows and the steps.

#include "boucle.h"
#include "coquille.h"
#include "dialogues.h"
#include "numerotation.h"
#include "transfert.h"

namespace velorine {

struct Services {
    Dialogues& dialogues;
    Boucle& boucle;
    Coquille& coquille;
    Transfert& transfert;
    Numerotation& numerotation;
};

} // namespace velorine
