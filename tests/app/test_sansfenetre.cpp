// The unattended installation, through the real executable.

#include "disque.h"
#include "dossiers.h"
#include "faux.h"
#include "processus.h"
#include "valgrind.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velorine::test;

namespace {

Resultat lancer(const QStringList& arguments, const QStringList& avant = {})
{
    const Resultat r = lancerprogramme(avant + QStringList{QStringLiteral(VELORINE_EXE)} + arguments);
    EXPECT_TRUE(r.fini);
    return r;
}

class SansFenetre : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(racine.path()).mkpath("cle");
        QDir(racine.path()).mkpath("produit");
        // The product must not start in unattended runs.
        ecrirefichier(produit() + "/VELORINE.EXE", "#!/bin/sh\ntouch \"$(dirname \"$0\")/DEMARRE\"\n");
        ::chmod(QFile::encodeName(produit() + "/VELORINE.EXE").constData(), 0755);
    }
    QString produit() const { return racine.filePath("produit"); }
    QString cle() const { return racine.filePath("cle"); }
    Resultat installer(const QString& maj, const QStringList& avant = {})
    {
        return lancer({"--product-dir", produit(), "--unattended", "--install", maj}, avant);
    }
    QTemporaryDir racine;
};

} // namespace

TEST_F(SansFenetre, ReussiteCodeZeroEtUneLigne)
{
    ecrirefichier(cle() + "/A.DAT", "neuf");
    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));
    const Resultat r = installer(cle() + "/M.MAJ");
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.erreurs, "Mise à jour terminée: La mise à jour a réussi\n");
    EXPECT_EQ(r.sortie, QString());
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("neuf"));
    EXPECT_FALSE(QFileInfo::exists(produit() + "/DEMARRE"));
}

TEST_F(SansFenetre, EchecsCodeUn)
{
    ecrirefichier(cle() + "/FAUX.MAJ", fichierenregistrements({"MAJQZ7INTERNET"}));
    Resultat r = installer(cle() + "/FAUX.MAJ");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + cle() + "/FAUX.MAJ non valide\n");

    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "ABSENT.DAT", "FINI"}));
    r = installer(cle() + "/M.MAJ");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + cle()
                             + "/ABSENT.DAT introuvable ou déjà ouvert ou espace disque insuffisant.\n");
    EXPECT_FALSE(QFileInfo::exists(produit() + "/DEMARRE"));
}

TEST_F(SansFenetre, ProduitNonInscriptiblePourUnUtilisateurOrdinaire)
{
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty() || ::geteuid() != 0)
        GTEST_SKIP() << "needs setpriv and root to run as an unprivileged user";
    ::chmod(QFile::encodeName(racine.path()).constData(), 0755);
    ecrirefichier(cle() + "/A.DAT", "neuf");
    ecrirefichier(produit() + "/A.DAT", "ancien");
    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));
    const Resultat r = installer(cle() + "/M.MAJ", {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + cle()
                             + "/A.DAT introuvable ou déjà ouvert ou espace disque insuffisant.\n");
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("ancien"));
    EXPECT_EQ(contenudossier(produit()), (QStringList{"A.DAT", "VELORINE.EXE"}));
}

// The unprivileged user may write in the product folder, so renaming over a
// file would succeed: a file this user may not write is still not replaced,
// as on a system where read-only files cannot be overwritten.
TEST_F(SansFenetre, UnFichierProtegeNEstPasRemplace)
{
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty() || ::geteuid() != 0)
        GTEST_SKIP() << "needs setpriv and root to run as an unprivileged user";
    ::chmod(QFile::encodeName(racine.path()).constData(), 0755);
    ::chmod(QFile::encodeName(produit()).constData(), 0777);
    const struct {
        const char* cas;
        uid_t proprietaire;
        mode_t mode;
        bool remplace;
    } cas[] = {
        {"lecture seule", 65534, 0444, false},
        {"à un autre utilisateur", 0, 0644, false},
        {"inscriptible", 65534, 0644, true},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.cas);
        ecrirefichier(cle() + "/A.DAT", "neuf");
        ecrirefichier(cle() + "/B.DAT", "neuf");
        ecrirefichier(produit() + "/B.DAT", "ancien");
        ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "A.DAT", "B.DAT", "FINI"}));
        const QByteArray b = QFile::encodeName(produit() + "/B.DAT");
        ASSERT_EQ(::chown(b.constData(), c.proprietaire, c.proprietaire), 0);
        ASSERT_EQ(::chmod(b.constData(), c.mode), 0);
        QFile::remove(produit() + "/A.DAT");

        const Resultat r = installer(cle() + "/M.MAJ", {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
        EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("neuf"));
        if (c.remplace) {
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(r.erreurs, "Mise à jour terminée: La mise à jour a réussi\n");
            EXPECT_EQ(lirefichier(produit() + "/B.DAT"), QByteArray("neuf"));
        } else {
            EXPECT_EQ(r.code, 1);
            EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + cle()
                                     + "/B.DAT introuvable ou déjà ouvert ou espace disque insuffisant.\n");
            EXPECT_EQ(lirefichier(produit() + "/B.DAT"), QByteArray("ancien"));
            struct stat st {};
            ASSERT_EQ(::stat(b.constData(), &st), 0);
            EXPECT_EQ(st.st_uid, c.proprietaire);
            EXPECT_EQ(st.st_mode & 07777, c.mode);
        }
        EXPECT_EQ(contenudossier(produit()), (QStringList{"A.DAT", "B.DAT", "VELORINE.EXE"}));
    }
}

// Links never carry a file from elsewhere into the product, nor a copy out
// of it: a link on the update medium (to a file, or a folder on the way) is
// not copied, and a folder link in the product is not written through.
TEST_F(SansFenetre, LiensRefusesDesDeuxCotes)
{
    QTemporaryDir dehors;
    ecrirefichier(dehors.filePath("shadow"), "secret");
    const auto lier = [](const QString& vers, const QString& nom) {
        ASSERT_EQ(::symlink(QFile::encodeName(vers).constData(), QFile::encodeName(nom).constData()), 0);
    };
    lier(dehors.filePath("shadow"), cle() + "/SHADOW.DAT");
    lier(dehors.path(), cle() + "/ETC");
    lier(dehors.path(), produit() + "/LIENDIR");
    QDir(cle()).mkpath("LIENDIR");
    ecrirefichier(cle() + "/LIENDIR/A.DAT", "neuf");
    const struct {
        const char* nom;
        QString fichier;
    } cas[] = {
        {"SHADOW.DAT", cle() + "/SHADOW.DAT"},
        {"ETC\\shadow", cle() + "/ETC\\shadow"},
        {"LIENDIR\\A.DAT", cle() + "/LIENDIR\\A.DAT"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", c.nom, "FINI"}));
        const Resultat r = installer(cle() + "/M.MAJ");
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + c.fichier
                                 + " introuvable ou déjà ouvert ou espace disque insuffisant.\n");
        EXPECT_FALSE(QFileInfo::exists(produit() + "/SHADOW.DAT"));
        EXPECT_FALSE(QFileInfo::exists(produit() + "/ETC"));
        EXPECT_EQ(contenudossier(dehors.path()), QStringList{"shadow"});
    }
}

// Under a file size limit (ulimit -f) a copy past it fails like a full
// disk, with the message, and the old file stays.
TEST_F(SansFenetre, LimiteDeTailleCommeUnDisquePlein)
{
    const QString bash = QStandardPaths::findExecutable("bash");
    if (bash.isEmpty())
        GTEST_SKIP() << "bash is not installed";
    ecrirefichier(cle() + "/GROS.DAT", QByteArray(300 * 1024, 'g'));
    ecrirefichier(produit() + "/GROS.DAT", "ancien");
    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "GROS.DAT", "FINI"}));
    const Resultat r = installer(cle() + "/M.MAJ", {bash, "-c", "ulimit -f 100; exec \"$0\" \"$@\""});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + cle()
                             + "/GROS.DAT introuvable ou déjà ouvert ou espace disque insuffisant.\n");
    EXPECT_EQ(lirefichier(produit() + "/GROS.DAT"), QByteArray("ancien"));
    EXPECT_EQ(contenudossier(produit()), (QStringList{"GROS.DAT", "VELORINE.EXE"}));
}

// Names Windows refuses are refused: a name with control characters is
// neither created nor echoed raw to the administrator's terminal.
TEST_F(SansFenetre, NomsAvecCaracteresDeControle)
{
    const QString nom = QStringLiteral("A\x1b]0;pirate\x07\x1b[2J\rB.DAT");
    ecrirefichier(cle() + "/" + nom, "neuf");
    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", nom, "FINI"}));
    const Resultat r = installer(cle() + "/M.MAJ");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.erreurs, "Mise à jour impossible: Fichier " + cle()
                             + "/A\\x1b]0;pirate\\x07\\x1b[2J\\x0dB.DAT introuvable ou déjà ouvert ou espace disque "
                               "insuffisant.\n");
    EXPECT_EQ(contenudossier(produit()), QStringList{"VELORINE.EXE"});

    for (const char* refuse : {"A<B.DAT", "A|B.DAT", "A?.DAT", "A*.DAT", "A:B.DAT", "A\"B.DAT"}) {
        SCOPED_TRACE(refuse);
        ecrirefichier(cle() + "/" + refuse, "neuf");
        ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", refuse, "FINI"}));
        EXPECT_EQ(installer(cle() + "/M.MAJ").code, 1);
        EXPECT_EQ(contenudossier(produit()), QStringList{"VELORINE.EXE"});
    }
}

// An unattended installation loses no memory: valgrind's leak check.
TEST_F(SansFenetre, SansFuiteDeMemoire)
{
    QString raison;
    const QStringList valgrind = prefixevalgrind(raison);
    if (valgrind.isEmpty())
        GTEST_SKIP() << qPrintable(raison);
    ecrirefichier(cle() + "/A.DAT", "neuf");
    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "A.DAT", "FINI"}));
    const Resultat r = installer(cle() + "/M.MAJ", valgrind);
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_TRUE(r.erreurs.endsWith("Mise à jour terminée: La mise à jour a réussi\n")) << r.erreurs.toStdString();
    EXPECT_EQ(lirefichier(produit() + "/A.DAT"), QByteArray("neuf"));
}

TEST(LigneDeCommande, AideVersionEtErreurs)
{
    Resultat r = lancer({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.sortie.startsWith("Utilisation : velorine-maj [OPTIONS]")) << r.sortie.toStdString();
    r = lancer({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.sortie.startsWith("velorine-maj ")) << r.sortie.toStdString();
    r = lancer({"--unattended"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.erreurs,
              "velorine-maj : --unattended demande --install FICHIER.maj, --auto, --check ou --mirror DOSSIER\n"
              "Essayez « velorine-maj --help ».\n");
}

// A copy that fails keeps the message of the program; --verbose adds, for
// the IT person, the file that could not be written, as this system names
// it, and the system's reason: a pupil without the right, a read-only
// file system.
TEST_F(SansFenetre, VerboseNommeLeFichierQuiNAPasPuEtreEcritEtPourquoi)
{
    const QString setpriv = QStandardPaths::findExecutable("setpriv");
    if (setpriv.isEmpty() || ::geteuid() != 0)
        GTEST_SKIP() << "needs setpriv and root to run as an unprivileged user";
    ::chmod(QFile::encodeName(racine.path()).constData(), 0755);
    ASSERT_TRUE(QDir().mkpath(cle() + "/DONNEES"));
    ASSERT_TRUE(QDir().mkpath(produit() + "/DONNEES"));
    ecrirefichier(cle() + "/DONNEES/SONS.DAT", "neuf");
    ecrirefichier(cle() + "/M.MAJ", fichierenregistrements({"MAJQZ", "DONNEES\\SONS.DAT", "FINI"}));
    for (const QString& f : {cle() + "/DONNEES/SONS.DAT", cle() + "/M.MAJ"})
        ::chmod(QFile::encodeName(f).constData(), 0644);
    ::chmod(QFile::encodeName(cle() + "/DONNEES").constData(), 0755);
    ::chmod(QFile::encodeName(cle()).constData(), 0755);

    const QString attendue = "Mise à jour impossible: Fichier " + cle()
                             + "/DONNEES\\SONS.DAT introuvable ou déjà ouvert ou espace disque insuffisant.";
    const auto verifier = [&](const Resultat& r, const QString& raison) {
        EXPECT_EQ(r.code, 1);
        const QStringList lignes = r.erreurs.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lignes.size(), 2) << r.erreurs.toStdString();
        const QString motif = "velorine-maj: copie de DONNEES\\\\SONS\\.DAT impossible : .* "
                              + QRegularExpression::escape(produit() + "/DONNEES/SONS.DAT") + ": " + raison;
        EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(motif)).match(lignes[0]).hasMatch())
            << lignes[0].toStdString();
        EXPECT_EQ(lignes[1], attendue);
        EXPECT_FALSE(QFileInfo::exists(produit() + "/DONNEES/SONS.DAT"));
    };

    // A pupil: the product folder is not theirs.
    const QStringList eleve{setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
    verifier(lancer({"--product-dir", produit(), "--unattended", "--install", cle() + "/M.MAJ", "--verbose"}, eleve),
             "Permission denied");
    // Without --verbose, the message alone.
    EXPECT_EQ(installer(cle() + "/M.MAJ", eleve).erreurs, attendue + "\n");

    // A read-only file system under the product.
    DisqueMinuscule disque(produit() + "/DONNEES", "1m");
    if (!disque.pret())
        GTEST_SKIP() << disque.raison().toStdString();
    QProcess remonter;
    remonter.start(QStringLiteral("mount"), {"-o", "remount,ro", produit() + "/DONNEES"});
    ASSERT_TRUE(remonter.waitForFinished(10000) && remonter.exitCode() == 0);
    verifier(lancer({"--product-dir", produit(), "--unattended", "--install", cle() + "/M.MAJ", "--verbose"}),
             "Read-only file system");
}
