// The unattended installation, through the real executable.

#include "dossiers.h"
#include "faux.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velorine::test;

namespace {

struct Resultat {
    int code = -1;
    QString sortie;
    QString erreurs;
};

Resultat lancer(const QStringList& arguments, const QStringList& avant = {})
{
    QProcess p;
    QStringList tout = avant;
    tout << QStringLiteral(VELORINE_EXE) << arguments;
    p.start(tout.takeFirst(), tout);
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
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
    EXPECT_EQ(r.erreurs, "velorine-maj : --unattended demande --install FICHIER.maj, --auto ou --check\n"
                         "Essayez « velorine-maj --help ».\n");
}
