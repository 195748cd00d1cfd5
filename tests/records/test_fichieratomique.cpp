#include "dossiers.h"
#include "base/echec.h"
#include "impression.h"
#include "records/fichieratomique.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
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

// The temporary files a killed run left behind are removed by the next one
// that writes in the folder; those of a running updater (alive and holding
// its lock) and anything that only looks alike are kept.
TEST(FichierAtomique, LesTemporairesDesExecutionsMortesSontEnleves)
{
    QTemporaryDir d;
    // A process number that no longer runs.
    const pid_t mort = ::fork();
    if (mort == 0)
        ::_exit(0);
    ::waitpid(mort, nullptr, 0);
    // A running updater: alive, holding the lock on its temporary file.
    int tube[2];
    ASSERT_EQ(::pipe(tube), 0);
    const QString vivant = d.filePath(".velorine-maj.%1.0");
    const pid_t enmarche = ::fork();
    if (enmarche == 0) {
        ::close(tube[1]);
        const QByteArray nom = QFile::encodeName(vivant.arg(::getpid()));
        const int fd = ::open(nom.constData(), O_CREAT | O_RDWR, 0600);
        ::flock(fd, LOCK_EX);
        char c;
        ::read(tube[0], &c, 1); // until the test is done
        ::_exit(0);
    }
    ::close(tube[0]);
    while (!QFileInfo::exists(vivant.arg(enmarche)))
        ::usleep(1000);

    const QString mortnom = QStringLiteral(".velorine-maj.%1.0").arg(mort);
    ecrirefichier(d.filePath(mortnom), QByteArray(100000, 'x'));
    ecrirefichier(d.filePath(".velorine-maj.ab12CD"), "ancien et oublié");
    ecrirefichier(d.filePath(".velorine-maj.ef34GH"), "ancien mais récent");
    ecrirefichier(d.filePath(".velorine-maj.notes"), "autre chose");
    ecrirefichier(d.filePath("cible.dat"), "ancien");
    const QByteArray oublie = QFile::encodeName(d.filePath(".velorine-maj.ab12CD"));
    const struct timespec vieux[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, oublie.constData(), vieux, 0), 0);
    ASSERT_EQ(::symlink("/etc/hostname", QFile::encodeName(d.filePath(".velorine-maj.1.0")).constData()), 0);

    {
        FichierAtomique f(d.filePath("cible.dat"));
        f.ecrire("neuf", 4);
        f.valider();
    }
    const QString enmarchenom = QStringLiteral(".velorine-maj.%1.0").arg(enmarche);
    EXPECT_EQ(contenudossier(d.path()), (QStringList{".velorine-maj.1.0", enmarchenom, ".velorine-maj.ef34GH",
                                                     ".velorine-maj.notes", "cible.dat"}));
    EXPECT_EQ(lirefichier(d.filePath("cible.dat")), QByteArray("neuf"));
    ::close(tube[1]);
    ::waitpid(enmarche, nullptr, 0);
}
