#include "dossiers.h"
#include "base/echec.h"
#include "records/nomswindows.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velorine;
using namespace velorine::test;

TEST(AvecSeparateur, JamaisDouble)
{
    EXPECT_EQ(avecseparateur(QStringLiteral("/a/b")), QStringLiteral("/a/b/"));
    EXPECT_EQ(avecseparateur(QStringLiteral("/a/b/")), QStringLiteral("/a/b/"));
    EXPECT_EQ(avecseparateur(QStringLiteral("/")), QStringLiteral("/"));
}

TEST(ResoudreNom, NomsWindowsSansEgardALaCasse)
{
    QTemporaryDir d;
    const QString racine = d.path();
    QDir(racine).mkpath("Donnees/Sons");
    ecrirefichier(racine + "/lecon.dat", "x");
    ecrirefichier(racine + "/Donnees/Sons/bip.wav", "x");
    ecrirefichier(racine + "/Twin.txt", "x");
    ecrirefichier(racine + "/TWIN.TXT", "x");

    const std::pair<QString, QString> cas[] = {
        {"LECON.DAT", "/lecon.dat"},
        {"lecon.dat", "/lecon.dat"},
        {"NOUVEAU.DAT", "/NOUVEAU.DAT"},
        {"DONNEES\\SONS\\BIP.WAV", "/Donnees/Sons/bip.wav"},
        {"donnees/sons/neuf.wav", "/Donnees/Sons/neuf.wav"},
        {"MANQUE\\A.DAT", "/MANQUE/A.DAT"},
        {"Donnees\\..\\LECON.DAT", "/lecon.dat"},
        {".\\lecon.dat", "/lecon.dat"},
        {"Donnees\\\\Sons\\bip.wav", "/Donnees/Sons/bip.wav"},
        {"TWIN.TXT", "/TWIN.TXT"}, // an exact match wins
        {"twin.txt", "/Twin.txt"},
        {"", ""},
    };
    for (const auto& [nom, attendu] : cas)
        EXPECT_EQ(resoudrenom(racine, nom), racine + attendu) << nom.toStdString();
    EXPECT_EQ(resoudrenom(racine + "/", "LECON.DAT"), racine + "/lecon.dat");
}

TEST(ResoudreNom, NomsHostilesRefuses)
{
    QTemporaryDir d;
    QDir(d.path()).mkdir("sous");
    for (const QString& nom : QStringList{"..\\..\\x", "..\\x", "sous\\..\\..\\x",
                                          "/etc/x",    "\\x",   "C:\\x",
                                          "c:x",       "../x",  QString("a") + QChar(u'\0') + "b",
                                          "a\x1b[2Jb", "a\ab",  "a\rb",
                                          "a\nb",      "a\x7f", "a<b",
                                          "a>b",       "a:b",   "sous\\a:b",
                                          "a\"b",      "a|b",   "a?b",
                                          "a*.dat"})
        EXPECT_THROW(resoudrenom(d.path(), nom), Echec) << nom.toStdString();
}

// A folder of thousands of entries whose names differ only in case, read
// once for a whole run or afresh for each name: every name resolves the
// same way, the exact entry when there is one, otherwise the variant
// closest to the name as written, otherwise the name as written.
TEST(ResoudreNom, UnGrandDossierDeVariantesDeCasse)
{
    QTemporaryDir d;
    const QString racine = d.path();
    ASSERT_TRUE(QDir(racine).mkdir("Images"));
    const int n = 1200;
    const auto nom = [](const char* motif, int i) { return QString::asprintf(motif, i); };
    for (int i = 0; i < n; ++i) {
        ecrirefichier(racine + "/Images/" + nom("i%04d.png", i), "x");
        if (i % 2 == 0)
            ecrirefichier(racine + "/Images/" + nom("I%04d.PNG", i), "x");
        if (i % 3 == 0)
            ecrirefichier(racine + "/Images/" + nom("I%04d.png", i), "x");
    }
    // name asked -> entry expected, under Images
    std::vector<std::pair<QString, QString>> cas;
    for (int i = 0; i < n; ++i) {
        cas.emplace_back(nom("IMAGES\\i%04d.png", i), nom("i%04d.png", i));
        if (i % 2 == 0)
            cas.emplace_back(nom("images\\I%04d.PNG", i), nom("I%04d.PNG", i));
        if (i % 3 == 0)
            cas.emplace_back(nom("Images/I%04d.png", i), nom("I%04d.png", i));
        // "i....PNG" is one character from "I....PNG", three from the
        // others.
        cas.emplace_back(nom("images\\i%04d.PNG", i), nom(i % 2 == 0 ? "I%04d.PNG" : "i%04d.png", i));
        // "I....pNG": two from "I....PNG", three from "I....png", four
        // from "i....png".
        cas.emplace_back(nom("IMAGES\\I%04d.pNG", i), nom(i % 2 == 0   ? "I%04d.PNG"
                                                          : i % 3 == 0 ? "I%04d.png"
                                                                       : "i%04d.png",
                                                          i));
        cas.emplace_back(nom("IMAGES\\j%04d.PNG", i), nom("j%04d.PNG", i));
    }
    // Afresh, each name reads the whole folder: a sample is enough.
    const auto verifier = [&](std::size_t pas) {
        for (std::size_t k = 0; k < cas.size(); k += pas)
            ASSERT_EQ(resoudrenom(racine, cas[k].first), racine + "/Images/" + cas[k].second)
                << cas[k].first.toStdString();
    };
    verifier(37);
    MemoireNoms noms;
    verifier(1);
}

// Within a run, the entries the run itself makes and removes are known
// without reading the folder again: a later name in another case finds the
// file the run made, and no longer finds one it removed.
TEST(ResoudreNom, LaMemoireSuitLesEntreesDuParcours)
{
    QTemporaryDir d;
    const QString racine = d.path();
    ecrirefichier(racine + "/vieux.dat", "x");
    MemoireNoms noms;
    EXPECT_EQ(resoudrenom(racine, "NOUVEAU.DAT"), racine + "/NOUVEAU.DAT");
    EXPECT_EQ(resoudrenom(racine, "VIEUX.DAT"), racine + "/vieux.dat");
    ecrirefichier(racine + "/NOUVEAU.DAT", "x");
    entreecreee(racine + "/NOUVEAU.DAT");
    QFile::remove(racine + "/vieux.dat");
    entreeotee(racine + "/vieux.dat");
    {
        MemoireNoms interieure; // the outer one serves
        EXPECT_EQ(resoudrenom(racine + "/", "nouveau.dat"), racine + "/NOUVEAU.DAT");
    }
    EXPECT_EQ(resoudrenom(racine, "nouveau.dat"), racine + "/NOUVEAU.DAT");
    EXPECT_EQ(resoudrenom(racine, "VIEUX.DAT"), racine + "/VIEUX.DAT");
}
