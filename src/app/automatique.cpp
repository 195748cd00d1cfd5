#include "app/automatique.h"

#include "platform/dialoguesconsole.h"
#include "platform/numerotationsysteme.h"
#include "download/controleurfeuille.h"
#include "download/etapes.h"
#include "download/miroir.h"
#include "app/verrou.h"
#include "records/etat.h"
#include "records/nomswindows.h"
#include "updatefile/installation.h"
#include "platform/services.h"
#include "platform/transfertcurl.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

namespace velorine {
namespace {

// The services of an unattended run.
struct ServicesSansFenetre {
    explicit ServicesSansFenetre(const Options& options)
        : coquille(dialogues), transfert(options.delai), numerotation(numerotationsysteme())
    {
        transfert.definirbavard(options.bavard);
        transfert.definirparallele(options.parallele);
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
    etat.bavard = options.bavard;
    ServicesSansFenetre s(options);
    installer(etat, s.services, options.fichiermaj, QFileInfo(options.fichiermaj).absolutePath());
    return s.dialogues.erreurmontree() ? 1 : 0;
}

int mettreajoursansfenetre(const Options& options, const QString& dossierproduit)
{
    Etat etat;
    etat.dossierproduit = dossierproduit;
    etat.bavard = options.bavard;
    ServicesSansFenetre s(options);
    // The download window with nothing on screen: its list box is a list of
    // texts.
    EtapesInternet etapes;
    VueFeuille sansfenetre;
    ControleurFeuille feuille(etat, s.services, etapes, sansfenetre);

    // As the chooser's choice does before it shows the window.
    etat.abandon = false;
    if (!feuille.charger())
        return 1;

    // The window's activation.
    feuille.activer();

    // Still here: the update failed and was reported. A window left open
    // (an empty list) is unloaded, as no one is there to close it.
    feuille.decharger();
    return 1;
}

int miroirsansfenetre(const Options& options, const QString& dossierproduit)
{
    ServicesSansFenetre s(options);
    ReglagesMiroir reglages;
    reglages.dossierproduit = dossierproduit;
    reglages.dossier = QDir::cleanPath(QFileInfo(options.miroir).absoluteFilePath());
    reglages.adressebase = options.adressebase;
    reglages.bavard = options.bavard;
    if (!QDir().mkpath(reglages.dossier) || !QFileInfo(reglages.dossier).isDir()) {
        s.dialogues.message(Icone::Erreur, QStringLiteral("Miroir impossible"),
                            QStringLiteral("Ecriture sur disque impossible"));
        return 1;
    }
    // The same lock as an updater's on its product folder, on the mirror's
    // folder.
    if (!verrouillerproduit(reglages.dossier)) {
        s.dialogues.message(Icone::Erreur, QStringLiteral("Miroir impossible"),
                            QStringLiteral("Un autre miroir est déjà en cours de mise à jour dans ce dossier."));
        return statutdejaencours;
    }
    // Each folder of the mirror is read once for all the names of the list.
    MemoireNoms noms;
    actualisermiroir(reglages, s.services);
    return s.dialogues.erreurmontree() ? 1 : 0;
}

} // namespace velorine
