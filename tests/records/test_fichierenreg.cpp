#include "records/cp1252.h"
#include "dossiers.h"
#include "base/echec.h"
#include "records/fichierenreg.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velorine;
using namespace velorine::test;

namespace {

class FichierEnreg : public ::testing::Test {
protected:
    QString chemin(const QString& nom) const { return dossier.filePath(nom); }
    QTemporaryDir dossier;
    Fente fente;
};

} // namespace

TEST(Cp1252, AllerRetourDeChaqueOctet)
{
    QByteArray tous;
    for (int b = 0; b < 256; ++b)
        tous.append(static_cast<char>(b));
    EXPECT_EQ(cp1252::encoder(cp1252::decoder(tous)), tous);
    EXPECT_EQ(cp1252::decoder(QByteArray("\x80\xe9\xe0\x9c", 4)), QStringLiteral("€éàœ"));
    EXPECT_EQ(cp1252::encoder(QStringLiteral("é€ж😀")), QByteArray("\xe9\x80??"));
}

TEST_F(FichierEnreg, FichierAbsentCreeVideEtEnregistrementsVides)
{
    fente.ouvrirenreg(chemin("TEMPO.QZS"));
    EXPECT_TRUE(QFileInfo::exists(chemin("TEMPO.QZS")));
    EXPECT_EQ(fente.lireenreg(1), QString());
    EXPECT_EQ(fente.lireenreg(32767), QString());
    fente.fermerfichier();
    fente.fermerfichier(); // twice is harmless
    EXPECT_EQ(QFileInfo(chemin("TEMPO.QZS")).size(), 0);
}

TEST_F(FichierEnreg, EcrireAuDelaDeLaFinAllongeAvecDesZeros)
{
    ecrirefichier(chemin("f"), fichierenregistrements({"un", "deux", "trois"}));
    fente.ouvrirenreg(chemin("f"));
    fente.ecrireenreg(24, QStringLiteral(" 12"));
    for (int n = 4; n <= 23; ++n)
        EXPECT_EQ(fente.lireenreg(n), QString()) << n;
    EXPECT_EQ(fente.lireenreg(2), QStringLiteral("deux"));
    fente.fermerfichier();

    const QByteArray contenu = lirefichier(chemin("f"));
    ASSERT_EQ(contenu.size(), 24 * 128);
    EXPECT_EQ(contenu.left(3 * 128), fichierenregistrements({"un", "deux", "trois"}));
    EXPECT_EQ(contenu.mid(3 * 128, 20 * 128), QByteArray(20 * 128, '\0'));
    EXPECT_EQ(contenu.mid(2944, 5), QByteArray("\x03\x00\x20\x31\x32", 5));
}

TEST_F(FichierEnreg, LimiteDe126OctetsEnWindows1252)
{
    fente.ouvrirenreg(chemin("f"));
    const QString accents(126, QChar(u'é'));
    fente.ecrireenreg(1, accents);
    EXPECT_EQ(fente.lireenreg(1), accents);
    EXPECT_THROW(fente.ecrireenreg(2, QString(127, QChar(u'a'))), Echec);
    fente.fermerfichier();
    EXPECT_EQ(QFileInfo(chemin("f")).size(), 128); // nothing written for the refused text
    EXPECT_EQ(lirefichier(chemin("f")).mid(2, 1), QByteArray("\xe9"));
}

TEST_F(FichierEnreg, EnregistrementEndommageEstUnEchecDeLecture)
{
    QByteArray contenu = fichierenregistrements({"MAJQZ"});
    contenu += QByteArray("\x7f\x00", 2) + QByteArray(126, 'x'); // count 127
    contenu += QByteArray("\x10\x00"
                          "abc",
                          5);         // runs past the end
    contenu += QByteArray("\x05", 1); // a lone byte
    ecrirefichier(chemin("f"), contenu);
    fente.ouvrirenreg(chemin("f"));
    EXPECT_EQ(fente.lireenreg(1), QStringLiteral("MAJQZ"));
    EXPECT_THROW(fente.lireenreg(2), Echec);
    EXPECT_THROW(fente.lireenreg(3), Echec);
    EXPECT_EQ(fente.lireenreg(5), QString());
    fente.fermerfichier();

    ecrirefichier(chemin("g"), QByteArray("\x03\x00"
                                          "abc",
                                          5)); // short last record, text complete
    fente.ouvrirenreg(chemin("g"));
    EXPECT_EQ(fente.lireenreg(1), QStringLiteral("abc"));
}

TEST_F(FichierEnreg, SlotDejaOuvertNumerosHorsLimitesEtSlotFerme)
{
    EXPECT_THROW(fente.lireenreg(1), Echec);
    fente.ouvrirenreg(chemin("a"));
    EXPECT_THROW(fente.ouvrirenreg(chemin("b")), Echec);
    EXPECT_THROW(fente.lireenreg(0), Echec);
    EXPECT_THROW(fente.lireenreg(32768), Echec);
    EXPECT_THROW(fente.ecrireenreg(0, "x"), Echec);
}

TEST_F(FichierEnreg, OuvertureImpossible)
{
    QDir(dossier.path()).mkdir("dossier");
    ecrirefichier(chemin("fichier"), "x");
    for (const QString& c : {chemin("manque/f"), chemin("dossier"), chemin("fichier/sous"), QString()})
        EXPECT_THROW(fente.ouvrirenreg(c), Echec) << c.toStdString();
    EXPECT_FALSE(fente.ouverte());
    ::mkfifo(QFile::encodeName(chemin("fifo")).constData(), 0600);
    EXPECT_THROW(fente.ouvrirenreg(chemin("fifo")), Echec); // refused without blocking
}

TEST_F(FichierEnreg, LectureSeuleQuandLEcritureEstRefusee)
{
    // Root writes to any file whatever its permission bits, so the opening
    // runs in a child that has become an unprivileged user.
    if (::geteuid() != 0)
        GTEST_SKIP() << "covered by the unprivileged run";
    ecrirefichier(chemin("ro"), fichierenregistrements({"lu"}));
    ::chmod(QFile::encodeName(chemin("ro")).constData(), 0444);
    ::chmod(QFile::encodeName(dossier.path()).constData(), 0755);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        Fente f;
        try {
            f.ouvrirenreg(chemin("ro"));
            if (f.lireenreg(1) != QStringLiteral("lu"))
                ::_exit(4);
            try {
                f.ecrireenreg(1, "x");
                ::_exit(5);
            } catch (const Echec&) {
            }
        } catch (...) {
            ::_exit(6);
        }
        ::_exit(0);
    }
    int statut = 0;
    ::waitpid(pid, &statut, 0);
    ASSERT_TRUE(WIFEXITED(statut));
    if (WEXITSTATUS(statut) == 3)
        GTEST_SKIP() << "cannot switch to an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(statut), 0);
    EXPECT_EQ(lirefichier(chemin("ro")), fichierenregistrements({"lu"}));
}

TEST_F(FichierEnreg, EffacerFichier)
{
    ecrirefichier(chemin("x"), "x");
    effacerfichier(chemin("x"));
    EXPECT_FALSE(QFileInfo::exists(chemin("x")));
    EXPECT_THROW(effacerfichier(chemin("x")), Echec);
    QDir(dossier.path()).mkdir("d");
    EXPECT_THROW(effacerfichier(chemin("d")), Echec);
}
