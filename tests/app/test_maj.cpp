// The backdrop MAJ: its gradient row by row, its title, and the windowed
// start that opens the update file dialog in front of it.

#include "app/demarrage.h"
#include "records/etat.h"
#include "faux.h"
#include "platform/fenetres.h"
#include "app/maj.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <functional>

namespace velorine {
namespace {

TEST(Degrade, BleuDeChaqueLigne)
{
    const struct {
        int y;
        double hauteur;
        int bleu;
    } cas[] = {
        {0, 768, 255}, {384, 768, 128},                // 127.5 rounds to the even 128
        {768, 768, 0}, {3, 768, 254},                  // 254.00390625
        {1, 2, 128},                                   // 127.5 again
        {0, 100, 255}, {100, 100, 0},   {101, 100, 0}, // below the last row the blue would be negative
        {0, 0, 0},                                     // no area, nothing to compute
    };
    for (const auto& c : cas)
        EXPECT_EQ(bleu(c.y, c.hauteur), c.bleu) << "ligne " << c.y << " sur " << c.hauteur;
}

// Labels sit at the top left; the left column and the rows below them show
// the gradient alone.
TEST(Degrade, LaFenetreDessineChaqueLigne)
{
    MAJ fond;
    fond.resize(120, 768);
    const QImage image = fond.grab().toImage();
    ASSERT_EQ(image.height(), 768);
    const int basdestitres = twips(120) + twips(495) + 3;
    for (int y = 0; y < 768; ++y) {
        const QRgb attendu = qRgb(0, 0, bleu(y, 768));
        ASSERT_EQ(image.pixel(0, y), attendu) << "ligne " << y;
        if (y > basdestitres) {
            ASSERT_EQ(image.pixel(119, y), attendu) << "ligne " << y;
        }
    }
    EXPECT_EQ(image.pixel(60, 384), qRgb(0, 0, 128));
}

TEST(MAJ, TitreEtOmbre)
{
    MAJ fond;
    QDialog premiere;
    QTimer::singleShot(0, &premiere, [&] { premiere.close(); });
    fond.charger(premiere);

    EXPECT_EQ(fond.objectName(), "MAJ");
    EXPECT_EQ(fond.windowTitle(), "Mise à jour du logiciel Velorine");
    auto* Label1 = fond.findChild<QLabel*>("Label1");
    auto* Label2 = fond.findChild<QLabel*>("Label2");
    ASSERT_TRUE(Label1 && Label2);
    EXPECT_EQ(Label1->geometry(), twips(120, 120, 10815, 495));
    EXPECT_EQ(Label2->geometry(), twips(120, 120, 10815, 495).translated(3, 3));
    for (QLabel* l : {Label1, Label2}) {
        EXPECT_EQ(l->text(), "Mise à jour Velorine");
        EXPECT_EQ(l->font().pointSizeF(), 24.0);
        EXPECT_TRUE(l->font().bold());
        EXPECT_TRUE(l->font().italic());
        EXPECT_FALSE(l->autoFillBackground());
    }
    EXPECT_EQ(Label1->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(Label2->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    // Label1 is drawn over its shadow.
    const QObjectList enfants = fond.children();
    EXPECT_GT(enfants.indexOf(Label1), enfants.indexOf(Label2));
}

// The windowed start: MAJ covers the screen and opens ouvrir modally in
// front of it. Closing ouvrir with its close box leaves MAJ alone; closing
// MAJ then ends the event loop, the product not started.
TEST(Demarrage, FermerLesFenetresNeRelancePasLeProduit)
{
    QTemporaryDir produit;
    test::Faux faux;
    Services services = faux.services();
    Etat etat;
    etat.dossierproduit = produit.path();

    int etape = 0;
    QWidget* fond = nullptr;
    QWidget* dialogue = nullptr;
    QTimer suivi;
    suivi.setInterval(5);
    QObject::connect(&suivi, &QTimer::timeout, [&] {
        if (etape == 0) {
            dialogue = QApplication::activeModalWidget();
            if (!dialogue)
                return;
            fond = dialogue->parentWidget();
            EXPECT_EQ(dialogue->objectName(), "ouvrir");
            EXPECT_TRUE(dialogue->isModal());
            ASSERT_NE(fond, nullptr);
            EXPECT_EQ(fond->objectName(), "MAJ");
            EXPECT_TRUE(fond->isVisible());
            EXPECT_TRUE(fond->windowState() & Qt::WindowMaximized);
            EXPECT_EQ(fond->windowTitle(), "Mise à jour du logiciel Velorine");
            etape = 1;
            dialogue->close(); // the close box
        } else if (etape == 1) {
            EXPECT_FALSE(dialogue->isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
            EXPECT_TRUE(fond->isVisible());
            etape = 2;
            fond->close();
        }
    });
    suivi.start();

    EtapesInternet etapes;
    EXPECT_EQ(executerfenetres(etat, services, etapes, false, [] { return QList<Lecteur>{{"/", "/ (Système)"}}; }), 0);
    EXPECT_EQ(etape, 2);
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
    EXPECT_EQ(faux.coquille.terminaisons, 0);
    EXPECT_TRUE(faux.dialogues.boites.empty());
}

} // namespace
} // namespace velorine
