// The mirror of a room (--unattended --mirror DIR --base-url URL), end to
// end: the real executable against a loopback HTTP server for the publisher,
// a second one serving the mirror to the room, and real folders.

#include "dossiers.h"
#include "impression.h"
#include "processus.h"
#include "serveurs.h"
#include "valgrind.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velorine::test;

namespace {

Resultat lancer(const QStringList& arguments, const QStringList& prefixe = {})
{
    return lancerprogramme(prefixe + QStringList{QStringLiteral(VELORINE_EXE)} + arguments);
}

// Every file and folder below dossier with its bytes (folders: "/").
QMap<QString, QByteArray> instantane(const QString& dossier)
{
    QMap<QString, QByteArray> tout;
    for (const QString& nom : contenudossier(dossier)) {
        const QFileInfo info(dossier + u'/' + nom);
        tout.insert(nom, info.isSymLink() ? "-> " + QFile::encodeName(info.symLinkTarget())
                         : info.isDir()   ? QByteArray("/")
                                          : lirefichier(info.filePath()));
    }
    return tout;
}

// What the mirror serves: its top (the links the room reads) and the
// version they lead to, as a room machine sees them through the links;
// the folders of versions not served left out, and a link a killed run
// was about to rename (".velorine-lien.courant"), which the next run
// removes.
QMap<QString, QByteArray> servi(const QString& dossier)
{
    QMap<QString, QByteArray> tout = instantane(dossier);
    tout.removeIf([](const auto& e) {
        return e.key().startsWith(QStringLiteral("version-")) || e.key().startsWith(QStringLiteral(".velorine-lien."));
    });
    return tout;
}

// The texts of a record file, in order.
QStringList enregistrements(const QByteArray& contenu)
{
    QStringList textes;
    for (qsizetype i = 0; i + 128 <= contenu.size(); i += 128) {
        const int n = static_cast<unsigned char>(contenu[i]) | static_cast<unsigned char>(contenu[i + 1]) << 8;
        textes << QString::fromLatin1(contenu.mid(i + 2, n));
    }
    return textes;
}

class Miroir : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(racine.isValid());
        web = racine.filePath(QStringLiteral("web"));
        serveurproduit = racine.filePath(QStringLiteral("serveur"));
        poste = racine.filePath(QStringLiteral("poste"));
        salle = racine.filePath(QStringLiteral("salle"));
        miroir = salle + QStringLiteral("/velorine");
        for (const QString& d : {web, serveurproduit, poste, salle})
            ASSERT_TRUE(QDir().mkpath(d));
        editeur = std::make_unique<ServeurHttp>(web);
        ASSERT_TRUE(editeur->pret()) << qPrintable(editeur->erreur());
        serveursalle = std::make_unique<ServeurHttp>(salle);
        ASSERT_TRUE(serveursalle->pret()) << qPrintable(serveursalle->erreur());
        base = serveursalle->url(QStringLiteral("/velorine"));
        adresseliste(serveurproduit, editeur->url(QStringLiteral("/LISTE.MAJ")));
        for (int n : {3, 4, 5})
            ecrirefichier(web + QStringLiteral("/f%1.dat").arg(n), "Niveau " + QByteArray::number(n));
    }

    static void adresseliste(const QString& produit, const QString& adresse)
    {
        ecrirefichier(produit + QStringLiteral("/PARANET.LST"),
                      fichierenregistrements({"", "", "", "", "", "", adresse}));
    }
    static void niveau(const QString& produit, const QString& texte)
    {
        QStringList enregs(24);
        enregs[23] = texte;
        ecrirefichier(produit + QStringLiteral("/TEMPO.QZS"), fichierenregistrements(enregs));
    }
    // The publisher's list: groups of level, address, name.
    void publier(const QStringList& entrees)
    {
        ecrirefichier(web + QStringLiteral("/LISTE.MAJ"),
                      fichierenregistrements(QStringList{"MAJQZ7INTERNET"} + entrees));
    }
    // Levels 3 to 5, one in a sub-folder with a name that needs encoding.
    void publiertrois()
    {
        publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"),
                 QStringLiteral("DONNEES\\Sons \u00e9t\u00e9.DAT"), " 5", editeur->url("/f5.dat"), "LECON5.DAT"});
    }

    Resultat mirer(const QStringList& autres = {}, const QStringList& prefixe = {})
    {
        return lancer(
            QStringList{"--product-dir", serveurproduit, "--unattended", "--mirror", miroir, "--base-url", base}
                + autres,
            prefixe);
    }

    QTemporaryDir racine;
    // The folder of the version served, through its link.
    QString courant() const { return miroir + QStringLiteral("/courant"); }

    QString web, serveurproduit, poste, salle, miroir, base;
    std::unique_ptr<ServeurHttp> editeur;
    std::unique_ptr<ServeurHttp> serveursalle;
};

TEST_F(Miroir, UnPosteSeMetAJourDepuisLeMiroirSeul)
{
    publiertrois();
    const Resultat r = mirer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Miroir à jour: 3 fichiers dans le miroir, dont 3 téléchargés\n");
    EXPECT_EQ(contenudossier(courant()),
              (QStringList{".velorine-miroir", "DONNEES", QStringLiteral("DONNEES/Sons \u00e9t\u00e9.DAT"),
                           "LECON3.DAT", "LECON5.DAT", "LISTE.MAJ", "LISTE.MAJ.origine"}));
    EXPECT_EQ(QFileInfo(courant()).symLinkTarget(), miroir + "/version-1");
    for (const char* nom : {"LISTE.MAJ", "LISTE.MAJ.origine", "LISTE.MAJ.sha256", "LISTE.MAJ.sha256.minisig"})
        EXPECT_EQ(QFile::symLinkTarget(miroir + '/' + nom), miroir + "/courant/" + nom);
    EXPECT_EQ(lirefichier(courant() + "/LECON3.DAT"), "Niveau 3");
    EXPECT_EQ(lirefichier(courant() + QStringLiteral("/DONNEES/Sons \u00e9t\u00e9.DAT")), "Niveau 4");
    // The publisher's list untouched; the mirror's names its files in the
    // mirror, each part of the path percent-encoded, in the same groups.
    EXPECT_EQ(lirefichier(miroir + "/LISTE.MAJ.origine"), lirefichier(web + "/LISTE.MAJ"));
    EXPECT_EQ(enregistrements(lirefichier(miroir + "/LISTE.MAJ")),
              (QStringList{"MAJQZ7INTERNET", " 3", base + "/version-1/LECON3.DAT", "LECON3.DAT", " 4",
                           base + "/version-1/DONNEES/Sons%20%C3%A9t%C3%A9.DAT",
                           QStringLiteral("DONNEES\\Sons \u00e9t\u00e9.DAT"), " 5", base + "/version-1/LECON5.DAT",
                           "LECON5.DAT"}));

    // The publisher is gone: a room machine at level 2 updates from the
    // mirror alone.
    editeur.reset();
    niveau(poste, " 2");
    adresseliste(poste, base + "/LISTE.MAJ");
    QDir(poste).mkpath("DONNEES");
    const Resultat m = lancer({"--product-dir", poste, "--unattended", "--auto"});
    EXPECT_EQ(m.code, 0);
    EXPECT_EQ(m.erreurs, "Actualisation terminée.: Vous disposez maintenant de la version 5\n");
    EXPECT_EQ(lirefichier(poste + "/LECON3.DAT"), "Niveau 3");
    EXPECT_EQ(lirefichier(poste + QStringLiteral("/DONNEES/Sons \u00e9t\u00e9.DAT")), "Niveau 4");
    EXPECT_EQ(lirefichier(poste + "/LECON5.DAT"), "Niveau 5");
    EXPECT_EQ(lirefichier(poste + "/TEMPO.QZS").mid(23 * 128, 4), QByteArray("\x02\x00 5", 4));
    for (const QString& ligne : serveursalle->journal())
        EXPECT_TRUE(ligne.startsWith("GET /velorine/")) << ligne.toStdString();
}

// One fetch after the other with --parallel 1: the list, each file once,
// then the proof beside the list; and nothing else.
TEST_F(Miroir, LaListePuisChaqueFichierUneFoisPuisLaPreuve)
{
    publiertrois();
    const Resultat r = mirer({"--parallel", "1"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(editeur->journal(),
              (QStringList{"GET /LISTE.MAJ", "GET /f3.dat", "GET /f4.dat", "GET /f5.dat", "GET /LISTE.MAJ.sha256",
                           "GET /LISTE.MAJ.sha256.minisig", "GET /LISTE.MAJ.origine"}));
}

// A run killed in the middle (the server's machine stopped, a kill -9)
// leaves the previous mirror whole, without a temporary file.
TEST_F(Miroir, UnMiroirTueEnCoursDeRouteLaisseLePrecedentEntier)
{
    publiertrois();
    ASSERT_EQ(mirer().code, 0);
    const QMap<QString, QByteArray> avant = servi(miroir);
    ecrirefichier(web + "/f3.dat", "Niveau 3 corrigé");
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/bloque/30000"), "LECON4.DAT"});
    QProcess p;
    p.start(QStringLiteral(VELORINE_EXE), {"--product-dir", serveurproduit, "--unattended", "--mirror", miroir,
                                           "--base-url", base, "--parallel", "1"});
    ASSERT_TRUE(editeur->attendre("GET /bloque/30000"));
    p.kill();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(servi(miroir), avant);
}

// The last phase of a refresh from version A to version B, killed (SIGKILL)
// or failing (ENOSPC, EIO) at each of its system calls that make or switch
// a name, one after the other: the mirror served is always one whole
// version, A or B (its list, every file the list names and the proof files
// beside it), and the next run serves B whole.
TEST_F(Miroir, UnRafraichissementTueOuEnEchecAChaqueEtapeSertUneVersionEntiere)
{
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        GTEST_SKIP() << "strace absent (paquet Debian strace) : pannes impossibles à injecter";
    ecrirefichier(web + "/LISTE.MAJ.sha256", "empreintes A");
    ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", "signature A");
    publiertrois();
    ASSERT_EQ(mirer().code, 0);
    const QMap<QString, QByteArray> versiona = servi(miroir);
    const QString sauvegarde = racine.filePath("miroir-a");
    ASSERT_EQ(lancerprogramme({"cp", "-a", miroir, sauvegarde}).code, 0);
    const auto revenir = [&] {
        QDir(miroir).removeRecursively();
        ASSERT_EQ(lancerprogramme({"cp", "-a", sauvegarde, miroir}).code, 0);
    };
    // Version B: a file changed, one dropped, one added, new proof files.
    ecrirefichier(web + "/f3.dat", "Niveau 3 corrigé");
    ecrirefichier(web + "/LISTE.MAJ.sha256", "empreintes B");
    ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", "signature B");
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"),
             QStringLiteral("DONNEES\\Sons \u00e9t\u00e9.DAT"), " 6", editeur->url("/f5.dat"), "LECON6.DAT"});
    ASSERT_EQ(mirer().code, 0);
    const QMap<QString, QByteArray> versionb = servi(miroir);
    ASSERT_NE(versiona, versionb);

    const QString trace = racine.filePath("trace");
    // LeakSanitizer cannot run under ptrace: a sanitized build is traced
    // without it.
    const QString asan = "ASAN_OPTIONS=" + QString::fromLocal8Bit(qgetenv("ASAN_OPTIONS")) + ":detect_leaks=0";
    int injectees = 0;
    for (const QString& panne : {QStringLiteral("signal=SIGKILL"), QStringLiteral("error=ENOSPC")}) {
        for (const QString& appel : QStringList{"renameat", "renameat2", "rename", "linkat", "symlinkat", "fsync"}) {
            if (appel == u"fsync" && panne.startsWith(u"signal"))
                continue; // a kill there is a kill at the next step
            for (int n = 1; n < 60; ++n) {
                const std::string cas = (panne + " " + appel + " " + QString::number(n)).toStdString();
                SCOPED_TRACE(cas);
                revenir();
                QFile::remove(trace);
                const Resultat r =
                    mirer({"--parallel", "1"},
                          {"env", asan, "strace", "-f", "-qq", "-o", trace, "-e", "trace=" + appel, "-e",
                           "inject=" + appel + ":"
                               + (panne.startsWith(u"error") && appel == u"fsync" ? QStringLiteral("error=EIO") : panne)
                               + ":when=" + QString::number(n)});
                // The n-th call was made (and met its fault) when the trace
                // holds n calls.
                const QRegularExpression ligne(QStringLiteral("\\b") + appel + QStringLiteral("\\("));
                const bool injectee = QString::fromUtf8(lirefichier(trace)).count(ligne) >= n;
                const QMap<QString, QByteArray> vu = servi(miroir);
                EXPECT_TRUE(vu == versiona || vu == versionb) << r.erreurs.toStdString();
                if (!injectee) {
                    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
                    EXPECT_EQ(vu, versionb);
                    break;
                }
                ++injectees;
                if (r.code != 0 && panne.startsWith(u"error")) {
                    EXPECT_TRUE(r.erreurs.endsWith(" impossible\n")) << r.erreurs.toStdString();
                }
                // The next run repairs whatever was left.
                const Resultat suivant = mirer({"--parallel", "1"});
                EXPECT_EQ(suivant.code, 0) << suivant.erreurs.toStdString();
                QMap<QString, QByteArray> repare = servi(miroir);
                EXPECT_EQ(repare.value("courant/LISTE.MAJ.sha256"), "empreintes B");
                EXPECT_EQ(repare.value("courant/LECON3.DAT"), "Niveau 3 corrigé");
                EXPECT_EQ(repare.value("courant/LECON6.DAT"), "Niveau 5");
                EXPECT_FALSE(repare.contains("courant/LECON5.DAT"));
                const QRegularExpression version(QStringLiteral("/version-[0-9]+/"));
                EXPECT_EQ(
                    enregistrements(repare.value("courant/LISTE.MAJ")).replaceInStrings(version, "/version-N/"),
                    enregistrements(versionb.value("courant/LISTE.MAJ")).replaceInStrings(version, "/version-N/"));
            }
        }
    }
    EXPECT_GT(injectees, 20);
}

// A room machine without the key, one fetch at a time, that reads the
// mirror while it is refreshed from version A to version C gets version A
// from start to end, and records A's level.
TEST_F(Miroir, UnPosteQuiLitPendantUnRafraichissementRecoitUneSeuleVersion)
{
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"), "LECON4.DAT"});
    ASSERT_EQ(mirer().code, 0);
    // The room's server holds every file of a version until the flag goes.
    const QString drapeau = racine.filePath("retenir");
    ecrirefichier(drapeau, "");
    serveursalle = std::make_unique<ServeurHttp>(salle, QStringList{"--retenir", drapeau});
    ASSERT_TRUE(serveursalle->pret()) << qPrintable(serveursalle->erreur());
    // (The list names the room's server of the first run: same folder, so
    // the same paths; the test only changes the port.)
    const QString premierebase = base;
    base = serveursalle->url("/velorine");
    ASSERT_EQ(mirer().code, 0);
    niveau(poste, " 2");
    adresseliste(poste, base + "/LISTE.MAJ");
    QProcess machine;
    machine.start(QStringLiteral(VELORINE_EXE),
                  {"--product-dir", poste, "--unattended", "--auto", "--parallel", "1", "--timeout", "30"});
    ASSERT_TRUE(serveursalle->attendre("RETENU /velorine/version-2/LECON3.DAT"))
        << serveursalle->journal().join('\n').toStdString();

    // Version C, mirrored to the end while the machine waits.
    ecrirefichier(web + "/f3.dat", "Niveau 3 de C");
    ecrirefichier(web + "/f5.dat", "Niveau 5 de C");
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f5.dat"), "LECON4.DAT", " 5",
             editeur->url("/f5.dat"), "LECON5.DAT"});
    ASSERT_EQ(mirer().code, 0);
    EXPECT_EQ(lirefichier(courant() + "/LECON4.DAT"), "Niveau 5 de C");
    QFile::remove(drapeau);

    ASSERT_TRUE(machine.waitForFinished(60000));
    EXPECT_EQ(machine.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(machine.readAllStandardError()),
              "Actualisation terminée.: Vous disposez maintenant de la version 4\n");
    EXPECT_EQ(lirefichier(poste + "/LECON3.DAT"), "Niveau 3");
    EXPECT_EQ(lirefichier(poste + "/LECON4.DAT"), "Niveau 4");
    EXPECT_FALSE(QFileInfo::exists(poste + "/LECON5.DAT"));
    (void)premierebase;
}

// The temporary folders that killed runs of --mirror (and --check) left in
// the system's temporary folder go at the next such run: only folders of the
// exact name, of this user, a minute old, that no living run holds; nothing
// through a link.
TEST_F(Miroir, LesDossiersTemporairesDesExecutionsTueesSontEnleves)
{
    publiertrois();
    const QString tmp = racine.filePath("tmp");
    const QString dehors = racine.filePath("dehors");
    QDir().mkpath(tmp);
    QDir().mkpath(dehors);
    ecrirefichier(dehors + "/LISTE.MAJ", "à garder");
    const auto dossier = [&](const QString& nom, bool vieux) {
        QDir().mkpath(tmp + '/' + nom);
        ecrirefichier(tmp + '/' + nom + "/LISTE.MAJ", "liste");
        if (vieux) {
            const auto t = static_cast<time_t>(std::time(nullptr) - 600);
            const struct timespec dates[2] = {{t, 0}, {t, 0}};
            ::utimensat(AT_FDCWD, QFile::encodeName(tmp + '/' + nom).constData(), dates, 0);
        }
    };
    dossier("velorine-maj-Ab12Cd", true);  // a killed run's: removed
    dossier("velorine-maj-jeune1", false); // just made by a run starting
    dossier("velorine-maj-vivant", true);  // held by a living run
    dossier("velorine-maj-autre1", true);  // another user's
    dossier("velorine-maj-Ab12Cde", true); // another name
    dossier("autre-Ab12Cd", true);
    ASSERT_EQ(::chown(QFile::encodeName(tmp + "/velorine-maj-autre1").constData(), 65534, 65534), 0);
    ASSERT_EQ(
        ::symlink(QFile::encodeName(dehors).constData(), QFile::encodeName(tmp + "/velorine-maj-lien12").constData()),
        0);
    const int vivant =
        ::open(QFile::encodeName(tmp + "/velorine-maj-vivant").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(vivant, 0);
    ASSERT_EQ(::flock(vivant, LOCK_EX | LOCK_NB), 0);

    const QByteArray avant = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp));
    const Resultat r = mirer();
    qputenv("TMPDIR", avant);
    ::close(vivant);
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(contenudossier(tmp),
              (QStringList{"autre-Ab12Cd", "autre-Ab12Cd/LISTE.MAJ", "velorine-maj-Ab12Cde",
                           "velorine-maj-Ab12Cde/LISTE.MAJ", "velorine-maj-autre1", "velorine-maj-autre1/LISTE.MAJ",
                           "velorine-maj-jeune1", "velorine-maj-jeune1/LISTE.MAJ", "velorine-maj-lien12",
                           "velorine-maj-lien12/LISTE.MAJ", "velorine-maj-vivant", "velorine-maj-vivant/LISTE.MAJ"}));
    EXPECT_EQ(lirefichier(dehors + "/LISTE.MAJ"), "à garder");
}

// A large file whose fetch breaks off keeps its start hidden in the mirror;
// the next run asks only for the rest (Range, If-Range), or for the whole
// file when it changed at the publisher meanwhile.
TEST_F(Miroir, UnGrosFichierCoupeEstFiniParLeMiroirSuivant)
{
    const qsizetype taille = 3 << 20;
    QByteArray gros(taille, '\0');
    for (qsizetype i = 0; i < taille; ++i)
        gros[i] = static_cast<char>((i * 7 + i / 4096) % 251);
    for (const bool change : {false, true}) {
        SCOPED_TRACE(change ? "changé entre-temps" : "inchangé");
        QDir(miroir).removeRecursively();
        ecrirefichier(web + "/gros.dat", gros);
        editeur = std::make_unique<ServeurHttp>(web, QStringList{"--compte"});
        ASSERT_TRUE(editeur->pret()) << qPrintable(editeur->erreur());
        adresseliste(serveurproduit, editeur->url("/LISTE.MAJ"));
        publier(
            {" 3", editeur->url("/coupeunefois/gros.dat"), "GROS.DAT", " 4", editeur->url("/f4.dat"), "LECON4.DAT"});

        Resultat r = mirer({"--parallel", "1"});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, "Miroir impossible: Téléchargement impossible\n");
        EXPECT_EQ(contenudossier(miroir), (QStringList{"version-1", "version-1/.GROS.DAT.velorine-partiel",
                                                       "version-1/.GROS.DAT.velorine-partiel.infos"}));
        const qint64 garde = QFileInfo(miroir + "/version-1/.GROS.DAT.velorine-partiel").size();
        EXPECT_GT(garde, 0);
        EXPECT_LT(garde, taille);

        QByteArray attendu = gros;
        if (change) {
            attendu[0] = 'X';
            ecrirefichier(web + "/gros.dat", attendu);
        }
        r = mirer({"--parallel", "1"});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.erreurs, "Miroir à jour: 2 fichiers dans le miroir, dont 2 téléchargés\n");
        EXPECT_TRUE(lirefichier(courant() + "/GROS.DAT") == attendu);
        EXPECT_EQ(contenudossier(courant()),
                  (QStringList{".velorine-miroir", "GROS.DAT", "LECON4.DAT", "LISTE.MAJ", "LISTE.MAJ.origine"}));
        const QString reste = QStringLiteral("ENVOYE /gros.dat %1").arg(change ? taille : taille - garde);
        EXPECT_TRUE(editeur->attendre(reste)) << editeur->journal().join('\n').toStdString();
        const QStringList plages = editeur->journal().filter("PLAGE /gros.dat");
        ASSERT_EQ(plages.size(), 1);
        EXPECT_TRUE(plages[0].startsWith(QStringLiteral("PLAGE /gros.dat bytes=%1- SI ").arg(garde)))
            << plages[0].toStdString();
    }
}

// A large file cut off, then replaced at the publisher by another of the
// same length, on a server that ignores If-Range: the next run gets the new
// file whole, never the old start with the new end, and records it as the
// new one (a later run asks it only if it changed, and keeps it).
TEST_F(Miroir, UnServeurQuiIgnoreIfRangeNeFaitJamaisServirUnCollage)
{
    const QByteArray ancien = donnees(3 << 20, 1);
    const QByteArray nouveau = donnees(3 << 20, 2);
    ecrirefichier(web + "/gros.dat", ancien);
    editeur = std::make_unique<ServeurHttp>(web, QStringList{"--compte"});
    ASSERT_TRUE(editeur->pret()) << qPrintable(editeur->erreur());
    adresseliste(serveurproduit, editeur->url("/LISTE.MAJ"));
    publier({" 3", editeur->url("/coupeunefois/gros.dat"), "GROS.DAT"});
    EXPECT_EQ(mirer().code, 1);
    ASSERT_GT(QFileInfo(miroir + "/version-1/.GROS.DAT.velorine-partiel").size(), 0);

    ecrirefichier(web + "/gros.dat", nouveau);
    const auto t = static_cast<time_t>(std::time(nullptr) + 5);
    const struct timespec dates[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(web + "/gros.dat").constData(), dates, 0), 0);
    const QString port = QString::number(editeur->port());
    editeur.reset();
    editeur = std::make_unique<ServeurHttp>(web, QStringList{"--compte", "--ignoresi", "--port", port});
    ASSERT_TRUE(editeur->pret()) << qPrintable(editeur->erreur());
    Resultat r = mirer();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(editeur->journal().filter("STATUT /gros.dat 206").size(), 1);
    EXPECT_TRUE(lirefichier(courant() + "/GROS.DAT") == nouveau);

    r = mirer();
    EXPECT_EQ(r.erreurs, "Miroir à jour: 1 fichiers dans le miroir, dont 0 téléchargés\n");
    EXPECT_TRUE(lirefichier(courant() + "/GROS.DAT") == nouveau);
}

// The point of the proof passing through: a machine holding the publisher's
// key updates from the mirror alone, and refuses a file changed on the
// mirror, whoever controls it.
TEST_F(Miroir, UnPosteAvecLaClePrendDuMiroirLesFichiersDeLEditeurSeulement)
{
    if (QStandardPaths::findExecutable("minisign").isEmpty())
        GTEST_SKIP() << "minisign is not installed (Debian package minisign)";
    const QString cles = racine.filePath("cles");
    QDir().mkpath(cles);
    QProcess g;
    g.start("minisign", {"-G", "-W", "-p", cles + "/VELORINE.PUB", "-s", cles + "/secrete.key"});
    ASSERT_TRUE(g.waitForFinished(30000));
    ASSERT_EQ(g.exitCode(), 0) << g.readAllStandardError().toStdString();

    // The publisher's folder as signer-liste reads it: each file at its name.
    QDir(web).mkpath("DONNEES");
    ecrirefichier(web + "/LECON3.DAT", "Niveau 3");
    ecrirefichier(web + "/DONNEES/SONS.DAT", "Niveau 4");
    ecrirefichier(web + "/LECON5.DAT", "Niveau 5");
    publier({" 3", editeur->url("/LECON3.DAT"), "LECON3.DAT", " 4", editeur->url("/DONNEES/SONS.DAT"),
             "DONNEES\\SONS.DAT", " 5", editeur->url("/LECON5.DAT"), "LECON5.DAT"});
    QProcess signer;
    signer.start("/usr/bin/python3",
                 {QStringLiteral(VELORINE_SOURCE_DIR "/scripts/signer-liste"), web, cles + "/secrete.key"});
    ASSERT_TRUE(signer.waitForFinished(30000));
    ASSERT_EQ(signer.exitCode(), 0) << signer.readAllStandardError().toStdString();
    ASSERT_EQ(mirer().code, 0);
    editeur.reset();

    const auto poste = [&](const QString& dossier) {
        QDir().mkpath(dossier + "/DONNEES");
        niveau(dossier, " 2");
        adresseliste(dossier, base + "/LISTE.MAJ");
        QFile::copy(cles + "/VELORINE.PUB", dossier + "/VELORINE.PUB");
        return lancer({"--product-dir", dossier, "--unattended", "--auto"});
    };
    Resultat r = poste(racine.filePath("poste1"));
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Actualisation terminée.: Vous disposez maintenant de la version 5\n");
    EXPECT_EQ(lirefichier(racine.filePath("poste1/DONNEES/SONS.DAT")), "Niveau 4");

    // Whoever controls the mirror changes a program there.
    ecrirefichier(courant() + "/LECON5.DAT", "Programme pirate");
    r = poste(racine.filePath("poste2"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, "Mise à jour impossible: Téléchargement impossible\n");
    EXPECT_FALSE(QFileInfo::exists(racine.filePath("poste2/LECON5.DAT")));
    EXPECT_EQ(lirefichier(racine.filePath("poste2/TEMPO.QZS")).mid(23 * 128, 4), QByteArray("\x02\x00 2", 4));
}

// A name the list gives twice, in any case, is one file of the mirror: the
// last group's, as an update run that fetches both ends with it. Both groups
// name it in the mirror. A group without a readable level, which no machine
// ever fetches, stays as it stands.
TEST_F(Miroir, UnNomDonneDeuxFoisEstUnSeulFichierCeluiDuDernierGroupe)
{
    publier({" 3", editeur->url("/f3.dat"), "LECON.DAT", "1e400", "http://ailleurs.invalid/x", "X.DAT", " 5",
             editeur->url("/f5.dat"), "lecon.dat"});
    const Resultat r = mirer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Miroir à jour: 1 fichiers dans le miroir, dont 1 téléchargés\n");
    EXPECT_EQ(lirefichier(courant() + "/LECON.DAT"), "Niveau 5");
    EXPECT_EQ(enregistrements(lirefichier(miroir + "/LISTE.MAJ")),
              (QStringList{"MAJQZ7INTERNET", " 3", base + "/version-1/LECON.DAT", "LECON.DAT", "1e400",
                           "http://ailleurs.invalid/x", "X.DAT", " 5", base + "/version-1/LECON.DAT", "lecon.dat"}));
}

// Whatever goes wrong, the mirror of the last run stays whole: the same
// list, the same files, byte for byte, and nothing else.
TEST_F(Miroir, UnMiroirRateLaisseLePrecedentEntier)
{
    ecrirefichier(web + "/LISTE.MAJ.sha256", "empreintes");
    ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", "signature");
    publiertrois();
    ASSERT_EQ(mirer().code, 0);
    const QMap<QString, QByteArray> avant = servi(miroir);
    const QByteArray paranet = lirefichier(serveurproduit + "/PARANET.LST");

    struct Cas {
        const char* nom;
        std::function<void()> preparer;
        QString ligne;
    };
    const std::vector<Cas> cas{
        {"un fichier absent",
         [&] {
             ecrirefichier(web + "/f3.dat", "Niveau 3 corrigé");
             publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 6", editeur->url("/absent.dat"), "LECON6.DAT"});
         },
         "Miroir impossible: Téléchargement impossible\n"},
        {"une connexion coupée à la moitié d'un fichier",
         [&] {
             publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 6", editeur->url("/coupe/50000/100000"),
                      "LECON6.DAT", " 7", editeur->url("/f5.dat"), "LECON7.DAT"});
         },
         "Miroir impossible: Téléchargement impossible\n"},
        {"une preuve d'origine démesurée", [&] { ecrirefichier(web + "/LISTE.MAJ.sha256", QByteArray(2 << 20, 'x')); },
         "Miroir impossible: Téléchargement impossible\n"},
        {"un nom qui sort du dossier",
         [&] {
             publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 6", editeur->url("/f4.dat"), "..\\x.dat"});
         },
         "Miroir impossible: Nom de fichier refusé dans la liste : ..\\x.dat\n"},
        {"une liste absente", [&] { QFile::remove(web + "/LISTE.MAJ"); },
         "Ouverture impossible: Téléchargement impossible\n"},
        {"pas une liste", [&] { ecrirefichier(web + "/LISTE.MAJ", "<html>portail captif</html>"); },
         "Actualisation impossible: Pas de fichier téléchargé\n"},
        {"une liste vide", [&] { publier({}); }, "Erreur: Erreur lors de l'ouverture du fichier\n"},
        {"des réglages absents", [&] { QFile::remove(serveurproduit + "/PARANET.LST"); },
         "Lecture impossible: Lecture imposible sur le disque.\n"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        publiertrois();
        ecrirefichier(web + "/f3.dat", "Niveau 3");
        ecrirefichier(web + "/LISTE.MAJ.sha256", "empreintes");
        ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", "signature");
        ecrirefichier(serveurproduit + "/PARANET.LST", paranet);
        c.preparer();
        const Resultat r = mirer();
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, c.ligne);
        EXPECT_EQ(servi(miroir), avant);
    }
    EXPECT_FALSE(QFileInfo::exists(serveurproduit + "/PARANET.LST"));
}

// A list naming as a file what the version served holds as a folder: each
// version has its own folder, so the new one holds the file while the one
// before keeps its folder for the machines still reading it.
TEST_F(Miroir, UnFichierALaPlaceDUnDossierDeLaVersionPrecedente)
{
    publiertrois();
    ASSERT_EQ(mirer().code, 0);
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 6", editeur->url("/f4.dat"), "donnees"});
    const Resultat r = mirer();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(r.erreurs, "Miroir à jour: 2 fichiers dans le miroir, dont 1 téléchargés\n");
    EXPECT_EQ(lirefichier(courant() + "/DONNEES"), "Niveau 4");
    EXPECT_EQ(enregistrements(lirefichier(miroir + "/LISTE.MAJ")).value(5), base + "/version-2/DONNEES");
    EXPECT_EQ(lirefichier(miroir + QStringLiteral("/version-1/DONNEES/Sons \u00e9t\u00e9.DAT")), "Niveau 4");
}

// Names from the list never lead a write outside the mirror, nor over the
// mirror's own files; a link inside the mirror is never written through.
TEST_F(Miroir, LesNomsHostilesNEcriventRienHorsDuMiroir)
{
    QTemporaryDir dehors;
    ecrirefichier(dehors.filePath("secret"), "secret");
    const auto lier = [](const QString& vers, const QString& nom) {
        ASSERT_EQ(::symlink(QFile::encodeName(vers).constData(), QFile::encodeName(nom).constData()), 0);
    };
    struct Cas {
        QString nom;
        QString ligne;
    };
    const QString refus = QStringLiteral("Miroir impossible: Nom de fichier refusé dans la liste : ");
    const std::vector<Cas> cas{
        {"..\\x.dat", refus + "..\\x.dat\n"},
        {"A\\..\\..\\x.dat", refus + "A\\..\\..\\x.dat\n"},
        {"\\etc\\x.dat", refus + "\\etc\\x.dat\n"},
        {"/etc/x.dat", refus + "/etc/x.dat\n"},
        {"C:x.dat", refus + "C:x.dat\n"},
        {"A<B.DAT", refus + "A<B.DAT\n"},
        {"liste.maj", refus + "liste.maj\n"},
        {"LISTE.MAJ.ORIGINE", refus + "LISTE.MAJ.ORIGINE\n"},
        {"LISTE.MAJ.sha256", refus + "LISTE.MAJ.sha256\n"},
        {".\\LISTE.MAJ.sha256.minisig", refus + ".\\LISTE.MAJ.sha256.minisig\n"},
        {".velorine-miroir", refus + ".velorine-miroir\n"},
        {".LECON3.DAT.velorine-partiel", refus + ".LECON3.DAT.velorine-partiel\n"},
        {"D\\.X.velorine-partiel.INFOS", refus + "D\\.X.velorine-partiel.INFOS\n"},
        {"D\\.velorine-maj.1.0", refus + "D\\.velorine-maj.1.0\n"},
        {"D\\.velorine-lien.LECON3.DAT", refus + "D\\.velorine-lien.LECON3.DAT\n"},
        {".", refus + ".\n"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom.toStdString());
        QDir(miroir).removeRecursively();
        QDir().mkpath(miroir);
        lier(dehors.path(), miroir + "/LIEN");
        publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"), c.nom});
        const Resultat r = mirer();
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, c.ligne);
        // (The listing follows the link into the folder outside.)
        EXPECT_EQ(contenudossier(miroir), (QStringList{"LIEN", "LIEN/secret"}));
        EXPECT_EQ(contenudossier(dehors.path()), QStringList{"secret"});
        EXPECT_EQ(lirefichier(dehors.filePath("secret")), "secret");
        EXPECT_EQ(contenudossier(salle), (QStringList{"velorine", "velorine/LIEN", "velorine/LIEN/secret"}));
    }

    // A link beside the versions is never followed: the name beneath it
    // is a folder of the new version.
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"), "LIEN\\secret"});
    Resultat r = mirer();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(lirefichier(courant() + "/LIEN/secret"), "Niveau 4");
    EXPECT_FALSE(QFileInfo(courant() + "/LIEN").isSymLink());
    EXPECT_EQ(lirefichier(dehors.filePath("secret")), "secret");

    // Links in the folder of the version being made (a run killed there,
    // then someone's doing) are replaced, never written through.
    QDir(miroir).removeRecursively();
    QDir().mkpath(miroir + "/version-1");
    lier(dehors.filePath("secret"), miroir + "/version-1/LECON3.DAT");
    lier(dehors.path(), miroir + "/version-1/LIEN");
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"), "LIEN\\secret"});
    r = mirer();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_FALSE(QFileInfo(courant() + "/LECON3.DAT").isSymLink());
    EXPECT_EQ(lirefichier(courant() + "/LECON3.DAT"), "Niveau 3");
    EXPECT_FALSE(QFileInfo(courant() + "/LIEN").isSymLink());
    EXPECT_EQ(lirefichier(dehors.filePath("secret")), "secret");
    EXPECT_EQ(contenudossier(dehors.path()), QStringList{"secret"});
}

// A record holds 126 bytes: an address in the mirror that would not fit is
// refused, never cut short, and nothing is written.
TEST_F(Miroir, UneAdresseTropLonguePourUnEnregistrementEstRefusee)
{
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT"});
    const QString debut = serveursalle->url("/velorine");
    for (const int longueur : {126, 127}) {
        SCOPED_TRACE(longueur);
        QDir(miroir).removeRecursively();
        // base + "/version-1/LECON3.DAT" is the address of the file in the
        // mirror.
        base = debut + '/' + QString(longueur - static_cast<int>(debut.size()) - 1 - 21, u'a');
        const QString adresse = base + "/version-1/LECON3.DAT";
        ASSERT_EQ(adresse.size(), longueur);
        const Resultat r = mirer();
        if (longueur == 126) {
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(enregistrements(lirefichier(miroir + "/LISTE.MAJ")).value(2), adresse);
        } else {
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.erreurs, "Miroir impossible: Adresse trop longue pour la liste : " + adresse + "\n");
            EXPECT_EQ(contenudossier(miroir), QStringList());
        }
    }
}

// The publisher's proof of origin passes through untouched; when the
// publisher has none, the mirror has none either, and says so under
// --verbose.
TEST_F(Miroir, LaPreuveDOrigineEstCopieeTelleQuelleOuRetiree)
{
    const QByteArray manifeste = "0123456789abcdef  LISTE.MAJ\r\n\xff\xfe";
    const QByteArray signature = "untrusted comment: signature\nRWQ\xe9\n";
    ecrirefichier(web + "/LISTE.MAJ.sha256", manifeste);
    ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", signature);
    publiertrois();
    Resultat r = mirer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(lirefichier(miroir + "/LISTE.MAJ.sha256"), manifeste);
    EXPECT_EQ(lirefichier(miroir + "/LISTE.MAJ.sha256.minisig"), signature);

    QFile::remove(web + "/LISTE.MAJ.sha256");
    QFile::remove(web + "/LISTE.MAJ.sha256.minisig");
    r = mirer({"--verbose"});
    EXPECT_EQ(r.code, 0);
    EXPECT_FALSE(QFileInfo::exists(miroir + "/LISTE.MAJ.sha256"));
    EXPECT_FALSE(QFileInfo::exists(miroir + "/LISTE.MAJ.sha256.minisig"));
    EXPECT_TRUE(r.erreurs.contains("velorine-maj: l'éditeur ne publie pas de preuve d'origine complète à côté de sa "
                                   "liste (.sha256 et .sha256.minisig) : le miroir n'en a pas\n"))
        << r.erreurs.toStdString();
    // The state file is the mirror's own.
    EXPECT_EQ(QFileInfo(courant() + "/.velorine-miroir").permissions()
                  & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
    EXPECT_TRUE(QFileInfo(courant() + "/LECON3.DAT").permissions() & QFileDevice::ReadOther);
    EXPECT_TRUE(r.erreurs.endsWith("Miroir à jour: 3 fichiers dans le miroir, dont 0 téléchargés\n"));
}

// Only what changed at the publisher is fetched again: a file asked for
// only if it changed since the last run, when it is still in the mirror as
// it was received, from the same address; otherwise whole.
TEST_F(Miroir, SeulCeQuiAChangeEstTelechargeANouveau)
{
    editeur = std::make_unique<ServeurHttp>(web, QStringList{"--compte"});
    ASSERT_TRUE(editeur->pret()) << qPrintable(editeur->erreur());
    adresseliste(serveurproduit, editeur->url("/LISTE.MAJ"));
    publiertrois();
    ASSERT_EQ(mirer({"--parallel", "1"}).code, 0);
    const auto envoyes = [&] {
        QStringList lignes;
        for (const QString& ligne : editeur->journal())
            if ((ligne.startsWith("ENVOYE /") && !ligne.startsWith("ENVOYE /LISTE.MAJ")) || ligne.startsWith("STATUT"))
                lignes << ligne;
        return lignes;
    };
    // The server logs what it sent once it has sent it, maybe after the
    // run has ended: the lines are awaited (bounded).
    const auto attendre = [&](qsizetype n) {
        QDeadlineTimer limite(10000);
        while (envoyes().size() < n && !limite.hasExpired())
            QThread::msleep(20);
    };
    attendre(3);
    QStringList premiers = envoyes();
    premiers.sort();
    EXPECT_EQ(premiers, (QStringList{"ENVOYE /f3.dat 8", "ENVOYE /f4.dat 8", "ENVOYE /f5.dat 8"}));

    struct Cas {
        const char* nom;
        std::function<void()> preparer;
        QStringList journal;
        int telecharges;
    };
    const std::vector<Cas> cas{
        {"rien de changé", [] {}, {"STATUT /f3.dat 304", "STATUT /f4.dat 304", "STATUT /f5.dat 304"}, 0},
        {"un fichier changé chez l'éditeur",
         [&] { ecrirefichier(web + "/f4.dat", "Niveau 4 corrigé"); },
         {"STATUT /f3.dat 304", "ENVOYE /f4.dat 17", "STATUT /f5.dat 304"},
         1},
        // The mirror's copy is no longer what was received: fetched whole.
        {"un fichier changé dans le miroir",
         [&] { ecrirefichier(courant() + "/LECON5.DAT", "abîmé"); },
         {"STATUT /f3.dat 304", "STATUT /f4.dat 304", "ENVOYE /f5.dat 8"},
         1},
        {"un fichier effacé du miroir",
         [&] { QFile::remove(courant() + "/LECON3.DAT"); },
         {"ENVOYE /f3.dat 8", "STATUT /f4.dat 304", "STATUT /f5.dat 304"},
         1},
        // Another address: another file, whatever the server says of it.
        {"une autre adresse",
         [&] {
             QFile::copy(web + "/f3.dat", web + "/g3.dat");
             publier({" 3", editeur->url("/g3.dat"), "LECON3.DAT", " 4", editeur->url("/f4.dat"),
                      QStringLiteral("DONNEES\\Sons \u00e9t\u00e9.DAT"), " 5", editeur->url("/f5.dat"), "LECON5.DAT"});
         },
         {"ENVOYE /g3.dat 8", "STATUT /f4.dat 304", "STATUT /f5.dat 304"},
         1},
        // A state file that is not ours is no harm: everything whole.
        {"un état illisible",
         [&] { ecrirefichier(courant() + "/.velorine-miroir", "velorine-miroir 2\nLECON3.DAT\t\t\t\n\x01\xff"); },
         {"ENVOYE /g3.dat 8", "ENVOYE /f4.dat 17", "ENVOYE /f5.dat 8"},
         3},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        c.preparer();
        const int deja = static_cast<int>(envoyes().size());
        const Resultat r = mirer({"--parallel", "1"});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.erreurs,
                  QStringLiteral("Miroir à jour: 3 fichiers dans le miroir, dont %1 téléchargés\n").arg(c.telecharges));
        attendre(deja + c.journal.size());
        // (In any order: each server thread logs on its own.)
        QStringList vus = envoyes().mid(deja);
        QStringList attendus = c.journal;
        vus.sort();
        attendus.sort();
        EXPECT_EQ(vus, attendus);
        EXPECT_EQ(lirefichier(courant() + "/LECON3.DAT"), "Niveau 3");
        EXPECT_EQ(lirefichier(courant() + QStringLiteral("/DONNEES/Sons \u00e9t\u00e9.DAT")),
                  QByteArray("Niveau 4") + (QByteArray(c.nom) == "rien de changé" ? "" : " corrigé"));
        EXPECT_EQ(lirefichier(courant() + "/LECON5.DAT"), "Niveau 5");
    }
}

// A publisher on FTP: the files, the proof files it may lack, and the
// second run that asks for nothing that did not change.
TEST_F(Miroir, UnEditeurSurFtp)
{
    ServeurFtp ftp(web);
    ASSERT_TRUE(ftp.pret()) << qPrintable(ftp.erreur());
    adresseliste(serveurproduit, ftp.url("/LISTE.MAJ"));
    publier({" 3", ftp.url("/f3.dat"), "LECON3.DAT", " 4", ftp.url("/f4.dat"), "LECON4.DAT"});
    Resultat r = mirer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Miroir à jour: 2 fichiers dans le miroir, dont 2 téléchargés\n");
    EXPECT_EQ(lirefichier(courant() + "/LECON4.DAT"), "Niveau 4");
    EXPECT_FALSE(QFileInfo::exists(miroir + "/LISTE.MAJ.sha256"));

    ecrirefichier(web + "/LISTE.MAJ.sha256", "empreintes");
    ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", "signature");
    r = mirer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Miroir à jour: 2 fichiers dans le miroir, dont 0 téléchargés\n");
    EXPECT_EQ(lirefichier(miroir + "/LISTE.MAJ.sha256.minisig"), "signature");
}

// A mirror of a mirror (the school's of the district's): the publisher's
// list and proof pass through both untouched, the addresses point into the
// last one.
TEST_F(Miroir, UnMiroirDUnMiroirGardeLaListeEtLaPreuveDeLEditeur)
{
    ecrirefichier(web + "/LISTE.MAJ.sha256", "empreintes");
    ecrirefichier(web + "/LISTE.MAJ.sha256.minisig", "signature");
    publiertrois();
    ASSERT_EQ(mirer().code, 0);
    editeur.reset();

    const QString ecole = racine.filePath("ecole");
    QDir().mkpath(ecole);
    adresseliste(ecole, base + "/LISTE.MAJ");
    const QString second = salle + "/ecole";
    const QString baseecole = serveursalle->url("/ecole");
    const Resultat r = lancer({"--product-dir", ecole, "--unattended", "--mirror", second, "--base-url", baseecole});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Miroir à jour: 3 fichiers dans le miroir, dont 3 téléchargés\n");
    EXPECT_EQ(lirefichier(second + "/LISTE.MAJ.origine"), lirefichier(web + "/LISTE.MAJ"));
    EXPECT_EQ(lirefichier(second + "/LISTE.MAJ.sha256"), "empreintes");
    EXPECT_EQ(lirefichier(second + "/LISTE.MAJ.sha256.minisig"), "signature");
    EXPECT_EQ(lirefichier(second + "/courant/LECON5.DAT"), "Niveau 5");
    EXPECT_EQ(enregistrements(lirefichier(second + "/LISTE.MAJ")).value(8), baseecole + "/version-1/LECON5.DAT");
}

// The files the new list no longer names go; files the mirror did not put
// there (a page of the school's own) stay.
TEST_F(Miroir, LesFichiersQueLaListeNeNommePlusSontRetires)
{
    publiertrois();
    ASSERT_EQ(mirer().code, 0);
    ecrirefichier(miroir + "/index.html", "<html>Miroir de la salle 12</html>");
    publier({" 5", editeur->url("/f5.dat"), "LECON5.DAT"});
    const Resultat r = mirer();
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(contenudossier(courant()),
              (QStringList{".velorine-miroir", "LECON5.DAT", "LISTE.MAJ", "LISTE.MAJ.origine"}));
    EXPECT_EQ(lirefichier(miroir + "/index.html"), "<html>Miroir de la salle 12</html>");
    // The version before stays for the machines that read its list; the
    // next run removes it. A file that did not change is one file on disk.
    EXPECT_TRUE(QFileInfo(miroir + "/version-1/LECON3.DAT").isFile());
    ASSERT_EQ(mirer().code, 0);
    EXPECT_FALSE(QFileInfo::exists(miroir + "/version-1"));
    EXPECT_EQ(QFileInfo(courant()).symLinkTarget(), miroir + "/version-3");
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(QFile::encodeName(miroir + "/version-2/LECON5.DAT").constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(miroir + "/version-3/LECON5.DAT").constData(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(contenudossier(miroir + "/version-3"),
              (QStringList{".velorine-miroir", "LECON5.DAT", "LISTE.MAJ", "LISTE.MAJ.origine"}));
}

// A mirror made before versions (each file at the top of the folder, the
// state beside them): the first run serves a version folder, the names the
// room reads become links, and the files that state recorded go; the
// school's own files stay.
TEST_F(Miroir, UnMiroirDAvantLesVersionsPasseAuxVersions)
{
    publiertrois();
    QDir().mkpath(miroir);
    ecrirefichier(miroir + "/LECON3.DAT", "Niveau 3");
    ecrirefichier(miroir + "/LISTE.MAJ", "ancienne liste");
    ecrirefichier(miroir + "/LISTE.MAJ.origine", "ancienne liste de l'éditeur");
    ecrirefichier(miroir + "/index.html", "<html>Salle 12</html>");
    ecrirefichier(miroir + "/.velorine-miroir", "velorine-miroir 1\nLECON3.DAT\t"
                                                    + editeur->url("/f3.dat").toUtf8().toPercentEncoding()
                                                    + "\t8\t\t-1\n");
    const Resultat r = mirer();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(contenudossier(miroir).filter(QRegularExpression("^[^/]*$")),
              (QStringList{"LISTE.MAJ", "LISTE.MAJ.origine", "LISTE.MAJ.sha256", "LISTE.MAJ.sha256.minisig", "courant",
                           "index.html", "version-1"}));
    EXPECT_TRUE(QFileInfo(miroir + "/LISTE.MAJ").isSymLink());
    EXPECT_EQ(lirefichier(miroir + "/LISTE.MAJ.origine"), lirefichier(web + "/LISTE.MAJ"));
    EXPECT_EQ(lirefichier(courant() + "/LECON3.DAT"), "Niveau 3");
    EXPECT_EQ(lirefichier(miroir + "/index.html"), "<html>Salle 12</html>");
}

// The mirror on a shared folder: the publisher's list and its files are
// local files, the mirror names its files with file: addresses, and a room
// machine whose list is a local file takes its files from there too. A list
// fetched over http still may not name a local file.
TEST_F(Miroir, UnDossierPartageAvecDesAdressesFile)
{
    const auto local = [](const QString& chemin) { return QUrl::fromLocalFile(chemin).toString(); };
    publier({" 3", local(web + "/f3.dat"), "LECON3.DAT", " 4", local(web + "/f4.dat"), "LECON4.DAT"});
    adresseliste(serveurproduit, local(web + "/LISTE.MAJ"));
    base = local(miroir);
    const Resultat r = mirer();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(enregistrements(lirefichier(miroir + "/LISTE.MAJ")).value(2), local(miroir + "/version-1/LECON3.DAT"));

    niveau(poste, " 2");
    adresseliste(poste, local(miroir + "/LISTE.MAJ"));
    Resultat m = lancer({"--product-dir", poste, "--unattended", "--auto"});
    EXPECT_EQ(m.code, 0);
    EXPECT_EQ(m.erreurs, "Actualisation terminée.: Vous disposez maintenant de la version 4\n");
    EXPECT_EQ(lirefichier(poste + "/LECON4.DAT"), "Niveau 4");

    // The same list served over http.
    niveau(poste, " 2");
    QFile::remove(poste + "/LECON3.DAT");
    adresseliste(poste, serveursalle->url("/velorine/LISTE.MAJ"));
    m = lancer({"--product-dir", poste, "--unattended", "--auto"});
    EXPECT_EQ(m.code, 1);
    EXPECT_EQ(m.erreurs, "Mise à jour impossible: Téléchargement impossible\n");
    EXPECT_FALSE(QFileInfo::exists(poste + "/LECON3.DAT"));
}

// A mirror made, then one that fails, lose no memory.
TEST_F(Miroir, UnMiroirNePerdAucuneMemoire)
{
    QString raison;
    const QStringList valgrind = prefixevalgrind(raison);
    if (valgrind.isEmpty())
        GTEST_SKIP() << qPrintable(raison);
    publiertrois();
    Resultat r = mirer({}, valgrind);
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    // (valgrind tells of openat2, which it does not know, first.)
    EXPECT_TRUE(r.erreurs.endsWith("Miroir à jour: 3 fichiers dans le miroir, dont 3 téléchargés\n"))
        << r.erreurs.toStdString();
    publier({" 3", editeur->url("/f3.dat"), "LECON3.DAT", " 6", editeur->url("/absent.dat"), "LECON6.DAT"});
    r = mirer({}, valgrind);
    EXPECT_EQ(r.code, 1) << r.erreurs.toStdString();
    EXPECT_TRUE(r.erreurs.endsWith("Miroir impossible: Téléchargement impossible\n")) << r.erreurs.toStdString();
}

// Two mirror runs never write one folder at once: the second stops, changes
// nothing and exits with 3.
TEST_F(Miroir, UnSeulMiroirALaFoisDansUnDossier)
{
    publiertrois();
    ASSERT_TRUE(QDir().mkpath(miroir));
    const int fd = ::open(QFile::encodeName(miroir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    Resultat r = mirer();
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.erreurs, "Miroir impossible: Un autre miroir est déjà en cours de mise à jour dans ce dossier.\n");
    EXPECT_EQ(contenudossier(miroir), QStringList());
    EXPECT_TRUE(editeur->journal().isEmpty());
    ::close(fd);
    r = mirer();
    EXPECT_EQ(r.code, 0);
}

} // namespace
