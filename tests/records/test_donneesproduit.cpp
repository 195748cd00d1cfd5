// The product's two data files: the level in record 24 of TEMPO.QZS, the
// update-list address in record 7 of PARANET.LST.

#include "records/donneesproduit.h"
#include "dossiers.h"
#include "base/echec.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velorine;
using namespace velorine::test;

namespace {

class DonneesProduit : public ::testing::Test {
protected:
    QString chemin(const QString& nom) const { return dossier.filePath(nom); }
    // A TEMPO.QZS whose record 24 holds texte (records 1 to 23 named).
    QString tempoavec(const QString& texte)
    {
        QStringList enregs;
        for (int n = 1; n <= 23; ++n)
            enregs.append(QStringLiteral("r%1").arg(n));
        enregs.append(texte);
        ecrirefichier(chemin("TEMPO.QZS"), fichierenregistrements(enregs));
        return chemin("TEMPO.QZS");
    }
    QTemporaryDir dossier;
    Fente fente;
};

struct CasNiveau {
    const char* texte;
    int niveau;
};

} // namespace

TEST_F(DonneesProduit, NiveauLuParLaRegleDuNombreEnTete)
{
    const CasNiveau cas[] = {
        {" 7", 7},  {"3.5", 4},  {"2.5", 2},   {"4.5", 4}, {"5.5", 6},        {"", 0},
        {"abc", 0}, {"7abc", 7}, {" 1 2", 12}, {"-3", -3}, {" 32767", 32767}, {"-32768", -32768},
    };
    for (const CasNiveau& c : cas) {
        const QString f = tempoavec(QString::fromLatin1(c.texte));
        EXPECT_EQ(donnees::lireniveau(fente, f), c.niveau) << c.texte;
        EXPECT_FALSE(fente.ouverte()) << c.texte;

        std::int16_t niveau = 99;
        donnees::lireniveauignorer(fente, f, niveau);
        EXPECT_EQ(niveau, c.niveau) << c.texte;
        EXPECT_FALSE(fente.ouverte()) << c.texte;
    }
}

TEST_F(DonneesProduit, NiveauAuDelaDeLaFinDuFichierVautZero)
{
    ecrirefichier(chemin("TEMPO.QZS"), fichierenregistrements({"un", "deux", "trois"}));
    EXPECT_EQ(donnees::lireniveau(fente, chemin("TEMPO.QZS")), 0);
    std::int16_t niveau = 5;
    donnees::lireniveauignorer(fente, chemin("TEMPO.QZS"), niveau);
    EXPECT_EQ(niveau, 0);
}

TEST_F(DonneesProduit, NiveauHorsDes16BitsEchoueOuGardeLaValeurPrecedente)
{
    for (const char* texte : {"40000", "-32769", "1E10"}) {
        const QString f = tempoavec(QString::fromLatin1(texte));
        EXPECT_THROW(donnees::lireniveau(fente, f), Echec) << texte;
        fente.fermerfichier(); // the caller's failure block closes the slot

        std::int16_t niveau = 5;
        donnees::lireniveauignorer(fente, f, niveau);
        EXPECT_EQ(niveau, 5) << texte;
        EXPECT_FALSE(fente.ouverte());
    }
}

TEST_F(DonneesProduit, FichierIlliblePourLeLecteurStrictEtZeroPourLeChoix)
{
    // A folder where the settings file should be: it cannot be opened.
    ASSERT_TRUE(QDir(dossier.path()).mkdir("TEMPO.QZS"));
    EXPECT_THROW(donnees::lireniveau(fente, chemin("TEMPO.QZS")), Echec);
    fente.fermerfichier();
    std::int16_t niveau = 5;
    donnees::lireniveauignorer(fente, chemin("TEMPO.QZS"), niveau);
    EXPECT_EQ(niveau, 0); // nothing read: the empty text gives level 0
    EXPECT_FALSE(fente.ouverte());

    ASSERT_TRUE(QDir(dossier.path()).mkdir("PARANET.LST"));
    EXPECT_THROW(donnees::lireadresse(fente, chemin("PARANET.LST")), Echec);
}

TEST_F(DonneesProduit, FichiersAbsentsCreesVides)
{
    EXPECT_EQ(donnees::lireniveau(fente, chemin("TEMPO.QZS")), 0);
    EXPECT_EQ(donnees::lireadresse(fente, chemin("PARANET.LST")), QString());
    for (const char* nom : {"TEMPO.QZS", "PARANET.LST"}) {
        const QFileInfo info(chemin(QString::fromLatin1(nom)));
        EXPECT_TRUE(info.isFile()) << nom;
        EXPECT_EQ(info.size(), 0) << nom;
    }
    EXPECT_EQ(contenudossier(dossier.path()), QStringList({"PARANET.LST", "TEMPO.QZS"}));
}

TEST_F(DonneesProduit, AdresseVerbatim)
{
    const QStringList cas = {
        QStringLiteral("  http://ecole.example/maj/LISTE.MAJ  "),
        QStringLiteral("HTTP://Serveur/Liste.Maj"),
        QString(),
    };
    for (const QString& adresse : cas) {
        ecrirefichier(chemin("PARANET.LST"), fichierenregistrements({"1", "2", "3", "4", "5", "6", adresse, "8"}));
        EXPECT_EQ(donnees::lireadresse(fente, chemin("PARANET.LST")), adresse);
        EXPECT_FALSE(fente.ouverte());
    }
}

TEST_F(DonneesProduit, EcrireLeNiveauDansUnFichierDeTroisEnregistrements)
{
    const QByteArray avant = fichierenregistrements({"un", "deux", "trois"});
    ecrirefichier(chemin("TEMPO.QZS"), avant);
    donnees::ecrireniveau(fente, chemin("TEMPO.QZS"), 12);
    EXPECT_FALSE(fente.ouverte());

    const QByteArray apres = lirefichier(chemin("TEMPO.QZS"));
    ASSERT_EQ(apres.size(), 24 * 128);
    EXPECT_EQ(apres.left(3 * 128), avant);
    EXPECT_EQ(apres.mid(3 * 128, 20 * 128), QByteArray(20 * 128, '\0'));
    EXPECT_EQ(apres.mid(2944, 5), QByteArray("\x03\x00\x20\x31\x32", 5));
    EXPECT_EQ(apres.mid(2949), QByteArray(128 - 5, '\0'));
    EXPECT_EQ(donnees::lireniveau(fente, chemin("TEMPO.QZS")), 12);
}

TEST_F(DonneesProduit, EcrireLeNiveauGardeChaqueAutreOctet)
{
    // 30 records of the product, then a tail that is not a whole record.
    QByteArray avant;
    for (int n = 1; n <= 30; ++n) {
        QByteArray r(128, static_cast<char>(n));
        r[0] = 3;
        r[1] = 0;
        avant += r;
    }
    avant += QByteArray("queue", 5);
    ecrirefichier(chemin("TEMPO.QZS"), avant);

    donnees::ecrireniveau(fente, chemin("TEMPO.QZS"), -3);
    const QByteArray apres = lirefichier(chemin("TEMPO.QZS"));
    ASSERT_EQ(apres.size(), avant.size());
    EXPECT_EQ(apres.left(2944), avant.left(2944));
    EXPECT_EQ(apres.mid(2944, 4), QByteArray("\x02\x00-3", 4));
    EXPECT_EQ(apres.mid(3072), avant.mid(3072));
    EXPECT_EQ(donnees::lireniveau(fente, chemin("TEMPO.QZS")), -3);

    donnees::ecrireniveau(fente, chemin("TEMPO.QZS"), 0);
    EXPECT_EQ(lirefichier(chemin("TEMPO.QZS")).mid(2944, 4), QByteArray("\x02\x00 0", 4));
}

TEST_F(DonneesProduit, EcrireLeNiveauImpossibleEchoueEtFermeLaFente)
{
    ASSERT_TRUE(QDir(dossier.path()).mkdir("TEMPO.QZS"));
    EXPECT_THROW(donnees::ecrireniveau(fente, chemin("TEMPO.QZS"), 3), Echec);
    EXPECT_FALSE(fente.ouverte());
    EXPECT_THROW(donnees::ecrireniveau(fente, chemin("manque/TEMPO.QZS"), 3), Echec);
    EXPECT_FALSE(fente.ouverte());
}
