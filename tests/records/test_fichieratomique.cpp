#include "dossiers.h"
#include "base/echec.h"
#include "impression.h"
#include "records/fichieratomique.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ctime>
#include <optional>
#include <vector>
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

TEST(CopierFichier, CopieLesOctets)
{
    QTemporaryDir d;
    QByteArray gros(3 * 1024 * 1024 + 17, '\0');
    for (int i = 0; i < gros.size(); ++i)
        gros[i] = static_cast<char>(i * 7);
    ecrirefichier(d.filePath("source"), gros);
    ecrirefichier(d.filePath("cible"), QByteArray(5 * 1024 * 1024, 'z'));
    copierfichier(d.filePath("source"), d.filePath("cible"));
    EXPECT_EQ(lirefichier(d.filePath("cible")), gros);

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

namespace {

mode_t modede(const QString& chemin)
{
    struct stat st {};
    ::stat(QFile::encodeName(chemin).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

// The mode of a copied file: a replaced file keeps its own, as cp onto an
// existing file does; a new one is executable when its source is. In a
// folder its group may write, the group gets the owner's rights whatever
// the umask and the source (a stick's 0644 file), so that the next teacher
// of the group may replace it; a read-only file stays read-only.
TEST(CopierFichier, LeModeEstCeluiDeLaCibleOuDuDossier)
{
    struct Cas {
        const char* nom;
        mode_t dossier;
        mode_t umask;
        mode_t source;
        std::optional<mode_t> cible; // none: a new file
        mode_t attendu;
    };
    const std::vector<Cas> cas{
        {"remplacée, garde son mode", 0755, 022, 0755, 0640, 0640},
        {"remplacée, reste exécutable", 0755, 022, 0644, 0755, 0755},
        {"nouvelle, exécutable comme sa source", 0755, 022, 0755, std::nullopt, 0755},
        {"nouvelle, selon l'umask", 0755, 027, 0666, std::nullopt, 0640},
        {"nouvelle, jamais set-user-id", 0755, 022, 04755, std::nullopt, 0755},
        {"groupe : remplacée depuis une clé en 0644", 02775, 022, 0644, 0644, 0664},
        {"groupe : exécutable remplacé", 02775, 022, 0644, 0755, 0775},
        {"groupe : nouvelle malgré l'umask 022", 02775, 022, 0644, std::nullopt, 0664},
        {"groupe : nouvelle malgré l'umask 077", 02775, 077, 0755, std::nullopt, 0770},
        {"groupe : lecture seule reste lecture seule", 02775, 022, 0644, 0444, 0444},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        QTemporaryDir d;
        const QString produit = d.filePath("produit");
        QDir().mkpath(produit);
        ::chmod(QFile::encodeName(produit).constData(), c.dossier);
        ecrirefichier(d.filePath("source"), "neuf");
        ::chmod(QFile::encodeName(d.filePath("source")).constData(), c.source);
        const QString cible = produit + "/CIBLE.DAT";
        if (c.cible) {
            ecrirefichier(cible, "ancien");
            ::chmod(QFile::encodeName(cible).constData(), *c.cible);
        }
        const mode_t avant = ::umask(c.umask);
        copierfichier(d.filePath("source"), cible);
        ::umask(avant);
        EXPECT_EQ(lirefichier(cible), QByteArray("neuf"));
        EXPECT_EQ(modede(cible), c.attendu) << std::oct << modede(cible);
    }
}

// In a folder its group may write, a new file gets the folder's group even
// without the set-group-id bit; a mode asked for exactly (a file for its
// owner only) gets nothing more.
TEST(FichierAtomique, DansUnDossierDuGroupeLeFichierPrendSonGroupe)
{
    QTemporaryDir d;
    const QString produit = d.filePath("produit");
    QDir().mkpath(produit);
    const gid_t groupe = 65534; // nogroup
    ASSERT_EQ(::chown(QFile::encodeName(produit).constData(), 0, groupe), 0);
    ::chmod(QFile::encodeName(produit).constData(), 0775);
    {
        FichierAtomique f(produit + "/NOUVEAU.DAT");
        f.ecrire("x", 1);
        f.valider();
    }
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(produit + "/NOUVEAU.DAT").constData(), &st), 0);
    EXPECT_EQ(st.st_gid, groupe);
    EXPECT_EQ(st.st_mode & 0070, 0060u);
    {
        FichierAtomique f(produit + "/ETAT");
        f.ecrire("x", 1);
        f.valider(0600);
    }
    EXPECT_EQ(modede(produit + "/ETAT"), 0600u);
}
