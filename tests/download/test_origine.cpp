// Proof of origin in the update run: the publisher's key in the product
// folder, the list's manifest and signature made by the real minisign and
// served with the list by a loopback HTTP server, the real transfer engine,
// real files, and the real executable for what an unattended run prints.

#include "dossiers.h"
#include "faux.h"
#include "impression.h"
#include "processus.h"
#include "serveurs.h"
#include "download/controleurfeuille.h"
#include "download/etapes.h"
#include "download/origine.h"
#include "platform/transfertcurl.h"
#include "records/configuration.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

const QString marque = QStringLiteral("MAJQZ7INTERNET");

// Runs a program to its end; returns its exit code, -1 when it crashed or
// did not end.
int executer(const QString& programme, const QStringList& arguments, QString* sortie = nullptr)
{
    const Resultat r = lancerprogramme(QStringList{programme} + arguments, 60000, QProcess::MergedChannels);
    if (sortie)
        *sortie = r.sortie;
    return r.code;
}

QByteArray sha256(const QByteArray& contenu)
{
    return QCryptographicHash::hash(contenu, QCryptographicHash::Sha256).toHex();
}

class VueTest : public VueFeuille {
public:
    QStringList List1() const override { return liste; }
    void viderList1() override { liste.clear(); }
    void ajouterList1(const QString& entree) override { liste.append(entree); }
    void Label1(const QString& texte) override { legendes.append(texte); }
    void progression(long long recus, long long total) override
    {
        if (surprogression)
            surprogression(recus, total);
    }
    void finprogression() override { ++finsprogression; }
    QStringList liste;
    QStringList legendes;
    int finsprogression = 0;
    std::function<void(long long recus, long long total)> surprogression;
};

// The download controller, noting whether the list was in place when the
// window was unloaded (the unload deletes it).
class FenetreTest : public ControleurFeuille {
public:
    using ControleurFeuille::ControleurFeuille;
    void decharger() override
    {
        if (!dechargee) {
            dechargee = true;
            listeenplace = QFileInfo::exists(fichierliste());
        }
        ControleurFeuille::decharger();
    }
    std::function<QString()> fichierliste;
    bool dechargee = false;
    bool listeenplace = false;
};

// Boxes as "title|text", for readable comparisons.
QStringList lignes(const std::vector<Boite>& boites)
{
    QStringList r;
    for (const Boite& b : boites)
        r << b.titre + u'|' + b.texte;
    return r;
}

const QString listerefusee = QStringLiteral("Ouverture impossible|Téléchargement impossible");
const QString fichierrefuse = QStringLiteral("Mise à jour impossible|Téléchargement impossible");

// Two key pairs made once by minisign for the whole program: "a" is the
// publisher's, "b" another's.
class Cles {
public:
    static Cles& instance()
    {
        static Cles c;
        return c;
    }
    bool pretes() const { return pretes_; }
    QString publique(const QString& nom) const { return d_.filePath(nom + ".pub"); }
    QString secrete(const QString& nom) const { return d_.filePath(nom + ".key"); }

private:
    Cles()
    {
        if (QStandardPaths::findExecutable("minisign").isEmpty())
            return;
        pretes_ = true;
        for (const char* nom : {"a", "b"}) {
            if (executer("minisign", {"-G", "-W", "-p", publique(nom), "-s", secrete(nom)}) != 0)
                pretes_ = false;
        }
    }
    QTemporaryDir d_;
    bool pretes_ = false;
};

// A product folder at level 2 holding the publisher's key, and a web folder
// served over loopback with a list of levels 3 and 4 (f3.dat and f4.dat
// stored as LECON3.DAT and LECON4.DAT), its manifest and its signature.
struct Banc {
    Banc()
    {
        produit = racine.filePath(QStringLiteral("produit"));
        web = racine.filePath(QStringLiteral("web"));
        QDir().mkpath(produit);
        QDir().mkpath(web);
        serveur = std::make_unique<ServeurHttp>(web);
        etat.dossierproduit = produit;
        fenetre.fichierliste = [this] { return etat.fichierliste; };
        QStringList tempo(24);
        tempo[23] = QStringLiteral(" 2");
        ecrirefichier(chemin("TEMPO.QZS"), fichierenregistrements(tempo));
        ecrirefichier(chemin("PARANET.LST"), fichierenregistrements({"", "", "", "", "", "", url("/LISTE.MAJ")}));
        for (int n : {3, 4, 5})
            ecrirefichier(web + QStringLiteral("/f%1.dat").arg(n), contenu(n));
        QFile::copy(Cles::instance().publique("a"), chemin("VELORINE.PUB"));
        liste(groupes({3, 4}));
    }

    bool pret() const { return racine.isValid() && serveur->pret(); }
    QString url(const QString& chemin) const { return serveur->url(chemin); }
    QString chemin(const QString& nom) const { return produit + u'/' + nom; }
    QString surweb(const QString& nom) const { return web + u'/' + nom; }
    static QByteArray contenu(int n) { return QByteArray("Niveau ") + QByteArray::number(n) + "\n"; }
    QString niveaulu() const
    {
        const QByteArray r = lirefichier(chemin("TEMPO.QZS")).mid(23 * 128, 128);
        return QString::fromLatin1(r.mid(2, static_cast<unsigned char>(r[0])));
    }

    QStringList groupes(const QList<int>& niveaux) const
    {
        QStringList entrees;
        for (int n : niveaux)
            entrees << QStringLiteral(" %1").arg(n) << url(QStringLiteral("/f%1.dat").arg(n))
                    << QStringLiteral("LECON%1.DAT").arg(n);
        return entrees;
    }
    void liste(const QStringList& entrees, const QString& nom = QStringLiteral("LISTE.MAJ"))
    {
        ecrirefichier(surweb(nom), fichierenregistrements(QStringList{marque} + entrees));
    }

    // The manifest of the served list: the list's sum, then one line per
    // name given (the name as written, the sum of the content given).
    QByteArray manifeste(const QList<std::pair<QString, QByteArray>>& fichiers,
                         const QString& listesignee = QStringLiteral("LISTE.MAJ")) const
    {
        QByteArray m = sha256(lirefichier(surweb(listesignee))) + "  LISTE.MAJ\n";
        for (const auto& [nom, octets] : fichiers)
            m += sha256(octets) + "  " + nom.toUtf8() + "\n";
        return m;
    }
    QByteArray manifeste34() const { return manifeste({{"LECON3.DAT", contenu(3)}, {"LECON4.DAT", contenu(4)}}); }
    // Writes LISTE.MAJ.sha256 and signs it with the key cle.
    void signer(const QByteArray& m, const QString& cle = QStringLiteral("a"))
    {
        ecrirefichier(surweb("LISTE.MAJ.sha256"), m);
        QFile::remove(surweb("LISTE.MAJ.sha256.minisig"));
        QString sortie;
        EXPECT_EQ(executer("minisign",
                           {"-S", "-s", Cles::instance().secrete(cle), "-m", surweb("LISTE.MAJ.sha256"), "-t",
                            "Velorine niveau 4"},
                           &sortie),
                  0)
            << sortie.toStdString();
    }

    // The window shown by the chooser: load, then activation. True when the
    // run handed control back to the product.
    bool activer()
    {
        etat.abandon = false;
        try {
            if (!fenetre.charger())
                return false;
            fenetre.activer();
        } catch (const FinProcessus&) {
            return true;
        }
        return false;
    }

    // The requests the server received, in order.
    QStringList demandes() const
    {
        QStringList r;
        for (const QString& l : serveur->journal()) {
            if (l.startsWith(u"GET "))
                r << l;
        }
        return r;
    }

    QTemporaryDir racine;
    QString produit;
    QString web;
    std::unique_ptr<ServeurHttp> serveur;
    TransfertCurl transfert;
    Faux faux;
    Services services = [this] {
        faux.transfert = &transfert;
        return faux.services();
    }();
    Etat etat;
    EtapesInternet etapes;
    VueTest vue;
    FenetreTest fenetre{etat, services, etapes, vue};
};

class Origine : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Cles::instance().pretes())
            GTEST_SKIP() << "minisign absent (paquet Debian minisign) : signatures impossibles à produire";
        b = std::make_unique<Banc>();
        ASSERT_TRUE(b->pret()) << qPrintable(b->serveur->erreur());
    }
    std::unique_ptr<Banc> b;
};

const QStringList demandessignees{"GET /LISTE.MAJ", "GET /LISTE.MAJ.sha256", "GET /LISTE.MAJ.sha256.minisig",
                                  "GET /f3.dat", "GET /f4.dat"};

TEST_F(Origine, UneListeSigneeEtSesFichiersSontMisEnPlace)
{
    b->signer(b->manifeste34());
    EXPECT_TRUE(b->activer());
    EXPECT_EQ(lignes(b->faux.dialogues.boites),
              QStringList{"Actualisation terminée.|Vous disposez maintenant de la version 4"});
    EXPECT_EQ(b->demandes(), demandessignees);
    EXPECT_EQ(lirefichier(b->chemin("LECON3.DAT")), Banc::contenu(3));
    EXPECT_EQ(lirefichier(b->chemin("LECON4.DAT")), Banc::contenu(4));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 4"));
    EXPECT_EQ(b->vue.legendes, (QStringList{"Transfert du fichier 1 / 2", "Transfert du fichier 2 / 2"}));
}

// The manifest names a file as sha256sum wrote it, in the publisher's
// folder: another letter case, "/" for "\".
TEST_F(Origine, LeManifesteNommeLesFichiersSansEgardALaCasseNiAuSeparateur)
{
    QDir().mkpath(b->chemin("Donnees"));
    b->liste({" 3", b->url("/f3.dat"), "DONNEES\\Sons.dat"});
    b->signer(b->manifeste({{"donnees/SONS.DAT", Banc::contenu(3)}}));
    EXPECT_TRUE(b->activer());
    EXPECT_EQ(lirefichier(b->chemin("Donnees/Sons.dat")), Banc::contenu(3));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 3"));
}

// Without the key file, the run is today's: nothing more is asked, even of
// a server that serves a manifest which would refuse the files.
TEST_F(Origine, SansCleRienNEstDemandeEnPlus)
{
    QFile::remove(b->chemin("VELORINE.PUB"));
    b->signer(b->manifeste({{"LECON3.DAT", "autre chose"}}));
    EXPECT_TRUE(b->activer());
    EXPECT_EQ(b->demandes(), (QStringList{"GET /LISTE.MAJ", "GET /f3.dat", "GET /f4.dat"}));
    EXPECT_EQ(lirefichier(b->chemin("LECON3.DAT")), Banc::contenu(3));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 4"));
}

// Every way the proof can fail stops the run with the download failure:
// the level unchanged, no file of the list in place (or, for the second
// file, only the first, which was checked), and the list itself never put
// in place when it is the list's proof that failed.
TEST(OrigineRefusee, ChaqueFauteArreteLaMiseAJour)
{
    if (!Cles::instance().pretes())
        GTEST_SKIP() << "minisign absent (paquet Debian minisign)";
    struct Cas {
        const char* nom;
        std::function<void(Banc&)> preparer; // after the good signature
        QString boite;
        QStringList demandes;     // the files' requests, after the list's three
        QStringList enplace = {}; // files of the list in place after the run
    };
    const std::vector<Cas> cas{
        {"fichier modifié",
         [](Banc& b) { ecrirefichier(b.surweb("f3.dat"), "Niveau 3, contrefait\n"); },
         fichierrefuse,
         {"GET /f3.dat"}},
        {"second fichier modifié",
         [](Banc& b) { ecrirefichier(b.surweb("f4.dat"), QByteArray("Niveau 4\n\0", 10)); },
         fichierrefuse,
         {"GET /f3.dat", "GET /f4.dat"},
         {"LECON3.DAT"}},
        {"fichier absent du manifeste",
         [](Banc& b) {
             b.signer(b.manifeste({{"LECON4.DAT", Banc::contenu(4)}}));
         },
         fichierrefuse,
         {"GET /f3.dat"}},
        {"liste modifiée",
         [](Banc& b) {
             b.liste(b.groupes({3, 4, 5}));
         },
         listerefusee,
         {"GET /LISTE.MAJ.origine"}},
        {"signature absente", [](Banc& b) { QFile::remove(b.surweb("LISTE.MAJ.sha256.minisig")); }, listerefusee, {}},
        {"manifeste absent", [](Banc& b) { QFile::remove(b.surweb("LISTE.MAJ.sha256")); }, listerefusee, {}},
        {"manifeste modifié après sa signature",
         [](Banc& b) {
             ecrirefichier(b.surweb("LISTE.MAJ.sha256"),
                           b.manifeste({{"LECON3.DAT", "autre\n"}, {"LECON4.DAT", Banc::contenu(4)}}));
         },
         listerefusee,
         {}},
        {"signature abîmée",
         [](Banc& b) {
             QByteArray s = lirefichier(b.surweb("LISTE.MAJ.sha256.minisig"));
             QList<QByteArray> l = s.split('\n');
             QByteArray sig = QByteArray::fromBase64(l[1]);
             sig[20] = static_cast<char>(sig[20] ^ 1);
             l[1] = sig.toBase64();
             ecrirefichier(b.surweb("LISTE.MAJ.sha256.minisig"), l.join('\n'));
         },
         listerefusee,
         {}},
        {"signée par une autre clé", [](Banc& b) { b.signer(b.manifeste34(), "b"); }, listerefusee, {}},
        {"clé du produit qui n'est pas celle de l'éditeur",
         [](Banc& b) {
             QFile::remove(b.chemin("VELORINE.PUB"));
             QFile::copy(Cles::instance().publique("b"), b.chemin("VELORINE.PUB"));
         },
         listerefusee,
         {}},
        {"manifeste démesuré",
         [](Banc& b) { b.signer(b.manifeste34() + QByteArray(1024 * 1024, '\n')); },
         listerefusee,
         {}},
        {"signature démesurée",
         [](Banc& b) { ecrirefichier(b.surweb("LISTE.MAJ.sha256.minisig"), QByteArray(8192, 'A')); },
         listerefusee,
         {}},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        Banc b;
        ASSERT_TRUE(b.pret());
        b.signer(b.manifeste34());
        c.preparer(b);
        const QStringList avant = contenudossier(b.produit);
        const QByteArray tempo = lirefichier(b.chemin("TEMPO.QZS"));
        EXPECT_FALSE(b.activer());
        EXPECT_EQ(lignes(b.faux.dialogues.boites), QStringList{c.boite});
        EXPECT_TRUE(b.etat.abandon);
        EXPECT_TRUE(b.fenetre.dechargee);
        EXPECT_EQ(b.fenetre.listeenplace, c.boite == fichierrefuse);
        EXPECT_EQ(lirefichier(b.chemin("TEMPO.QZS")), tempo);
        QStringList apres = avant + c.enplace;
        apres.sort();
        EXPECT_EQ(contenudossier(b.produit), apres);
        const QStringList demandes = b.demandes();
        EXPECT_EQ(demandes.mid(3), c.demandes);
        for (const QString& nom : c.enplace)
            EXPECT_EQ(lirefichier(b.chemin(nom)), Banc::contenu(3));
    }
}

// A key file that is there but cannot be used stops the run before anything
// is fetched: verification is never silently off.
TEST(OrigineRefusee, UneCleInutilisableArreteLaMiseAJour)
{
    if (!Cles::instance().pretes())
        GTEST_SKIP() << "minisign absent (paquet Debian minisign)";
    struct Cas {
        const char* nom;
        std::function<void(const QString& cle)> preparer;
    };
    const std::vector<Cas> cas{
        {"clé illisible", [](const QString& c) { ecrirefichier(c, "untrusted comment: rien\nAAAA\n"); }},
        {"fichier vide", [](const QString& c) { ecrirefichier(c, ""); }},
        {"clé démesurée", [](const QString& c) { ecrirefichier(c, QByteArray(5000, 'A')); }},
        {"un dossier", [](const QString& c) { QDir().mkpath(c); }},
        {"un lien vers la clé de l'éditeur", [](const QString& c) { QFile::link(Cles::instance().publique("a"), c); }},
        {"un tube", [](const QString& c) { ASSERT_EQ(::mkfifo(QFile::encodeName(c).constData(), 0600), 0); }},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        Banc b;
        ASSERT_TRUE(b.pret());
        b.signer(b.manifeste34());
        QFile::remove(b.chemin("VELORINE.PUB"));
        // Found under any letter case.
        c.preparer(b.chemin("velorine.pub"));
        EXPECT_FALSE(b.activer());
        EXPECT_EQ(lignes(b.faux.dialogues.boites), QStringList{listerefusee});
        EXPECT_EQ(b.demandes(), QStringList());
        EXPECT_EQ(b.niveaulu(), QStringLiteral(" 2"));
    }
}

TEST_F(Origine, LaCleEstTrouveeSousUneAutreCasse)
{
    QFile::rename(b->chemin("VELORINE.PUB"), b->chemin("Velorine.pub"));
    b->signer(b->manifeste({{"LECON3.DAT", Banc::contenu(3)}}));
    EXPECT_FALSE(b->activer());
    EXPECT_EQ(lignes(b->faux.dialogues.boites), QStringList{fichierrefuse});
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 2"));
}

// A room mirror serves its own list, whose addresses point at it, and the
// publisher's list untouched beside it: the files are checked against the
// publisher's manifest whatever server they came from.
TEST(OrigineMiroir, UneListeQuiNeDiffereQueParSesAdressesEstAcceptee)
{
    if (!Cles::instance().pretes())
        GTEST_SKIP() << "minisign absent (paquet Debian minisign)";
    struct Cas {
        const char* nom;
        QStringList miroir;  // the mirror's entries (f*.dat under /miroir/)
        bool origine = true; // LISTE.MAJ.origine is served
        bool origineabimee = false;
        bool acceptee = false;
    };
    const auto groupe = [](const char* niveau, int f, const char* nom) {
        return QStringList{niveau, QStringLiteral("/miroir/f%1.dat").arg(f), nom};
    };
    const std::vector<Cas> cas{
        {"adresses seules", groupe(" 3", 3, "LECON3.DAT") + groupe(" 4", 4, "LECON4.DAT"), true, false, true},
        {"sans liste d'origine", groupe(" 3", 3, "LECON3.DAT") + groupe(" 4", 4, "LECON4.DAT"), false},
        {"liste d'origine abîmée", groupe(" 3", 3, "LECON3.DAT") + groupe(" 4", 4, "LECON4.DAT"), true, true},
        {"un niveau changé", groupe(" 3", 3, "LECON3.DAT") + groupe(" 5", 4, "LECON4.DAT")},
        {"un nom changé", groupe(" 3", 3, "LECON3.DAT") + groupe(" 4", 4, "VELORINE.EXE")},
        {"un groupe de plus",
         groupe(" 3", 3, "LECON3.DAT") + groupe(" 4", 4, "LECON4.DAT") + groupe(" 4", 4, "LECON4.DAT")},
        {"un groupe de moins", groupe(" 3", 3, "LECON3.DAT")},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        Banc b;
        ASSERT_TRUE(b.pret());
        b.signer(b.manifeste34());
        QDir().mkpath(b.surweb("miroir"));
        for (int n : {3, 4})
            QFile::copy(b.surweb(QStringLiteral("f%1.dat").arg(n)), b.surweb(QStringLiteral("miroir/f%1.dat").arg(n)));
        if (c.origine)
            QFile::copy(b.surweb("LISTE.MAJ"), b.surweb("LISTE.MAJ.origine"));
        if (c.origineabimee)
            ecrirefichier(b.surweb("LISTE.MAJ.origine"), lirefichier(b.surweb("LISTE.MAJ")) + "x");
        QStringList entrees = c.miroir;
        for (qsizetype i = 1; i < entrees.size(); i += 3)
            entrees[i] = b.url(entrees[i]);
        b.liste(entrees);
        const bool relance = b.activer();
        EXPECT_EQ(relance, c.acceptee);
        if (c.acceptee) {
            EXPECT_EQ(b.demandes(),
                      (QStringList{"GET /LISTE.MAJ", "GET /LISTE.MAJ.sha256", "GET /LISTE.MAJ.sha256.minisig",
                                   "GET /LISTE.MAJ.origine", "GET /miroir/f3.dat", "GET /miroir/f4.dat"}));
            EXPECT_EQ(lirefichier(b.chemin("LECON4.DAT")), Banc::contenu(4));
            EXPECT_EQ(b.niveaulu(), QStringLiteral(" 4"));
        } else {
            EXPECT_EQ(lignes(b.faux.dialogues.boites), QStringList{listerefusee});
            EXPECT_FALSE(b.fenetre.listeenplace);
            EXPECT_EQ(b.demandes().filter("/miroir/"), QStringList());
            EXPECT_EQ(b.niveaulu(), QStringLiteral(" 2"));
        }
    }
}

// "Annuler" while the list's manifest arrives: the run stops without a
// word, the list is not put in place, nothing else is fetched.
TEST_F(Origine, AnnulerPendantLaPreuveArreteSansMessage)
{
    // A manifest large enough to arrive in several parts.
    b->signer(b->manifeste34() + QByteArray(512 * 1024, '#'));
    bool clique = false;
    b->vue.surprogression = [&](long long, long long) {
        // The list's fetch has ended: this is the manifest's.
        if (b->vue.finsprogression == 1 && !clique) {
            clique = true;
            b->fenetre.annuler();
        }
    };
    EXPECT_FALSE(b->activer());
    EXPECT_TRUE(clique);
    EXPECT_TRUE(b->faux.dialogues.boites.empty());
    EXPECT_FALSE(b->fenetre.listeenplace);
    EXPECT_TRUE(b->etat.abandon);
    EXPECT_FALSE(b->etat.manifeste.has_value());
    EXPECT_EQ(b->demandes(), (QStringList{"GET /LISTE.MAJ", "GET /LISTE.MAJ.sha256"}));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 2"));
}

// The proof comes from where the list comes from: an FTP server, or a
// shared folder named by a file: address of the product's settings.
TEST_F(Origine, LaPreuveVientDOuVientLaListe)
{
    for (const bool parftp : {true, false}) {
        for (const bool signee : {true, false}) {
            SCOPED_TRACE(std::string(parftp ? "ftp" : "file") + (signee ? ", signée" : ", sans signature"));
            b = std::make_unique<Banc>();
            ASSERT_TRUE(b->pret());
            ServeurFtp ftp(b->web);
            ASSERT_TRUE(ftp.pret()) << qPrintable(ftp.erreur());
            const QString adresse =
                parftp ? ftp.url("/LISTE.MAJ") : QUrl::fromLocalFile(b->surweb("LISTE.MAJ")).toString();
            ecrirefichier(b->chemin("PARANET.LST"), fichierenregistrements({"", "", "", "", "", "", adresse}));
            b->signer(b->manifeste34());
            if (!signee)
                QFile::remove(b->surweb("LISTE.MAJ.sha256.minisig"));
            EXPECT_EQ(b->activer(), signee);
            EXPECT_EQ(lignes(b->faux.dialogues.boites),
                      QStringList{signee ? "Actualisation terminée.|Vous disposez maintenant de la version 4"
                                         : listerefusee});
            EXPECT_EQ(b->niveaulu(), signee ? QStringLiteral(" 4") : QStringLiteral(" 2"));
        }
    }
}

// A mirror's files are checked too: a file changed on the mirror is refused.
TEST_F(Origine, UnFichierChangeSurLeMiroirEstRefuse)
{
    b->signer(b->manifeste34());
    QFile::copy(b->surweb("LISTE.MAJ"), b->surweb("LISTE.MAJ.origine"));
    QDir().mkpath(b->surweb("miroir"));
    ecrirefichier(b->surweb("miroir/f3.dat"), "Niveau 3, du miroir\n");
    b->liste({" 3", b->url("/miroir/f3.dat"), "LECON3.DAT", " 4", b->url("/f4.dat"), "LECON4.DAT"});
    EXPECT_FALSE(b->activer());
    EXPECT_EQ(lignes(b->faux.dialogues.boites), QStringList{fichierrefuse});
    EXPECT_FALSE(QFileInfo::exists(b->chemin("LECON3.DAT")));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 2"));
}

// Two groups naming one file: the manifest holds one sum for it, that of
// the last group's file, which alone is fetched; the counter counts both.
TEST_F(Origine, DeDeuxGroupesDeMemeNomSeulLeDernierEstTelecharge)
{
    b->liste({" 3", b->url("/f3.dat"), "LECON.DAT", " 4", b->url("/f4.dat"), "lecon.dat", " 5", b->url("/f5.dat"),
              "LECON5.DAT"});
    b->signer(b->manifeste({{"LECON.DAT", Banc::contenu(4)}, {"LECON5.DAT", Banc::contenu(5)}}));
    EXPECT_TRUE(b->activer());
    EXPECT_EQ(b->demandes().mid(3), (QStringList{"GET /f4.dat", "GET /f5.dat"}));
    EXPECT_EQ(b->vue.legendes,
              (QStringList{"Transfert du fichier 1 / 3", "Transfert du fichier 2 / 3", "Transfert du fichier 3 / 3"}));
    // The name as the last group wrote it, no file existing before.
    EXPECT_EQ(lirefichier(b->chemin("lecon.dat")), Banc::contenu(4));
    EXPECT_FALSE(QFileInfo::exists(b->chemin("LECON.DAT")));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 5"));
}

// The publisher's side as the guide tells it: sha256sum and minisign by
// hand, or scripts/signer-liste, in a folder laid out as the product's.
TEST_F(Origine, LesCommandesDeLEditeurProduisentUnePreuveAcceptee)
{
    for (const bool script : {false, true}) {
        SCOPED_TRACE(script ? "signer-liste" : "sha256sum et minisign");
        b = std::make_unique<Banc>();
        ASSERT_TRUE(b->pret());
        QDir().mkpath(b->surweb("DONNEES"));
        QDir().mkpath(b->chemin("DONNEES"));
        ecrirefichier(b->surweb("DONNEES/SONS.DAT"), "sons\n");
        ecrirefichier(b->surweb("LECON3.DAT"), Banc::contenu(3));
        b->liste({" 3", b->url("/LECON3.DAT"), "LECON3.DAT", " 3", b->url("/DONNEES/SONS.DAT"), "DONNEES\\SONS.DAT"});
        QString sortie;
        if (script) {
            ASSERT_EQ(executer(QStringLiteral(VELORINE_SOURCE_DIR "/scripts/signer-liste"),
                               {b->web, Cles::instance().secrete("a")}, &sortie),
                      0)
                << sortie.toStdString();
        } else {
            const QString commandes =
                QStringLiteral("cd '%1' && sha256sum LISTE.MAJ LECON3.DAT DONNEES/SONS.DAT > LISTE.MAJ.sha256 && "
                               "minisign -S -s '%2' -m LISTE.MAJ.sha256")
                    .arg(b->web, Cles::instance().secrete("a"));
            ASSERT_EQ(executer("bash", {"-c", commandes}, &sortie), 0) << sortie.toStdString();
        }
        EXPECT_TRUE(b->activer());
        EXPECT_EQ(lirefichier(b->chemin("DONNEES/SONS.DAT")), QByteArray("sons\n"));
        EXPECT_EQ(b->niveaulu(), QStringLiteral(" 3"));
    }
}

TEST(MemesGroupes, SeulesLesAdressesPeuventDifferer)
{
    const auto l = [](const QStringList& entrees) { return fichierenregistrements(QStringList{marque} + entrees); };
    const QByteArray origine = l({" 3", "http://editeur/a", "A.DAT", " 4", "http://editeur/b", "B.DAT"});
    struct Cas {
        const char* nom;
        QByteArray liste;
        bool memes;
    };
    const std::vector<Cas> cas{
        {"la même", origine, true},
        {"autres adresses", l({" 3", "http://salle/a", "A.DAT", " 4", "ftp://salle/b", "B.DAT"}), true},
        {"suivie d'autres enregistrements après la fin", origine + enregistrement("") + enregistrement("reste"), true},
        {"un niveau", l({" 3", "http://salle/a", "A.DAT", "4", "http://salle/b", "B.DAT"}), false},
        {"un nom", l({" 3", "http://salle/a", "a.dat", " 4", "http://salle/b", "B.DAT"}), false},
        {"un groupe de moins", l({" 3", "http://salle/a", "A.DAT"}), false},
        {"un groupe incomplet en plus", origine + enregistrement(" 5"), false},
        {"sans marque", fichierenregistrements({"MAJQZ", " 3", "x", "A.DAT", " 4", "y", "B.DAT"}), false},
        {"enregistrement abîmé", origine.left(origine.size() - 128) + QByteArray("\x7f\x00", 2) + QByteArray(126, 'x'),
         false},
        {"tronquée dans un enregistrement", origine.left(origine.size() - 127), false},
        {"vide", QByteArray(), false},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        EXPECT_EQ(memesgroupes(c.liste, origine), c.memes);
    }
}

// The manifest and the signature are held in memory within their bounds:
// the fetch stops at the first byte past it.
TEST(PuitsMemoire, LeCorpsNeDepassePasSaBorne)
{
    PuitsMemoire puits(5);
    puits.ecrire("abc", 3);
    puits.ecrire("de", 2);
    EXPECT_THROW(puits.ecrire("f", 1), Echec);
    EXPECT_EQ(puits.contenu(), QByteArray("abcde"));
    puits.recommencer();
    EXPECT_EQ(puits.contenu(), QByteArray());
}

// The unattended run of the real executable: the message and the exit
// status, and the reason under --verbose only.
class OrigineSansFenetre : public Origine {
protected:
    Resultat lancer(const QStringList& arguments = {})
    {
        return lancerprogramme(
            QStringList{QStringLiteral(VELORINE_EXE), "--product-dir", b->produit, "--unattended", "--auto"}
            + arguments);
    }
};

TEST_F(OrigineSansFenetre, LeMessageEtLeStatutSontCeuxDUnTelechargementEchoue)
{
    b->signer(b->manifeste34());
    ecrirefichier(b->surweb("f4.dat"), "Niveau 4, contrefait\n");
    Resultat r = lancer();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, QStringLiteral("Mise à jour impossible: Téléchargement impossible\n"));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 2"));
    EXPECT_FALSE(QFileInfo::exists(b->chemin("LECON4.DAT")));

    r = lancer({"--verbose"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.erreurs.contains(
        QStringLiteral("velorine-maj: preuve d'origine: empreinte : LECON4.DAT ne correspond pas au manifeste\n")))
        << r.erreurs.toStdString();
    EXPECT_TRUE(r.erreurs.endsWith(QStringLiteral("Mise à jour impossible: Téléchargement impossible\n")));
}

TEST_F(OrigineSansFenetre, UneListeRefuseeLeDitSousVerbose)
{
    b->signer(b->manifeste34(), "b");
    Resultat r = lancer();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, QStringLiteral("Ouverture impossible: Téléchargement impossible\n"));

    r = lancer({"--verbose"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.erreurs.contains(
        QStringLiteral("velorine-maj: preuve d'origine: signature : faite par une autre clé que la clé publique\n")))
        << r.erreurs.toStdString();
    EXPECT_TRUE(r.erreurs.endsWith(QStringLiteral("Ouverture impossible: Téléchargement impossible\n")));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 2"));
}

// The reason names the proof's address, never its password.
TEST_F(OrigineSansFenetre, LaRaisonNeMontrePasLeMotDePasse)
{
    ecrirefichier(
        b->chemin("PARANET.LST"),
        fichierenregistrements({"", "", "", "", "", "", b->url("/LISTE.MAJ").replace("://", "://eleve:secret@")}));
    const Resultat r = lancer({"--verbose"});
    EXPECT_EQ(r.code, 1);
    const QString attendue = QStringLiteral("velorine-maj: preuve d'origine: ")
                             + b->url("/LISTE.MAJ.sha256").replace("://", "://eleve@") + QStringLiteral(" : ");
    EXPECT_TRUE(r.erreurs.contains(attendue)) << r.erreurs.toStdString();
    EXPECT_TRUE(r.erreurs.contains(QStringLiteral("404\nOuverture impossible"))) << r.erreurs.toStdString();
    EXPECT_FALSE(r.erreurs.contains(QStringLiteral("secret"))) << r.erreurs.toStdString();
    EXPECT_TRUE(r.erreurs.endsWith(QStringLiteral("Ouverture impossible: Téléchargement impossible\n")));
}

TEST_F(OrigineSansFenetre, UneMiseAJourProuveeSeTermine)
{
    b->signer(b->manifeste34());
    const Resultat r = lancer({"--parallel", "4"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, QStringLiteral("Actualisation terminée.: Vous disposez maintenant de la version 4\n"));
    EXPECT_EQ(lirefichier(b->chemin("LECON4.DAT")), Banc::contenu(4));
}

// The administrator's key, in the configuration folder, comes before any
// key of the product folder; a key of the product folder is used only when
// no other user could replace it. Each case: where the keys are and who may
// write them, the key that signed the list, and whether the run is accepted
// (level 4) or stops with the download failure before any file.
TEST(OrigineConfiguree, LaCleDeLAdministrateurPasseAvantCelleDuProduit)
{
    if (!Cles::instance().pretes())
        GTEST_SKIP() << "minisign absent (paquet Debian minisign)";
    if (::geteuid() != 0)
        GTEST_SKIP() << "demande root (fichiers d'un autre utilisateur)";
    struct Cas {
        const char* nom;
        const char* configuree; // the configuration folder's key, or none
        const char* duproduit;  // the product folder's key, or none
        const char* signataire; // the key that signed the list, or none
        std::function<void(const QString& conf, const QString& produit)> droits;
        bool acceptee;
    };
    const auto rien = [](const QString&, const QString&) {};
    const auto mode = [](const QString& chemin, mode_t m) { ::chmod(QFile::encodeName(chemin).constData(), m); };
    const std::vector<Cas> cas{
        {"clé configurée seule", "a", nullptr, "a", rien, true},
        {"une clé du produit ne remplace pas la clé configurée", "a", "b", "b", rien, false},
        {"la clé du produit enlevée : la preuve reste exigée", "a", nullptr, nullptr, rien, false},
        {"clé du produit, dossier de l'éditeur", nullptr, "a", "a", rien, true},
        {"clé du produit, dossier du groupe", nullptr, "a", "a",
         [&](const QString&, const QString& p) { mode(p, 02775); }, false},
        {"clé du produit modifiable par le groupe", nullptr, "a", "a",
         [&](const QString&, const QString& p) { mode(p + "/VELORINE.PUB", 0664); }, false},
        {"clé du produit d'un autre utilisateur", nullptr, "a", "a",
         [](const QString&, const QString& p) {
             ASSERT_EQ(::chown(QFile::encodeName(p + "/VELORINE.PUB").constData(), 65534, 65534), 0);
         },
         false},
        {"clé configurée modifiable par d'autres", "a", nullptr, "a",
         [&](const QString& c, const QString&) { mode(c + "/VELORINE.PUB", 0666); }, false},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        Banc b;
        ASSERT_TRUE(b.pret());
        const QString conf = b.racine.filePath("conf");
        QDir().mkpath(conf);
        reglerdossierconfiguration(conf);
        QFile::remove(b.chemin("VELORINE.PUB"));
        if (c.configuree)
            QFile::copy(Cles::instance().publique(c.configuree), conf + "/VELORINE.PUB");
        if (c.duproduit)
            QFile::copy(Cles::instance().publique(c.duproduit), b.chemin("VELORINE.PUB"));
        if (c.signataire)
            b.signer(b.manifeste34(), c.signataire);
        c.droits(conf, b.produit);
        const bool relance = b.activer();
        reglerdossierconfiguration(QStringLiteral("/nonexistent"));
        EXPECT_EQ(relance, c.acceptee);
        EXPECT_EQ(b.niveaulu(), c.acceptee ? QStringLiteral(" 4") : QStringLiteral(" 2"));
        if (!c.acceptee) {
            EXPECT_EQ(lignes(b.faux.dialogues.boites), QStringList{listerefusee});
            EXPECT_FALSE(QFileInfo::exists(b.chemin("LECON3.DAT")));
        }
    }
}

// A list never changes which key proves the lists: a file it stores as
// the key file, even in a proven list, is refused and nothing takes its
// place.
TEST_F(Origine, UneListeNePlacePasDeCle)
{
    const QByteArray cleb = lirefichier(Cles::instance().publique("b"));
    ecrirefichier(b->surweb("cle.pub"), cleb);
    b->liste({" 3", b->url("/cle.pub"), "velorine.PUB"});
    b->signer(b->manifeste({{"VELORINE.PUB", cleb}}));
    EXPECT_FALSE(b->activer());
    EXPECT_EQ(lirefichier(b->chemin("VELORINE.PUB")), lirefichier(Cles::instance().publique("a")));
    EXPECT_FALSE(QFileInfo::exists(b->chemin("velorine.PUB")));
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 2"));
}

// Without any key, --verbose says once that the proof is off.
TEST_F(OrigineSansFenetre, SansCleVerboseLeDitUneFois)
{
    QFile::remove(b->chemin("VELORINE.PUB"));
    qputenv("VELORINE_MAJ_CONF_DIR", QFile::encodeName(b->racine.filePath("conf-vide")));
    const Resultat r = lancer({"--verbose"});
    qunsetenv("VELORINE_MAJ_CONF_DIR");
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(r.erreurs.count(QStringLiteral("preuve d'origine")), 1) << r.erreurs.toStdString();
    EXPECT_TRUE(
        r.erreurs.startsWith(QStringLiteral("velorine-maj: preuve d'origine: désactivée (aucune clé VELORINE.PUB)\n")))
        << r.erreurs.toStdString();
}

// The real executable takes the administrator's key from its configuration
// folder: a forged key and list in the product folder change nothing.
TEST_F(OrigineSansFenetre, LaCleConfigureeServeAuProgramme)
{
    const QString conf = b->racine.filePath("conf");
    QDir().mkpath(conf);
    QFile::copy(Cles::instance().publique("a"), conf + "/VELORINE.PUB");
    QFile::remove(b->chemin("VELORINE.PUB"));
    QFile::copy(Cles::instance().publique("b"), b->chemin("VELORINE.PUB"));
    b->signer(b->manifeste34(), "b");
    qputenv("VELORINE_MAJ_CONF_DIR", QFile::encodeName(conf));
    Resultat r = lancer();
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, QStringLiteral("Ouverture impossible: Téléchargement impossible\n"));
    b->signer(b->manifeste34(), "a");
    r = lancer();
    qunsetenv("VELORINE_MAJ_CONF_DIR");
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(b->niveaulu(), QStringLiteral(" 4"));
}

} // namespace
