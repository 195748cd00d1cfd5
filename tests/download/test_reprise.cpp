// A large file whose fetch broke off is finished by the next run: the real
// executable (--unattended --auto) against a loopback HTTP server that
// drops the connection at the middle of a file, and a real product folder.

#include "dossiers.h"
#include "impression.h"
#include "processus.h"
#include "serveurs.h"
#include "download/partiel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <csignal>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

// Sets a file's (or a link's own) modification date to so many seconds ago.
void vieillir(const QString& chemin, long long secondes)
{
    const auto t = static_cast<time_t>(std::time(nullptr) - secondes);
    const struct timespec dates[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(chemin).constData(), dates, AT_SYMLINK_NOFOLLOW), 0);
}

const QString telechargementimpossible = QStringLiteral("Mise à jour impossible: Téléchargement impossible\n");
const QString termine3 = QStringLiteral("Actualisation terminée.: Vous disposez maintenant de la version 3\n");

class Reprise : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(racine.isValid());
        produit = racine.filePath(QStringLiteral("produit"));
        web = racine.filePath(QStringLiteral("web"));
        ASSERT_TRUE(QDir().mkpath(produit));
        ASSERT_TRUE(QDir().mkpath(web));
        serveur = std::make_unique<ServeurHttp>(web, QStringList{QStringLiteral("--compte")});
        ASSERT_TRUE(serveur->pret()) << qPrintable(serveur->erreur());
        QStringList enregs(24);
        enregs[23] = QStringLiteral(" 2");
        ecrirefichier(chemin(QStringLiteral("TEMPO.QZS")), fichierenregistrements(enregs));
        ecrirefichier(chemin(QStringLiteral("PARANET.LST")),
                      fichierenregistrements({"", "", "", "", "", "", serveur->url(QStringLiteral("/LISTE.MAJ"))}));
        gros = donnees(3 * 1024 * 1024 + 123, 1);
        ecrirefichier(web + QStringLiteral("/gros.bin"), gros);
    }

    QString chemin(const QString& nom) const { return produit + u'/' + nom; }
    QString niveau() const
    {
        const QByteArray r = lirefichier(chemin(QStringLiteral("TEMPO.QZS"))).mid(23 * 128, 128);
        return QString::fromLatin1(r.mid(2, static_cast<unsigned char>(r[0])));
    }
    // The list: groups of (level, path on the server, name).
    void liste(const std::vector<std::array<QString, 3>>& groupes)
    {
        QStringList enregs{QStringLiteral("MAJQZ7INTERNET")};
        for (const auto& g : groupes)
            enregs << g[0] << serveur->url(g[1]) << g[2];
        ecrirefichier(web + QStringLiteral("/LISTE.MAJ"), fichierenregistrements(enregs));
    }
    Resultat lancer()
    {
        return lancerprogramme(
            {QStringLiteral(VELORINE_EXE), "--product-dir", produit, "--unattended", "--auto", "--timeout", "20"});
    }
    // The bytes of path the server sent, fetch by fetch. The server tells
    // them once the body has gone, which may be after the run has ended:
    // waits (at most 10 s) until every request for path has its line.
    QList<long long> envois(const QString& chemin) const
    {
        const QString debut = QStringLiteral("ENVOYE ") + chemin + u' ';
        QDeadlineTimer limite(10000);
        for (;;) {
            QList<long long> r;
            qsizetype demandes = 0;
            for (const QString& l : serveur->journal()) {
                if (l.startsWith(debut))
                    r << l.mid(debut.size()).toLongLong();
                else if (l.startsWith(QStringLiteral("GET ")) && l.endsWith(chemin))
                    ++demandes;
            }
            if (r.size() >= demandes || limite.hasExpired())
                return r;
            QThread::msleep(20);
        }
    }

    QTemporaryDir racine;
    QString produit;
    QString web;
    std::unique_ptr<ServeurHttp> serveur;
    QByteArray gros;
    const QString partiel = QStringLiteral(".GROS.DAT.velorine-partiel");
    const QString infos = QStringLiteral(".GROS.DAT.velorine-partiel.infos");
};

// Cut at the middle, the file stays hidden beside its target with its
// record; the next run asks only for the rest and puts the whole file in
// place.
TEST_F(Reprise, UnGrosFichierCoupeEstFiniParLaSuiteAuProchainPassage)
{
    liste({{" 3", "/coupeunefois/gros.bin", "GROS.DAT"}});
    const Resultat premier = lancer();
    EXPECT_EQ(premier.code, 1);
    EXPECT_EQ(premier.erreurs, telechargementimpossible);
    EXPECT_EQ(niveau(), QStringLiteral(" 2"));
    EXPECT_FALSE(QFileInfo::exists(chemin(QStringLiteral("GROS.DAT"))));
    const QByteArray tenu = lirefichier(chemin(partiel));
    ASSERT_GT(tenu.size(), 0);
    EXPECT_LE(tenu.size(), gros.size() / 2);
    EXPECT_EQ(tenu, gros.left(tenu.size()));
    EXPECT_TRUE(QFileInfo(chemin(infos)).isFile());

    const Resultat second = lancer();
    EXPECT_EQ(second.code, 0) << second.erreurs.toStdString();
    EXPECT_EQ(second.erreurs, termine3);
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), gros);
    EXPECT_EQ(niveau(), QStringLiteral(" 3"));
    EXPECT_EQ(contenudossier(produit), (QStringList{"GROS.DAT", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS"}));
    // The second fetch: only the rest was sent.
    const QList<long long> envoyes = envois(QStringLiteral("/gros.bin"));
    ASSERT_EQ(envoyes.size(), 2);
    EXPECT_EQ(envoyes[1], gros.size() - tenu.size());
    const QStringList plages = serveur->journal().filter(QStringLiteral("PLAGE /gros.bin"));
    ASSERT_EQ(plages.size(), 1);
    EXPECT_TRUE(plages[0].startsWith(QStringLiteral("PLAGE /gros.bin bytes=%1- SI \"").arg(tenu.size())))
        << plages[0].toStdString();
}

// A run killed (SIGKILL: a power cut does no better) or stopped (SIGTERM:
// the service stopped) half-way through a large file: the bytes received are
// on disk, named, from the first one, with their record; a stop ends the
// run through its failure path. The next run asks only for the rest.
TEST_F(Reprise, UnPassageTueOuArreteEnCoursDeRouteEstFiniParLaSuite)
{
    for (const int signal : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        QFile::remove(chemin(QStringLiteral("GROS.DAT")));
        QStringList enregs(24);
        enregs[23] = QStringLiteral(" 2");
        ecrirefichier(chemin(QStringLiteral("TEMPO.QZS")), fichierenregistrements(enregs));
        serveur = std::make_unique<ServeurHttp>(web, QStringList{QStringLiteral("--compte")});
        ASSERT_TRUE(serveur->pret()) << qPrintable(serveur->erreur());
        ecrirefichier(chemin(QStringLiteral("PARANET.LST")),
                      fichierenregistrements({"", "", "", "", "", "", serveur->url(QStringLiteral("/LISTE.MAJ"))}));
        liste({{" 3", "/moitieunefois/gros.bin", "GROS.DAT"}});

        QProcess p;
        p.start(QStringLiteral(VELORINE_EXE), {"--product-dir", produit, "--unattended", "--auto", "--timeout", "60"});
        ASSERT_TRUE(p.waitForStarted());
        // The server holds the connection once half the file is sent.
        const qint64 moitie = gros.size() / 2;
        QDeadlineTimer limite(20000);
        while (QFileInfo(chemin(partiel)).size() < moitie && !limite.hasExpired())
            QThread::msleep(20);
        ASSERT_EQ(QFileInfo(chemin(partiel)).size(), moitie);
        EXPECT_TRUE(QFileInfo(chemin(infos)).isFile());
        ::kill(static_cast<pid_t>(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(20000));
        if (signal == SIGKILL) {
            EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
        } else {
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 1);
            EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()), telechargementimpossible);
        }
        EXPECT_EQ(niveau(), QStringLiteral(" 2"));
        EXPECT_FALSE(QFileInfo::exists(chemin(QStringLiteral("GROS.DAT"))));
        EXPECT_EQ(lirefichier(chemin(partiel)), gros.left(moitie));
        EXPECT_TRUE(QFileInfo(chemin(infos)).isFile());

        const Resultat second = lancer();
        EXPECT_EQ(second.code, 0) << second.erreurs.toStdString();
        EXPECT_EQ(second.erreurs, termine3);
        EXPECT_TRUE(lirefichier(chemin(QStringLiteral("GROS.DAT"))) == gros);
        EXPECT_EQ(niveau(), QStringLiteral(" 3"));
        EXPECT_EQ(contenudossier(produit), (QStringList{"GROS.DAT", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS"}));
        const QList<long long> envoyes = envois(QStringLiteral("/gros.bin"));
        ASSERT_EQ(envoyes.size(), 2);
        EXPECT_EQ(envoyes[0], moitie);
        EXPECT_EQ(envoyes[1], gros.size() - moitie);
    }
}

// A list naming one of the updater's own hidden files (a partial file, its
// record, a temporary file) is refused: the file is not created and the
// level stays, where the next run's clean-up would have removed the file the
// level claims.
TEST_F(Reprise, UneListeQuiNommeLesFichiersCachesDeLaMiseAJourEstRefusee)
{
    ecrirefichier(web + QStringLiteral("/petit.bin"), "contenu");
    for (const QString& nom :
         {QStringLiteral(".GROS.DAT.velorine-partiel"), QStringLiteral(".GROS.DAT.velorine-partiel.infos"),
          QStringLiteral(".velorine-maj.123.0"), QStringLiteral("DONNEES\\.SONS.DAT.VELORINE-PARTIEL"),
          QStringLiteral(".velorine-lien.A.DAT"), QStringLiteral(" .gros.dat.velorine-partiel.INFOS")}) {
        SCOPED_TRACE(nom.toStdString());
        liste({{" 3", "/petit.bin", nom}});
        const Resultat r = lancer();
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, QStringLiteral("Mise à jour impossible: Ecriture sur disque impossible\n"));
        EXPECT_EQ(niveau(), QStringLiteral(" 2"));
        EXPECT_EQ(contenudossier(produit), (QStringList{"PARANET.LST", "TEMPO.QZS"}));
    }
}

// A link placed where the partial file is kept is replaced, never written
// through.
TEST_F(Reprise, UnLienALaPlaceDuPartielEstRemplaceSansEtreSuivi)
{
    const QString cibledehors = racine.filePath(QStringLiteral("precieux"));
    ecrirefichier(cibledehors, "a garder");
    ASSERT_EQ(::symlink(QFile::encodeName(cibledehors).constData(), QFile::encodeName(chemin(partiel)).constData()), 0);
    liste({{" 3", "/coupeunefois/gros.bin", "GROS.DAT"}});
    EXPECT_EQ(lancer().code, 1);
    EXPECT_EQ(lirefichier(cibledehors), QByteArray("a garder"));
    const QFileInfo kept(chemin(partiel));
    EXPECT_FALSE(kept.isSymLink());
    EXPECT_TRUE(kept.isFile());
    EXPECT_EQ(lancer().code, 0);
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), gros);
    EXPECT_EQ(lirefichier(cibledehors), QByteArray("a garder"));
}

// The file changed on the server between the two runs: the server answers
// the rest's request with the whole new file, which replaces the partial
// one.
TEST_F(Reprise, UnFichierChangeEntreDeuxPassagesArriveEntier)
{
    liste({{" 3", "/coupeunefois/gros.bin", "GROS.DAT"}});
    EXPECT_EQ(lancer().code, 1);
    ASSERT_TRUE(QFileInfo(chemin(partiel)).isFile());
    const QByteArray nouveau = donnees(2 * 1024 * 1024 + 7, 2);
    ecrirefichier(web + QStringLiteral("/gros.bin"), nouveau);
    vieillir(web + QStringLiteral("/gros.bin"), -5); // another date, whatever the clock's grain

    const Resultat second = lancer();
    EXPECT_EQ(second.code, 0) << second.erreurs.toStdString();
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), nouveau);
    EXPECT_EQ(contenudossier(produit), (QStringList{"GROS.DAT", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS"}));
    EXPECT_EQ(serveur->journal().filter(QStringLiteral("PLAGE /gros.bin")).size(), 1);
    EXPECT_TRUE(serveur->journal().filter(QStringLiteral("STATUT /gros.bin 206")).isEmpty());
    EXPECT_EQ(envois(QStringLiteral("/gros.bin")).last(), nouveau.size());
}

// The file replaced on the server by another of the same length, and a
// server that ignores If-Range: it answers the rest's request with the rest
// of the new file, under its new tag. The product file is the new file
// whole, never the old start with the new end.
TEST_F(Reprise, UnServeurQuiIgnoreIfRangeNeFaitJamaisCollerDeuxFichiers)
{
    liste({{" 3", "/coupeunefois/gros.bin", "GROS.DAT"}});
    EXPECT_EQ(lancer().code, 1);
    const qint64 tenu = QFileInfo(chemin(partiel)).size();
    ASSERT_GT(tenu, 0);
    const QByteArray nouveau = donnees(gros.size(), 4);
    ecrirefichier(web + QStringLiteral("/gros.bin"), nouveau);
    vieillir(web + QStringLiteral("/gros.bin"), -5);
    const QString port = QString::number(serveur->port());
    serveur.reset();
    serveur = std::make_unique<ServeurHttp>(
        web, QStringList{QStringLiteral("--compte"), QStringLiteral("--ignoresi"), QStringLiteral("--port"), port});
    ASSERT_TRUE(serveur->pret()) << qPrintable(serveur->erreur());

    const Resultat second = lancer();
    EXPECT_EQ(second.code, 0) << second.erreurs.toStdString();
    EXPECT_EQ(second.erreurs, termine3);
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), nouveau);
    EXPECT_EQ(contenudossier(produit), (QStringList{"GROS.DAT", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS"}));
    // The part was offered, refused, and the file fetched whole.
    EXPECT_EQ(serveur->journal().filter(QStringLiteral("STATUT /gros.bin 206")).size(), 1);
    EXPECT_EQ(envois(QStringLiteral("/gros.bin")).last(), nouveau.size());
}

// Nothing is kept of a small file, nor of a file whose server names it by
// no validator.
TEST_F(Reprise, UnPetitFichierOuUnFichierSansValidateurNeLaisseRien)
{
    ecrirefichier(web + QStringLiteral("/petit.bin"), donnees(seuilpartiel - 1, 3));
    const std::vector<std::array<QString, 3>> cas{
        {" 3", "/coupeunefois/petit.bin", "PETIT.DAT"},
        {" 3", QStringLiteral("/coupe/%1/%2").arg(2 * seuilpartiel).arg(4 * seuilpartiel), "GENERE.DAT"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c[1].toStdString());
        liste({c});
        const Resultat r = lancer();
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, telechargementimpossible);
        EXPECT_EQ(contenudossier(produit), (QStringList{"PARANET.LST", "TEMPO.QZS"}));
    }
}

// At the start of a run, partial files older than a week, those of names
// the list no longer holds, and a record without its file go; nothing else
// named like them does, and no link is followed.
TEST_F(Reprise, LesPartielsPerimesOuEtrangersSontEnlevesAuDebut)
{
    QDir(produit).mkpath(QStringLiteral("DONNEES"));
    QTemporaryDir dehors;
    const QString cibledehors = dehors.filePath(QStringLiteral("precieux"));
    ecrirefichier(cibledehors, "a garder");
    // A partial file and its record for the target nom, so old.
    const auto paire = [&](const QString& nom, long long age) {
        const QFileInfo cible(chemin(nom));
        for (const QString& suffixe :
             {QStringLiteral(".velorine-partiel"), QStringLiteral(".velorine-partiel.infos")}) {
            const QString c = cible.path() + QStringLiteral("/.") + cible.fileName() + suffixe;
            ecrirefichier(c, "x");
            vieillir(c, age);
        }
    };
    const long long jour = 24 * 3600;
    paire(QStringLiteral("LECON1.DAT"), 6 * jour); // in the list, recent: kept
    paire(QStringLiteral("LECON2.DAT"), 8 * jour); // in the list, stale
    paire(QStringLiteral("ANCIEN.DAT"), 0);        // no longer in the list
    paire(QStringLiteral("DONNEES/SONS.DAT"), 8 * jour);
    paire(QStringLiteral("DONNEES/IMAGES.DAT"), 0);                                 // in the list, recent: kept
    ecrirefichier(chemin(QStringLiteral(".SEUL.DAT.velorine-partiel.infos")), "x"); // a record alone
    // Named like partial files, but not ours to remove.
    ASSERT_EQ(::symlink(QFile::encodeName(cibledehors).constData(),
                        QFile::encodeName(chemin(QStringLiteral(".LIEN.DAT.velorine-partiel"))).constData()),
              0);
    vieillir(chemin(QStringLiteral(".LIEN.DAT.velorine-partiel")), 30 * jour);
    ecrirefichier(chemin(QStringLiteral("AUTRE.velorine-partiel")), "x");
    ecrirefichier(chemin(QStringLiteral(".velorine-partiel")), "x");
    QDir(produit).mkpath(QStringLiteral(".DOSSIER.velorine-partiel"));
    liste({{" 1", "/f1.dat", "LECON1.DAT"}, {" 2", "/f2.dat", "lecon2.dat"}, {" 1", "/i.dat", "DONNEES\\IMAGES.DAT"}});

    const Resultat r = lancer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, QStringLiteral("Pas d'actualisation: Vous disposez déjà de la dernière version en date.\n"));
    EXPECT_EQ(contenudossier(produit),
              (QStringList{".DOSSIER.velorine-partiel", ".LECON1.DAT.velorine-partiel",
                           ".LECON1.DAT.velorine-partiel.infos", ".LIEN.DAT.velorine-partiel", ".velorine-partiel",
                           "AUTRE.velorine-partiel", "DONNEES", "DONNEES/.IMAGES.DAT.velorine-partiel",
                           "DONNEES/.IMAGES.DAT.velorine-partiel.infos", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS"}));
    EXPECT_EQ(lirefichier(cibledehors), QByteArray("a garder"));
}

// A partial file that is a link, a name of a file elsewhere, or another
// user's file is never taken up: nothing is written through it, and the
// whole file is fetched.
TEST_F(Reprise, UnPartielQuiEstUnLienNEstPasRepris)
{
    liste({{" 3", "/coupeunefois/gros.bin", "GROS.DAT"}});
    EXPECT_EQ(lancer().code, 1);
    const QByteArray tenu = lirefichier(chemin(partiel));
    ASSERT_GT(tenu.size(), 0);
    const QString cibledehors = racine.filePath(QStringLiteral("precieux"));
    ecrirefichier(cibledehors, tenu);

    // The record of the first run stays; the partial file becomes a link.
    const QByteArray record = lirefichier(chemin(infos));
    ASSERT_FALSE(record.isEmpty());
    enum Cas { Symbolique, Physique, AutreUtilisateur };
    for (const Cas cas : {Symbolique, Physique, AutreUtilisateur}) {
        SCOPED_TRACE(cas);
        QFile::remove(chemin(partiel));
        QFile::remove(chemin(QStringLiteral("GROS.DAT")));
        const QByteArray source = QFile::encodeName(cibledehors);
        const QByteArray lien = QFile::encodeName(chemin(partiel));
        if (cas == Symbolique) {
            ASSERT_EQ(::symlink(source.constData(), lien.constData()), 0);
        } else if (cas == Physique) {
            ASSERT_EQ(::link(source.constData(), lien.constData()), 0);
        } else {
            // Only root can give a file away.
            if (::geteuid() != 0)
                continue;
            ecrirefichier(chemin(partiel), tenu);
            ASSERT_EQ(::chown(lien.constData(), 65534, 65534), 0);
        }
        ecrirefichier(chemin(infos), record);
        const Resultat r = lancer();
        EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
        EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), gros);
        EXPECT_EQ(lirefichier(cibledehors), tenu);
        EXPECT_EQ(envois(QStringLiteral("/gros.bin")).last(), gros.size());
        EXPECT_FALSE(QFileInfo::exists(chemin(infos)));
        // Back to an update to make.
        QStringList enregs(24);
        enregs[23] = QStringLiteral(" 2");
        ecrirefichier(chemin(QStringLiteral("TEMPO.QZS")), fichierenregistrements(enregs));
    }
}

// With proof of origin on, a resumed file is checked whole: the part kept
// by the first run and the rest sent by the second must together be the
// publisher's file. A part altered on disk between the runs makes a whole
// that fails the check: it is not put in place, the level stays, and the
// part is not taken up again; the next run fetches the file whole.
TEST_F(Reprise, AvecLaPreuveUnFichierReprisEstVerifieEntier)
{
    if (QStandardPaths::findExecutable(QStringLiteral("minisign")).isEmpty())
        GTEST_SKIP() << "minisign absent (paquet Debian minisign) : signatures impossibles à produire";
    const auto executer = [](const QStringList& arguments) {
        return lancerprogramme(QStringList{QStringLiteral("minisign")} + arguments, 60000).code == 0;
    };
    const QString publique = racine.filePath(QStringLiteral("cle.pub"));
    const QString secrete = racine.filePath(QStringLiteral("cle.sec"));
    ASSERT_TRUE(executer({"-G", "-W", "-p", publique, "-s", secrete}));
    ecrirefichier(chemin(QStringLiteral("VELORINE.PUB")), lirefichier(publique));
    liste({{" 3", "/coupeunefois/gros.bin", "GROS.DAT"}});
    const auto somme = [](const QByteArray& b) {
        return QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex();
    };
    const QString manifeste = web + QStringLiteral("/LISTE.MAJ.sha256");
    ecrirefichier(manifeste, somme(lirefichier(web + QStringLiteral("/LISTE.MAJ"))) + "  LISTE.MAJ\n" + somme(gros)
                                 + "  GROS.DAT\n");
    ASSERT_TRUE(executer({"-S", "-s", secrete, "-m", manifeste}));
    const QStringList attendus{"GROS.DAT", "LISTE.MAJ", "PARANET.LST", "TEMPO.QZS", "VELORINE.PUB"};

    // Cut, then resumed and proven.
    EXPECT_EQ(lancer().code, 1);
    const QByteArray tenu = lirefichier(chemin(partiel));
    const QByteArray record = lirefichier(chemin(infos));
    ASSERT_GT(tenu.size(), 10);
    const Resultat second = lancer();
    EXPECT_EQ(second.code, 0) << second.erreurs.toStdString();
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), gros);
    EXPECT_EQ(envois(QStringLiteral("/gros.bin")).last(), gros.size() - tenu.size());
    EXPECT_EQ(niveau(), QStringLiteral(" 3"));
    EXPECT_EQ(contenudossier(produit), attendus);

    // Back to level 2 with the same part kept, altered on disk.
    QStringList enregs(24);
    enregs[23] = QStringLiteral(" 2");
    ecrirefichier(chemin(QStringLiteral("TEMPO.QZS")), fichierenregistrements(enregs));
    ecrirefichier(chemin(QStringLiteral("GROS.DAT")), "ancien");
    QByteArray abime = tenu;
    abime[5] = static_cast<char>(abime[5] ^ 0x40);
    ecrirefichier(chemin(partiel), abime);
    ecrirefichier(chemin(infos), record);
    ASSERT_EQ(::chmod(QFile::encodeName(chemin(infos)).constData(), 0600), 0);
    const Resultat refuse = lancer();
    EXPECT_EQ(refuse.code, 1);
    EXPECT_EQ(refuse.erreurs, telechargementimpossible);
    EXPECT_EQ(envois(QStringLiteral("/gros.bin")).last(), gros.size() - abime.size());
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), QByteArray("ancien"));
    EXPECT_EQ(niveau(), QStringLiteral(" 2"));
    EXPECT_FALSE(QFileInfo::exists(chemin(partiel)));
    EXPECT_FALSE(QFileInfo::exists(chemin(infos)));

    // The next run fetches the file whole and puts it in place.
    const Resultat dernier = lancer();
    EXPECT_EQ(dernier.code, 0) << dernier.erreurs.toStdString();
    EXPECT_EQ(envois(QStringLiteral("/gros.bin")).last(), gros.size());
    EXPECT_EQ(lirefichier(chemin(QStringLiteral("GROS.DAT"))), gros);
    EXPECT_EQ(niveau(), QStringLiteral(" 3"));
    EXPECT_EQ(contenudossier(produit), attendus);
}

} // namespace
