#include "platform/coquille.h"
#include "dossiers.h"
#include "faux.h"
#include "platform/relancer.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <vector>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

QStringList relance(const QString& dossier)
{
    CoquilleTest coquille;
    EXPECT_THROW(relancer(dossier, coquille), FinProcessus);
    EXPECT_EQ(coquille.terminaisons, 1);
    return coquille.demarres;
}

// Waits, for a bounded time, until a file appears and holds something.
QByteArray attendre(const QString& chemin)
{
    for (int i = 0; i < 500; ++i) {
        const QByteArray contenu = lirefichier(chemin);
        if (contenu.endsWith('\n'))
            return contenu;
        QThread::msleep(10);
    }
    return QByteArray();
}

void executable(const QString& chemin, const QByteArray& script)
{
    ecrirefichier(chemin, script);
    ::chmod(QFile::encodeName(chemin).constData(), 0755);
}

} // namespace

TEST(Relancer, DemarreVelorineExeDuDossierDuProduitEtTermine)
{
    QTemporaryDir d;
    EXPECT_EQ(relance(d.path()), QStringList{d.path() + "/VELORINE.EXE"});
    EXPECT_EQ(relance(d.path() + "/"), QStringList{d.path() + "/VELORINE.EXE"});
    EXPECT_EQ(relance("/"), QStringList{"/VELORINE.EXE"});

    ecrirefichier(d.filePath("velorine.exe"), "x"); // installed in lower case
    EXPECT_EQ(relance(d.path()), QStringList{d.path() + "/velorine.exe"});
}

// Root starts no program that another user could have changed: not from a
// folder a group or others may write (the product folder of a school's
// group), nor a program writable by them or another user's. It says why in
// one line, and the updater still ends.
TEST(Relancer, RootNeLancePasCeQueDAutresPeuventModifier)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "demande root";
    struct Cas {
        const char* nom;
        mode_t dossier;
        mode_t programme;
        uid_t proprietaire;
        bool lance;
    };
    const std::vector<Cas> cas{
        {"dossier et programme de root", 0755, 0755, 0, true},
        {"dossier du groupe", 02775, 0755, 0, false},
        {"dossier de tous", 0777, 0755, 0, false},
        {"programme modifiable par le groupe", 0755, 0775, 0, false},
        {"programme d'un autre utilisateur", 0755, 0755, 65534, false},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        QTemporaryDir d;
        const QString programme = d.filePath("VELORINE.EXE");
        executable(programme, "#!/bin/sh\n");
        ::chmod(QFile::encodeName(programme).constData(), c.programme);
        ASSERT_EQ(::chown(QFile::encodeName(programme).constData(), c.proprietaire, 0), 0);
        ::chmod(QFile::encodeName(d.path()).constData(), c.dossier);
        testing::internal::CaptureStderr();
        const QStringList demarres = relance(d.path());
        const std::string erreurs = testing::internal::GetCapturedStderr();
        if (c.lance) {
            EXPECT_EQ(demarres, QStringList{programme});
            EXPECT_EQ(erreurs, "");
        } else {
            EXPECT_EQ(demarres, QStringList());
            EXPECT_EQ(erreurs, "velorine-maj: Velorine n'est pas relancé : root ne lance pas un programme que "
                               "d'autres utilisateurs peuvent modifier ("
                                   + programme.toStdString() + ")\n");
        }
    }
}

TEST(CoquillePosix, DemarreLeProduitDetacheDansSonDossier)
{
    QTemporaryDir d;
    const QString trace = d.filePath("trace");
    executable(
        d.filePath("VELORINE.EXE"),
        "#!/bin/sh\n"
        "{ cut -d' ' -f6 /proc/$$/stat; echo $$; pwd; readlink /proc/$$/fd/0; readlink /proc/$$/fd/2; } > trace.tmp\n"
        "mv trace.tmp trace\n"
        "echo fin >> trace\n");
    CoquillePosix coquille;
    coquille.demarrer(d.filePath("VELORINE.EXE"));
    const QList<QByteArray> lignes = attendre(trace).split('\n');
    ASSERT_GE(lignes.size(), 5) << "the product did not start";
    EXPECT_EQ(lignes[0], lignes[1]) << "not the leader of a session of its own";
    EXPECT_EQ(QString::fromLocal8Bit(lignes[2]), QDir(d.path()).canonicalPath());
    EXPECT_EQ(lignes[3], "/dev/null");
    EXPECT_EQ(lignes[4], "/dev/null");
}

TEST(CoquillePosix, ProgrammeWindowsDemarreAvecWine)
{
    QTemporaryDir d;
    QDir(d.path()).mkdir("bin");
    executable(
        d.filePath("bin/wine"),
        "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/../wine.tmp\"; mv \"$(dirname \"$0\")/../wine.tmp\" \"$(dirname \"$0\")/../wine\"\n");
    ecrirefichier(d.filePath("VELORINE.EXE"), QByteArray("MZ\x90\x00", 4)); // not executable here
    const QByteArray ancien = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(d.filePath("bin")) + ":" + ancien);
    CoquillePosix coquille;
    coquille.demarrer(d.filePath("VELORINE.EXE"));
    qputenv("PATH", ancien);
    EXPECT_EQ(attendre(d.filePath("wine")), QFile::encodeName(d.filePath("VELORINE.EXE")) + "\n");
}

TEST(CoquillePosix, ProduitAbsentEstSilencieuxEtLaFinTerminePourDeBon)
{
    QTemporaryDir d;
    const pid_t pid = ::fork();
    if (pid == 0) {
        CoquillePosix coquille;
        relancer(d.path(), coquille);
    }
    int statut = -1;
    ASSERT_EQ(::waitpid(pid, &statut, 0), pid);
    ASSERT_TRUE(WIFEXITED(statut));
    EXPECT_EQ(WEXITSTATUS(statut), 0);
}
