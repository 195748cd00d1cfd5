#include "demarrage_choix.h"

#include "typemaj.h"

namespace velorine {

void montrerchoix(Etat& etat, Services& services, const std::function<void()>& montrerouvrir, QWidget* fond)
{
    typemaj choix(etat, services, fond);
    choix.montrerouvrir = montrerouvrir;
    choix.exec();
}

} // namespace velorine
