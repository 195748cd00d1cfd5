// The reading of a downloaded update list, on any bytes: the list either
// loads or fails with its one message, and the names it holds are mapped or
// refused, never leaving the product folder. The proof of origin reads a
// list held in memory by the same rules: it finds groups exactly when the
// list loads.

#include "commun.h"
#include "base/echec.h"
#include "download/etapes.h"
#include "download/origine.h"
#include "faux.h"
#include "records/nombres.h"
#include "records/nomswindows.h"

#include <QStringList>

using namespace velorine;
using namespace velorine::test;

namespace {

class Fenetre : public HoteEtapes {
public:
    QStringList List1() const override { return liste; }
    void viderList1() override { liste.clear(); }
    void ajouterList1(const QString& e) override { liste.append(e); }
    void Label1(const QString&) override {}
    void couper() override {}
    void decharger() override { ++dechargements; }
    [[noreturn]] void choixannuler() override { throw FinProcessus{}; }
    QStringList liste;
    int dechargements = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* octets, std::size_t taille)
{
    Faux faux;
    Services services = faux.services();
    Etat etat;
    etat.dossierproduit = fuzz::dossiertravail();
    etat.fichierliste = fuzz::ecrire(QStringLiteral("LISTE.MAJ"), octets, taille);
    Fenetre fenetre;
    dresseliste(etat, services, fenetre);
    if (etat.fente.ouverte())
        std::abort();
    if (fenetre.dechargements > 0 && (!etat.abandon || faux.dialogues.boites.size() != 1))
        std::abort();
    const QByteArray liste(reinterpret_cast<const char*>(octets), static_cast<qsizetype>(taille));
    if (memesgroupes(liste, liste) == etat.abandon)
        std::abort();
    for (qsizetype k = 0; k < fenetre.liste.size(); ++k) {
        ignorer([&] { (void)lirenombre(fenetre.liste[k]); });
        if (k % 3 == 2) {
            try {
                const QString chemin = resoudrenom(etat.dossierproduit, fenetre.liste[k].trimmed());
                if (!chemin.startsWith(etat.dossierproduit))
                    std::abort();
            } catch (const Echec&) {
            }
        }
    }
    return 0;
}
