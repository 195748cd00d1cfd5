#include "app/verification.h"

#include "platform/dialoguesconsole.h"
#include "records/donneesproduit.h"
#include "records/dossiertemporaire.h"
#include "download/lectureliste.h"
#include "records/etat.h"
#include "download/feuille.h"
#include "records/nomswindows.h"
#include "download/releve.h"
#include "platform/services.h"
#include "base/texte.h"
#include "platform/transfertcurl.h"

#include <QFileInfo>
#include <exception>

namespace velorine {
namespace {

// The check hangs up nothing: it knows of no dial-up connection.
class SansNumerotation : public Numerotation {
public:
    bool connexionactive() override { return false; }
    void raccrocher() override {}
};

void ecrire(std::FILE* sortie, const QString& texte)
{
    const QByteArray octets = texte.toUtf8();
    std::fwrite(octets.constData(), 1, static_cast<std::size_t>(octets.size()), sortie);
}

} // namespace

int verifiersansfenetre(const Options& options, const QString& dossierproduit, std::FILE* sortie)
{
    Etat etat;
    etat.dossierproduit = dossierproduit;
    // --verbose gives the reasons the update run gives.
    etat.bavard = options.bavard;
    DialoguesConsole dialogues;
    BoucleQt boucle;
    CoquilleSansProduit coquille(dialogues);
    TransfertCurl transfert(options.delai);
    transfert.definirbavard(options.bavard);
    SansNumerotation numerotation;
    Services services{dialogues, boucle, coquille, transfert, numerotation};
    // Closing the window has nothing to hang up or delete: the list lies in
    // the check's own temporary folder, which goes with it.
    HoteListe hote;

    // 1. The address of the list and the current level, as the window loads.
    // Opening a record file creates it when it is missing: a missing data
    // file fails here as a failed read, before anything is opened.
    for (const QString& nom : {donnees::paranet, donnees::tempo}) {
        if (!QFileInfo::exists(avecseparateur(dossierproduit) + nom)) {
            dialogues.message(Icone::Erreur, QStringLiteral("Lecture impossible"),
                              QStringLiteral("Lecture imposible sur le disque."));
            return verificationechec;
        }
    }
    if (!chargerfeuille(etat, services, hote))
        return verificationechec;

    // 2. The list goes to a temporary folder of its own, never to LISTE.MAJ.
    DossierTemporaire temporaire;
    if (!temporaire.isValid()) {
        dialogues.message(Icone::Erreur, QStringLiteral("Ouverture impossible"),
                          QStringLiteral("Ecriture sur dique impossible"));
        return verificationechec;
    }

    // 3. Fetched and read as the automatic update does; the temporary
    // folder stands for the product folder from here on.
    const std::optional<QStringList> lue = lireliste(etat, services, temporaire.path());
    if (!lue)
        return verificationechec;
    const QStringList& liste = *lue;

    // 4. What an update would fetch, by the update's own rule.
    const Releve releve = relever(liste, etat.versionactuelle);
    // A list that stops below the product's level offers nothing: its
    // highest level is no downgrade on offer.
    QString propose = QStringLiteral("aucun");
    if (releve.plushaut && *releve.plushaut >= etat.versionactuelle)
        propose = QString::number(*releve.plushaut);
    else if (releve.plushaut)
        propose = QStringLiteral("aucun plus récent (la liste s'arrête au niveau %1)").arg(*releve.plushaut);
    QString rapport = QStringLiteral("niveau actuel : %1\nniveau proposé : %2\nfichiers à télécharger : %3\n")
                          .arg(etat.versionactuelle)
                          .arg(propose)
                          .arg(releve.groupes.size());
    const auto entree = [&](int i) { return i < liste.size() ? affichable(rogner(liste[i])) : QString(); };
    for (int k : releve.groupes)
        rapport += entree(k) + u'\t' + entree(k + 1) + u'\t' + entree(k + 2) + u'\n';
    ecrire(sortie, rapport);
    std::fflush(sortie);
    return releve.groupes.isEmpty() ? verificationajour : verificationenattente;
}

} // namespace velorine
