#include "app/verification.h"

#include "platform/dialoguesconsole.h"
#include "records/donneesproduit.h"
#include "download/etapes.h"
#include "records/etat.h"
#include "download/feuille.h"
#include "records/nomswindows.h"
#include "download/releve.h"
#include "platform/services.h"
#include "base/texte.h"
#include "platform/transfertcurl.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <exception>

namespace velorine {
namespace {

// The download window as the check sees it: the list box is a list of texts,
// and closing the window has nothing to hang up or delete (the list lies in
// the check's own temporary folder, which goes with it).
class HoteVerification : public HoteEtapes {
public:
    QStringList List1() const override { return list1_; }
    void viderList1() override { list1_.clear(); }
    void ajouterList1(const QString& entree) override { list1_.append(entree); }
    void Label1(const QString&) override {}
    void couper() override {}
    void decharger() override {}
    // Only the update run hands control back to the product; the check never
    // runs it.
    [[noreturn]] void choixannuler() override { std::terminate(); }

private:
    QStringList list1_;
};

// The check hangs up nothing: it knows of no dial-up connection.
class SansNumerotation : public Numerotation {
public:
    bool connexionactive() override { return false; }
    void raccrocher() override {}
};

// Texts from the list travel over the network: a control character would
// let a name forge lines of the report, so each one shows as "?".
QString affichable(const QString& texte)
{
    QString t = texte;
    for (QChar& c : t)
        if (c.category() == QChar::Other_Control)
            c = u'?';
    return t;
}

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
    DialoguesConsole dialogues;
    BoucleQt boucle;
    CoquilleSansProduit coquille(dialogues);
    TransfertCurl transfert(options.delai);
    SansNumerotation numerotation;
    Services services{dialogues, boucle, coquille, transfert, numerotation};
    HoteVerification hote;

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
    QTemporaryDir temporaire;
    if (!temporaire.isValid()) {
        dialogues.message(Icone::Erreur, QStringLiteral("Ouverture impossible"),
                          QStringLiteral("Ecriture sur dique impossible"));
        return verificationechec;
    }
    etat.fichierliste = temporaire.filePath(donnees::liste);
    // Every write of the steps is bounded to the product folder: for the
    // check, the temporary folder stands in its place from here on.
    etat.dossierproduit = temporaire.path();

    // 3. Fetched and read as the automatic update does.
    cartesnet(etat, services, hote);
    dresseliste(etat, services, hote);
    if (etat.abandon)
        return verificationechec;
    const QStringList liste = hote.List1();
    if (liste.isEmpty()) {
        dialogues.message(Icone::Erreur, QStringLiteral("Erreur"),
                          QStringLiteral("Erreur lors de l'ouverture du fichier"));
        return verificationechec;
    }

    // 4. What an update would fetch, by the update's own rule.
    const Releve releve = relever(liste, etat.versionactuelle);
    QString rapport = QStringLiteral("niveau actuel : %1\nniveau proposé : %2\nfichiers à télécharger : %3\n")
                          .arg(etat.versionactuelle)
                          .arg(releve.plushaut ? QString::number(*releve.plushaut) : QStringLiteral("aucun"))
                          .arg(releve.groupes.size());
    const auto entree = [&](int i) { return i < liste.size() ? affichable(rogner(liste[i])) : QString(); };
    for (int k : releve.groupes)
        rapport += entree(k) + u'\t' + entree(k + 1) + u'\t' + entree(k + 2) + u'\n';
    ecrire(sortie, rapport);
    std::fflush(sortie);
    return releve.groupes.isEmpty() ? verificationajour : verificationenattente;
}

} // namespace velorine
