#include "etapes_factices.h"

namespace velorine {

namespace test {
EtapesFactices& etapesfactices()
{
    static EtapesFactices etapes;
    return etapes;
}
} // namespace test

namespace {
void etape(const char* nom, const test::EtapesFactices::Etape& corps, Etat& etat, Services& services,
           HoteEtapes& fenetre)
{
    test::etapesfactices().appels.append(QString::fromLatin1(nom));
    if (corps)
        corps(etat, services, fenetre);
}
} // namespace

void cartesnet(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    etape("cartesnet", test::etapesfactices().cartesnet, etat, services, fenetre);
}

void dresseliste(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    etape("dresseliste", test::etapesfactices().dresseliste, etat, services, fenetre);
}

void tesparti(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    etape("tesparti", test::etapesfactices().tesparti, etat, services, fenetre);
}

} // namespace velorine
