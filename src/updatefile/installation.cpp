#include "updatefile/installation.h"

#include "base/echec.h"
#include "records/fichieratomique.h"
#include "records/nombres.h"
#include "records/nomswindows.h"
#include "platform/relancer.h"
#include "base/texte.h"

namespace velorine {

void installer(Etat& etat, Services& services, const QString& ficharge, const QString& dossiersource)
{
    if (rogner(ficharge).isEmpty())
        return;

    etat.fente.fermerfichier(); // an earlier attempt may have left it open
    // Each folder of the medium and of the product is read once for all
    // the names of the update file.
    MemoireNoms noms;
    const QString source = avecseparateur(dossiersource);
    QString courant; // record 1, then each record of the loop
    ignorer([&] { etat.fente.ouvrirenreg(ficharge); });
    ignorer([&] { courant = etat.fente.lireenreg(1); });

    if (courant != QStringLiteral("MAJQZ")) {
        etat.fente.fermerfichier();
        services.dialogues.message(Icone::Erreur, QStringLiteral("Mise à jour impossible"),
                                   QStringLiteral("Fichier ") + ficharge + QStringLiteral(" non valide"));
        relancer(etat.dossierproduit, services.coquille);
    }

    // The product's folders that received files are made durable once,
    // after the last copy (or the failed one), instead of once a file.
    DossiersASynchroniser dossiers;
    try {
        const QString produit = avecseparateur(etat.dossierproduit);
        std::int16_t numero = 1;
        for (;;) {
            numero = plusun(numero);
            courant = etat.fente.lireenreg(numero);
            if (courant == QStringLiteral("FINI"))
                break;
            // A name that would leave either folder, or that would pass
            // through a symbolic link in either, fails like a missing file.
            copierfichier(resoudrenom(source, courant), resoudrenom(produit, courant), source, produit, &dossiers);
        }
        ignorer([&] { dossiers.synchroniser(); });
    } catch (const std::exception& e) {
        raconterbavard(etat.bavard, QStringLiteral("copie de ") + courant + QStringLiteral(" impossible : ")
                                        + QString::fromUtf8(e.what()));
        ignorer([&] { dossiers.synchroniser(); });
        services.dialogues.message(Icone::Erreur, QStringLiteral("Mise à jour impossible"),
                                   QStringLiteral("Fichier ") + source + courant
                                       + QStringLiteral(" introuvable ou déjà ouvert ou espace disque insuffisant."));
        etat.fente.fermerfichier();
        return;
    }

    etat.fente.fermerfichier();
    services.dialogues.message(Icone::Information, QStringLiteral("Mise à jour terminée"),
                               QStringLiteral("La mise à jour a réussi"));
    relancer(etat.dossierproduit, services.coquille);
}

} // namespace velorine
