#pragma once
// Windows designed without an icon: a fully transparent one, so that neither
// the application's icon nor a window manager's default stands in for it.
// Header only; whoever includes it links Qt6::Gui.

#include <QIcon>
#include <QPixmap>

namespace velorine {

inline QIcon sansicone()
{
    QPixmap vide(16, 16);
    vide.fill(Qt::transparent);
    return QIcon(vide);
}

} // namespace velorine
