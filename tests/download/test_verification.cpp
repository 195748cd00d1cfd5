// The check (--unattended --check), end to end: the real executable against
// a loopback HTTP server and a real product folder, which it never writes.

#include "dossiers.h"
#include "impression.h"
#include "processus.h"
#include "serveurs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace velorine::test;

namespace {

class Verification : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(racine.isValid());
        produit = racine.filePath(QStringLiteral("produit"));
        web = racine.filePath(QStringLiteral("web"));
        ASSERT_TRUE(QDir().mkpath(produit));
        ASSERT_TRUE(QDir().mkpath(web));
        serveur = std::make_unique<ServeurHttp>(web);
        ASSERT_TRUE(serveur->pret()) << qPrintable(serveur->erreur());
        QStringList enregs(24);
        enregs[23] = QStringLiteral(" 2");
        ecrirefichier(chemin(QStringLiteral("TEMPO.QZS")), fichierenregistrements(enregs));
        ecrirefichier(chemin(QStringLiteral("PARANET.LST")),
                      fichierenregistrements({"", "", "", "", "", "", serveur->url(QStringLiteral("/LISTE.MAJ"))}));
        for (int n : {3, 4, 5})
            ecrirefichier(web + QStringLiteral("/f%1.dat").arg(n), "Niveau " + QByteArray::number(n));
    }

    QString chemin(const QString& nom) const { return produit + u'/' + nom; }
    QString url(const QString& nom) const { return serveur->url(u'/' + nom); }

    // The list on the server: groups of level, address and name.
    void liste(const QStringList& enregs)
    {
        ecrirefichier(web + QStringLiteral("/LISTE.MAJ"),
                      fichierenregistrements(QStringList{QStringLiteral("MAJQZ7INTERNET")} + enregs));
    }

    // Every file of the product folder with its bytes, to show that the
    // check changed none.
    QStringList etatproduit() const
    {
        QStringList e;
        for (const QString& nom : contenudossier(produit))
            e << nom + u'='
                     + QString::fromLatin1(
                         QCryptographicHash::hash(lirefichier(chemin(nom)), QCryptographicHash::Sha256).toHex());
        return e;
    }

    Resultat verifier(const QStringList& prefixe = {})
    {
        QStringList tout = prefixe;
        tout << QStringLiteral(VELORINE_EXE) << "--product-dir" << produit << "--unattended"
             << "--check"
             << "--timeout"
             << "5";
        return lancerprogramme(tout, 60000);
    }

    QTemporaryDir racine;
    QString produit;
    QString web;
    std::unique_ptr<ServeurHttp> serveur;
};

TEST_F(Verification, UneMiseAJourAttendDix)
{
    liste({" 3", url("f3.dat"), "LECON3.DAT", " 5", url("f5.dat"), "DONNEES\\LECON5.DAT", " 1", url("f1.dat"),
           "LECON1.DAT", " 4", url("f4.dat"), "LECON4.DAT"});
    const QStringList avant = etatproduit();
    const Resultat r = verifier();
    EXPECT_EQ(r.code, 10) << r.erreurs.toStdString();
    EXPECT_EQ(r.sortie, "niveau actuel : 2\n"
                        "niveau proposé : 5\n"
                        "fichiers à télécharger : 3\n"
                        "3\t"
                            + url("f3.dat")
                            + "\tLECON3.DAT\n"
                              "5\t"
                            + url("f5.dat")
                            + "\tDONNEES\\LECON5.DAT\n"
                              "4\t"
                            + url("f4.dat") + "\tLECON4.DAT\n");
    EXPECT_EQ(r.erreurs, QString());
    EXPECT_EQ(etatproduit(), avant);
    // Only the list was fetched.
    for (const QString& ligne : serveur->journal())
        EXPECT_FALSE(ligne.contains(".dat")) << ligne.toStdString();
}

TEST_F(Verification, AJourZero)
{
    liste({" 1", url("f1.dat"), "LECON1.DAT", " 2", url("f2.dat"), "LECON2.DAT"});
    const QStringList avant = etatproduit();
    const Resultat r = verifier();
    EXPECT_EQ(r.code, 0) << r.erreurs.toStdString();
    EXPECT_EQ(r.sortie, "niveau actuel : 2\nniveau proposé : 2\nfichiers à télécharger : 0\n");
    EXPECT_EQ(r.erreurs, QString());
    EXPECT_EQ(etatproduit(), avant);
}

// The highest level offered is the list's; a list that stops below the
// product's level offers nothing newer; a level that cannot be read or
// recorded is offered by no group.
TEST_F(Verification, NiveauProposeParLaListe)
{
    const struct {
        QStringList niveaux;
        QString propose;
    } cas[] = {
        {{" 1"}, "aucun plus récent (la liste s'arrête au niveau 1)"},
        {{" 1", "-4"}, "aucun plus récent (la liste s'arrête au niveau 1)"},
        {{" 1", "99999", "1e999"}, "aucun plus récent (la liste s'arrête au niveau 1)"},
        {{" 1", " 2"}, "2"},
        {{"1e999"}, "aucun"},
    };
    for (const auto& c : cas) {
        QStringList enregs;
        for (const QString& n : c.niveaux)
            enregs << n << url("f.dat") << "F.DAT";
        liste(enregs);
        const Resultat r = verifier();
        SCOPED_TRACE(c.niveaux.join(u',').toStdString());
        EXPECT_EQ(r.code, c.niveaux.contains("99999") ? 10 : 0) << r.erreurs.toStdString();
        EXPECT_TRUE(r.sortie.startsWith("niveau actuel : 2\nniveau proposé : " + c.propose + "\n"))
            << r.sortie.toStdString();
    }
}

// A list file left in the product folder by an earlier run is neither read
// nor touched: the check reads the server's list, in a place of its own.
TEST_F(Verification, LaListeDuProduitNEstPasTouchee)
{
    ecrirefichier(chemin("LISTE.MAJ"), fichierenregistrements({"MAJQZ7INTERNET", " 9", url("f9.dat"), "X.DAT"}));
    liste({" 3", url("f3.dat"), "LECON3.DAT"});
    const QStringList avant = etatproduit();
    const Resultat r = verifier();
    EXPECT_EQ(r.code, 10);
    EXPECT_EQ(r.sortie, "niveau actuel : 2\nniveau proposé : 3\nfichiers à télécharger : 1\n3\t" + url("f3.dat")
                            + "\tLECON3.DAT\n");
    EXPECT_EQ(etatproduit(), avant);
}

// Names and addresses come from the network: a control character cannot
// forge a line of the report.
TEST_F(Verification, UnNomHostileNeFabriquePasDeLigne)
{
    liste({" 3", url("f3.dat") + "\n4\tfaux", "LECON3.DAT\nniveau actuel : 9"});
    const Resultat r = verifier();
    EXPECT_EQ(r.code, 10);
    EXPECT_EQ(r.sortie, "niveau actuel : 2\nniveau proposé : 3\nfichiers à télécharger : 1\n3\t" + url("f3.dat")
                            + "?4?faux\tLECON3.DAT?niveau actuel : 9\n");
}

TEST_F(Verification, EchecsUn)
{
    struct Cas {
        QString nom;
        std::function<void()> preparer;
        QString ligne;
    };
    const std::vector<Cas> cas{
        {"liste absente", [] {}, "Ouverture impossible: Téléchargement impossible\n"},
        {"pas une liste",
         [&] {
             ecrirefichier(web + "/LISTE.MAJ", fichierenregistrements({"MAJQZ", "A.DAT"}));
         },
         "Actualisation impossible: Pas de fichier téléchargé\n"},
        {"liste vide", [&] { liste({}); }, "Erreur: Erreur lors de l'ouverture du fichier\n"},
        {"paramètres absents", [&] { QFile::remove(chemin("PARANET.LST")); },
         "Lecture impossible: Lecture imposible sur le disque.\n"},
        {"niveau absent", [&] { QFile::rename(chemin("TEMPO.QZS"), chemin("TEMPO.ANCIEN")); },
         "Lecture impossible: Lecture imposible sur le disque.\n"},
        {"niveau illisible",
         [&] {
             QFile::remove(chemin("TEMPO.QZS"));
             QDir().mkpath(chemin("TEMPO.QZS"));
         },
         "Lecture impossible: Lecture imposible sur le disque.\n"},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom.toStdString());
        QFile::remove(web + "/LISTE.MAJ");
        c.preparer();
        const QStringList avant = etatproduit();
        const Resultat r = verifier();
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, c.ligne);
        EXPECT_EQ(r.sortie, QString());
        EXPECT_EQ(etatproduit(), avant);
    }
}

// --verbose gives the check the reasons the update run gives: a server that
// asks for a password, an https list redirected to plain http.
TEST_F(Verification, VerboseDonneLaRaisonDeLEchec)
{
    QString cert, cle;
    const bool tls = certificat(racine.path(), cert, cle);
    std::unique_ptr<ServeurLocal> securise;
    if (tls) {
        securise = std::make_unique<ServeurLocal>(QStringLiteral("serveur_http.py"),
                                                  QStringList{"--dossier", web, "--tls", cert, cle});
        ASSERT_TRUE(securise->pret()) << qPrintable(securise->erreur());
    }
    liste({" 3", url("f3.dat"), "LECON3.DAT"});
    const struct {
        const char* nom;
        QString adresse;
        QString raison; // a pattern
    } cas[] = {
        {"mot de passe demandé", url("prive/LISTE.MAJ"), "échec : .*401.*"},
        {"redirection en clair",
         tls ? securise->url(QStringLiteral("https"), QStringLiteral("/redirige?vers=") + url("LISTE.MAJ")) : QString(),
         "échec : redirection de https vers http refusée \\(.*\\)"},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        if (c.adresse.isEmpty()) {
            ADD_FAILURE() << "openssl is needed for an https server";
            continue;
        }
        ecrirefichier(chemin(QStringLiteral("PARANET.LST")),
                      fichierenregistrements({"", "", "", "", "", "", c.adresse}));
        Resultat r = verifier({"/usr/bin/env", "CURL_CA_BUNDLE=" + cert});
        // Without --verbose, only the message.
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.erreurs, QStringLiteral("Ouverture impossible: Téléchargement impossible\n"));
        QStringList commande{"/usr/bin/env",
                             "CURL_CA_BUNDLE=" + cert,
                             QStringLiteral(VELORINE_EXE),
                             "--product-dir",
                             produit,
                             "--unattended",
                             "--check",
                             "--verbose",
                             "--timeout",
                             "5"};
        r = lancerprogramme(commande, 60000);
        EXPECT_EQ(r.code, 1);
        QStringList lignes = r.erreurs.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lignes.size(), 3) << r.erreurs.toStdString();
        // Without the publisher's key, the check says first that nothing is proven.
        EXPECT_EQ(lignes.takeFirst(),
                  QStringLiteral("velorine-maj: preuve d'origine: désactivée (aucune clé VELORINE.PUB)"));
        const QString debut = QStringLiteral("velorine-maj: ") + c.adresse + QStringLiteral(": ");
        EXPECT_TRUE(lignes[0].startsWith(debut)) << lignes[0].toStdString();
        EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(c.raison))
                        .match(lignes[0].mid(debut.size()))
                        .hasMatch())
            << lignes[0].toStdString();
        EXPECT_EQ(lignes[1], QStringLiteral("Ouverture impossible: Téléchargement impossible"));
        EXPECT_EQ(r.sortie, QString());
    }
}

// The check needs no right to write in the product folder.
TEST_F(Verification, ProduitEnLectureSeule)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty() || ::geteuid() != 0)
        GTEST_SKIP() << "needs setpriv and root to run as an unprivileged user";
    liste({" 3", url("f3.dat"), "LECON3.DAT"});
    ::chmod(QFile::encodeName(racine.path()).constData(), 0755);
    ::chmod(QFile::encodeName(produit).constData(), 0555);
    const QStringList avant = etatproduit();
    const Resultat r = verifier({setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
    ::chmod(QFile::encodeName(produit).constData(), 0755);
    EXPECT_EQ(r.code, 10) << r.erreurs.toStdString();
    EXPECT_EQ(r.sortie, "niveau actuel : 2\nniveau proposé : 3\nfichiers à télécharger : 1\n3\t" + url("f3.dat")
                            + "\tLECON3.DAT\n");
    EXPECT_EQ(etatproduit(), avant);
}

} // namespace
