#include "demarrage.h"

#include "dialogues_qt.h"
#include "maj.h"
#include "ouvrir.h"

#include <QApplication>
#include <QTimer>

namespace velorine {
namespace {

// No transfer engine is wired into the windowed start yet: every fetch fails.
class TransfertIndisponible : public Transfert {
public:
    void ouvrirurl(const QString&, Puits&) override { throw Echec("aucun transfert possible"); }
    void annuler() override {}
};

} // namespace

int executerfenetres(Etat& etat, Services& services, SourceLecteurs lecteurs)
{
    MAJ fond;
    ouvrir dialogue(etat, services, std::move(lecteurs), &fond);
    // The load of MAJ runs from the event loop, which it leaves running
    // behind it when the dialog closes.
    QTimer::singleShot(0, &fond, [&] { fond.charger(dialogue); });
    return QApplication::exec();
}

int demarrerfenetres(int& argc, char** argv, const QString& dossierproduit)
{
    QApplication application(argc, argv);
    Etat etat;
    etat.dossierproduit = dossierproduit;
    DialoguesQt dialogues;
    BoucleQt boucle;
    CoquillePosix coquille;
    TransfertIndisponible transfert;
    NumerotationAbsente numerotation;
    Services services{dialogues, boucle, coquille, transfert, numerotation};
    return executerfenetres(etat, services);
}

} // namespace velorine
