// The automatic update through the real windows, the real steps and the real
// transfer engine, against a web server on loopback: what a person sees
// when choosing "Automatique par téléchargement".

#include "dossiers.h"
#include "faux.h"
#include "download/feuilleftp.h"
#include "serveurs.h"
#include "platform/transfertcurl.h"
#include "chooser/typemaj.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace velorine;
using namespace velorine::test;

namespace {

// Ends the "process" as the real shell would, as far as the windows are
// concerned: the open modal windows go away without their closing handlers.
class CoquilleFin : public CoquilleTest {
public:
    [[noreturn]] void terminer() override
    {
        QTimer::singleShot(0, [] {
            while (QWidget* w = QApplication::activeModalWidget())
                w->hide();
        });
        CoquilleTest::terminer();
    }
};

class Parcours : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* nom : {"http_proxy", "https_proxy", "all_proxy", "HTTPS_PROXY", "ALL_PROXY"})
            qunsetenv(nom);
        QDir(racine.path()).mkpath("produit/DONNEES");
        QDir(racine.path()).mkpath("web");
        serveur = std::make_unique<ServeurHttp>(racine.filePath("web"));
        ASSERT_TRUE(serveur->pret()) << serveur->erreur().toStdString();
        etat.dossierproduit = produit();
        QStringList tempo(24);
        tempo[0] = "reglages du produit";
        tempo[23] = " 2";
        ecrirefichier(produit() + "/TEMPO.QZS", fichierenregistrements(tempo));
        ecrirefichier(produit() + "/PARANET.LST",
                      fichierenregistrements({"", "", "", "", "", "", serveur->url("/LISTE.MAJ")}));
        ecrirefichier(produit() + "/DONNEES/images.dat", "anciennes images, plus longues");
    }

    QString produit() const { return racine.filePath("produit"); }
    void liste(const QStringList& entrees)
    {
        ecrirefichier(racine.filePath("web/LISTE.MAJ"),
                      fichierenregistrements(QStringList{"MAJQZ7INTERNET"} + entrees));
    }
    QByteArray enreg24() const { return lirefichier(produit() + "/TEMPO.QZS").mid(23 * 128, 4); }

    QTemporaryDir racine;
    std::unique_ptr<ServeurHttp> serveur;
    TransfertCurl transfert{10};
    Faux faux;
    CoquilleFin coquille;
    Services services{faux.dialogues, boucle, coquille, transfert, faux.numerotation};
    BoucleQt boucle;
    Etat etat;
    EtapesInternet etapes;
    typemaj choix{etat, services, etapes};
};

} // namespace

TEST_F(Parcours, TelechargementCompletPuisRetourAuProduit)
{
    ecrirefichier(racine.filePath("web/l3.dat"), "Leçon 3");
    liste({" 3", serveur->url("/l3.dat"), "LECON3.DAT", " 4", serveur->url("/gros/3000000"), "donnees\\IMAGES.DAT"});
    faux.numerotation.connectee = true;
    faux.dialogues.reponses = {true};

    choix.show();
    QTest::mouseClick(choix.entree(0), Qt::LeftButton);

    EXPECT_EQ(
        faux.dialogues.boites,
        (std::vector<Boite>{{Icone::Information, "Actualisation terminée.", "Vous disposez maintenant de la version 4"},
                            {Icone::Question, "Navigation terminée", "Voulez-vous fermer la connexion ?"}}));
    EXPECT_EQ(faux.numerotation.raccrochages, 1);
    EXPECT_EQ(coquille.demarres, QStringList{produit() + "/VELORINE.EXE"});
    EXPECT_EQ(lirefichier(produit() + "/LECON3.DAT"), QByteArray("Leçon 3"));
    EXPECT_EQ(QFileInfo(produit() + "/DONNEES/images.dat").size(), 3000000);
    EXPECT_EQ(enreg24(), QByteArray("\x02\x00 4", 4));
    EXPECT_EQ(lirefichier(produit() + "/TEMPO.QZS").left(21), QByteArray("\x13\x00reglages du produit", 21));
    // The process ended without the window's closing: the list stays.
    EXPECT_TRUE(QFileInfo::exists(produit() + "/LISTE.MAJ"));
    EXPECT_EQ(choix.feuille()->findChild<QLabel*>("Label1")->text(), "Transfert du fichier 2 / 2");
}

TEST_F(Parcours, AnnulerPendantUnTelechargementLaisseLeProduitIntact)
{
    liste({" 3", serveur->url("/bloque/100000"), "DONNEES\\IMAGES.DAT"});

    // Once bytes arrive, the user presses "Annuler".
    int clics = 0;
    QTimer guet;
    QObject::connect(&guet, &QTimer::timeout, [&] {
        feuilleFTP* f = choix.feuille();
        if (clics == 0 && f && f->isVisible() && f->findChild<QProgressBar*>("progression")->isVisible()) {
            ++clics;
            QTest::mouseClick(f->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        }
    });
    guet.start(20);
    QTimer::singleShot(20000, [] { // a bound, should the cancel not work
        if (QWidget* w = QApplication::activeModalWidget())
            w->hide();
    });

    choix.show();
    QTest::mouseClick(choix.entree(0), Qt::LeftButton);
    guet.stop();

    EXPECT_EQ(clics, 1);
    EXPECT_TRUE(serveur->attendre("FERME /bloque/100000")) << "the transfer was not aborted";
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(faux.dialogues.bips, 1);
    EXPECT_TRUE(etat.abandon);
    EXPECT_TRUE(coquille.demarres.isEmpty());
    EXPECT_FALSE(choix.feuille()->isVisible());
    EXPECT_EQ(lirefichier(produit() + "/DONNEES/images.dat"), QByteArray("anciennes images, plus longues"));
    EXPECT_EQ(enreg24(), QByteArray("\x02\x00 2", 4));
    EXPECT_EQ(contenudossier(produit()), (QStringList{"DONNEES", "DONNEES/images.dat", "PARANET.LST", "TEMPO.QZS"}));

    // The chooser is usable again: the next attempt is already current.
    liste({" 2", serveur->url("/rien"), "RIEN.DAT"});
    QTest::mouseClick(choix.entree(0), Qt::LeftButton);
    EXPECT_EQ(faux.dialogues.boites, (std::vector<Boite>{{Icone::Information, "Pas d'actualisation",
                                                          "Vous disposez déjà de la dernière version en date."}}));
    EXPECT_EQ(coquille.demarres.size(), 1);
}
