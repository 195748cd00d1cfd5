#include "platform/fenetres.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>
#include <QScreen>
#include <cmath>

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

} // namespace velorine
