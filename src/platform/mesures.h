#pragma once
// Positions, sizes and fonts of the windows, as their designs give them:
// lengths in twips (1/1440 inch) and "MS Sans Serif" at a point size. Header
// only; whoever includes it links Qt6::Gui.

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QtMath>

namespace velorine {

// Twips to pixels: 15 twips a pixel at 96 dpi, scaled by the screen's
// logical resolution.
inline int twips(int valeur)
{
    qreal dpi = 96.0;
    if (const QScreen* ecran = QGuiApplication::primaryScreen())
        dpi = ecran->logicalDotsPerInchY();
    return qRound(valeur * dpi / 1440.0);
}

// "MS Sans Serif" is the desktop's sans-serif font at the same point size.
inline QFont mssansserif(qreal points, bool gras = false, bool italique = false)
{
    QFont police(QStringLiteral("Sans Serif"));
    police.setStyleHint(QFont::SansSerif);
    police.setPointSizeF(points);
    police.setBold(gras);
    police.setItalic(italique);
    return police;
}

} // namespace velorine
