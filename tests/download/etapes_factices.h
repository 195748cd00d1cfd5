#pragma once
// Stand-ins for the three steps of the automatic update, for the tests of the
// windows that run them. Each records its call and runs what the test asks.

#include "download/etapes.h"

#include <QStringList>
#include <functional>

namespace velorine::test {

struct EtapesFactices {
    using Etape = std::function<void(Etat&, Services&, HoteEtapes&)>;
    QStringList appels; // "cartesnet", "dresseliste", "tesparti", in call order
    Etape cartesnet;
    Etape dresseliste;
    Etape tesparti;

    void reinitialiser() { *this = EtapesFactices(); }
};

EtapesFactices& etapesfactices();

} // namespace velorine::test
