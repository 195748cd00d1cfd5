#include "download/miroir.h"

#include "base/echec.h"
#include "base/texte.h"
#include "download/etapes.h"
#include "download/lectureliste.h"
#include "download/partiel.h"
#include "download/puitscible.h"
#include "download/releve.h"
#include "download/versionsmiroir.h"
#include "records/donneesproduit.h"
#include "records/dossiertemporaire.h"
#include "records/etat.h"
#include "records/fichieratomique.h"
#include "records/nomswindows.h"
#include "records/preuve.h"
#include "records/sousdossier.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velorine {
namespace {

// The bounds of the files read from the mirror's folder or fetched beside
// the list: a state file or a proof file is small.
constexpr qint64 taillemaxetat = 16 << 20;
constexpr long long taillemaxpreuve = 1 << 20;

// What a server said of a file in the mirror, kept in the state file.
struct Recu {
    QString adresse;         // the publisher's address it came from
    long long longueur = -1; // the bytes received
    Validateurs validateurs; // the server's ETag and date
};

// The state file, in each version's folder: a first line "velorine-miroir
// 2", then one line per file of that folder: path, address, length, ETag and
// date, separated by tabs, the texts percent-encoded. It is written into the
// folder before the folder is served, and never after: it tells only of
// files that folder holds. The folder may be writable by others: a line that
// does not read as one of ours is dropped, which only means a whole fetch.
// A mirror made before versions kept one ("velorine-miroir 1") beside its
// files, at the top of the folder.
const QByteArray enteteetat = "velorine-miroir 2";
const QByteArray enteteancien = "velorine-miroir 1";

bool relatifsur(const QString& relatif)
{
    if (relatif.isEmpty() || relatif.startsWith(u'/'))
        return false;
    for (const QString& partie : relatif.split(u'/'))
        if (partie.isEmpty() || partie == u"." || partie == u".."
            || std::any_of(partie.cbegin(), partie.cend(), caractererefuse))
            return false;
    return true;
}

// The state file beneath dossier at sous (a version's folder, or "" for a
// mirror made before versions) with the header entete.
QHash<QString, Recu> lireetat(const QString& dossier, const QString& sous, const QByteArray& entete = enteteetat)
{
    QHash<QString, Recu> etat;
    const Descripteur fd(ouvrirsous(dossier, sous.isEmpty() ? fichiersmiroir::etat : sous + u'/' + fichiersmiroir::etat,
                                    O_RDONLY | O_NONBLOCK));
    if (fd.fd() < 0)
        return etat;
    QByteArray contenu;
    try {
        contenu = lireordinaire(fd.fd(), taillemaxetat);
    } catch (const Echec&) {
        return etat;
    }
    const QList<QByteArray> lignes = contenu.split('\n');
    if (lignes.isEmpty() || lignes.first() != entete)
        return etat;
    for (qsizetype i = 1; i < lignes.size(); ++i) {
        const QList<QByteArray> champs = lignes[i].split('\t');
        if (champs.size() != 5)
            continue;
        bool ok1 = false;
        bool ok2 = false;
        Recu r;
        const QString relatif = QString::fromUtf8(QByteArray::fromPercentEncoding(champs[0]));
        r.adresse = QString::fromUtf8(QByteArray::fromPercentEncoding(champs[1]));
        r.longueur = champs[2].toLongLong(&ok1);
        r.validateurs.etag = QByteArray::fromPercentEncoding(champs[3]);
        r.validateurs.datemodif = champs[4].toLongLong(&ok2);
        if (!ok1 || !ok2 || r.longueur < 0 || !relatifsur(relatif))
            continue;
        r.validateurs.longueur = r.longueur;
        etat.insert(relatif, r);
    }
    return etat;
}

QByteArray texteetat(const std::map<QString, Recu>& fichiers)
{
    QByteArray texte = enteteetat + '\n';
    for (const auto& [relatif, r] : fichiers)
        texte += relatif.toUtf8().toPercentEncoding("/") + '\t' + r.adresse.toUtf8().toPercentEncoding() + '\t'
                 + QByteArray::number(r.longueur) + '\t' + r.validateurs.etag.toPercentEncoding() + '\t'
                 + QByteArray::number(r.validateurs.datemodif) + '\n';
    return texte;
}

// The length of the regular file at relatif in dossier, reached without
// following a link; -1 when there is none.
long long longueursous(const QString& dossier, const QString& relatif)
{
    const Descripteur fd(ouvrirsous(dossier, relatif, O_RDONLY | O_NONBLOCK));
    struct stat st {};
    if (fd.fd() < 0 || ::fstat(fd.fd(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

// Creates the folders on the way to relatif beneath dossier, one part at a
// time, never through a symbolic link. Throws Echec.
void creerdossiers(const QString& dossier, const QString& relatif)
{
    const QStringList parties = relatif.split(u'/');
    QString fait;
    for (qsizetype i = 0; i + 1 < parties.size(); ++i) {
        const Descripteur parent(ouvrirsous(dossier, fait, O_RDONLY | O_DIRECTORY));
        if (parent.fd() < 0)
            throw Echec(raison("ouverture du dossier", dossier + u'/' + fait));
        const QByteArray nom = QFile::encodeName(parties[i]);
        if (::mkdirat(parent.fd(), nom.constData(), 0777) != 0 && errno != EEXIST)
            throw Echec(raison("création du dossier", dossier + u'/' + fait + parties[i]));
        fait += parties[i] + u'/';
    }
}

// Throws Echec when something other than a file or a link stands at
// relatif beneath dossier, or its folder cannot be reached without
// following a link.
void verifierplace(const QString& dossier, const QString& relatif)
{
    const QFileInfo info(relatif);
    const Descripteur d(ouvrirsous(dossier, info.path() == u"." ? QString() : info.path(), O_RDONLY | O_DIRECTORY));
    if (d.fd() < 0)
        throw Echec(raison("ouverture du dossier de", relatif));
    struct stat st {};
    if (::fstatat(d.fd(), QFile::encodeName(info.fileName()).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
        && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        throw Echec("pas un fichier ordinaire: " + relatif.toStdString());
}

// Removes the regular file at relatif beneath dossier, never through a link;
// anything else there is left alone. Throws Echec when it cannot.
void retirersous(const QString& dossier, const QString& relatif)
{
    const QFileInfo info(relatif);
    const QString parent = info.path() == u"." ? QString() : info.path();
    const Descripteur d(ouvrirsous(dossier, parent, O_RDONLY | O_DIRECTORY));
    if (d.fd() < 0) {
        if (errno == ENOENT)
            return;
        throw Echec(raison("ouverture du dossier de", relatif));
    }
    const QByteArray nom = QFile::encodeName(info.fileName());
    struct stat st {};
    if (::fstatat(d.fd(), nom.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return;
        throw Echec(raison("état de", relatif));
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        throw Echec("pas un fichier ordinaire: " + relatif.toStdString());
    if (::unlinkat(d.fd(), nom.constData(), 0) != 0)
        throw Echec(raison("suppression de", relatif));
    ::fsync(d.fd());
}

// Copies the file source (outside the mirror) to relatif in the mirror, put
// in place whole.
void copierdans(const QString& dossier, const QString& relatif, const QString& source, DossiersASynchroniser& dossiers)
{
    const Descripteur fd(::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.fd() < 0)
        throw Echec(raison("ouverture de", source));
    FichierAtomique copie(avecseparateur(dossier) + relatif, dossier);
    copie.copierdepuis(fd.fd());
    copie.valider(std::nullopt, &dossiers);
}

// The state file is the mirror's own: the web server that offers the
// mirror has no need to read it.
void ecrireetat(const QString& dossier, const QString& sous, const QByteArray& contenu, DossiersASynchroniser& dossiers)
{
    FichierAtomique f(avecseparateur(dossier) + sous + u'/' + fichiersmiroir::etat, dossier);
    f.ecrire(contenu.constData(), static_cast<std::size_t>(contenu.size()));
    f.valider(0600, &dossiers);
}

// The sink of one file of the mirror: a temporary file beside its place in
// the new version's folder. It asks the server for the rest of
// the file when an earlier run kept the start of it (a large file whose
// fetch broke off, as the update run keeps them), otherwise for the file
// only if it changed since the last run, when the file is still there as it
// was received. A proof file (max set) is bounded and never kept in part.
class PuitsMiroir : public Puits {
public:
    PuitsMiroir(const QString& dossier, const QString& relatif, const QString& adresse, std::optional<Recu> precedent,
                long long max = -1)
        : cible_([chemin = avecseparateur(dossier) + relatif] { return chemin; }, dossier),
          precedent_(std::move(precedent)), max_(max)
    {
        if (max_ < 0)
            cible_.permettrereprise(adresse);
    }

    void ecrire(const char* octets, std::size_t nombre) override
    {
        recus_ += static_cast<long long>(nombre);
        if (max_ >= 0 && recus_ > max_) {
            troplong_ = true;
            throw Echec("fichier trop long");
        }
        cible_.ecrire(octets, nombre);
    }
    void recommencer() override
    {
        cible_.recommencer();
        recus_ = 0;
        debut_ = 0;
        inchange_ = false;
        validateurs_ = {};
    }
    Requete requete() const override
    {
        Requete r = cible_.requete();
        debut_ = r.debut;
        if (r.debut > 0)
            return r;
        if (precedent_ && (!precedent_->validateurs.etag.isEmpty() || precedent_->validateurs.datemodif >= 0)) {
            r.sichange = true;
            r.si = precedent_->validateurs;
        }
        return r;
    }
    void validateurs(const Validateurs& v) override
    {
        cible_.validateurs(v);
        validateurs_ = v;
    }
    // After a failed fetch: the start of a large file stays for the next
    // run to finish.
    void garderpartiel() noexcept { cible_.garderpartiel(); }
    void inchange() override { inchange_ = true; }

    bool estinchange() const { return inchange_; }
    bool troplong() const { return troplong_; }
    // What to remember of the file once it is in place.
    Recu recu(const QString& adresse) const
    {
        if (inchange_ && precedent_)
            return *precedent_;
        Recu r{adresse, debut_ + recus_, validateurs_};
        r.validateurs.longueur = r.longueur;
        r.validateurs.plages = false;
        return r;
    }
    void valider(DossiersASynchroniser& dossiers) { cible_.valider(dossiers); }

private:
    PuitsCible cible_;
    std::optional<Recu> precedent_;
    long long max_;
    long long recus_ = 0;         // bytes received by this fetch
    mutable long long debut_ = 0; // bytes an earlier run kept
    bool inchange_ = false;
    bool troplong_ = false;
    Validateurs validateurs_;
};

// One file of the mirror.
struct Fichier {
    QString relatif; // its path in the mirror
    QString adresse; // the publisher's address: the last group's that names it
};

// The names the mirror keeps for itself: a list naming one of them is
// refused rather than let a file stand in for the list or its proof.
bool nomreserve(const QString& relatif)
{
    if (nomdelupdater(relatif))
        return true;
    for (const QString& propre : {fichiersmiroir::liste, fichiersmiroir::origine, fichiersmiroir::manifeste,
                                  fichiersmiroir::signature, fichiersmiroir::etat})
        if (relatif.compare(propre, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// The phases of the fetches, for their one failure message.
enum class Phase { Telechargement, Ecriture };

// A list the mirror cannot take: a refused name, or an address in the
// mirror too long for a record (quoi: the name or the address).
class EchecListe : public Echec {
public:
    EchecListe(bool adresse, const QString& quoi) : Echec(quoi.toStdString()), adresse(adresse), quoi(quoi) {}
    bool adresse;
    QString quoi;
};

void dire(bool bavard, const QString& texte)
{
    if (!bavard)
        return;
    std::fprintf(stderr, "velorine-maj: %s\n", texte.toUtf8().constData());
    std::fflush(stderr);
}

// A run may hold one temporary file per file of the list until its end.
void leverlimitefichiers()
{
    rlimit limite{};
    if (::getrlimit(RLIMIT_NOFILE, &limite) == 0 && limite.rlim_cur < limite.rlim_max) {
        limite.rlim_cur = limite.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limite);
    }
}

} // namespace

QString adressemiroir(const QString& adressebase, const QString& relatif)
{
    QString adresse = adressebase;
    while (adresse.endsWith(u'/'))
        adresse.chop(1);
    for (const QString& partie : relatif.split(u'/'))
        adresse += u'/' + QString::fromLatin1(partie.toUtf8().toPercentEncoding());
    return adresse;
}

bool actualisermiroir(const ReglagesMiroir& reglages, Services& services)
{
    const QString& dossier = reglages.dossier;
    Dialogues& dialogues = services.dialogues;

    // 1. The publisher's list address: record 7 of the product's settings.
    // A missing file is not created.
    Etat etat;
    const QString paranet = avecseparateur(reglages.dossierproduit) + donnees::paranet;
    try {
        if (!QFileInfo::exists(paranet))
            throw Echec("fichier absent: " + paranet.toStdString());
        etat.adresseliste = donnees::lireadresse(etat.fente, paranet);
    } catch (const std::exception&) {
        etat.fente.fermerfichier();
        dialogues.message(Icone::Erreur, QStringLiteral("Lecture impossible"),
                          QStringLiteral("Lecture imposible sur le disque."));
        return false;
    }

    // 2. The list, fetched and read as the update run does, into a
    // temporary folder of its own: the mirror's folder is not touched yet.
    DossierTemporaire temporaire;
    if (!temporaire.isValid()) {
        dialogues.message(Icone::Erreur, QStringLiteral("Miroir impossible"),
                          QStringLiteral("Ecriture sur disque impossible"));
        return false;
    }
    const std::optional<QStringList> lue = lireliste(etat, services, temporaire.path());
    if (!lue)
        return false;
    const QStringList& liste = *lue;
    const Provenance provenance = provenanceliste(etat.adresseliste);
    const QString adresseliste = rogner(etat.adresseliste);
    // This run's files go into a version folder of their own, the one after
    // the version served.
    const std::optional<long long> servie = versionservie(dossier);
    const long long numero = versionsuivante(dossier, servie);
    const QString version = nomversion(numero);
    const QString ancienne = servie ? nomversion(*servie) : QString();
    // Names are matched, without regard to case, with the files of the
    // version served.
    const QString dossierancien = servie ? avecseparateur(dossier) + ancienne : dossier;

    // 3. The files: every group, whatever its level, as room machines are at
    // different levels. A name given twice (in any case) is one file, fetched
    // from the last group naming it, as an update run ends with that one.
    // Groups without a readable level are never fetched by any machine and
    // stay as they are.
    std::vector<Fichier> fichiers;
    QStringList nouvelle{marqueliste};
    try {
        QHash<QString, std::size_t> parcle;
        const auto entree = [&](int i) { return i < liste.size() ? liste[i] : QString(); };
        for (int k = 0; k < liste.size(); k += 3) {
            if (!niveaude(liste[k])) {
                for (int i = k; i < k + 3 && i < liste.size(); ++i)
                    nouvelle << liste[i];
                continue;
            }
            const QString nom = rogner(entree(k + 2));
            const auto refus = [&] { return EchecListe(false, nom); };
            QString relatif;
            try {
                relatif = relatifa(dossierancien, resoudrenom(dossierancien, nom));
            } catch (const Echec&) {
                throw refus();
            }
            // A name that is the mirror's folder itself, or one of the
            // mirror's own files.
            if (relatif.isEmpty() || nomreserve(relatif))
                throw refus();
            const QString cle = relatif.toCaseFolded();
            if (!parcle.contains(cle)) {
                parcle.insert(cle, fichiers.size());
                fichiers.push_back({relatif, QString()});
            }
            Fichier& f = fichiers[parcle.value(cle)];
            f.adresse = rogner(entree(k + 1));
            // 4. The address in the mirror must fit in a record: it is
            // never cut short.
            const QString adresse = adressemiroir(reglages.adressebase, version + u'/' + f.relatif);
            if (adresse.toUtf8().size() > static_cast<qsizetype>(enreg::textemax))
                throw EchecListe(true, adresse);
            nouvelle << liste[k] << adresse << liste[k + 2];
        }
    } catch (const EchecListe& e) {
        dialogues.message(Icone::Erreur, QStringLiteral("Miroir impossible"),
                          e.adresse ? QStringLiteral("Adresse trop longue pour la liste : ") + e.quoi
                                    : QStringLiteral("Nom de fichier refusé dans la liste : ") + e.quoi);
        return false;
    }

    // 5. Every file into the new version's folder, asked for only if it
    // changed when the version served holds it as it was received (then
    // linked, not copied); then the publisher's proof of origin, if it has
    // one, and the lists. The version served is not touched.
    leverlimitefichiers();
    const QHash<QString, Recu> precedent = servie ? lireetat(dossier, ancienne) : QHash<QString, Recu>();
    const auto dans = [&](const QString& relatif) { return version + u'/' + relatif; };
    std::vector<std::unique_ptr<PuitsMiroir>> puits;
    std::optional<PuitsMiroir> manifeste;
    std::optional<PuitsMiroir> signature;
    std::optional<PuitsMiroir> origine;
    DossiersASynchroniser dossiers;
    int telecharges = 0;
    Phase phase = Phase::Ecriture;
    PuitsMiroir* encours = nullptr;
    try {
        struct Oubli {
            Transfert& t;
            ~Oubli() { t.oublier(); }
        } oubli{services.transfert};
        SuiviTransfert suivi;
        creerversion(dossier, numero);
        // The starts of large files earlier runs kept wait for this run; those
        // of old or other files go first.
        ignorer([&] {
            QStringList cibles;
            for (const Fichier& f : fichiers)
                cibles << avecseparateur(dossier) + dans(f.relatif);
            nettoyerpartiels(dossier, cibles);
        });
        // Every folder first, then every place checked: a file never has
        // to replace a folder.
        for (const Fichier& f : fichiers)
            creerdossiers(dossier, dans(f.relatif));
        for (const Fichier& f : fichiers)
            verifierplace(dossier, dans(f.relatif));
        phase = Phase::Telechargement;
        for (const Fichier& f : fichiers) {
            std::optional<Recu> avant;
            const auto it = precedent.constFind(f.relatif);
            if (it != precedent.cend() && it->adresse == f.adresse
                && longueursous(dossier, ancienne + u'/' + f.relatif) == it->longueur)
                avant = *it;
            puits.push_back(std::make_unique<PuitsMiroir>(dossier, dans(f.relatif), f.adresse, avant));
        }
        // At most parallele() - 1 files fetched ahead of the one whose turn
        // it is. Each is put in place in the new folder once it has arrived.
        std::map<QString, Recu> etatnouveau;
        const std::size_t n = fichiers.size();
        std::size_t lances = 1;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t fin = std::min(n, i + static_cast<std::size_t>(services.transfert.parallele()));
            for (; lances < fin; ++lances)
                services.transfert.anticiper(fichiers[lances].adresse, provenance, *puits[lances]);
            encours = puits[i].get();
            try {
                services.transfert.ouvrirurl(fichiers[i].adresse, provenance, *puits[i], suivi);
            } catch (const EchecPuits&) {
                throw;
            } catch (const Echec&) {
                puits[i]->garderpartiel();
                throw;
            }
            phase = Phase::Ecriture;
            if (puits[i]->estinchange()) {
                lierinchange(dossier, ancienne, version, fichiers[i].relatif, dossiers);
            } else {
                puits[i]->valider(dossiers);
                ++telecharges;
            }
            etatnouveau[fichiers[i].relatif] = puits[i]->recu(fichiers[i].adresse);
            phase = Phase::Telechargement;
        }
        encours = nullptr;
        // The proof lies beside the list, at its address with a suffix. A
        // publisher that has none is no failure. A list that is itself a
        // mirror's has the publisher's own beside it: that one is the
        // publisher's list, the one the proof signs.
        const auto preuve = [&](std::optional<PuitsMiroir>& p, const QString& nom, const QString& suffixe,
                                long long max) {
            p.emplace(dossier, dans(nom), adresseliste + suffixe, std::nullopt, max);
            encours = &*p;
            try {
                services.transfert.ouvrirurl(adresseliste + suffixe, provenance, *p, suivi);
            } catch (const EchecAbsent&) {
                p.reset();
            }
            encours = nullptr;
        };
        preuve(manifeste, fichiersmiroir::manifeste, QStringLiteral(".sha256"), taillemaxpreuve);
        preuve(signature, fichiersmiroir::signature, QStringLiteral(".sha256.minisig"), taillemaxpreuve);
        preuve(origine, fichiersmiroir::origine, QStringLiteral(".origine"),
               static_cast<long long>(enreg::numeromax) * static_cast<long long>(enreg::taille));

        // 6. The proof files (or none, so that old ones never stand beside a
        // list they do not sign), the publisher's list, the mirror's list
        // and the state, all in the new folder, made durable together.
        phase = Phase::Ecriture;
        for (auto* p : {&manifeste, &signature}) {
            const QString& nom = p == &manifeste ? fichiersmiroir::manifeste : fichiersmiroir::signature;
            if (*p)
                (*p)->valider(dossiers);
            else
                retirersous(dossier, dans(nom));
        }
        if (origine)
            origine->valider(dossiers);
        else
            copierdans(dossier, dans(fichiersmiroir::origine), etat.fichierliste, dossiers);
        const QString ecrite = temporaire.filePath(QStringLiteral("MIROIR.MAJ"));
        etat.fente.ouvrirenreg(ecrite);
        for (qsizetype i = 0; i < nouvelle.size(); ++i)
            etat.fente.ecrireenreg(static_cast<int>(i) + 1, nouvelle[i]);
        etat.fente.fermerfichier();
        copierdans(dossier, dans(fichiersmiroir::liste), ecrite, dossiers);
        ecrireetat(dossier, version, texteetat(etatnouveau), dossiers);
        dossiers.synchroniser();

        // 7. The new version served, in one rename. The one before stays
        // for the machines that read its list just before; older ones go.
        servirversion(
            dossier, numero,
            {fichiersmiroir::liste, fichiersmiroir::origine, fichiersmiroir::manifeste, fichiersmiroir::signature});
    } catch (const std::exception& e) {
        etat.fente.fermerfichier();
        // A sink that failed could not write, unless a proof file (or the
        // publisher's list) ran past its bound: the server did not send one.
        if (dynamic_cast<const EchecPuits*>(&e))
            phase = encours && encours->troplong() ? Phase::Telechargement : Phase::Ecriture;
        dialogues.message(Icone::Erreur, QStringLiteral("Miroir impossible"),
                          phase == Phase::Telechargement ? QStringLiteral("Téléchargement impossible")
                                                         : QStringLiteral("Ecriture sur disque impossible"));
        return false;
    }
    // (The list's address is not shown: it may carry a password.)
    if (!manifeste || !signature)
        dire(reglages.bavard, QStringLiteral("l'éditeur ne publie pas de preuve d'origine complète à côté de sa "
                                             "liste (.sha256 et .sha256.minisig) : le miroir n'en a pas"));
    QList<long long> gardees{numero};
    if (servie)
        gardees << *servie;
    oteranciennes(dossier, gardees);
    // A mirror made before versions: its files at the top of the folder, as
    // its state recorded them, go, with that state.
    ignorer([&] {
        const QHash<QString, Recu> avant = lireetat(dossier, QString(), enteteancien);
        for (auto it = avant.cbegin(); it != avant.cend(); ++it) {
            const QString premier = it.key().section(u'/', 0, 0);
            if (premier != versionsmiroir::courant && !numeroversion(premier) && !nomreserve(it.key()))
                ignorer([&] { retirersous(dossier, it.key()); });
        }
        retirersous(dossier, fichiersmiroir::etat);
    });

    const QString nombre = QString::number(fichiers.size());
    const QString recus = QString::number(telecharges);
    dialogues.message(Icone::Information, QStringLiteral("Miroir à jour"),
                      nombre + QStringLiteral(" fichiers dans le miroir, dont ") + recus
                          + QStringLiteral(" téléchargés"));
    return true;
}

} // namespace velorine
