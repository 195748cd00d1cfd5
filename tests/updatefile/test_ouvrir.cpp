// The update file dialog, driven through its real widgets: drives, folders,
// files, the path in ficharge, and the installation it starts.

#include "dossiers.h"
#include "records/etat.h"
#include "faux.h"
#include "platform/fenetres.h"
#include "updatefile/ouvrir.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <unistd.h>

namespace velorine {
namespace {

using test::Boite;

class Ouvrir : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        racine = QDir(tmp.path()).canonicalPath();
        produit = racine + "/produit";
        cle = racine + "/cle";
        depart = racine + "/depart";
        for (const QString& d : {produit + "/DONNEES", cle + "/DONNEES", cle + "/sous", depart})
            QDir().mkpath(d);

        // The product as installed.
        test::ecrirefichier(produit + "/LECON1.DAT", "leçon 1 d'origine");
        test::ecrirefichier(produit + "/DONNEES/sons.dat", "sons d'origine");
        // The stick: an update, a second update file, other files.
        test::ecrirefichier(cle + "/DECEMBRE.MAJ",
                            test::fichierenregistrements({"MAJQZ", "LECON1.DAT", "DONNEES\\SONS.DAT", "FINI"}));
        test::ecrirefichier(cle + "/LECON1.DAT", "leçon 1 de décembre");
        test::ecrirefichier(cle + "/DONNEES/SONS.DAT", "sons de décembre");
        test::ecrirefichier(cle + "/zeta.Maj", test::fichierenregistrements({"MAJQZ", "FINI"}));
        test::ecrirefichier(cle + "/notes.txt", "");
        test::ecrirefichier(cle + "/sous/MANQUE.maj", test::fichierenregistrements({"MAJQZ", "ABSENT.DAT", "FINI"}));
        test::ecrirefichier(cle + "/sous/minus.maj", test::fichierenregistrements({"majqz", "FINI"}));

        lecteurs = {{"/", "/ (Système)"}, {cle, "CLE"}, {racine + "/absent", "ABSENT"}};
        etat.dossierproduit = produit;
        ASSERT_TRUE(QDir::setCurrent(depart));
    }

    void TearDown() override
    {
        fenetre.reset();
        QDir::setCurrent(dossierinitial);
    }

    // Opens the dialog on the current folder, shown and active.
    void montrer()
    {
        fenetre = std::make_unique<ouvrir>(etat, services, [this] { return lecteurs; });
        fenetre->show();
        fenetre->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(fenetre.get()));
        Command1 = enfant<QPushButton>("Command1");
        Command2 = enfant<QPushButton>("Command2");
        Dir1 = enfant<QTreeWidget>("Dir1");
        File1 = enfant<QListWidget>("File1");
        Drive1 = enfant<QComboBox>("Drive1");
        ficharge = enfant<QLineEdit>("ficharge");
    }

    template <class T>
    T* enfant(const char* nom)
    {
        T* w = fenetre->findChild<T*>(QString::fromLatin1(nom));
        EXPECT_NE(w, nullptr) << nom;
        return w;
    }

    // The folder Dir1 shows: its highlighted entry right after a change.
    QString dossierDir1() const
    {
        return Dir1->currentItem() ? Dir1->currentItem()->data(0, Qt::UserRole).toString() : QString();
    }

    QStringList fichiers() const
    {
        QStringList noms;
        for (int i = 0; i < File1->count(); ++i)
            noms.append(File1->item(i)->text());
        return noms;
    }

    // Picks a drive as a user does: opens the list, moves to it, Enter.
    void choisirlecteur(const QString& libelle)
    {
        Drive1->showPopup();
        QAbstractItemView* vue = Drive1->view();
        const int i = Drive1->findText(libelle);
        ASSERT_GE(i, 0) << qPrintable(libelle);
        vue->setCurrentIndex(Drive1->model()->index(i, 0));
        QTest::keyClick(vue, Qt::Key_Return);
    }

    QTreeWidgetItem* entreeDir1(const QString& dossier) const
    {
        for (QTreeWidgetItemIterator it(Dir1); *it; ++it)
            if ((*it)->data(0, Qt::UserRole).toString() == dossier)
                return *it;
        return nullptr;
    }

    void doubleclicDir1(const QString& dossier)
    {
        QTreeWidgetItem* entree = entreeDir1(dossier);
        ASSERT_NE(entree, nullptr) << qPrintable(dossier);
        Dir1->scrollToItem(entree);
        QCoreApplication::processEvents(); // the pending layout of the list
        doubleclic(Dir1->viewport(), Dir1->visualItemRect(entree).center());
    }

    // A double click as the window system delivers it: press, release,
    // press, double click, release.
    void doubleclic(QWidget* cible, QPoint point)
    {
        QTest::mouseDClick(fenetre->windowHandle(), Qt::LeftButton, {}, cible->mapTo(fenetre.get(), point));
    }

    QPoint pointFile1(const QString& nom)
    {
        QCoreApplication::processEvents(); // the pending layout of the list
        const QList<QListWidgetItem*> trouves = File1->findItems(nom, Qt::MatchExactly);
        EXPECT_EQ(trouves.size(), 1) << qPrintable(nom);
        return trouves.isEmpty() ? QPoint() : File1->visualItemRect(trouves.front()).center();
    }

    void clicFile1(const QString& nom) { QTest::mouseClick(File1->viewport(), Qt::LeftButton, {}, pointFile1(nom)); }

    QTemporaryDir tmp;
    QString racine, produit, cle, depart;
    const QString dossierinitial = QDir::currentPath();
    QList<Lecteur> lecteurs;
    test::Faux faux;
    Services services = faux.services();
    Etat etat;
    std::unique_ptr<ouvrir> fenetre;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QTreeWidget* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    QComboBox* Drive1 = nullptr;
    QLineEdit* ficharge = nullptr;
};

TEST_F(Ouvrir, LaFenetreSuitSonDessin)
{
    montrer();
    EXPECT_EQ(fenetre->objectName(), "ouvrir");
    EXPECT_EQ(fenetre->windowTitle(), "Ouvrir fichier .MAJ");
    EXPECT_EQ(fenetre->size(), QSize(twips(7830), twips(3810)));
    EXPECT_EQ(fenetre->palette().color(QPalette::Window), QColor(192, 192, 192));

    const struct {
        const char* nom;
        const char* classe;
        QRect place;
        QString texte;
    } controles[] = {
        {"Command1", "QPushButton", twips(5640, 3000, 1815, 375), "OUVRIR"},
        {"Command2", "QPushButton", twips(5640, 2520, 1815, 375), "ANNULER"},
        {"Dir1", "QTreeWidget", twips(480, 720, 2415, 2790), {}},
        {"File1", "QListWidget", twips(3240, 1875, 2175, 1650), {}},
        {"Drive1", "QComboBox", twips(960, 240, 1935, 315), "/ (Système)"},
        {"Label1", "QLabel", twips(240, 300, 735, 255), "Lecteur:"},
        {"Frame1", "QFrame", twips(3240, 120, 4215, 1575), {}},
        {"ficharge", "QLineEdit", twips(120, 360, 3975, 285), ""},
        {"Label2", "QLabel", twips(240, 840, 3855, 495),
         "Rechercher le fichier de mise à jour (*.maj) et appuyer sur ouvrir."},
    };
    for (const auto& c : controles) {
        SCOPED_TRACE(c.nom);
        QWidget* w = enfant<QWidget>(c.nom);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(c.classe));
        EXPECT_EQ(w->geometry(), c.place);
        QString texte;
        if (auto* b = qobject_cast<QPushButton*>(w))
            texte = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            texte = l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            texte = e->text();
        else if (auto* d = qobject_cast<QComboBox*>(w))
            texte = d->currentText();
        EXPECT_EQ(texte, c.texte);
    }
    QWidget* Frame1 = enfant<QWidget>("Frame1");
    EXPECT_EQ(ficharge->parentWidget(), Frame1);
    EXPECT_EQ(enfant<QLabel>("Label2")->parentWidget(), Frame1);
    for (const char* nom : {"Label1", "Label2"})
        EXPECT_EQ(enfant<QLabel>(nom)->palette().color(QPalette::WindowText), QColor(0, 0, 128)) << nom;
    EXPECT_EQ(enfant<QLabel>("Label2")->font().pointSizeF(), 9.75);
    EXPECT_FALSE(enfant<QLabel>("Label2")->font().bold());
    EXPECT_FALSE(enfant<QLabel>("Label2")->autoFillBackground());

    // The frame is painted in the window's light grey, inside and out.
    const QImage image = fenetre->grab().toImage();
    for (const QPoint dedans :
         {QPoint(twips(2000), twips(200)), QPoint(twips(2000), twips(1450)), QPoint(twips(60), twips(1000))}) {
        const QPoint point = Frame1->mapTo(fenetre.get(), dedans);
        EXPECT_EQ(image.pixelColor(point), QColor(192, 192, 192)) << point.x() << "," << point.y();
    }
    EXPECT_EQ(image.pixelColor(Frame1->geometry().topLeft() - QPoint(3, 3)), QColor(192, 192, 192));

    // The lists start on the current folder.
    EXPECT_EQ(dossierDir1(), depart);
    EXPECT_TRUE(fichiers().isEmpty());

    // The focus starts on "OUVRIR" and Tab follows the design's order.
    QStringList ordre;
    for (int i = 0; i < 7; ++i) {
        ordre.append(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(ordre, (QStringList{"Command1", "Command2", "Dir1", "File1", "Drive1", "ficharge", "Command1"}));

    // Escape does not close the dialog.
    QTest::keyClick(fenetre.get(), Qt::Key_Escape);
    EXPECT_TRUE(fenetre->isVisible());
}

TEST_F(Ouvrir, LecteursPretsEtLecteurAbsent)
{
    montrer();
    choisirlecteur("CLE");
    EXPECT_EQ(Drive1->currentText(), "CLE");
    EXPECT_EQ(dossierDir1(), cle);
    EXPECT_EQ(fichiers(), (QStringList{"DECEMBRE.MAJ", "zeta.Maj"}));

    // A drive that is not ready: the lists keep the old folder and the drive
    // list goes back to the old drive. The keyboard moves to it this time.
    Drive1->setFocus();
    QTest::keyClick(Drive1, Qt::Key_Down);
    EXPECT_EQ(Drive1->currentText(), "CLE");
    EXPECT_EQ(dossierDir1(), cle);
    EXPECT_EQ(fichiers(), (QStringList{"DECEMBRE.MAJ", "zeta.Maj"}));

    // Back on the first drive: its current folder.
    choisirlecteur("/ (Système)");
    EXPECT_EQ(dossierDir1(), depart);
    EXPECT_TRUE(fichiers().isEmpty());
}

// Picking the drive already shown is no change of drive: the folder stays.
TEST_F(Ouvrir, ReprendreLeLecteurAfficheNeChangeRien)
{
    montrer();
    choisirlecteur("CLE");
    doubleclicDir1(cle + "/sous");
    ASSERT_EQ(dossierDir1(), cle + "/sous");
    choisirlecteur("CLE");
    EXPECT_EQ(Drive1->currentText(), "CLE");
    EXPECT_EQ(dossierDir1(), cle + "/sous");
    EXPECT_EQ(fichiers(), (QStringList{"MANQUE.maj", "minus.maj"}));
}

// The folder list shows the folders of the chosen drive only: its tree
// starts at the drive's root.
TEST_F(Ouvrir, LesDossiersPartentDeLaRacineDuLecteur)
{
    const auto sommet = [this] {
        EXPECT_EQ(Dir1->topLevelItemCount(), 1);
        return Dir1->topLevelItemCount() > 0 ? Dir1->topLevelItem(0) : nullptr;
    };
    montrer();
    ASSERT_NE(sommet(), nullptr);
    EXPECT_EQ(sommet()->data(0, Qt::UserRole).toString(), "/");
    EXPECT_EQ(sommet()->text(0), "/");

    choisirlecteur("CLE");
    ASSERT_NE(sommet(), nullptr);
    EXPECT_EQ(sommet()->data(0, Qt::UserRole).toString(), cle);
    EXPECT_EQ(sommet()->text(0), "cle");
    EXPECT_EQ(entreeDir1("/"), nullptr);
    EXPECT_EQ(entreeDir1(racine), nullptr);
    ASSERT_NE(entreeDir1(cle + "/sous"), nullptr);

    // Down into a folder and back up to the drive's root: the tree still
    // starts there.
    doubleclicDir1(cle + "/sous");
    EXPECT_EQ(sommet()->data(0, Qt::UserRole).toString(), cle);
    EXPECT_EQ(entreeDir1(racine), nullptr);
    doubleclicDir1(cle);
    EXPECT_EQ(dossierDir1(), cle);
    EXPECT_EQ(sommet()->data(0, Qt::UserRole).toString(), cle);
}

TEST_F(Ouvrir, DossiersParDoubleClicEtParEntree)
{
    montrer();
    choisirlecteur("CLE");

    doubleclicDir1(cle + "/sous");
    EXPECT_EQ(dossierDir1(), cle + "/sous");
    EXPECT_EQ(fichiers(), (QStringList{"MANQUE.maj", "minus.maj"}));

    // The arrows move the highlight only; Enter opens the highlighted folder.
    Dir1->setFocus();
    QTest::keyClick(Dir1, Qt::Key_Up);
    EXPECT_EQ(fichiers(), (QStringList{"MANQUE.maj", "minus.maj"}));
    QTest::keyClick(Dir1, Qt::Key_Return);
    EXPECT_EQ(dossierDir1(), cle);
    EXPECT_EQ(fichiers(), (QStringList{"DECEMBRE.MAJ", "zeta.Maj"}));

    QTest::keyClick(Dir1, Qt::Key_Down); // DONNEES, the first sub-folder
    QTest::keyClick(Dir1, Qt::Key_Enter);
    EXPECT_EQ(dossierDir1(), cle + "/DONNEES");
    EXPECT_TRUE(fichiers().isEmpty());
    EXPECT_TRUE(faux.dialogues.boites.empty());
}

TEST_F(Ouvrir, LeMotifIgnoreLaCasse)
{
    const struct {
        const char* nom;
        bool liste;
    } cas[] = {
        {"a.maj", true},  {"B.MAJ", true}, {"c.Maj", true},      {"d.majx", false},
        {"e.txt", false}, {"maj", false},  {"f.maj.bak", false}, {".cache.maj", false},
    };
    QStringList attendus;
    for (const auto& c : cas) {
        test::ecrirefichier(depart + "/" + c.nom, "");
        if (c.liste)
            attendus.append(c.nom);
    }
    QDir().mkpath(depart + "/dossier.maj");
    montrer();
    EXPECT_EQ(fichiers(), attendus);
}

TEST_F(Ouvrir, UnClicSurUnFichierDonneSonChemin)
{
    montrer();
    choisirlecteur("CLE");
    clicFile1("DECEMBRE.MAJ");
    EXPECT_EQ(ficharge->text(), cle + "/DECEMBRE.MAJ");
    EXPECT_EQ(QDir::currentPath(), cle);

    // Moving the selection with the keyboard counts as a click.
    File1->setFocus();
    QTest::keyClick(File1, Qt::Key_Down);
    EXPECT_EQ(ficharge->text(), cle + "/zeta.Maj");
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
}

// Every key that moves the selection of File1 fills ficharge, from the first
// key after the focus came in with Tab: with one file as with several.
TEST_F(Ouvrir, LesTouchesQuiDeplacentLaSelectionRemplissentFicharge)
{
    const QStringList un{"SEUL.MAJ"};
    const QStringList trois{"A.MAJ", "B.MAJ", "C.MAJ"};
    const struct {
        QStringList fichiers;
        std::vector<Qt::Key> touches;
        QStringList choisis; // the file in ficharge after each key
    } cas[] = {
        {un, {Qt::Key_Down}, {"SEUL.MAJ"}},
        {un, {Qt::Key_Up}, {"SEUL.MAJ"}},
        {un, {Qt::Key_Home}, {"SEUL.MAJ"}},
        {un, {Qt::Key_End}, {"SEUL.MAJ"}},
        {un, {Qt::Key_PageDown}, {"SEUL.MAJ"}},
        {trois, {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up}, {"A.MAJ", "B.MAJ", "A.MAJ"}},
        {trois, {Qt::Key_Up, Qt::Key_Up}, {"A.MAJ", "A.MAJ"}},
        {trois, {Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown}, {"C.MAJ", "A.MAJ", "C.MAJ"}},
        {trois, {Qt::Key_Home, Qt::Key_Down, Qt::Key_End, Qt::Key_PageUp}, {"A.MAJ", "B.MAJ", "C.MAJ", "A.MAJ"}},
    };
    int n = 0;
    for (const auto& c : cas) {
        SCOPED_TRACE(n);
        const QString dossier = racine + QStringLiteral("/cas%1").arg(n++);
        ASSERT_TRUE(QDir().mkpath(dossier));
        for (const QString& nom : c.fichiers)
            test::ecrirefichier(dossier + "/" + nom, test::fichierenregistrements({"MAJQZ", "FINI"}));
        ASSERT_TRUE(QDir::setCurrent(dossier));
        montrer();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), File1);
        EXPECT_EQ(ficharge->text(), QString());
        for (std::size_t i = 0; i < c.touches.size(); ++i) {
            QTest::keyClick(File1, c.touches[i]);
            EXPECT_EQ(ficharge->text(), dossier + "/" + c.choisis[static_cast<qsizetype>(i)]) << i;
        }
        EXPECT_TRUE(faux.dialogues.boites.empty());
        fenetre.reset();
    }
}

// A symbolic link is refused as an update file, so it is not offered: a
// link to a good update file, a dangling one, one to a folder.
TEST_F(Ouvrir, LesLiensNeSontPasProposes)
{
    test::ecrirefichier(depart + "/VRAI.MAJ", test::fichierenregistrements({"MAJQZ", "FINI"}));
    ASSERT_EQ(::symlink(qPrintable(depart + "/VRAI.MAJ"), qPrintable(depart + "/LIEN.MAJ")), 0);
    ASSERT_EQ(::symlink(qPrintable(cle + "/DECEMBRE.MAJ"), qPrintable(depart + "/AILLEURS.maj")), 0);
    ASSERT_EQ(::symlink(qPrintable(racine + "/perdu"), qPrintable(depart + "/PERDU.MAJ")), 0);
    ASSERT_EQ(::symlink(qPrintable(cle), qPrintable(depart + "/DOSSIER.MAJ")), 0);
    montrer();
    EXPECT_EQ(fichiers(), QStringList{"VRAI.MAJ"});
}

TEST_F(Ouvrir, ALaRacineUnSeulSeparateur)
{
    const QString nom = QStringLiteral("velorine-essai-%1.maj").arg(::getpid());
    QFile fichier("/" + nom);
    if (!fichier.open(QIODevice::WriteOnly))
        GTEST_SKIP() << "la racine n'accepte pas de fichier";
    fichier.close();
    const auto menage = qScopeGuard([&] { QFile::remove("/" + nom); });

    montrer();
    doubleclicDir1("/");
    EXPECT_EQ(dossierDir1(), "/");
    clicFile1(nom);
    EXPECT_EQ(ficharge->text(), "/" + nom);
}

TEST_F(Ouvrir, DoubleClicInstalleAussitot)
{
    montrer();
    choisirlecteur("CLE");
    doubleclic(File1->viewport(), pointFile1("DECEMBRE.MAJ"));

    EXPECT_EQ(test::lirefichier(produit + "/LECON1.DAT"), "leçon 1 de décembre");
    EXPECT_EQ(test::lirefichier(produit + "/DONNEES/sons.dat"), "sons de décembre");
    EXPECT_EQ(faux.dialogues.boites,
              (std::vector<Boite>{{Icone::Information, "Mise à jour terminée", "La mise à jour a réussi"}}));
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit + "/VELORINE.EXE"});
    EXPECT_EQ(faux.coquille.terminaisons, 1);
}

// A person with only a keyboard: Tab to the drives, pick the stick, Tab back
// to the files, pick the update, Tab to "OUVRIR", Space.
TEST_F(Ouvrir, AuClavierSeulementEtSablier)
{
    montrer();
    Qt::CursorShape pendant = Qt::ArrowCursor;
    faux.dialogues.apres = [&](const Boite&) { pendant = fenetre->cursor().shape(); };

    for (int i = 0; i < 4; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Drive1);
    QTest::keyClick(Drive1, Qt::Key_Down);
    ASSERT_EQ(Drive1->currentText(), "CLE");
    QTest::keyClick(Drive1, Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), File1);
    QTest::keyClick(File1, Qt::Key_Home);
    QTest::keyClick(File1, Qt::Key_Space);
    EXPECT_EQ(ficharge->text(), cle + "/DECEMBRE.MAJ");
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Command1);
    QTest::keyClick(Command1, Qt::Key_Space);

    EXPECT_EQ(test::lirefichier(produit + "/LECON1.DAT"), "leçon 1 de décembre");
    EXPECT_EQ(faux.dialogues.boites,
              (std::vector<Boite>{{Icone::Information, "Mise à jour terminée", "La mise à jour a réussi"}}));
    EXPECT_EQ(pendant, Qt::WaitCursor);
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit + "/VELORINE.EXE"});
}

// The focus starts on "OUVRIR", and its focus frame shows from the start, as
// it does once the keyboard brings the focus back to it.
TEST_F(Ouvrir, LeCadreDuFocusDeOuvrirEstVisibleDesLeDebut)
{
    montrer();
    ASSERT_EQ(QApplication::focusWidget(), Command1);
    const QImage debut = Command1->grab().toImage();
    QTest::keyClick(Command1, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Command2);
    const QImage sansfocus = Command1->grab().toImage();
    QTest::keyClick(Command2, Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), Command1);
    EXPECT_NE(debut, sansfocus);
    EXPECT_EQ(debut, Command1->grab().toImage());
}

// No button is a default button: Enter in the path, the file list or the
// drive list presses nothing, neither "ANNULER" nor "OUVRIR". A button with
// the focus is pressed by Enter.
TEST_F(Ouvrir, EntreeNAppuieQueLeBoutonQuiALeFocus)
{
    montrer();
    Drive1->setFocus();
    QTest::keyClick(Drive1, Qt::Key_Down);
    ASSERT_EQ(Drive1->currentText(), "CLE");
    clicFile1("DECEMBRE.MAJ");
    ASSERT_EQ(ficharge->text(), cle + "/DECEMBRE.MAJ");
    for (QWidget* w : std::initializer_list<QWidget*>{File1, ficharge, Drive1}) {
        SCOPED_TRACE(w->objectName().toStdString());
        w->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), w);
        for (Qt::Key touche : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(w, touche);
        EXPECT_TRUE(faux.dialogues.boites.empty());
        EXPECT_TRUE(faux.coquille.demarres.isEmpty());
        EXPECT_TRUE(fenetre->isVisible());
        EXPECT_EQ(test::lirefichier(produit + "/LECON1.DAT"), "leçon 1 d'origine");
        EXPECT_FALSE(Command1->isDefault());
        EXPECT_FALSE(Command2->isDefault());
    }

    Command1->setFocus();
    QTest::keyClick(Command1, Qt::Key_Return);
    EXPECT_EQ(test::lirefichier(produit + "/LECON1.DAT"), "leçon 1 de décembre");
    EXPECT_EQ(faux.dialogues.boites,
              (std::vector<Boite>{{Icone::Information, "Mise à jour terminée", "La mise à jour a réussi"}}));
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit + "/VELORINE.EXE"});
}

TEST_F(Ouvrir, EntreeSurAnnulerRelanceLeProduit)
{
    montrer();
    Command2->setFocus();
    QTest::keyClick(Command2, Qt::Key_Enter);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit + "/VELORINE.EXE"});
}

TEST_F(Ouvrir, UneCopieRateeLaisseLeDialogueOuvert)
{
    montrer();
    choisirlecteur("CLE");
    doubleclicDir1(cle + "/sous");
    clicFile1("MANQUE.maj");
    Qt::CursorShape pendant = Qt::ArrowCursor;
    faux.dialogues.apres = [&](const Boite&) { pendant = fenetre->cursor().shape(); };

    QTest::mouseClick(Command1, Qt::LeftButton);

    EXPECT_EQ(faux.dialogues.boites,
              (std::vector<Boite>{
                  {Icone::Erreur, "Mise à jour impossible",
                   "Fichier " + cle + "/sous/ABSENT.DAT introuvable ou déjà ouvert ou espace disque insuffisant."}}));
    EXPECT_EQ(pendant, Qt::WaitCursor);
    EXPECT_EQ(fenetre->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(fenetre->isVisible());
    EXPECT_EQ(ficharge->text(), cle + "/sous/MANQUE.maj");
    EXPECT_EQ(dossierDir1(), cle + "/sous");
    EXPECT_EQ(fichiers(), (QStringList{"MANQUE.maj", "minus.maj"}));
    EXPECT_EQ(Drive1->currentText(), "CLE");
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
    EXPECT_FALSE(etat.fente.ouverte());
}

TEST_F(Ouvrir, UnFichierNonValideRelanceLeProduit)
{
    montrer();
    choisirlecteur("CLE");
    doubleclicDir1(cle + "/sous");
    clicFile1("minus.maj");
    QTest::mouseClick(Command1, Qt::LeftButton);

    EXPECT_EQ(faux.dialogues.boites, (std::vector<Boite>{{Icone::Erreur, "Mise à jour impossible",
                                                          "Fichier " + cle + "/sous/minus.maj non valide"}}));
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit + "/VELORINE.EXE"});
    EXPECT_EQ(test::lirefichier(produit + "/LECON1.DAT"), "leçon 1 d'origine");
}

TEST_F(Ouvrir, OuvrirSansCheminNeFaitRien)
{
    montrer();
    QTest::keyClicks(ficharge, "   ");
    QTest::mouseClick(Command1, Qt::LeftButton);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
    EXPECT_EQ(fenetre->cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(fenetre->isVisible());
}

TEST_F(Ouvrir, AnnulerRelanceLeProduit)
{
    montrer();
    QTest::mouseClick(Command2, Qt::LeftButton);
    EXPECT_TRUE(faux.dialogues.boites.empty());
    EXPECT_EQ(faux.coquille.demarres, QStringList{produit + "/VELORINE.EXE"});
    EXPECT_EQ(faux.coquille.terminaisons, 1);
}

TEST(Lecteurs, LeLecteurDUnDossierEstLaRacineLaPlusLongue)
{
    const QList<Lecteur> lecteurs{
        {"/", "/ (Système)"}, {"/home/eleve", "Dossier personnel"}, {"/media/eleve/CLE", "CLE"}};
    const struct {
        const char* dossier;
        qsizetype lecteur;
    } cas[] = {
        {"/", 0},
        {"/tmp", 0},
        {"/home/eleve", 1},
        {"/home/eleve/Documents", 1},
        {"/home/eleves", 0},
        {"/media/eleve/CLE", 2},
        {"/media/eleve/CLE/MAJ", 2},
        {"/media/eleve/CLEF", 0},
    };
    for (const auto& c : cas)
        EXPECT_EQ(indexlecteur(lecteurs, c.dossier), c.lecteur) << c.dossier;
    EXPECT_EQ(indexlecteur({{"/media/x", "X"}}, "/tmp"), -1);
}

TEST(Lecteurs, LaMachineOffreLaRacineEtLeDossierPersonnel)
{
    const QList<Lecteur> lecteurs = lecteursmachine();
    ASSERT_FALSE(lecteurs.isEmpty());
    EXPECT_EQ(lecteurs.front(), (Lecteur{"/", "/ (Système)"}));
    if (QDir::homePath() != "/") {
        EXPECT_TRUE(lecteurs.contains(Lecteur{QDir::cleanPath(QDir::homePath()), "Dossier personnel"}));
    }
    for (const Lecteur& l : lecteurs.mid(1))
        EXPECT_FALSE(l.libelle.isEmpty()) << qPrintable(l.racine);
}

} // namespace
} // namespace velorine
