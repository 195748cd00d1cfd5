#include "dossiers.h"
#include "faux.h"
#include "updatefile/installation.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace velorine;
using namespace velorine::test;

namespace {

const QString titreimpossible = QStringLiteral("Mise à jour impossible");

class Installation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(racine.isValid());
        QDir(racine.path()).mkpath("cle/DONNEES");
        QDir(racine.path()).mkpath("produit/Donnees");
        etat.dossierproduit = produit();
    }

    QString cle() const { return racine.filePath("cle"); }
    QString produit() const { return racine.filePath("produit"); }
    QString maj() const { return racine.filePath("cle/DECEMBRE.MAJ"); }

    // Runs the installation; true when it ended in relancer().
    bool installe(const QString& ficharge, const QString& dossier)
    {
        auto services = faux.services();
        try {
            installer(etat, services, ficharge, dossier);
        } catch (const FinProcessus&) {
            return true;
        }
        return false;
    }
    bool installe() { return installe(maj(), cle()); }

    Boite echeccopie(const QString& nom) const
    {
        return {Icone::Erreur, titreimpossible,
                "Fichier " + cle() + "/" + nom + " introuvable ou déjà ouvert ou espace disque insuffisant."};
    }

    QTemporaryDir racine;
    Faux faux;
    Etat etat;
};

const Boite reussite{Icone::Information, QStringLiteral("Mise à jour terminée"),
                     QStringLiteral("La mise à jour a réussi")};

} // namespace

TEST_F(Installation, CopieJusquAFiniPuisRelance)
{
    ecrirefichier(cle() + "/LECON1.DAT", "nouvelle leçon");
    ecrirefichier(cle() + "/DONNEES/SONS.DAT", "nouveaux sons");
    ecrirefichier(produit() + "/lecon1.dat", "ancienne leçon, plus longue que la nouvelle");
    ecrirefichier(produit() + "/Donnees/sons.dat", "anciens sons");
    QByteArray contenu = fichierenregistrements({"MAJQZ", "LECON1.DAT", "DONNEES\\SONS.DAT", "FINI", "ABSENT.DAT"});
    contenu += QByteArray("\xff\xff", 2); // damaged, after FINI: never read
    ecrirefichier(maj(), contenu);

    EXPECT_TRUE(installe());

    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{reussite});
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit() + "/VELORINE.EXE"});
    EXPECT_EQ(lirefichier(produit() + "/lecon1.dat"), QByteArray("nouvelle leçon"));
    EXPECT_EQ(lirefichier(produit() + "/Donnees/sons.dat"), QByteArray("nouveaux sons"));
    EXPECT_EQ(contenudossier(produit()), (QStringList{"Donnees", "Donnees/sons.dat", "lecon1.dat"}));
    EXPECT_FALSE(etat.fente.ouverte());
}

TEST_F(Installation, FiniEnEnregistrement2NeCopieRien)
{
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "FINI"}));
    EXPECT_TRUE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{reussite});
    EXPECT_EQ(contenudossier(produit()), QStringList{"Donnees"});
}

TEST_F(Installation, FichierNonValideRelanceLeProduit)
{
    struct Cas {
        const char* nom;
        std::function<void(const QString&)> preparer;
    };
    const Cas cas[] = {
        {"minuscules",
         [](const QString& c) {
             ecrirefichier(c, fichierenregistrements({"majqz", "FINI"}));
         }},
        {"blanc final",
         [](const QString& c) {
             ecrirefichier(c, fichierenregistrements({"MAJQZ ", "FINI"}));
         }},
        {"vide", [](const QString& c) { ecrirefichier(c, QByteArray()); }},
        {"enregistrement endommagé", [](const QString& c) { ecrirefichier(c, QByteArray("\x05\x00MA", 4)); }},
        {"dossier", [](const QString& c) { QDir().mkpath(c); }},
        {"dossier absent", [](const QString&) {}},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        QTemporaryDir d;
        const QString chemin =
            std::string(c.nom) == "dossier absent" ? d.filePath("absent/X.MAJ") : d.filePath("X.MAJ");
        c.preparer(chemin);
        faux = {};
        EXPECT_TRUE(installe(chemin, d.path()));
        EXPECT_EQ(faux.dialogues.boites,
                  std::vector<Boite>({{Icone::Erreur, titreimpossible, "Fichier " + chemin + " non valide"}}));
        EXPECT_EQ(faux.coquille.demarres.size(), 1);
        EXPECT_FALSE(etat.fente.ouverte());
    }
}

TEST_F(Installation, CheminTapeVersUnFichierAbsentLaisseUnFichierVide)
{
    const QString tape = cle() + "/TAPE.MAJ";
    EXPECT_TRUE(installe(tape, cle()));
    EXPECT_EQ(faux.dialogues.boites.at(0).texte, "Fichier " + tape + " non valide");
    EXPECT_TRUE(QFileInfo::exists(tape));
    EXPECT_EQ(QFileInfo(tape).size(), 0);
}

TEST_F(Installation, TexteVideOuBlancNeFaitRien)
{
    for (const QString& texte : {QString(), QStringLiteral("   ")}) {
        EXPECT_FALSE(installe(texte, cle()));
        EXPECT_TRUE(faux.dialogues.boites.empty());
        EXPECT_TRUE(faux.coquille.demarres.isEmpty());
    }
}

TEST_F(Installation, FichierManquantLaisseLaFenetreOuverteEtGardeLesCopiesFaites)
{
    ecrirefichier(cle() + "/A.DAT", "a");
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "A.DAT", "ABSENT.DAT", "FINI"}));

    EXPECT_FALSE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie("ABSENT.DAT")});
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
    EXPECT_FALSE(etat.fente.ouverte());
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("a"));

    // A second press starts again from record 2 and copies A.DAT once more.
    ecrirefichier(cle() + "/A.DAT", "a2");
    ecrirefichier(cle() + "/ABSENT.DAT", "b");
    faux = {};
    EXPECT_TRUE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{reussite});
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("a2"));
}

TEST_F(Installation, SansFiniLeMessageNommeLeDossierSource)
{
    ecrirefichier(cle() + "/A.DAT", "a");
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "A.DAT"}));
    EXPECT_FALSE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie("")});
}

TEST_F(Installation, EnregistrementIlisibleMontreLeTexteCourant)
{
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ"}) + QByteArray("\x7f\x00", 2) + QByteArray(126, 'x'));
    EXPECT_FALSE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie("MAJQZ")});
}

TEST_F(Installation, NomsHostilesRefusesSansRienEcrireAuDehors)
{
    ecrirefichier(racine.filePath("x"), "hors du produit");
    ecrirefichier(cle() + "/x", "piège");
    ecrirefichier(maj(), QByteArray());
    const QStringList avant = contenudossier(racine.path());
    for (const char* const texte : {"..\\x", "..\\..\\x", "DONNEES\\..\\..\\x", "/etc/x", "\\x", "C:\\x"}) {
        const QString nom = QString::fromUtf8(texte);
        SCOPED_TRACE(nom.toStdString());
        faux = {};
        ecrirefichier(maj(), fichierenregistrements({"MAJQZ", nom, "FINI"}));
        EXPECT_FALSE(installe());
        EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie(nom)});
        EXPECT_EQ(contenudossier(racine.path()), avant);
        EXPECT_EQ(lirefichier(racine.filePath("x")), QByteArray("hors du produit"));
    }
}

TEST_F(Installation, UnNomRemplaceLeFichierExistantSansEgardALaCasse)
{
    ecrirefichier(cle() + "/lecon.dat", "neuf");
    ecrirefichier(produit() + "/Lecon.Dat", "vieux");
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "LECON.DAT", "FINI"}));
    EXPECT_TRUE(installe());
    EXPECT_EQ(contenudossier(produit()), (QStringList{"Donnees", "Lecon.Dat"}));
    EXPECT_EQ(lirefichier(produit() + "/Lecon.Dat"), QByteArray("neuf"));
}

// Names made by the run itself are found by its later names in another
// case: a file the update file names twice is one file, the last copy
// winning, in the product as on the medium.
TEST_F(Installation, UnFichierNeufNommeDeuxFoisEstUnSeulFichier)
{
    ecrirefichier(cle() + "/DONNEES/Neuf.dat", "premier");
    ecrirefichier(cle() + "/DONNEES/NEUF.DAT", "second");
    ecrirefichier(maj(), fichierenregistrements(
                             {"MAJQZ", "Donnees\\Neuf.dat", "donnees\\NEUF.DAT", "DONNEES\\neuf.dat", "FINI"}));
    EXPECT_TRUE(installe());
    EXPECT_EQ(contenudossier(produit() + "/Donnees"), QStringList{"Neuf.dat"});
    // "neuf.dat" is closer to "Neuf.dat" than to "NEUF.DAT" on the medium.
    EXPECT_EQ(lirefichier(produit() + "/Donnees/Neuf.dat"), QByteArray("premier"));
}

TEST_F(Installation, LeDossierSourceEstCeluiDeLaListeDesFichiers)
{
    QTemporaryDir ailleurs;
    ecrirefichier(ailleurs.filePath("A.DAT"), "de la liste");
    ecrirefichier(cle() + "/A.DAT", "à côté du fichier");
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));
    EXPECT_TRUE(installe(maj(), ailleurs.path()));
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("de la liste"));
}

TEST_F(Installation, DestinationImpossibleLaisseLaCibleIntacte)
{
    ecrirefichier(cle() + "/A.DAT", "a");
    QDir(produit()).mkdir("A.DAT"); // a folder where the file should go
    ecrirefichier(produit() + "/A.DAT/garde", "g");
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));
    EXPECT_FALSE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie("A.DAT")});
    EXPECT_EQ(contenudossier(produit()), (QStringList{"A.DAT", "A.DAT/garde", "Donnees"}));
}

TEST_F(Installation, SousDossierAbsentDuProduit)
{
    QDir(cle()).mkpath("NEUF");
    ecrirefichier(cle() + "/NEUF/A.DAT", "a");
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "NEUF\\A.DAT", "FINI"}));
    EXPECT_FALSE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie("NEUF\\A.DAT")});
}

TEST_F(Installation, FenteRestéeOuverteEstFermeeDAbord)
{
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "FINI"}));
    etat.fente.ouvrirenreg(racine.filePath("reste.ouvert"));
    EXPECT_TRUE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{reussite});
}

TEST_F(Installation, GardeLesDroitsDeLaSource)
{
    ecrirefichier(cle() + "/OUTIL", "#!/bin/sh\n");
    ::chmod(QFile::encodeName(cle() + "/OUTIL").constData(), 0755);
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "OUTIL", "FINI"}));
    EXPECT_TRUE(installe());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(produit() + "/OUTIL").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(Installation, DisquePleinNeLaissePasDeFichierAMoitieEcrit)
{
    // A tiny file system as the product folder.
    if (::mount("tmpfs", QFile::encodeName(produit()).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    struct Demonter {
        QString d;
        ~Demonter() { ::umount2(QFile::encodeName(d).constData(), MNT_DETACH); }
    } demonter{produit()};

    const QByteArray ancien(40 * 1024, 'o');
    ecrirefichier(produit() + "/GROS.DAT", ancien);
    ecrirefichier(cle() + "/GROS.DAT", QByteArray(60 * 1024, 'n'));
    ecrirefichier(maj(), fichierenregistrements({"MAJQZ", "GROS.DAT", "FINI"}));

    EXPECT_FALSE(installe());
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{echeccopie("GROS.DAT")});
    EXPECT_EQ(lirefichier(produit() + "/GROS.DAT"), ancien);
    EXPECT_EQ(contenudossier(produit()), QStringList{"GROS.DAT"});
}
