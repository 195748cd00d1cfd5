#include "download/feuille.h"

#include "records/donneesproduit.h"
#include "base/echec.h"
#include "records/nomswindows.h"

namespace velorine {

bool chargerfeuille(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    try {
        const QString dossier = avecseparateur(etat.dossierproduit);
        etat.fichierliste = dossier + donnees::liste;
        etat.fichiertempo = dossier + donnees::tempo;
        const QString cheminparanet = dossier + donnees::paranet;
        etat.adresseliste = donnees::lireadresse(etat.fente, cheminparanet);
        services.boucle.ceder();
        etat.versionactuelle = donnees::lireniveau(etat.fente, etat.fichiertempo);
        return true;
    } catch (const std::exception&) {
        // "imposible": the message as users have always seen it, misspelling
        // included; do not correct it.
        echecfeuille(etat, services, fenetre, QStringLiteral("Lecture impossible"),
                     QStringLiteral("Lecture imposible sur le disque."));
        return false;
    }
}

void echecfeuille(Etat& etat, Services& services, HoteEtapes& fenetre, const QString& titre, const QString& texte)
{
    etat.fente.fermerfichier();
    services.dialogues.message(Icone::Erreur, titre, texte);
    etat.abandon = true;
    fenetre.decharger();
}

bool connexionactive(Numerotation& numerotation)
{
    return numerotation.connexionactive();
}

void couper(Services& services)
{
    if (!connexionactive(services.numerotation))
        return;
    if (services.dialogues.question(QStringLiteral("Navigation terminée"),
                                    QStringLiteral("Voulez-vous fermer la connexion ?")))
        services.numerotation.raccrocher();
}

void fermerfeuille(Etat& etat)
{
    ignorer([&] { effacerfichier(etat.fichierliste); });
}

} // namespace velorine
