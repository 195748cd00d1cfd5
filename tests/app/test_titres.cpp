// The titles of the windows as the window manager reads them on X11: Qt
// names a window without title text after the application, which the
// chooser must not show; the title bar's boxes the fixed windows ask for.

#include "records/etat.h"
#include "faux.h"
#include "download/feuilleftp.h"
#include "app/maj.h"
#include "updatefile/ouvrir.h"
#include "chooser/typemaj.h"
#include "platform/dialoguesqt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace velorine;
using namespace velorine::test;

namespace {

xcb_atom_t atome(xcb_connection_t* c, const char* nom)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(nom)), nom), nullptr);
    const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// A text property of the window, as another X client reads it.
QString propriete(QWidget* fenetre, const char* nom)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const auto w = static_cast<xcb_window_t>(fenetre->windowHandle()->winId());
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, atome(c, nom), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    QString texte;
    if (r) {
        // WM_NAME is a STRING, in Latin-1; _NET_WM_NAME is in UTF-8.
        const auto* octets = static_cast<const char*>(xcb_get_property_value(r));
        const int longueur = xcb_get_property_value_length(r);
        texte =
            r->type == XCB_ATOM_STRING ? QString::fromLatin1(octets, longueur) : QString::fromUtf8(octets, longueur);
        std::free(r);
    }
    return texte;
}

// The window's _MOTIF_WM_HINTS: flags, functions, decorations.
std::vector<uint32_t> indicesmotif(QWidget* fenetre)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    const auto w = static_cast<xcb_window_t>(fenetre->windowHandle()->winId());
    const xcb_atom_t motif = atome(c, "_MOTIF_WM_HINTS");
    xcb_get_property_reply_t* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, motif, motif, 0, 5), nullptr);
    std::vector<uint32_t> valeurs;
    if (r) {
        const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
        valeurs.assign(v, v + xcb_get_property_value_length(r) / 4);
        std::free(r);
    }
    return valeurs;
}

// The fixed windows and the message boxes ask for a title bar without
// minimise or maximise box, and forbid both, as another X client reads it.
TEST(TitresX11, LesFenetresFixesNeSeMinimisentNiNeSAgrandissent)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
    constexpr uint32_t fonctions = 1, decorations = 2;
    constexpr uint32_t fonctionminimiser = 0x08, fonctionagrandir = 0x10, fonctionfermer = 0x20;
    constexpr uint32_t decorminimiser = 0x20, decoragrandir = 0x40, decortitre = 0x08;
    const auto verifier = [&](QWidget* fenetre) {
        const std::vector<uint32_t> m = indicesmotif(fenetre);
        ASSERT_GE(m.size(), 3U);
        EXPECT_EQ(m[0] & (fonctions | decorations), fonctions | decorations);
        EXPECT_EQ(m[1] & (fonctionminimiser | fonctionagrandir), 0U);
        EXPECT_TRUE(m[1] & fonctionfermer);
        EXPECT_EQ(m[2] & (decorminimiser | decoragrandir), 0U);
        EXPECT_TRUE(m[2] & decortitre);
    };

    QTemporaryDir dossier;
    Etat etat;
    etat.dossierproduit = dossier.path();
    Faux faux;
    Services services = faux.services();
    ouvrir dialogue(etat, services, [] { return QList<Lecteur>{{"/", "/"}}; });
    EtapesInternet etapes;
    typemaj choix(etat, services, etapes);
    feuilleFTP feuille(etat, services, etapes);
    for (QWidget* f : std::initializer_list<QWidget*>{&dialogue, &choix, &feuille}) {
        SCOPED_TRACE(f->objectName().toStdString());
        f->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(f));
        verifier(f);
        f->hide();
    }

    // A message box, read from inside its modal loop.
    bool lue = false;
    QTimer minuteur;
    minuteur.setInterval(5);
    QObject::connect(&minuteur, &QTimer::timeout, [&] {
        QWidget* boite = QApplication::activeModalWidget();
        if (!boite || !boite->isVisible() || !boite->windowHandle() || !boite->windowHandle()->isExposed())
            return;
        minuteur.stop();
        verifier(boite);
        lue = true;
        for (QPushButton* b : boite->findChildren<QPushButton*>())
            b->click();
    });
    minuteur.start();
    DialoguesQt().message(Icone::Information, QStringLiteral("Mise à jour terminée"),
                          QStringLiteral("La mise à jour a réussi"));
    EXPECT_TRUE(lue);
}

TEST(TitresX11, LeGestionnaireDeFenetresLitLesTitresDuDessin)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)";
    QTemporaryDir dossier;
    Etat etat;
    etat.dossierproduit = dossier.path();
    Faux faux;
    Services services = faux.services();

    MAJ fond;
    ouvrir dialogue(etat, services, [] { return QList<Lecteur>{{"/", "/"}}; });
    EtapesInternet etapes;
    typemaj choix(etat, services, etapes);
    feuilleFTP feuille(etat, services, etapes);
    const struct {
        QWidget* fenetre;
        QString titre;
    } cas[] = {
        {&fond, QStringLiteral("Mise à jour du logiciel Velorine")},
        {&dialogue, QStringLiteral("Ouvrir fichier .MAJ")},
        {&choix, QString()},
        {&feuille, QStringLiteral("Mise à jour automatique")},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.fenetre->objectName().toStdString());
        c.fenetre->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(c.fenetre));
        EXPECT_EQ(c.fenetre->windowTitle(), c.titre);
        EXPECT_EQ(propriete(c.fenetre, "_NET_WM_NAME"), c.titre);
        EXPECT_EQ(propriete(c.fenetre, "WM_NAME"), c.titre);
        c.fenetre->hide();
    }
}

} // namespace
