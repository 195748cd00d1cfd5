// One updater at a time on a product folder: a second updater changes no
// file, says why and ends with status 3; a holder that dies, even killed,
// leaves no lock behind.

#include "dossiers.h"
#include "processus.h"
#include "app/verrou.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

const QString ligneattendue = QStringLiteral("Mise à jour impossible: Une mise à jour de Velorine est déjà en cours. "
                                             "Attendez qu'elle soit terminée avant d'en lancer une autre.\n");

// True when some process holds the lock of dossier, tried from here without
// waiting (and released at once when it was free).
bool verrouille(const QString& dossier)
{
    const int fd = ::open(QFile::encodeName(dossier).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool pris = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return pris;
}

class UnSeulUpdater : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(racine.path()).mkpath("cle");
        QDir(racine.path()).mkpath("produit");
        ecrirefichier(produit() + "/VELORINE.EXE", "#!/bin/sh\ntouch \"$(dirname \"$0\")/DEMARRE\"\n");
        ::chmod(QFile::encodeName(produit() + "/VELORINE.EXE").constData(), 0755);
        ecrirefichier(produit() + "/A.DAT", "ancien");
        ecrirefichier(cle() + "/A.DAT", "neuf");
        ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));
    }
    void TearDown() override
    {
        if (titulaire.state() != QProcess::NotRunning) {
            titulaire.kill();
            titulaire.waitForFinished(10000);
        }
    }
    QString produit() const { return racine.filePath("produit"); }
    QString cle() const { return racine.filePath("cle"); }

    // A windowed updater on the product that waits on its update file
    // dialog, holding the lock, until it is killed.
    void demarrertitulaire(const QStringList& avant = {})
    {
        QStringList tout = avant;
        tout << QStringLiteral(VELORINE_EXE) << "--product-dir" << produit();
        titulaire.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        titulaire.start(tout.takeFirst(), tout);
        ASSERT_TRUE(titulaire.waitForStarted(10000));
        const QDeadlineTimer limite(20000);
        while (!verrouille(produit()) && titulaire.state() == QProcess::Running && !limite.hasExpired())
            titulaire.waitForFinished(20);
        ASSERT_TRUE(verrouille(produit())) << "the first updater did not take the lock";
    }

    // An unattended installation of M.MAJ on the product.
    std::pair<int, QString> installer()
    {
        const Resultat r = lancerprogramme(
            {QStringLiteral(VELORINE_EXE), "--product-dir", produit(), "--unattended", "--install", cle() + "/M.MAJ"},
            30000);
        EXPECT_TRUE(r.fini);
        return {r.code, r.erreurs};
    }

    QTemporaryDir racine;
    QProcess titulaire;
};

TEST_F(UnSeulUpdater, LeSecondNeChangeRienEtSortAvecTrois)
{
    demarrertitulaire();
    const QStringList avant = contenudossier(produit());
    const auto [code, erreurs] = installer();
    EXPECT_EQ(code, statutdejaencours);
    EXPECT_EQ(erreurs, ligneattendue);
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("ancien"));
    EXPECT_EQ(contenudossier(produit()), avant);
    EXPECT_EQ(titulaire.state(), QProcess::Running);
}

// SIGKILL gives the holder no chance to clean up; the system drops its lock.
TEST_F(UnSeulUpdater, UnTitulaireTueNeLaissePasDeVerrou)
{
    demarrertitulaire();
    titulaire.kill();
    ASSERT_TRUE(titulaire.waitForFinished(10000));
    EXPECT_FALSE(verrouille(produit()));
    const auto [code, erreurs] = installer();
    EXPECT_EQ(code, 0);
    EXPECT_EQ(erreurs, "Mise à jour terminée: La mise à jour a réussi\n");
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("neuf"));
    EXPECT_FALSE(verrouille(produit())) << "an ended updater left its lock";
}

// The holder locks the folder itself: no file to create, so a user who may
// only read the product folder still keeps a second updater out.
TEST_F(UnSeulUpdater, DossierEnLectureSeulePourLeTitulaire)
{
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty() || ::geteuid() != 0)
        GTEST_SKIP() << "needs setpriv and root to run as an unprivileged user";
    ::chmod(QFile::encodeName(racine.path()).constData(), 0755);
    ::chmod(QFile::encodeName(produit()).constData(), 0555);
    demarrertitulaire({setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
    const QStringList avant = contenudossier(produit());
    const auto [code, erreurs] = installer();
    EXPECT_EQ(code, statutdejaencours);
    EXPECT_EQ(erreurs, ligneattendue);
    EXPECT_EQ(contenudossier(produit()), avant);
    ::chmod(QFile::encodeName(produit()).constData(), 0755);
}

TEST(Verrou, UnDossierAbsentNeBloquePas)
{
    QTemporaryDir racine;
    EXPECT_TRUE(verrouillerproduit(racine.filePath("absent")));
}

// With windows, the second updater shows one message box and ends.
TEST(Verrou, AvecFenetresUneBoiteDeMessage)
{
    QString titre, texte;
    int boites = 0;
    QTimer repondeur;
    QObject::connect(&repondeur, &QTimer::timeout, [&] {
        if (auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boites;
            titre = boite->windowTitle();
            texte = boite->text();
            EXPECT_EQ(boite->icon(), QMessageBox::Critical);
            boite->button(QMessageBox::Ok)->click();
        }
    });
    repondeur.start(10);
    int argc = 1;
    char nom[] = "velorine-maj";
    char* argv[] = {nom, nullptr};
    EXPECT_EQ(refuserdejaencours(argc, argv, false), statutdejaencours);
    EXPECT_EQ(boites, 1);
    EXPECT_EQ(titre, "Mise à jour impossible");
    EXPECT_EQ(texte + u'\n', ligneattendue.mid(QStringLiteral("Mise à jour impossible: ").size()));
}

} // namespace
