// The download window feuilleFTP with real widgets: its design, its load and
// the load's failure, the three steps in order, "Annuler" during a step, the
// closings, the dial-up question and the status line.

#include "dossiers.h"
#include "etapesfactices.h"
#include "faux.h"
#include "download/feuilleftp.h"
#include "platform/fenetres.h"
#include "download/texteetat.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velorine;
using namespace velorine::test;

namespace {

const Boite lectureimpossible{Icone::Erreur, QStringLiteral("Lecture impossible"),
                              QStringLiteral("Lecture imposible sur le disque.")};
const Boite fermerconnexion{Icone::Question, QStringLiteral("Navigation terminée"),
                            QStringLiteral("Voulez-vous fermer la connexion ?")};

// A transfer that waits, with the event loop running, until it is cancelled.
class TransfertEnAttente : public Transfert {
public:
    void ouvrirurl(const QString& adresse, Provenance, Puits&, SuiviTransfert& suivi) override
    {
        adresses.append(adresse);
        suivi.etatchange(EtatTransfert::Recherche);
        boucle_.exec();
        throw Echec("transfert annulé");
    }
    void annuler() override
    {
        ++annulations;
        boucle_.quit();
    }
    QStringList adresses;
    int annulations = 0;

private:
    QEventLoop boucle_;
};

class PuitsNul : public Puits {
public:
    void ecrire(const char*, std::size_t) override {}
};

// A fetch's observer that tells the window, as the real steps' does.
class SuiviFenetre : public SuiviTransfert {
public:
    explicit SuiviFenetre(HoteEtapes& fenetre) : fenetre_(fenetre) {}
    void etatchange(EtatTransfert etat) override { fenetre_.etattransfert(etat); }

private:
    HoteEtapes& fenetre_;
};

// Counts the times a widget was shown.
class Apparitions : public QObject {
public:
    explicit Apparitions(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Show)
            ++nombre;
        return false;
    }
    int nombre = 0;
};

class FeuilleFTP : public ::testing::Test {
protected:
    void SetUp() override
    {
        etapes.reinitialiser();
        etat.dossierproduit = dossier.path();
        QStringList paranet(6, QStringLiteral("x"));
        paranet.append(QStringLiteral(" http://127.0.0.1:9/LISTE.MAJ "));
        ecrirefichier(chemin("PARANET.LST"), fichierenregistrements(paranet));
        QStringList tempo(23, QString());
        tempo.append(QStringLiteral(" 5"));
        ecrirefichier(chemin("TEMPO.QZS"), fichierenregistrements(tempo));
        ecrirefichier(chemin("LISTE.MAJ"), "ancienne liste");
    }
    void TearDown() override { etapes.reinitialiser(); }

    QString chemin(const QString& nom) const { return QDir(dossier.path()).filePath(nom); }
    template <class T>
    T* controle(const char* nom) const
    {
        return fenetre.findChild<T*>(QString::fromLatin1(nom));
    }
    QString labet() const { return controle<QLabel>("Labet")->text(); }
    int questions() const
    {
        return static_cast<int>(
            std::count(faux.dialogues.boites.begin(), faux.dialogues.boites.end(), fermerconnexion));
    }

    QTemporaryDir dossier;
    Etat etat;
    Faux faux;
    Services services = faux.services();
    EtapesFactices etapes;
    feuilleFTP fenetre{etat, services, etapes};
};

struct Placement {
    const char* nom;
    int gauche, haut, largeur, hauteur;
};

} // namespace

TEST(TexteEtat, ChaqueEtatASonTexte)
{
    const std::pair<int, const char16_t*> cas[] = {
        {0, u""},
        {1, u"Recherche de l'hôte"},
        {2, u"L'hôte a été trouvé"},
        {3, u"Connexion en cours avec le serveur"},
        {4, u"Connexion établie"},
        {5, u"Demande de données"},
        {6, u"Demande acceptée"},
        {7, u"Réponse du serveur"},
        {8, u"Réception des données"},
        {9, u"Déconnexion du serveur"},
        {10, u"Transfert terminé"},
        {11, u"Erreur de transmission"},
        {12, u"Transfert terminé"},
    };
    for (const auto& [etat, texte] : cas) {
        ASSERT_TRUE(texteetat(static_cast<EtatTransfert>(etat)).has_value()) << etat;
        EXPECT_EQ(*texteetat(static_cast<EtatTransfert>(etat)), QString::fromUtf16(texte)) << etat;
    }
    for (int autre : {-1, 13, -32768, 32767})
        EXPECT_FALSE(texteetat(static_cast<EtatTransfert>(autre)).has_value()) << autre;
    // The names of the states are their numbers.
    EXPECT_EQ(static_cast<int>(EtatTransfert::Recherche), 1);
    EXPECT_EQ(static_cast<int>(EtatTransfert::Reception), 8);
    EXPECT_EQ(static_cast<int>(EtatTransfert::Termine), 12);
}

TEST_F(FeuilleFTP, LaLigneDEtatSuitLesEtatsDuTransfert)
{
    fenetre.Label1(QStringLiteral("Transfert du fichier 1 / 2"));
    const auto etatnumero = [&](int numero) { fenetre.Inet1_StateChanged(static_cast<EtatTransfert>(numero)); };
    for (int etat = 0; etat <= 12; ++etat) {
        etatnumero(etat);
        EXPECT_EQ(labet(), *texteetat(static_cast<EtatTransfert>(etat))) << etat;
    }
    etatnumero(11);
    etatnumero(-1);
    EXPECT_EQ(labet(), QStringLiteral("Erreur de transmission"));
    etatnumero(13);
    EXPECT_EQ(labet(), QStringLiteral("Erreur de transmission"));
    etatnumero(10);
    etatnumero(12);
    EXPECT_EQ(labet(), QStringLiteral("Transfert terminé"));
    etatnumero(0);
    EXPECT_EQ(labet(), QString());
    // The file counter never follows the states; nothing else happened.
    EXPECT_EQ(controle<QLabel>("Label1")->text(), QStringLiteral("Transfert du fichier 1 / 2"));
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_FALSE(etat.abandon);
    EXPECT_EQ(faux.transfertabsent.annulations, 0);
}

TEST_F(FeuilleFTP, LaBarreSuitLesOctetsDuFichierCourant)
{
    auto* barre = controle<QProgressBar>("progression");
    EXPECT_TRUE(barre->isHidden());
    const std::tuple<long long, long long, int, int> cas[] = {
        {0, 3'000'000'000LL, 1000, 0}, // larger than an int
        {1'500'000'000LL, 3'000'000'000LL, 1000, 500},
        {3'000'000'000LL, 3'000'000'000LL, 1000, 1000},
        {7, 0, 0, -1}, // no size announced
        {7, -1, 0, -1},
    };
    for (const auto& [recus, total, maximum, valeur] : cas) {
        fenetre.progression(recus, total);
        EXPECT_FALSE(barre->isHidden());
        EXPECT_EQ(barre->maximum(), maximum) << recus << " / " << total;
        if (valeur >= 0) {
            EXPECT_EQ(barre->value(), valeur) << recus << " / " << total;
        }
    }
    fenetre.finprogression();
    EXPECT_TRUE(barre->isHidden());
    // The bar is an addition: the controls of the design stay where they are.
    EXPECT_EQ(controle<QLabel>("Label1")->geometry(), twips(360, 1200, 6855, 495));
    EXPECT_EQ(controle<QPushButton>("Command2")->geometry(), twips(2880, 1920, 1215, 375));
}

TEST_F(FeuilleFTP, Dessin)
{
    EXPECT_EQ(fenetre.objectName(), QStringLiteral("feuilleFTP"));
    EXPECT_EQ(fenetre.windowTitle(), QStringLiteral("Mise à jour automatique"));
    EXPECT_EQ(fenetre.size(), QSize(twips(7305), twips(2535)));
    EXPECT_EQ(fenetre.palette().color(QPalette::Window), QColor(247, 247, 225));
    const QImage icone = fenetre.windowIcon().pixmap(16, 16).toImage();
    ASSERT_FALSE(icone.isNull());
    for (int y = 0; y < icone.height(); ++y)
        for (int x = 0; x < icone.width(); ++x)
            ASSERT_EQ(qAlpha(icone.pixel(x, y)), 0);

    const Placement placements[] = {
        {"Image1", 360, 240, 480, 480},   {"Image2", 600, 480, 480, 480},      {"Labet", 1440, 360, 5535, 315},
        {"Label1", 360, 1200, 6855, 495}, {"Command2", 2880, 1920, 1215, 375}, {"List1", 4560, 0, 1335, 840},
    };
    for (const Placement& p : placements) {
        const QWidget* w = fenetre.findChild<QWidget*>(QString::fromLatin1(p.nom));
        ASSERT_NE(w, nullptr) << p.nom;
        EXPECT_EQ(w->geometry(), QRect(twips(p.gauche), twips(p.haut), twips(p.largeur), twips(p.hauteur))) << p.nom;
    }
    for (const char* image : {"Image1", "Image2"}) {
        const QPixmap pm = controle<QLabel>(image)->pixmap();
        EXPECT_EQ(pm.size(), QSize(32, 32)) << image;
    }
    // The computer lies over the globe.
    EXPECT_GT(fenetre.children().indexOf(controle<QLabel>("Image2")),
              fenetre.children().indexOf(controle<QLabel>("Image1")));

    const QLabel* l = controle<QLabel>("Labet");
    EXPECT_EQ(l->text(), QStringLiteral("Télécharger un fichier"));
    EXPECT_TRUE(l->autoFillBackground());
    EXPECT_EQ(l->palette().color(QPalette::Window), QColor(247, 247, 225));
    EXPECT_EQ(l->font().pointSizeF(), 9.75);
    EXPECT_TRUE(l->alignment() & Qt::AlignLeft);

    const QLabel* c = controle<QLabel>("Label1");
    EXPECT_EQ(c->text(), QString());
    EXPECT_EQ(c->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_FALSE(c->autoFillBackground());
    EXPECT_TRUE(c->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(c->font().pointSizeF(), 13.5);

    EXPECT_EQ(controle<QPushButton>("Command2")->text(), QStringLiteral("Annuler"));
    EXPECT_TRUE(controle<QListWidget>("List1")->isHidden());
    const QProgressBar* barre = controle<QProgressBar>("progression");
    ASSERT_NE(barre, nullptr);
    EXPECT_TRUE(barre->isHidden());
    // In the band between the file counter and the button.
    EXPECT_GE(barre->geometry().top(), c->geometry().bottom());
    EXPECT_LT(barre->geometry().bottom(), controle<QPushButton>("Command2")->geometry().top());
}

TEST_F(FeuilleFTP, LectureImpossibleSignaleeUneFoisEtFenetreJamaisMontree)
{
    QFile::remove(chemin("PARANET.LST"));
    ASSERT_TRUE(QDir(dossier.path()).mkdir("PARANET.LST")); // cannot be opened
    faux.numerotation.connectee = true;
    faux.dialogues.reponses = {false};
    Apparitions apparitions(&fenetre);

    fenetre.montrer();

    EXPECT_EQ(faux.dialogues.boites, (std::vector<Boite>{lectureimpossible, fermerconnexion}));
    EXPECT_TRUE(etat.abandon);
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
    EXPECT_EQ(apparitions.nombre, 0);
    EXPECT_FALSE(fenetre.isVisible());
    EXPECT_FALSE(fenetre.controleur().charge());
    EXPECT_TRUE(etapes.appels.isEmpty());
    EXPECT_FALSE(etat.fente.ouverte());
    EXPECT_EQ(etat.fichierliste, chemin("LISTE.MAJ"));
    EXPECT_EQ(etat.fichiertempo, chemin("TEMPO.QZS"));
}

TEST_F(FeuilleFTP, NiveauHorsLimitesEstUneLectureImpossible)
{
    QStringList tempo(23, QString());
    tempo.append(QStringLiteral("99999"));
    ecrirefichier(chemin("TEMPO.QZS"), fichierenregistrements(tempo));
    etat.versionactuelle = 3;
    fenetre.montrer();
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{lectureimpossible});
    EXPECT_EQ(etat.adresseliste, QStringLiteral(" http://127.0.0.1:9/LISTE.MAJ ")); // read before the failure
    EXPECT_EQ(etat.versionactuelle, 3);
    EXPECT_TRUE(etat.abandon);
    EXPECT_FALSE(etat.fente.ouverte());
}

TEST_F(FeuilleFTP, ChargementPuisLesTroisEtapesDansLOrdre)
{
    QString labetpendantcartesnet;
    bool visiblependantcartesnet = false;
    int cessionsavantetapes = -1;
    etapes.corpscartesnet = [&](Etat&, Services&, HoteEtapes&) {
        labetpendantcartesnet = labet();
        visiblependantcartesnet = fenetre.isVisible();
        cessionsavantetapes = faux.boucle.cessions;
    };
    etapes.corpsdresseliste = [&](Etat&, Services&, HoteEtapes& f) {
        f.viderList1();
        for (const char* e : {" 6", "http://127.0.0.1:9/A.DAT", "A.DAT"})
            f.ajouterList1(QString::fromLatin1(e));
    };
    QStringList listevue;
    etapes.corpstesparti = [&](Etat&, Services&, HoteEtapes& f) {
        listevue = f.List1();
        f.Label1(QStringLiteral("Transfert du fichier 1 / 1"));
        f.decharger(); // as a step does after a failure
    };

    fenetre.montrer();

    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
    EXPECT_EQ(labetpendantcartesnet, QStringLiteral("Téléchargement du fichier"));
    EXPECT_TRUE(visiblependantcartesnet);
    EXPECT_EQ(cessionsavantetapes, 1); // the load's yield, between the two readings
    EXPECT_EQ(listevue, QStringList({" 6", "http://127.0.0.1:9/A.DAT", "A.DAT"}));
    EXPECT_EQ(etat.adresseliste, QStringLiteral(" http://127.0.0.1:9/LISTE.MAJ "));
    EXPECT_EQ(etat.versionactuelle, 5);
    EXPECT_EQ(etat.fichierliste, chemin("LISTE.MAJ"));
    EXPECT_EQ(etat.fichiertempo, chemin("TEMPO.QZS"));
    EXPECT_FALSE(fenetre.isVisible());
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
    EXPECT_TRUE(faux.dialogues.boites.empty()); // not connected: no question
}

TEST_F(FeuilleFTP, LesEtapesSuiventMemeApresUnEchecEtLaFenetreSeFermeUneFois)
{
    faux.numerotation.connectee = true;
    faux.dialogues.reponses = {false, false, false};
    int dechargees = 0;
    etapes.corpscartesnet = [&](Etat& e, Services& s, HoteEtapes& f) {
        s.dialogues.message(Icone::Erreur, QStringLiteral("Ouverture impossible"),
                            QStringLiteral("Téléchargement impossible"));
        e.abandon = true;
        f.decharger();
        ++dechargees;
    };
    etapes.corpsdresseliste = [&](Etat& e, Services&, HoteEtapes& f) {
        EXPECT_TRUE(e.abandon);
        f.decharger(); // a second unload changes nothing
    };

    fenetre.montrer();

    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
    EXPECT_EQ(dechargees, 1);
    EXPECT_EQ(questions(), 1);
    EXPECT_FALSE(fenetre.isVisible());
}

TEST_F(FeuilleFTP, AnnulerPendantUnTransfert)
{
    TransfertEnAttente transfert;
    faux.transfert = &transfert;
    Services avecattente = faux.services();
    feuilleFTP f(etat, avecattente, etapes);
    faux.numerotation.connectee = true;
    faux.dialogues.reponses = {true};
    Apparitions apparitions(&f);

    bool revenu = false;
    etapes.corpscartesnet = [&](Etat& e, Services& s, HoteEtapes&) {
        // The fetch of the list, holding the list file open meanwhile.
        e.fente.ouvrirenreg(e.fichierliste);
        QTimer::singleShot(0, &f, [&] {
            EXPECT_EQ(f.findChild<QLabel*>("Labet")->text(), QStringLiteral("Recherche de l'hôte"));
            QTest::mouseClick(f.findChild<QPushButton*>("Command2"), Qt::LeftButton);
        });
        PuitsNul puits;
        SuiviFenetre suivi(f.controleur());
        EXPECT_THROW(s.transfert.ouvrirurl(e.adresseliste, Provenance::Reglages, puits, suivi), Echec);
        revenu = true;
        EXPECT_FALSE(e.fente.ouverte()); // the cancel closed the slot
        EXPECT_TRUE(e.abandon);
    };

    f.montrer();

    EXPECT_TRUE(revenu);
    EXPECT_EQ(transfert.adresses, QStringList{" http://127.0.0.1:9/LISTE.MAJ "});
    EXPECT_EQ(transfert.annulations, 1);
    EXPECT_EQ(faux.dialogues.bips, 1);
    EXPECT_EQ(faux.boucle.cessions, 2); // the load's yield, the cancel's yield
    EXPECT_EQ(faux.dialogues.boites, std::vector<Boite>{fermerconnexion});
    EXPECT_EQ(faux.numerotation.raccrochages, 1);
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
    EXPECT_TRUE(etat.abandon);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(apparitions.nombre, 1);
    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
    // The transfer's states no longer reach the unloaded window.
    f.controleur().etattransfert(EtatTransfert::Connexion);
    EXPECT_EQ(f.findChild<QLabel*>("Labet")->text(), QStringLiteral("Recherche de l'hôte"));
}

TEST_F(FeuilleFTP, AnnulerSansFichierNiTransfertBipeEtFerme)
{
    faux.boucle.declencheur = 2; // the first yield inside a step
    faux.boucle.action = [&] { QTest::mouseClick(controle<QPushButton>("Command2"), Qt::LeftButton); };
    etapes.corpscartesnet = [&](Etat&, Services& s, HoteEtapes&) { s.boucle.ceder(); };

    fenetre.montrer();

    EXPECT_EQ(faux.dialogues.bips, 1);
    EXPECT_EQ(faux.transfertabsent.annulations, 1);
    EXPECT_TRUE(etat.abandon);
    EXPECT_FALSE(fenetre.isVisible());
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
    EXPECT_TRUE(faux.dialogues.boites.empty());
}

// Escape changes nothing, however often it comes: the steps run on, nothing
// is cancelled, no beep, the window stays.
TEST_F(FeuilleFTP, EchapNeChangeRien)
{
    bool visible = false;
    faux.boucle.declencheur = 2;
    faux.boucle.action = [&] {
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(&fenetre, Qt::Key_Escape);
            if (QWidget* focus = QApplication::focusWidget())
                QTest::keyClick(focus, Qt::Key_Escape);
        }
        visible = fenetre.isVisible();
    };
    etapes.corpscartesnet = [&](Etat&, Services& s, HoteEtapes&) { s.boucle.ceder(); };
    // The last step leaves as a finished run does: through the unload.
    etapes.corpstesparti = [&](Etat& e, Services&, HoteEtapes&) {
        EXPECT_FALSE(e.abandon);
        fenetre.controleur().decharger();
    };
    fenetre.montrer();
    EXPECT_TRUE(visible);
    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
    EXPECT_EQ(faux.dialogues.bips, 0);
    EXPECT_EQ(faux.transfertabsent.annulations, 0);
    EXPECT_FALSE(etat.abandon);
}

// "Annuler" is no default button, but with the focus Enter presses it.
TEST_F(FeuilleFTP, EntreeSurAnnulerQuiALeFocusEstAnnuler)
{
    faux.boucle.declencheur = 2;
    faux.boucle.action = [&] {
        auto* annuler = controle<QPushButton>("Command2");
        EXPECT_FALSE(annuler->isDefault());
        annuler->setFocus();
        QTest::keyClick(annuler, Qt::Key_Return);
    };
    etapes.corpscartesnet = [&](Etat&, Services& s, HoteEtapes&) { s.boucle.ceder(); };
    fenetre.montrer();
    EXPECT_EQ(faux.dialogues.bips, 1);
    EXPECT_TRUE(etat.abandon);
    EXPECT_FALSE(fenetre.isVisible());
}

TEST_F(FeuilleFTP, FermerParLaBarreDeTitrePendantUneEtape)
{
    faux.numerotation.connectee = true;
    faux.boucle.declencheur = 2;
    faux.boucle.action = [&] { fenetre.close(); };
    bool encorecharge = true;
    etapes.corpscartesnet = [&](Etat&, Services& s, HoteEtapes&) {
        s.boucle.ceder();
        encorecharge = fenetre.controleur().charge();
    };

    fenetre.montrer();

    EXPECT_FALSE(encorecharge);
    EXPECT_TRUE(etat.abandon); // the update does not go on behind a closed window
    EXPECT_EQ(faux.transfertabsent.annulations, 1);
    EXPECT_EQ(faux.dialogues.bips, 0);
    EXPECT_EQ(questions(), 1);
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
    EXPECT_FALSE(fenetre.isVisible());
    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
}

TEST_F(FeuilleFTP, ChaqueAffichageRechargeLaFenetre)
{
    etapes.corpstesparti = [&](Etat&, Services&, HoteEtapes& f) {
        f.ajouterList1(QStringLiteral("entrée"));
        f.Label1(QStringLiteral("Transfert du fichier 1 / 1"));
        f.decharger();
    };
    fenetre.montrer();
    EXPECT_EQ(labet(), QStringLiteral("Téléchargement du fichier"));

    QString labetauchargement;
    QStringList listeauchargement{"?"};
    QString label1auchargement{"?"};
    etapes.reinitialiser();
    etapes.corpscartesnet = [&](Etat&, Services&, HoteEtapes& f) {
        listeauchargement = f.List1();
        label1auchargement = controle<QLabel>("Label1")->text();
    };
    etapes.corpstesparti = [&](Etat&, Services&, HoteEtapes& f) { f.decharger(); };
    ecrirefichier(chemin("LISTE.MAJ"), "encore");
    fenetre.montrer();
    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
    EXPECT_TRUE(listeauchargement.isEmpty());
    EXPECT_EQ(label1auchargement, QString());
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
}

TEST_F(FeuilleFTP, LesEtatsDuTransfertArriventPendantLesEtapes)
{
    std::vector<QString> vus;
    etapes.corpscartesnet = [&](Etat&, Services&, HoteEtapes& f) {
        for (int e : {1, 4, 99, 12}) {
            f.etattransfert(static_cast<EtatTransfert>(e));
            vus.push_back(labet());
        }
    };
    etapes.corpstesparti = [&](Etat&, Services&, HoteEtapes& f) { f.decharger(); };
    fenetre.montrer();
    EXPECT_EQ(vus, (std::vector<QString>{QStringLiteral("Recherche de l'hôte"), QStringLiteral("Connexion établie"),
                                         QStringLiteral("Connexion établie"), QStringLiteral("Transfert terminé")}));
    // Unloaded, the window no longer follows the transfer's states.
    fenetre.controleur().etattransfert(EtatTransfert::Connexion);
    EXPECT_EQ(labet(), QStringLiteral("Transfert terminé"));
}

TEST_F(FeuilleFTP, QuestionDeLaConnexion)
{
    struct Cas {
        bool connectee;
        std::deque<bool> reponses;
        int questions;
        int raccrochages;
    };
    const Cas cas[] = {
        {false, {}, 0, 0},
        {true, {true}, 1, 1},
        {true, {false}, 1, 0},
    };
    for (const Cas& c : cas) {
        Faux f;
        f.numerotation.connectee = c.connectee;
        f.dialogues.reponses = c.reponses;
        Services s = f.services();
        feuilleFTP w(etat, s, etapes);
        w.controleur().couper();
        EXPECT_EQ(static_cast<int>(f.dialogues.boites.size()), c.questions);
        for (const Boite& b : f.dialogues.boites)
            EXPECT_EQ(b, fermerconnexion);
        EXPECT_EQ(f.numerotation.raccrochages, c.raccrochages);
    }
}

TEST_F(FeuilleFTP, ChoixAnnulerRelanceLeProduit)
{
    etat.abandon = true;
    EXPECT_THROW(fenetre.controleur().choixannuler(), FinProcessus);
    EXPECT_FALSE(etat.abandon);
    EXPECT_EQ(faux.coquille.demarres, QStringList{chemin("VELORINE.EXE")});
    EXPECT_EQ(faux.coquille.terminaisons, 1);
}

TEST_F(FeuilleFTP, DossierQuiFinitDejaParUnSeparateur)
{
    etat.dossierproduit = dossier.path() + u'/';
    etapes.corpstesparti = [&](Etat&, Services&, HoteEtapes& f) { f.decharger(); };
    fenetre.montrer();
    EXPECT_EQ(etat.fichierliste, dossier.path() + QStringLiteral("/LISTE.MAJ"));
    EXPECT_EQ(etat.fichiertempo, dossier.path() + QStringLiteral("/TEMPO.QZS"));
    EXPECT_EQ(etat.versionactuelle, 5);
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
}
