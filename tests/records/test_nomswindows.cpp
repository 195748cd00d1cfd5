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
