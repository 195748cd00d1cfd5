#include "dossiers.h"
#include "base/echec.h"
#include "records/fichieratomique.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

TEST(FichierAtomique, RemplaceSeulementAValider)
{
    QTemporaryDir d;
    const QString cible = d.filePath("cible.dat");
    ecrirefichier(cible, "ancien contenu plus long");
    ::chmod(QFile::encodeName(cible).constData(), 0640);
    {
        FichierAtomique f(cible);
        f.ecrire("nouveau", 7);
        EXPECT_EQ(lirefichier(cible), QByteArray("ancien contenu plus long"));
        f.valider();
    }
    EXPECT_EQ(lirefichier(cible), QByteArray("nouveau"));
    EXPECT_EQ(QFileInfo(cible).permissions() & 0x0FFF, QFileInfo(cible).permissions() & 0x0FFF);
    struct stat st {};
    ::stat(QFile::encodeName(cible).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(contenudossier(d.path()), QStringList{"cible.dat"});
}

TEST(FichierAtomique, AbandonLaisseLaCibleIntacteEtRienDAutre)
{
    QTemporaryDir d;
    const QString cible = d.filePath("cible.dat");
    ecrirefichier(cible, "ancien");
    {
        FichierAtomique f(cible);
        f.ecrire("partiel", 7);
    }
    EXPECT_EQ(lirefichier(cible), QByteArray("ancien"));
    EXPECT_EQ(contenudossier(d.path()), QStringList{"cible.dat"});
}

TEST(FichierAtomique, ProcessusTueNeLaissePasDeTemporaire)
{
    QTemporaryDir d;
    const QString cible = d.filePath("cible.dat");
    ecrirefichier(cible, "ancien");
    const pid_t pid = ::fork();
    if (pid == 0) {
        FichierAtomique f(cible);
        f.ecrire("partiel", 7);
        ::kill(::getpid(), SIGKILL);
    }
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    EXPECT_TRUE(WIFSIGNALED(statut));
    EXPECT_EQ(lirefichier(cible), QByteArray("ancien"));
    EXPECT_EQ(contenudossier(d.path()), QStringList{"cible.dat"});
}

TEST(FichierAtomique, EchecsSansDegats)
{
    QTemporaryDir d;
    EXPECT_THROW(FichierAtomique(d.filePath("manque/x")), Echec);

    // A folder in the target's place: the rename fails, the folder stays.
    QDir(d.path()).mkdir("dossier");
    {
        FichierAtomique f(d.filePath("dossier"));
        f.ecrire("x", 1);
        EXPECT_THROW(f.valider(), Echec);
    }
    EXPECT_TRUE(QFileInfo(d.filePath("dossier")).isDir());
    EXPECT_EQ(contenudossier(d.path()), QStringList{"dossier"});
}

TEST(CopierFichier, CopieLesOctetsEtLesDroits)
{
    QTemporaryDir d;
    QByteArray gros(3 * 1024 * 1024 + 17, '\0');
    for (int i = 0; i < gros.size(); ++i)
        gros[i] = static_cast<char>(i * 7);
    ecrirefichier(d.filePath("source"), gros);
    ::chmod(QFile::encodeName(d.filePath("source")).constData(), 0755);
    ecrirefichier(d.filePath("cible"), QByteArray(5 * 1024 * 1024, 'z'));
    copierfichier(d.filePath("source"), d.filePath("cible"));
    EXPECT_EQ(lirefichier(d.filePath("cible")), gros);
    struct stat st {};
    ::stat(QFile::encodeName(d.filePath("cible")).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0755u);

    EXPECT_THROW(copierfichier(d.filePath("absent"), d.filePath("c2")), Echec);
    EXPECT_THROW(copierfichier(d.path(), d.filePath("c2")), Echec);
    EXPECT_FALSE(QFileInfo::exists(d.filePath("c2")));
}
