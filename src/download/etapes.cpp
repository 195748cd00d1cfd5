#include "download/etapes.h"

#include "base/echec.h"
#include "base/texte.h"
#include "download/feuille.h"
#include "download/partiel.h"
#include "download/origine.h"
#include "download/puitscible.h"
#include "records/donneesproduit.h"
#include "records/nombres.h"
#include "records/nomswindows.h"
#include "download/releve.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace velorine {
namespace {

// Fetches adresse into puits; the window's status line follows the states
// and its progress bar the bytes. Throws Echec for a failed or cancelled
// transfer, EchecPuits when the file could not take the bytes. After a
// cancel the window is closed, and is not touched again.
void telecharger(Etat& etat, Services& services, HoteEtapes& fenetre, const QString& adresse, Provenance provenance,
                 Puits& puits)
{
    struct Suivi : SuiviTransfert {
        Etat& etat;
        HoteEtapes& fenetre;
        Suivi(Etat& e, HoteEtapes& f) : etat(e), fenetre(f) {}
        ~Suivi() override
        {
            if (!etat.abandon)
                fenetre.finprogression();
        }
        void etatchange(EtatTransfert e) override { fenetre.etattransfert(e); }
        void progression(long long recus, long long total) override { fenetre.progression(recus, total); }
    } suivi{etat, fenetre};
    services.transfert.ouvrirurl(adresse, provenance, puits, suivi);
}

// What a fetch's failure block is told: the fetch failed, or the file could
// not be written (a sink that cannot take the bytes, or the file that cannot
// be put in place). A file that fails the proof of origin failed its fetch.
enum class Phase { Telechargement, Ecriture };

// Fetches adresse into puits, yields once to the event loop, then puts the
// file in place, keeping phase up to date. The file replaces its target
// whole: there is no old file to delete first. Returns false, having written
// nothing, when the user cancelled meanwhile. Only the list address, which
// the administrator wrote, may name a local file; an address read from a
// downloaded list is http, https or ftp, unless the list is itself a local
// file (provenanceliste). The file's folder joins dossiers.
bool recevoir(Etat& etat, Services& services, HoteEtapes& fenetre, const QString& adresse, Provenance provenance,
              PuitsCible& puits, DossiersASynchroniser& dossiers, Phase& phase)
{
    phase = Phase::Telechargement;
    try {
        telecharger(etat, services, fenetre, adresse, provenance, puits);
    } catch (const EchecPuits&) {
        phase = Phase::Ecriture;
        throw;
    } catch (const Echec&) {
        // A large file that broke off is kept for the next run to finish;
        // a cancel keeps nothing.
        if (!etat.abandon)
            puits.garderpartiel();
        throw;
    }
    ignorer([&] { services.boucle.ceder(); });
    if (etat.abandon)
        return false;
    phase = Phase::Ecriture;
    try {
        puits.valider(dossiers);
    } catch (const EchecPreuve& e) {
        phase = Phase::Telechargement;
        if (!etat.abandon)
            signalerpreuve(etat.bavard, e);
        throw;
    }
    return true;
}

// The fetcher of the list's proof: the list's session and provenance, the
// window's status line and bar following each fetch. After the user's
// cancel, which may come as a fetch ends, nothing more is fetched.
Chercher chercheur(Etat& etat, Services& services, HoteEtapes& fenetre, Provenance provenance)
{
    return [&etat, &services, &fenetre, provenance](const QString& adresse, qint64 max) {
        PuitsMemoire puits(max);
        if (!etat.abandon)
            telecharger(etat, services, fenetre, adresse, provenance, puits);
        if (etat.abandon)
            throw Echec("annulé");
        return puits.contenu();
    };
}

// The path of a file named by the update list: a Windows name under the
// product folder. A name that would leave the folder, that names the folder
// itself, or one of the updater's own hidden files, cannot be written; nor
// can the publisher's key file: a list never changes which key proves the
// lists.
QString cheminproduit(const QString& dossierproduit, const QString& nom)
{
    if (nomdelupdater(nom))
        throw Echec("nom des fichiers cachés de la mise à jour : " + nom.toStdString());
    const QString chemin = resoudrenom(dossierproduit, nom);
    if (avecseparateur(chemin) == avecseparateur(dossierproduit))
        throw Echec("aucun nom de fichier");
    if (QFileInfo(chemin).path() == QFileInfo(avecseparateur(dossierproduit) + QStringLiteral("x")).path()
        && QFileInfo(chemin).fileName().compare(QLatin1String(nomclepublique), Qt::CaseInsensitive) == 0)
        throw Echec("nom réservé à la clé de l'éditeur");
    return chemin;
}

// Entry i of List1; an entry past the end (a last group of one or two
// entries) reads as the empty text.
QString entree(const QStringList& liste, int i)
{
    return i < liste.size() ? liste[i] : QString();
}

// The files of a run fetched ahead of their turn, each into its own
// temporary file, while an earlier one is fetched: at most parallele() - 1
// files ahead of the one whose turn it is. A file is put in place only at
// its turn, after every earlier one. When the run ends, however it ends, the
// fetches ahead stop and their temporary files vanish.
class Avance {
public:
    // groupes: the positions in liste of the groups to fetch, in order.
    Avance(Transfert& transfert, const QStringList& liste, std::vector<int> groupes, const QString& produit,
           Provenance provenance)
        : transfert_(transfert), liste_(liste), groupes_(std::move(groupes)), produit_(produit), provenance_(provenance)
    {
    }
    ~Avance() { transfert_.oublier(); }
    Avance(const Avance&) = delete;
    Avance& operator=(const Avance&) = delete;

    // The sink of the g-th group to fetch, once the fetches of the next ones
    // are started.
    std::unique_ptr<PuitsCible> puits(std::size_t g)
    {
        const std::size_t fin = std::min(groupes_.size(), g + static_cast<std::size_t>(transfert_.parallele()));
        for (std::size_t j = g + 1; j < fin; ++j) {
            if (enavance_.count(j))
                continue;
            enavance_[j] = creer(j, true);
            transfert_.anticiper(adresse(j), provenance_, *enavance_[j]);
        }
        const auto it = enavance_.find(g);
        if (it == enavance_.end())
            return creer(g, false);
        auto p = std::move(it->second);
        enavance_.erase(it);
        return p;
    }

    QString adresse(std::size_t g) const { return rogner(entree(liste_, groupes_[g] + 1)); }
    QString nom(std::size_t g) const { return rogner(entree(liste_, groupes_[g] + 2)); }
    Provenance provenance() const { return provenance_; }

private:
    std::unique_ptr<PuitsCible> creer(std::size_t g, bool enavance)
    {
        auto p = std::make_unique<PuitsCible>([this, nom = nom(g)] { return cheminproduit(produit_, nom); }, produit_,
                                              enavance);
        p->permettrereprise(adresse(g));
        return p;
    }

    Transfert& transfert_;
    const QStringList& liste_;
    std::vector<int> groupes_;
    const QString& produit_;
    Provenance provenance_;
    std::map<std::size_t, std::unique_ptr<PuitsCible>> enavance_;
};

} // namespace

Provenance provenanceliste(const QString& adresseliste)
{
    return rogner(adresseliste).startsWith(QStringLiteral("file:"), Qt::CaseInsensitive) ? Provenance::Reglages
                                                                                         : Provenance::Liste;
}

void cartesnet(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    // The fetch runs with abandon false: the chooser clears it, and a window
    // whose load failed is never activated. Found true after the fetch, it
    // is the user's cancel, which has already closed the window (and deleted
    // the list file): the step then ends without a word and writes nothing.
    Phase phase = Phase::Telechargement;
    etat.manifeste.reset();
    try {
        // With the publisher's key, the list is put in place only once
        // proven, and its manifest kept for the files.
        std::optional<ClePublique> cle;
        try {
            cle = clepublique(etat.dossierproduit);
        } catch (const EchecPreuve& e) {
            signalerpreuve(etat.bavard, e);
            throw;
        }
        if (!cle && etat.bavard) {
            std::fprintf(stderr, "velorine-maj: preuve d'origine: désactivée (aucune clé %s)\n", nomclepublique);
            std::fflush(stderr);
        }
        // The list is a working file, deleted with the window: its name
        // need not survive a power cut.
        DossiersASynchroniser sansobjet;
        PuitsCible liste([&] { return etat.fichierliste; }, etat.dossierproduit);
        if (cle) {
            liste.controler([&](int fd) {
                etat.manifeste =
                    prouverliste(*cle, etat.adresseliste, fd, chercheur(etat, services, fenetre, Provenance::Reglages));
            });
        }
        if (!recevoir(etat, services, fenetre, etat.adresseliste, Provenance::Reglages, liste, sansobjet, phase))
            return;
    } catch (const std::exception&) {
        etat.manifeste.reset();
        if (etat.abandon)
            return;
        // "dique": the message as users have always seen it, misspelling
        // included; do not correct it (tesparti's says "disque").
        echecfeuille(etat, services, fenetre, QStringLiteral("Ouverture impossible"),
                     phase == Phase::Telechargement ? QStringLiteral("Téléchargement impossible")
                                                    : QStringLiteral("Ecriture sur dique impossible"));
    }
}

void dresseliste(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    if (etat.abandon)
        return;
    try {
        fenetre.viderList1();
        etat.fente.ouvrirenreg(etat.fichierliste);
        if (etat.fente.lireenreg(1) != marqueliste)
            throw Echec("ce n'est pas une liste de mise à jour");
        std::int16_t n = 0;
        for (;;) {
            // Record numbers are 16-bit: records 2 to 32767 hold entries.
            const int numero = n + 2;
            if (numero > enreg::numeromax)
                throw Echec("liste trop longue");
            const QString texte = etat.fente.lireenreg(numero);
            if (rogner(texte).isEmpty()) {
                etat.fente.fermerfichier();
                return;
            }
            fenetre.ajouterList1(texte);
            n = plusun(n);
        }
    } catch (const std::exception&) {
        echecfeuille(etat, services, fenetre, QStringLiteral("Actualisation impossible"),
                     QStringLiteral("Pas de fichier téléchargé"));
    }
}

void tesparti(Etat& etat, Services& services, HoteEtapes& fenetre)
{
    // 1. An earlier step failed, or the user cancelled.
    if (etat.abandon)
        return;

    // 2. An empty list: the window stays open, the user leaves it.
    if (fenetre.List1().isEmpty()) {
        services.dialogues.message(Icone::Erreur, QStringLiteral("Erreur"),
                                   QStringLiteral("Erreur lors de l'ouverture du fichier"));
        etat.abandon = true;
        return;
    }

    // Each folder of the product is read once for all the names of the
    // list: the clean-up of partial files and the transfer pass.
    MemoireNoms noms;

    // 3. Survey, in ignore mode: how many groups are newer, and the level
    // to record (see relever).
    const Releve releve = relever(fenetre.List1(), etat.versionactuelle);
    const std::int16_t plusrecents = releve.plusrecents;
    const std::int16_t nouveau = releve.nouveau;

    // The partial files earlier runs kept for the list's files wait for
    // this run; those of old or other files go first.
    ignorer([&] {
        const QStringList liste = fenetre.List1();
        QStringList cibles;
        for (qsizetype k = 0; k + 2 < liste.size(); k += 3)
            ignorer([&] { cibles.append(cheminproduit(etat.dossierproduit, rogner(liste[k + 2]))); });
        nettoyerpartiels(etat.dossierproduit, cibles);
    });

    // 4. Nothing newer.
    if (plusrecents == 0) {
        services.dialogues.message(Icone::Information, QStringLiteral("Pas d'actualisation"),
                                   QStringLiteral("Vous disposez déjà de la dernière version en date."));
        fenetre.couper();
        etat.abandon = true;
        fenetre.choixannuler();
    }

    // 5.
    const QString produit = avecseparateur(etat.dossierproduit);

    // 6. Transfer pass, then 7. the new level. Failure mode starts with the
    // first transfer; before it a failing step is skipped.
    Phase phase = Phase::Telechargement;
    bool modeechec = false;
    const auto etape = [&](auto&& action) {
        if (modeechec)
            action();
        else
            ignorer(action);
    };
    // The folders of the files put in place, made durable together before
    // the level: the level is the commit point, so a power cut before it
    // leaves the old level and the next run fetches again.
    DossiersASynchroniser dossiers;
    try {
        const QStringList liste = fenetre.List1();
        const int n = static_cast<int>(liste.size());
        std::vector<int> groupes;
        for (int k = 0; k <= n - 1; k += 3) {
            const std::optional<double> v = niveaude(liste[k]);
            if (v && *v > etat.versionactuelle)
                groupes.push_back(k);
        }
        // With proof of origin, of the groups naming one file only the
        // last is fetched: the earlier ones would be replaced in this run,
        // and the manifest holds one sum a name. Each still counts.
        std::vector<int> atelecharger = groupes;
        if (etat.manifeste) {
            std::set<QString> vus;
            atelecharger.clear();
            for (auto k = groupes.rbegin(); k != groupes.rend(); ++k) {
                if (vus.insert(clenom(rogner(entree(liste, *k + 2)))).second)
                    atelecharger.insert(atelecharger.begin(), *k);
            }
        }
        Avance avance(services.transfert, liste, atelecharger, produit, provenanceliste(etat.adresseliste));
        std::int16_t numero = 0;
        std::size_t g = 0;
        for (const int k : groupes) {
            etape([&] { numero = plusun(numero); });
            etape([&] {
                fenetre.Label1(QStringLiteral("Transfert du fichier") + textenombre(numero) + QStringLiteral(" /")
                               + textenombre(plusrecents));
            });
            if (g == atelecharger.size() || atelecharger[g] != k)
                continue;
            modeechec = true;
            const std::unique_ptr<PuitsCible> fichier = avance.puits(g);
            if (etat.manifeste)
                fichier->controler(controlefichier(*etat.manifeste, avance.nom(g)));
            // A cancel while files remain: the run stops here, writes
            // nothing more and records no level.
            if (!recevoir(etat, services, fenetre, avance.adresse(g), avance.provenance(), *fichier, dossiers, phase))
                return;
            ++g;
        }
        dossiers.synchroniser();
        donnees::ecrireniveau(etat.fente, etat.fichiertempo, nouveau);
    } catch (const std::exception& e) {
        // The user's cancel ended the fetch: the window is already closed.
        if (etat.abandon)
            return;
        // A fetch tells its own failure; putting a file in place or
        // recording the level does here.
        if (phase == Phase::Ecriture && !dynamic_cast<const EchecPuits*>(&e))
            raconterbavard(etat.bavard, QString::fromUtf8(e.what()));
        echecfeuille(etat, services, fenetre, QStringLiteral("Mise à jour impossible"),
                     phase == Phase::Telechargement ? QStringLiteral("Téléchargement impossible")
                                                    : QStringLiteral("Ecriture sur disque impossible"));
        return;
    }

    // 8, 9.
    if (etat.abandon)
        return;

    // 10, 11.
    services.dialogues.message(Icone::Information, QStringLiteral("Actualisation terminée."),
                               QStringLiteral("Vous disposez maintenant de la version") + textenombre(nouveau));
    fenetre.couper();
    etat.abandon = true;
    fenetre.choixannuler();
}

} // namespace velorine
