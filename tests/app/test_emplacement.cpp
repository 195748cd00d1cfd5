// The product folder is the folder where the updater really lies: started
// through a link (velorine-maj on the PATH), it still updates the folder of
// the link's target.

#include "dossiers.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velorine::test;

TEST(Emplacement, ParUnLienLeDossierDuProduitEstCeluiDuProgramme)
{
    QTemporaryDir racine;
    QDir(racine.path()).mkpath("produit");
    QDir(racine.path()).mkpath("bin");
    QDir(racine.path()).mkpath("cle");
    const QString produit = racine.filePath("produit");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELORINE_EXE), produit + "/velorine-maj"));
    ASSERT_TRUE(QFile::link(produit + "/velorine-maj", racine.filePath("bin/velorine-maj")));
    ecrirefichier(racine.filePath("cle/A.DAT"), "neuf");
    ecrirefichier(racine.filePath("cle/M.MAJ"), fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));

    QProcess p;
    p.setWorkingDirectory(racine.filePath("bin"));
    p.start(racine.filePath("bin/velorine-maj"), {"--unattended", "--install", racine.filePath("cle/M.MAJ")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(lirefichier(produit + "/A.DAT"), QByteArray("neuf"));
    EXPECT_EQ(contenudossier(racine.filePath("bin")), QStringList{"velorine-maj"});
}
