// The real message boxes, answered by a timer from inside their modal loop.

#include "platform/dialoguesqt.h"
#include "platform/fenetres.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <functional>

namespace velorine {
namespace {

struct BoiteVue {
    QMessageBox::Icon icone = QMessageBox::NoIcon;
    QString titre;
    QString texte;
    QStringList boutons;
    bool icones = false; // an icon on any button
    QWidget* parent = nullptr;
    bool modale = false;
    int largeur = 0;
    Qt::WindowFlags drapeaux;
};

// Waits, from the event loop, for the message box and clicks the button
// whose text is reponse, after recording what the box shows.
void repondre(BoiteVue& vue, const QString& reponse)
{
    auto* minuteur = new QTimer;
    minuteur->setInterval(5);
    QObject::connect(minuteur, &QTimer::timeout, [minuteur, &vue, reponse] {
        auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!boite || !boite->isVisible())
            return;
        minuteur->stop();
        minuteur->deleteLater();
        vue.icone = boite->icon();
        vue.titre = boite->windowTitle();
        vue.texte = boite->text();
        vue.parent = boite->parentWidget();
        vue.modale = boite->isModal();
        vue.largeur = boite->frameGeometry().width();
        vue.drapeaux = boite->windowFlags();
        for (QAbstractButton* b : boite->buttons()) {
            vue.boutons.append(b->text());
            vue.icones = vue.icones || !b->icon().isNull();
        }
        for (QAbstractButton* b : boite->buttons())
            if (b->text() == reponse)
                QTest::mouseClick(b, Qt::LeftButton);
    });
    minuteur->start();
}

TEST(DialoguesQt, MessagesAvecIconeTitreTexteEtOK)
{
    const struct {
        Icone icone;
        QMessageBox::Icon attendue;
        QString titre;
        QString texte;
    } cas[] = {
        {Icone::Erreur, QMessageBox::Critical, "Mise à jour impossible", "Fichier /media/clé/A.MAJ non valide"},
        {Icone::Information, QMessageBox::Information, "Mise à jour terminée", "La mise à jour a réussi"},
    };
    for (const auto& c : cas) {
        DialoguesQt dialogues;
        BoiteVue vue;
        repondre(vue, QStringLiteral("OK"));
        dialogues.message(c.icone, c.titre, c.texte);
        EXPECT_EQ(vue.icone, c.attendue);
        EXPECT_EQ(vue.titre, c.titre);
        EXPECT_EQ(vue.texte, c.texte);
        EXPECT_EQ(vue.boutons, QStringList{QStringLiteral("OK")});
        EXPECT_FALSE(vue.icones);
        EXPECT_TRUE(vue.modale);
    }
}

TEST(DialoguesQt, QuestionOuiNon)
{
    for (const bool oui : {true, false}) {
        DialoguesQt dialogues;
        BoiteVue vue;
        repondre(vue, oui ? QStringLiteral("Oui") : QStringLiteral("Non"));
        EXPECT_EQ(dialogues.question(QStringLiteral("Connexion"), QStringLiteral("Voulez-vous fermer la connexion ?")),
                  oui);
        EXPECT_EQ(vue.icone, QMessageBox::Question);
        EXPECT_EQ(vue.titre, QStringLiteral("Connexion"));
        EXPECT_EQ(vue.texte, QStringLiteral("Voulez-vous fermer la connexion ?"));
        QStringList boutons = vue.boutons;
        boutons.sort();
        EXPECT_EQ(boutons, (QStringList{QStringLiteral("Non"), QStringLiteral("Oui")}));
    }
}

// The box belongs to the modal dialog in use, so that it stays in front of it.
TEST(DialoguesQt, LaBoiteAPourParentLeDialogueModal)
{
    QDialog dialogue;
    DialoguesQt dialogues;
    BoiteVue vue;
    QTimer::singleShot(0, &dialogue, [&] {
        repondre(vue, QStringLiteral("OK"));
        dialogues.message(Icone::Information, QStringLiteral("Titre"), QStringLiteral("Texte"));
        dialogue.accept();
    });
    dialogue.exec();
    EXPECT_EQ(vue.parent, &dialogue);
}

// Every box of the program reads its whole title in the window manager's
// title bar: as wide as the title in the bold title font, beside the bar's
// icon, its close box and margins. Its bar offers no minimise or maximise
// box.
TEST(DialoguesQt, ChaqueBoiteEstAssezLargePourSonTitre)
{
    const struct {
        Icone icone;
        const char* titre;
        const char* texte;
    } cas[] = {
        {Icone::Erreur, "Mise à jour impossible", "Fichier /media/cle/A.MAJ non valide"},
        {Icone::Erreur, "Mise à jour impossible",
         "Fichier /media/cle/LECON1.DAT introuvable ou déjà ouvert ou espace disque insuffisant."},
        {Icone::Information, "Mise à jour terminée", "La mise à jour a réussi"},
        {Icone::Erreur, "Lecture impossible", "Lecture imposible sur le disque."},
        {Icone::Erreur, "Ouverture impossible", "Téléchargement impossible"},
        {Icone::Erreur, "Ouverture impossible", "Ecriture sur dique impossible"},
        {Icone::Erreur, "Actualisation impossible", "Pas de fichier téléchargé"},
        {Icone::Erreur, "Erreur", "Erreur lors de l'ouverture du fichier"},
        {Icone::Information, "Pas d'actualisation", "Vous disposez déjà de la dernière version en date."},
        {Icone::Information, "Actualisation terminée.", "Vous disposez maintenant de la version 5"},
        {Icone::Erreur, "Mise à jour impossible", "Téléchargement impossible"},
        {Icone::Erreur, "Mise à jour impossible", "Ecriture sur disque impossible"},
        {Icone::Question, "Navigation terminée", "Voulez-vous fermer la connexion ?"},
    };
    QFont police = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    police.setBold(true);
    const QFontMetrics mesure(police);
    for (const auto& c : cas) {
        SCOPED_TRACE(c.titre);
        DialoguesQt dialogues;
        BoiteVue vue;
        if (c.icone == Icone::Question) {
            repondre(vue, QStringLiteral("Non"));
            dialogues.question(QString::fromUtf8(c.titre), QString::fromUtf8(c.texte));
        } else {
            repondre(vue, QStringLiteral("OK"));
            dialogues.message(c.icone, QString::fromUtf8(c.titre), QString::fromUtf8(c.texte));
        }
        EXPECT_EQ(vue.titre, QString::fromUtf8(c.titre));
        EXPECT_EQ(vue.texte, QString::fromUtf8(c.texte));
        // The bar: its icon and close box, a button's width each, and as
        // much again for the margins.
        const int barre = mesure.horizontalAdvance(vue.titre) + 4 * mesure.height();
        EXPECT_GE(vue.largeur, barre);
        EXPECT_FALSE(vue.drapeaux & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(vue.drapeaux & Qt::WindowMaximizeButtonHint);
        EXPECT_TRUE(vue.drapeaux & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(vue.drapeaux & Qt::CustomizeWindowHint);
    }
}

// A window manager that offers a minimise box anyway cannot hide a fixed
// window: minimised, it comes back at once.
TEST(FenetreFixe, UneFenetreMinimiseeRevient)
{
    QDialog fenetre;
    fenetrefixe(&fenetre);
    EXPECT_FALSE(fenetre.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(fenetre.windowFlags() & Qt::WindowMaximizeButtonHint);
    fenetre.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fenetre));
    fenetre.setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !fenetre.isMinimized(); }, 2000));
    EXPECT_TRUE(fenetre.isVisible());
}

TEST(Twips, QuinzeTwipsParPixelA96Points)
{
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    EXPECT_EQ(twips(1440), qRound(dpi));
    EXPECT_EQ(twips(0), 0);
    if (qRound(dpi) != 96)
        GTEST_SKIP() << "écran à " << dpi << " points par pouce";
    EXPECT_EQ(twips(15), 1);
    EXPECT_EQ(twips(7830), 522);
    EXPECT_EQ(twips(5640, 3000, 1815, 375), QRect(376, 200, 121, 25));
}

TEST(Polices, SansSerifALaTailleDemandee)
{
    const QFont police = sansserif(24, true, true);
    EXPECT_EQ(police.pointSizeF(), 24.0);
    EXPECT_TRUE(police.bold());
    EXPECT_TRUE(police.italic());
    EXPECT_EQ(police.styleHint(), QFont::SansSerif);
    EXPECT_FALSE(sansserif(9.75).bold());
    EXPECT_EQ(sansserif(9.75).pointSizeF(), 9.75);
}

} // namespace
} // namespace velorine
