#pragma once
// The platform services handed to the windows and the steps.

#include "platform/boucle.h"
#include "platform/coquille.h"
#include "platform/dialogues.h"
#include "platform/numerotation.h"
#include "platform/transfert.h"

namespace velorine {

struct Services {
    Dialogues& dialogues;
    Boucle& boucle;
    Coquille& coquille;
    Transfert& transfert;
    Numerotation& numerotation;
};

} // namespace velorine
