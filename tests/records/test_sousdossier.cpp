// Opening beneath a folder without following symbolic links, by openat2()
// and by the part-by-part way kept for older kernels.

#include "dossiers.h"
#include "records/sousdossier.h"

#include <QTemporaryDir>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

using Ouverture = std::function<int(int, const QByteArray&, int, mode_t)>;

class SousDossier : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(racine.isValid() && dehors.isValid());
        QDir(racine.path()).mkpath("DONNEES/SOUS");
        ecrirefichier(racine.filePath("DONNEES/A.DAT"), "dedans");
        ecrirefichier(dehors.filePath("secret"), "secret");
        lier(dehors.path(), "LIENDIR");
        lier(dehors.filePath("secret"), "DONNEES/LIEN.DAT");
        lier(dehors.filePath("absent"), "PENDANT.DAT");
        dossier = ::open(QFile::encodeName(racine.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(dossier, 0);
    }
    void TearDown() override { ::close(dossier); }

    void lier(const QString& vers, const QString& nom)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(vers).constData(), QFile::encodeName(racine.filePath(nom)).constData()),
                  0);
    }

    // The errno of a failed open, 0 for a success.
    int ouvrir(const char* relatif, int drapeaux)
    {
        const int fd = GetParam() ? ouvrirparpartie(dossier, relatif, drapeaux, 0644)
                                  : ouvrirsousfd(dossier, relatif, drapeaux, 0644);
        if (fd < 0)
            return errno;
        ::close(fd);
        return 0;
    }

    QTemporaryDir racine;
    QTemporaryDir dehors;
    int dossier = -1;
};

TEST_P(SousDossier, LiensEtRemonteesRefusesRienCreeDehors)
{
    struct Cas {
        const char* relatif;
        int drapeaux;
        bool ouvert;
    };
    const std::vector<Cas> cas{
        {"DONNEES/A.DAT", O_RDONLY, true},
        {"DONNEES/SOUS", O_RDONLY | O_DIRECTORY, true},
        {"DONNEES/NOUVEAU.DAT", O_WRONLY | O_CREAT, true},
        {"DONNEES/LIEN.DAT", O_RDONLY, false}, // a link to a file outside
        {"DONNEES/LIEN.DAT", O_WRONLY | O_CREAT, false},
        {"LIENDIR/secret", O_RDONLY, false}, // through a folder link
        {"LIENDIR/x.DAT", O_WRONLY | O_CREAT, false},
        {"LIENDIR", O_RDONLY | O_DIRECTORY, false},
        {"PENDANT.DAT", O_WRONLY | O_CREAT, false}, // a dangling link
        {"../x.DAT", O_WRONLY | O_CREAT, false},
        {"DONNEES/../../x.DAT", O_WRONLY | O_CREAT, false},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.relatif);
        EXPECT_EQ(ouvrir(c.relatif, c.drapeaux) == 0, c.ouvert);
    }
    EXPECT_EQ(contenudossier(dehors.path()), QStringList{"secret"});
    EXPECT_EQ(lirefichier(dehors.filePath("secret")), QByteArray("secret"));
}

INSTANTIATE_TEST_SUITE_P(OuvertureSure, SousDossier, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "PartiePartie" : "Openat2"; });

TEST(RelatifA, SeulementLesCheminsSousLeDossier)
{
    EXPECT_EQ(relatifa("/p", "/p/A/B.DAT"), QStringLiteral("A/B.DAT"));
    EXPECT_EQ(relatifa("/p/", "/p/A"), QStringLiteral("A"));
    EXPECT_EQ(relatifa("/p/", "/p"), QString());
    EXPECT_THROW(relatifa("/p", "/pq/A"), std::exception);
}

} // namespace
