#include "platform/fenetres.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWindow>
#include <QPalette>
#include <QWidget>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if VELORINE_XCB
#include <xcb/xcb.h>
#endif

namespace velorine {
namespace {

constexpr double twipsparpouce = 1440.0;

double pointsparpouce()
{
    const QScreen* ecran = QGuiApplication::primaryScreen();
    const double dpi = ecran ? ecran->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

} // namespace

int twips(int longueur)
{
    return static_cast<int>(std::lround(longueur * pointsparpouce() / twipsparpouce));
}

QRect twips(int gauche, int haut, int largeur, int hauteur)
{
    return QRect(twips(gauche), twips(haut), twips(largeur), twips(hauteur));
}

void couleurtexte(QWidget* controle, const QColor& couleur)
{
    QPalette p = controle->palette();
    p.setColor(QPalette::WindowText, couleur);
    controle->setPalette(p);
}

void couleurfond(QWidget* controle, const QColor& couleur)
{
    QPalette p = controle->palette();
    p.setColor(QPalette::Window, couleur);
    controle->setPalette(p);
    controle->setAutoFillBackground(true);
}

QFont sansserif(double points, bool gras, bool italique)
{
    // Liberation Sans has the widths of Arial, close to those the designs
    // were laid out with; without it, the desktop's own sans-serif font.
    QFont police(QStringLiteral("Liberation Sans"));
    police.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Sans Serif")});
    police.setStyleHint(QFont::SansSerif);
    police.setPointSizeF(points);
    police.setBold(gras);
    police.setItalic(italique);
    return police;
}

#if VELORINE_XCB
namespace {

xcb_atom_t atome(xcb_connection_t* connexion, const char* nom)
{
    const xcb_intern_atom_cookie_t demande =
        xcb_intern_atom(connexion, 0, static_cast<uint16_t>(std::strlen(nom)), nom);
    xcb_intern_atom_reply_t* reponse = xcb_intern_atom_reply(connexion, demande, nullptr);
    const xcb_atom_t a = reponse ? reponse->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reponse);
    return a;
}

} // namespace
#endif

void sanstitre(QWidget* fenetre)
{
#if VELORINE_XCB
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !fenetre->windowHandle())
        return;
    xcb_connection_t* connexion = x11->connection();
    const auto w = static_cast<xcb_window_t>(fenetre->windowHandle()->winId());
    const xcb_atom_t nom = atome(connexion, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atome(connexion, "UTF8_STRING");
    if (nom != XCB_ATOM_NONE && utf8 != XCB_ATOM_NONE)
        xcb_change_property(connexion, XCB_PROP_MODE_REPLACE, w, nom, utf8, 8, 0, nullptr);
    xcb_change_property(connexion, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connexion);
#else
    (void)fenetre;
#endif
}

namespace {

// Brings a minimised window back, once the window manager has done with it.
class Toujoursvisible : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* objet, QEvent* evenement) override
    {
        if (evenement->type() == QEvent::WindowStateChange) {
            auto* fenetre = static_cast<QWidget*>(objet);
            if (fenetre->isMinimized())
                QMetaObject::invokeMethod(
                    fenetre,
                    [fenetre] {
                        if (!fenetre->isMinimized())
                            return;
                        fenetre->setWindowState(fenetre->windowState() & ~Qt::WindowMinimized);
                        fenetre->activateWindow();
                    },
                    Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

void fenetrefixe(QWidget* fenetre)
{
    fenetre->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    fenetre->installEventFilter(new Toujoursvisible(fenetre));
}

Bouton::Bouton(const QString& texte, QWidget* parent) : QPushButton(texte, parent)
{
    setAutoDefault(false);
    setDefault(false);
}

void Bouton::keyPressEvent(QKeyEvent* evenement)
{
    if (evenement->modifiers() == Qt::NoModifier || evenement->modifiers() == Qt::KeypadModifier) {
        if (evenement->key() == Qt::Key_Return || evenement->key() == Qt::Key_Enter) {
            evenement->accept();
            click();
            return;
        }
    }
    QPushButton::keyPressEvent(evenement);
}

void Bouton::paintEvent(QPaintEvent*)
{
    QStylePainter peintre(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (hasFocus())
        option.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    peintre.drawControl(QStyle::CE_PushButton, option);
}

} // namespace velorine
