#include "app/demarrage.h"

#include "platform/dialoguesqt.h"
#include "platform/numerotationsysteme.h"
#include "app/maj.h"
#include "updatefile/ouvrir.h"
#include "platform/transfertcurl.h"
#include "chooser/typemaj.h"

#include <QApplication>
#include <QTimer>

namespace velorine {

int executerfenetres(Etat& etat, Services& services, Etapes& etapes, bool choix, SourceLecteurs lecteurs)
{
    // One instance of each window for the whole process.
    MAJ fond;
    ouvrir dialogue(etat, services, std::move(lecteurs), &fond);
    typemaj choixmethode(etat, services, etapes, &fond);
    choixmethode.montrerouvrir = [&] { dialogue.exec(); };
    QDialog& premiere = choix ? static_cast<QDialog&>(choixmethode) : static_cast<QDialog&>(dialogue);

    // The load of MAJ runs from the event loop, which it leaves running
    // behind it when the dialog closes.
    QTimer::singleShot(0, &fond, [&] { fond.charger(premiere); });
    return QApplication::exec();
}

int demarrerfenetres(int& argc, char** argv, const Options& options, const QString& dossierproduit)
{
    QApplication application(argc, argv);
    Etat etat;
    etat.dossierproduit = dossierproduit;
    etat.bavard = options.bavard;
    DialoguesQt dialogues;
    BoucleQt boucle;
    CoquillePosix coquille;
    TransfertCurl transfert(options.delai);
    transfert.definirbavard(options.bavard);
    transfert.definirparallele(options.parallele);
    const auto numerotation = numerotationsysteme();
    Services services{dialogues, boucle, coquille, transfert, *numerotation};
    EtapesInternet etapes;
    return executerfenetres(etat, services, etapes, options.choix);
}

} // namespace velorine
