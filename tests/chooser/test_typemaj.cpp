// The chooser typemaj with real widgets: its design, the version line, the
// highlight of the entries under the pointer and the three choices.

#include "dossiers.h"
#include "etapesfactices.h"
#include "faux.h"
#include "download/feuilleftp.h"
#include "platform/fenetres.h"
#include "chooser/typemaj.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velorine;
using namespace velorine::test;

namespace {

const QColor bleufonce(0, 0, 128);
const QColor bleu(0, 0, 192);

class TypeMaj : public ::testing::Test {
protected:
    void SetUp() override
    {
        etapes.reinitialiser();
        etat.dossierproduit = dossier.path();
    }
    void TearDown() override { etapes.reinitialiser(); }

    QString chemin(const QString& nom) const { return QDir(dossier.path()).filePath(nom); }
    void niveau(const QString& texte)
    {
        QStringList tempo(23, QStringLiteral("réglage"));
        tempo.append(texte);
        ecrirefichier(chemin("TEMPO.QZS"), fichierenregistrements(tempo));
    }
    QString versiondeco() const { return choix.findChild<QLabel*>(QStringLiteral("Labeldeco"))->text(); }
    void montrer()
    {
        choix.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&choix));
    }
    // Which entries are highlighted: bold and in the lighter blue; the others
    // must be dark blue and not bold.
    std::vector<int> enevidence() const
    {
        std::vector<int> indexes;
        for (int i = 0; i < 3; ++i) {
            const QLabel* e = choix.entree(i);
            const QColor c = e->palette().color(QPalette::WindowText);
            if (e->font().bold()) {
                EXPECT_EQ(c, bleu) << i;
                indexes.push_back(i);
            } else {
                EXPECT_EQ(c, bleufonce) << i;
            }
        }
        return indexes;
    }
    QPoint centre(int index) const
    {
        const QLabel* e = choix.entree(index);
        return e->mapTo(&choix, e->rect().center());
    }

    QTemporaryDir dossier;
    Etat etat;
    Faux faux;
    Services services = faux.services();
    EtapesFactices etapes;
    typemaj choix{etat, services, etapes};
};

} // namespace

TEST_F(TypeMaj, Dessin)
{
    EXPECT_EQ(choix.objectName(), QStringLiteral("typemaj"));
    EXPECT_EQ(choix.windowTitle(), QString());
    EXPECT_EQ(choix.size(), QSize(twips(6720), twips(2535)));
    EXPECT_EQ(choix.palette().color(QPalette::Window), QColor(247, 247, 225));
    const QImage icone = choix.windowIcon().pixmap(16, 16).toImage();
    ASSERT_FALSE(icone.isNull());
    EXPECT_EQ(qAlpha(icone.pixel(8, 8)), 0);

    const QLabel* titre = choix.findChild<QLabel*>(QStringLiteral("Label2"));
    ASSERT_NE(titre, nullptr);
    EXPECT_EQ(titre->text(), QStringLiteral("Quelle procédure de mise à jour ?"));
    // As designed, or wider when the desktop's font needs it for one line.
    EXPECT_EQ(titre->pos(), QPoint(twips(240), twips(120)));
    EXPECT_EQ(titre->height(), twips(615));
    EXPECT_GE(titre->width(), twips(5895));
    EXPECT_LE(titre->geometry().right(), choix.width());
    EXPECT_TRUE(titre->width() == twips(5895)
                || titre->width() == titre->fontMetrics().horizontalAdvance(titre->text()) + 2);
    EXPECT_EQ(titre->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    EXPECT_FALSE(titre->autoFillBackground());
    EXPECT_EQ(titre->font().pointSizeF(), 18);

    const QList<QLabel*> entrees = choix.findChildren<QLabel*>(QStringLiteral("Label1"));
    ASSERT_EQ(entrees.size(), 3);
    const char16_t* textes[] = {u"Automatique par téléchargement", u"A partir d'un fichier de mise à jour ( *.MAJ )",
                                u"Annuler"};
    const int hauts[] = {840, 1320, 1800};
    for (int i = 0; i < 3; ++i) {
        const QLabel* e = choix.entree(i);
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(entrees.contains(e));
        EXPECT_EQ(e->property("index").toInt(), i);
        EXPECT_EQ(e->text(), QString::fromUtf16(textes[i]));
        EXPECT_EQ(e->geometry(), QRect(twips(720), twips(hauts[i]), twips(5055), twips(375)));
        EXPECT_TRUE(e->alignment() & Qt::AlignHCenter);
        EXPECT_FALSE(e->autoFillBackground());
        EXPECT_EQ(e->palette().color(QPalette::WindowText), bleufonce);
        EXPECT_EQ(e->font().pointSizeF(), 9.75);
        EXPECT_FALSE(e->font().bold());
        const QCursor pointeur = e->cursor();
        EXPECT_EQ(pointeur.shape(), Qt::BitmapCursor);
        EXPECT_EQ(pointeur.hotSpot(), QPoint(12, 1));
        const QImage main = pointeur.pixmap().toImage();
        ASSERT_EQ(main.size(), QSize(32, 32));
        EXPECT_EQ(main.pixelColor(12, 1), QColor(Qt::black)); // the fingertip
        EXPECT_EQ(qAlpha(main.pixel(0, 0)), 0);
    }
    EXPECT_EQ(choix.entree(3), nullptr);

    const QLabel* deco = choix.findChild<QLabel*>(QStringLiteral("Labeldeco"));
    ASSERT_NE(deco, nullptr);
    EXPECT_EQ(deco->text(), QStringLiteral("Label3")); // until the load
    EXPECT_EQ(deco->geometry(), QRect(0, twips(2280), twips(6735), twips(255)));
    EXPECT_TRUE(deco->autoFillBackground());
    EXPECT_EQ(deco->palette().color(QPalette::Window), QColor(255, 255, 192));
    EXPECT_EQ(deco->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    EXPECT_TRUE(deco->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(deco->font().pointSizeF(), 8.25);
    EXPECT_TRUE(deco->font().bold());
}

TEST_F(TypeMaj, LigneDeVersion)
{
    struct Cas {
        const char* texte;
        int avant;
        const char16_t* ligne;
        int apres;
    };
    const Cas cas[] = {
        {" 0", 9, u"Version actuelle : version d'origine", 0},
        {" 12", 0, u"Version actuelle : 1.12", 12},
        {"-3", 0, u"Version actuelle : 1.-3", -3},
        {" 7", 0, u"Version actuelle : 1.7", 7},
        {"", 9, u"Version actuelle : version d'origine", 0},
        {"99999", 7, u"Version actuelle : 1.7", 7}, // out of range: the level stays
        {"99999", 0, u"Version actuelle : version d'origine", 0},
    };
    for (const Cas& c : cas) {
        niveau(QString::fromLatin1(c.texte));
        Etat e;
        e.dossierproduit = dossier.path();
        e.versionactuelle = static_cast<std::int16_t>(c.avant);
        typemaj t(e, services, etapes);
        t.show();
        EXPECT_EQ(t.findChild<QLabel*>(QStringLiteral("Labeldeco"))->text(), QString::fromUtf16(c.ligne)) << c.texte;
        EXPECT_EQ(e.versionactuelle, c.apres) << c.texte;
        EXPECT_EQ(e.fichiertempo, chemin("TEMPO.QZS"));
        EXPECT_FALSE(e.fente.ouverte());
    }
    EXPECT_TRUE(faux.dialogues.boites.empty());
}

TEST_F(TypeMaj, FichierDeReglagesIlisible)
{
    ASSERT_TRUE(QDir(dossier.path()).mkdir("TEMPO.QZS"));
    etat.versionactuelle = 4;
    montrer();
    EXPECT_EQ(versiondeco(), QStringLiteral("Version actuelle : version d'origine"));
    EXPECT_EQ(etat.versionactuelle, 0);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_FALSE(etat.fente.ouverte());
}

TEST_F(TypeMaj, FichierDeReglagesAbsentCreeVide)
{
    montrer();
    EXPECT_EQ(versiondeco(), QStringLiteral("Version actuelle : version d'origine"));
    EXPECT_TRUE(QFileInfo(chemin("TEMPO.QZS")).isFile());
}

TEST_F(TypeMaj, LeNiveauEstLuAuPremierAffichageSeulement)
{
    niveau(" 3");
    montrer();
    EXPECT_EQ(versiondeco(), QStringLiteral("Version actuelle : 1.3"));
    niveau(" 4");
    choix.hide();
    montrer();
    EXPECT_EQ(versiondeco(), QStringLiteral("Version actuelle : 1.3"));
}

TEST_F(TypeMaj, MiseEnEvidenceSousLePointeur)
{
    montrer();
    EXPECT_TRUE(enevidence().empty());

    QTest::mouseMove(&choix, centre(2));
    EXPECT_EQ(enevidence(), std::vector<int>{2});

    // Out of the entries, then out of the window: "Annuler" stays highlighted.
    QTest::mouseMove(&choix, QPoint(5, 5));
    EXPECT_EQ(enevidence(), std::vector<int>{2});
    QTest::mouseMove(&choix, QPoint(choix.width() + 40, choix.height() + 40));
    EXPECT_EQ(enevidence(), std::vector<int>{2});

    QTest::mouseMove(&choix, centre(1));
    EXPECT_EQ(enevidence(), std::vector<int>{1});
    QTest::mouseMove(&choix, centre(1) + QPoint(3, 0)); // every movement applies the rule again
    EXPECT_EQ(enevidence(), std::vector<int>{1});
    QTest::mouseMove(&choix, centre(0));
    EXPECT_EQ(enevidence(), std::vector<int>{0});
}

TEST_F(TypeMaj, UnClicRemetAbandonAFaux)
{
    bool abandonvu = true;
    int ouvertures = 0;
    choix.montrerouvrir = [&] {
        abandonvu = etat.abandon;
        ++ouvertures;
    };
    montrer();
    etat.abandon = true;
    QTest::mouseClick(choix.entree(1), Qt::LeftButton);
    EXPECT_EQ(ouvertures, 1);
    EXPECT_FALSE(abandonvu);
    EXPECT_FALSE(etat.abandon);
    EXPECT_TRUE(choix.isVisible()); // the chooser stays, usable again

    QTest::mouseClick(choix.entree(1), Qt::LeftButton);
    EXPECT_EQ(ouvertures, 2);
    // The right button does not choose.
    QTest::mouseClick(choix.entree(1), Qt::RightButton);
    EXPECT_EQ(ouvertures, 2);
}

TEST_F(TypeMaj, ChoixSansEffetEtSansSelecteur)
{
    etat.abandon = true;
    choix.Label1_Click(3);
    EXPECT_FALSE(etat.abandon);
    etat.abandon = true;
    choix.Label1_Click(-1);
    EXPECT_FALSE(etat.abandon);
    choix.Label1_Click(1); // no picker given: nothing happens
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
    EXPECT_TRUE(etapes.appels.isEmpty());
}

TEST_F(TypeMaj, AnnulerRelanceLeProduit)
{
    montrer();
    etat.abandon = true;
    QTest::mouseClick(choix.entree(2), Qt::LeftButton);
    EXPECT_FALSE(etat.abandon);
    EXPECT_EQ(faux.coquille.demarres, QStringList{chemin("VELORINE.EXE")});
    EXPECT_EQ(faux.coquille.terminaisons, 1);
}

TEST_F(TypeMaj, ChoixDeuxSansLaFenetre)
{
    // As the update run calls it: no load, no window on screen.
    Etat e;
    e.dossierproduit = dossier.path();
    e.abandon = true;
    typemaj t(e, services, etapes);
    EXPECT_THROW(t.Label1_Click(2), FinProcessus);
    EXPECT_FALSE(e.abandon);
    EXPECT_EQ(faux.coquille.demarres, QStringList{chemin("VELORINE.EXE")});
    EXPECT_FALSE(QFileInfo::exists(chemin("TEMPO.QZS"))); // the load did not run
}

TEST_F(TypeMaj, TelechargementQuiNePeutLireSesFichiers)
{
    ASSERT_TRUE(QDir(dossier.path()).mkdir("PARANET.LST"));
    ecrirefichier(chemin("LISTE.MAJ"), "ancienne");
    faux.numerotation.connectee = true;
    montrer();
    etat.abandon = false;

    QTest::mouseClick(choix.entree(0), Qt::LeftButton);

    const std::vector<Boite> attendues{
        {Icone::Erreur, QStringLiteral("Lecture impossible"), QStringLiteral("Lecture imposible sur le disque.")},
        {Icone::Question, QStringLiteral("Navigation terminée"), QStringLiteral("Voulez-vous fermer la connexion ?")},
    };
    EXPECT_EQ(faux.dialogues.boites, attendues);
    EXPECT_TRUE(etat.abandon);
    ASSERT_NE(choix.feuille(), nullptr);
    EXPECT_FALSE(choix.feuille()->isVisible());
    EXPECT_FALSE(QFileInfo::exists(chemin("LISTE.MAJ")));
    EXPECT_TRUE(etapes.appels.isEmpty());

    // The chooser is still there and answers.
    int ouvertures = 0;
    choix.montrerouvrir = [&] { ++ouvertures; };
    QTest::mouseClick(choix.entree(1), Qt::LeftButton);
    EXPECT_EQ(ouvertures, 1);
    EXPECT_FALSE(etat.abandon);
}

TEST_F(TypeMaj, TelechargementPuisRetourAuChoix)
{
    niveau(" 2");
    etapes.corpstesparti = [&](Etat& e, Services&, HoteEtapes& f) {
        e.abandon = true;
        f.decharger();
    };
    montrer();
    QTest::mouseClick(choix.entree(0), Qt::LeftButton);
    EXPECT_EQ(etapes.appels, QStringList({"cartesnet", "dresseliste", "tesparti"}));
    EXPECT_FALSE(choix.feuille()->isVisible());
    EXPECT_TRUE(choix.isVisible());

    // Again: the same window, loaded afresh.
    QTest::mouseClick(choix.entree(0), Qt::LeftButton);
    EXPECT_EQ(etapes.appels.size(), 6);
    EXPECT_EQ(choix.findChildren<feuilleFTP*>().size(), 1);
}

TEST_F(TypeMaj, EchapNeFermePasLeChoixSaCaseDeFermetureLeFerme)
{
    montrer();
    // Before an entry has the focus, Enter chooses nothing.
    for (Qt::Key touche : {Qt::Key_Return, Qt::Key_Enter})
        QTest::keyClick(&choix, touche);
    EXPECT_TRUE(choix.isVisible());
    EXPECT_TRUE(etapes.appels.isEmpty());
    QTest::keyClick(&choix, Qt::Key_Escape);
    EXPECT_TRUE(choix.isVisible());
    EXPECT_TRUE(choix.close());
    EXPECT_FALSE(choix.isVisible());
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
}

namespace {

// A person with only a keyboard reaches each entry with Tab or the arrows
// and chooses it with Enter or Space.
TEST_F(TypeMaj, AuClavierSeulementChaqueEntree)
{
    const struct {
        std::vector<Qt::Key> touches; // the last one chooses
        int choisie;
    } cas[] = {
        {{Qt::Key_Tab, Qt::Key_Return}, 0},
        {{Qt::Key_Down, Qt::Key_Space}, 0},
        {{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Enter}, 1},
        {{Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}, 1},
        {{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Space}, 1},
        {{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return}, 2},
        {{Qt::Key_Up, Qt::Key_Space}, 2},
        {{Qt::Key_Tab, Qt::Key_Up, Qt::Key_Return}, 2},  // the arrows go round
        {{Qt::Key_Up, Qt::Key_Down, Qt::Key_Return}, 0}, // and back again
        {{Qt::Key_Tab, Qt::Key_Right, Qt::Key_Left, Qt::Key_Right, Qt::Key_Space}, 1},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.touches.size() * 10 + static_cast<std::size_t>(c.choisie));
        Faux f;
        Services s = f.services();
        Etat e;
        e.dossierproduit = dossier.path();
        EtapesFactices etapesclavier;
        etapesclavier.corpstesparti = [](Etat&, Services&, HoteEtapes& h) { h.decharger(); };
        typemaj t(e, s, etapesclavier);
        int ouvertures = 0;
        t.montrerouvrir = [&] { ++ouvertures; };
        t.show();
        t.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&t));
        for (Qt::Key touche : c.touches) {
            QWidget* cible = QApplication::focusWidget();
            ASSERT_NE(cible, nullptr);
            QTest::keyClick(cible, touche);
        }
        EXPECT_EQ(etapesclavier.appels.isEmpty(), c.choisie != 0);
        EXPECT_EQ(ouvertures, c.choisie == 1 ? 1 : 0);
        EXPECT_EQ(f.coquille.demarres.isEmpty(), c.choisie != 2);
        if (c.choisie != 2) {
            // Back to the chooser, its focus where it was.
            EXPECT_TRUE(t.isVisible());
            EXPECT_EQ(t.focusWidget(), t.entree(c.choisie));
        }
    }
}

// The entry with the focus shows a focus mark, and only that one: the window
// looks as designed at first and once the focus has gone. A click chooses
// without moving the focus.
TEST_F(TypeMaj, LaMarqueDuFocusEtLaSourisInchangee)
{
    int ouvertures = 0;
    choix.montrerouvrir = [&] { ++ouvertures; };
    choix.show();
    choix.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&choix));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(choix.entree(i)->hasFocus()) << i;
    std::vector<QImage> avant;
    for (int i = 0; i < 3; ++i)
        avant.push_back(choix.entree(i)->grab().toImage());

    QTest::keyClick(&choix, Qt::Key_Tab);
    ASSERT_TRUE(choix.entree(0)->hasFocus());
    EXPECT_NE(choix.entree(0)->grab().toImage(), avant[0]);
    EXPECT_EQ(choix.entree(1)->grab().toImage(), avant[1]);
    QTest::keyClick(choix.entree(0), Qt::Key_Down);
    ASSERT_TRUE(choix.entree(1)->hasFocus());
    EXPECT_EQ(choix.entree(0)->grab().toImage(), avant[0]);
    EXPECT_NE(choix.entree(1)->grab().toImage(), avant[1]);

    QTest::mouseClick(choix.entree(2), Qt::LeftButton);
    EXPECT_TRUE(choix.entree(1)->hasFocus());
    EXPECT_FALSE(choix.entree(2)->hasFocus());
    EXPECT_EQ(faux.coquille.demarres, QStringList{chemin("VELORINE.EXE")});
}

} // namespace
