// What a screen reader reads of the windows: every control of the designs
// has a name and a role, and the chooser's entries are buttons it can press.

#include "records/etat.h"
#include "etapesfactices.h"
#include "faux.h"
#include "download/feuilleftp.h"
#include "updatefile/ouvrir.h"
#include "chooser/typemaj.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

using namespace velorine;
using namespace velorine::test;

namespace {

// The window and each of its named controls shown on screen: a name, and the
// role the table gives (or any role but none).
void verifier(QWidget* fenetre, const std::map<QString, QAccessible::Role>& roles)
{
    std::vector<QWidget*> controles{fenetre};
    for (QWidget* w : fenetre->findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_") && w->isVisibleTo(fenetre))
            controles.push_back(w);
    for (QWidget* w : controles) {
        SCOPED_TRACE(w->objectName().toStdString());
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty());
        EXPECT_NE(a->role(), QAccessible::NoRole);
        EXPECT_NE(a->role(), QAccessible::Client);
        const auto role = roles.find(w->objectName());
        if (role != roles.end()) {
            EXPECT_EQ(a->role(), role->second);
        }
    }
}

class Accessibilite : public ::testing::Test {
protected:
    void SetUp() override { etat.dossierproduit = dossier.path(); }

    QTemporaryDir dossier;
    Etat etat;
    Faux faux;
    Services services = faux.services();
    EtapesFactices etapes;
};

TEST_F(Accessibilite, LeSelecteurDeFichier)
{
    ouvrir fenetre(etat, services, [] { return QList<Lecteur>{{"/", "/"}}; });
    fenetre.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fenetre));
    verifier(&fenetre, {{"ouvrir", QAccessible::Dialog},
                        {"Command1", QAccessible::Button},
                        {"Command2", QAccessible::Button},
                        {"Dir1", QAccessible::Tree},
                        {"File1", QAccessible::List},
                        {"Drive1", QAccessible::ComboBox},
                        {"Label1", QAccessible::StaticText},
                        {"ficharge", QAccessible::EditableText},
                        {"Label2", QAccessible::StaticText}});
}

TEST_F(Accessibilite, LeChoixEtSesEntreesQuiSePressent)
{
    typemaj fenetre(etat, services, etapes);
    int ouvertures = 0;
    fenetre.montrerouvrir = [&] { ++ouvertures; };
    fenetre.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fenetre));
    // The window has no title: it is named by its question.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&fenetre)->text(QAccessible::Name),
              QStringLiteral("Quelle procédure de mise à jour ?"));
    verifier(&fenetre, {{"typemaj", QAccessible::Dialog},
                        {"Label1", QAccessible::Button},
                        {"Label2", QAccessible::StaticText},
                        {"Labeldeco", QAccessible::StaticText}});
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(fenetre.entree(i));
        EXPECT_EQ(a->text(QAccessible::Name), fenetre.entree(i)->text());
        EXPECT_TRUE(a->state().focusable) << i;
    }

    // The reader presses entry 1: the picker opens, from the event loop.
    QAccessibleActionInterface* action = QAccessible::queryAccessibleInterface(fenetre.entree(1))->actionInterface();
    ASSERT_NE(action, nullptr);
    ASSERT_EQ(action->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
    action->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return ouvertures == 1; }, 2000));
    EXPECT_TRUE(faux.coquille.demarres.isEmpty());
}

TEST_F(Accessibilite, LaFenetreDeTelechargement)
{
    feuilleFTP fenetre(etat, services, etapes);
    fenetre.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fenetre));
    // As during a transfer: the counter written, the bar shown.
    fenetre.Label1(QStringLiteral("Transfert du fichier 1 / 2"));
    fenetre.progression(10, 100);
    verifier(&fenetre, {{"feuilleFTP", QAccessible::Dialog},
                        {"Image1", QAccessible::Graphic},
                        {"Image2", QAccessible::Graphic},
                        {"Labet", QAccessible::StaticText},
                        {"Label1", QAccessible::StaticText},
                        {"Command2", QAccessible::Button},
                        {"progression", QAccessible::ProgressBar}});
    fenetre.hide();
}

} // namespace
