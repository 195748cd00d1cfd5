// Whether a command line runs the VELORINE.EXE of a product folder: natively
// or under wine, by an absolute or a relative name, in any letter case.

#include "platform/produitencours.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using namespace velorine;

TEST(ProduitEnCours, LaLigneDeCommandeNommeLeVelorineDuDossier)
{
    QTemporaryDir d;
    const QString produit = d.filePath("produit");
    QDir().mkpath(produit);
    QDir().mkpath(d.filePath("autre"));
    QString windows = produit;
    windows.replace('/', '\\');
    struct Cas {
        const char* nom;
        QByteArray ligne;
        QString courant;
        bool encours;
    };
    const QByteArray p = QFile::encodeName(produit);
    const std::vector<Cas> cas{
        {"nom absolu", p + "/VELORINE.EXE" + '\0', QString(), true},
        {"autre casse", p + "/Velorine.exe" + '\0', QString(), true},
        {"avec un / de trop", p + "//VELORINE.EXE" + '\0', QString(), true},
        {"sous wine, lecteur Z:", "wine64-preloader\0Z:" + windows.toUtf8() + "\\velorine.exe" + '\0', QString(), true},
        {"sous wine, autre lecteur", QByteArray("C:\\Velorine\\VELORINE.EXE\0", 25), QString(), true},
        {"relatif, dossier courant connu", QByteArray("./VELORINE.EXE\0", 15), produit, true},
        {"relatif, dossier courant caché", QByteArray("VELORINE.EXE\0", 13), QString(), true},
        {"relatif, autre dossier courant", QByteArray("VELORINE.EXE\0", 13), d.filePath("autre"), false},
        {"d'un autre dossier", QFile::encodeName(d.filePath("autre")) + "/VELORINE.EXE" + '\0', QString(), false},
        {"autre programme du dossier", p + "/velorine-maj\0--product-dir\0" + p + '\0', QString(), false},
        {"nom qui le contient", p + "/VELORINE.EXE.bak" + '\0', QString(), false},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        EXPECT_EQ(lancedepuis(c.ligne, c.courant, produit), c.encours);
    }
}

TEST(ProduitEnCours, CeProcessusNEstPasVelorine)
{
    QTemporaryDir d;
    EXPECT_FALSE(produitencours(d.path()));
}
