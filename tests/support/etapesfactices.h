#pragma once
// Stand-ins for the three steps of the automatic update, for the tests of the
// windows that run them. Each records its call and runs what the test asks.

#include "download/etapes.h"

#include <QStringList>
#include <functional>

namespace velorine::test {

class EtapesFactices : public Etapes {
public:
    using Etape = std::function<void(Etat&, Services&, HoteEtapes&)>;
    QStringList appels; // "cartesnet", "dresseliste", "tesparti", in call order
    Etape corpscartesnet;
    Etape corpsdresseliste;
    Etape corpstesparti;

    void reinitialiser()
    {
        appels.clear();
        corpscartesnet = nullptr;
        corpsdresseliste = nullptr;
        corpstesparti = nullptr;
    }

    void cartesnet(Etat& etat, Services& services, HoteEtapes& fenetre) override
    {
        etape("cartesnet", corpscartesnet, etat, services, fenetre);
    }
    void dresseliste(Etat& etat, Services& services, HoteEtapes& fenetre) override
    {
        etape("dresseliste", corpsdresseliste, etat, services, fenetre);
    }
    void tesparti(Etat& etat, Services& services, HoteEtapes& fenetre) override
    {
        etape("tesparti", corpstesparti, etat, services, fenetre);
    }

private:
    void etape(const char* nom, const Etape& corps, Etat& etat, Services& services, HoteEtapes& fenetre)
    {
        appels.append(QString::fromLatin1(nom));
        if (corps)
            corps(etat, services, fenetre);
    }
};

} // namespace velorine::test
