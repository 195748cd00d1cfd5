#include "app/automatique.h"

#include "platform/dialogues_console.h"
#include "platform/dialup.h"
#include "download/etapes.h"
#include "records/etat.h"
#include "download/feuille.h"
#include "updatefile/installation.h"
#include "platform/relancer.h"
#include "platform/services.h"
#include "platform/transfert_curl.h"

#include <QFileInfo>
#include <memory>

namespace velorine {
namespace {

// The download window as the steps see it, with nothing on screen: the
// list box is a list of texts and the file counter is not shown.
class FeuilleSansFenetre : public HoteEtapes {
public:
    FeuilleSansFenetre(Etat& etat, Services& services) : etat_(etat), services_(services) {}

    QStringList List1() const override { return list1_; }
    void viderList1() override { list1_.clear(); }
    void ajouterList1(const QString& entree) override { list1_.append(entree); }
    void Label1(const QString&) override {}

    void couper() override { velorine::couper(services_); }

    // The window's closing: the hang-up question, then the list file goes.
    void decharger() override
    {
        if (dechargee_)
            return;
        dechargee_ = true;
        velorine::couper(services_);
        fermerfeuille(etat_);
    }

    [[noreturn]] void choixannuler() override
    {
        etat_.abandon = false;
        relancer(etat_.dossierproduit, services_.coquille);
    }

private:
    Etat& etat_;
    Services& services_;
    QStringList list1_;
    bool dechargee_ = false;
};

// The services of an unattended run.
struct ServicesSansFenetre {
    explicit ServicesSansFenetre(const Options& options)
        : coquille(dialogues), transfert(options.delai), numerotation(numerotationsysteme())
    {
    }
    DialoguesConsole dialogues;
    BoucleQt boucle;
    CoquilleSansProduit coquille;
    TransfertCurl transfert;
    std::unique_ptr<Numerotation> numerotation;
    Services services{dialogues, boucle, coquille, transfert, *numerotation};
};

} // namespace

int installersansfenetre(const Options& options, const QString& dossierproduit)
{
    Etat etat;
    etat.dossierproduit = dossierproduit;
    ServicesSansFenetre s(options);
    installer(etat, s.services, options.fichiermaj, QFileInfo(options.fichiermaj).absolutePath());
    return s.dialogues.erreurmontree() ? 1 : 0;
}

int mettreajoursansfenetre(const Options& options, const QString& dossierproduit)
{
    Etat etat;
    etat.dossierproduit = dossierproduit;
    ServicesSansFenetre s(options);
    Services& services = s.services;
    FeuilleSansFenetre feuille(etat, services);

    // As the chooser's choice does before it shows the window.
    etat.abandon = false;
    if (!chargerfeuille(etat, services, feuille))
        return 1;

    // The window's activation.
    cartesnet(etat, services, feuille);
    dresseliste(etat, services, feuille);
    tesparti(etat, services, feuille);

    // Still here: the update failed and was reported. A window left open
    // (an empty list) is closed as its "Annuler" would close it.
    feuille.decharger();
    return 1;
}

} // namespace velorine
