#include "app/maj.h"

#include "base/echec.h"
#include "platform/fenetres.h"
#include "platform/gardien.h"
#include "records/nombres.h"

#include <QDialog>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <algorithm>

namespace velorine {
namespace {

QLabel* titre(QWidget* parent, const char* nom, const QColor& couleur)
{
    auto* label = new QLabel(QStringLiteral("Mise à jour Velorine"), parent);
    label->setObjectName(QString::fromLatin1(nom));
    label->setFont(sansserif(24, true, true));
    label->setAutoFillBackground(false);
    couleurtexte(label, couleur);
    label->setGeometry(twips(120, 120, 10815, 495));
    return label;
}

} // namespace

int bleu(int y, double hauteur)
{
    if (hauteur <= 0)
        return 0;
    const float r = static_cast<float>(1.0 - static_cast<double>(y) / hauteur);
    const float b = r * 255.0f;
    int valeur = 0;
    ignorer([&] { valeur = entier16(static_cast<double>(b)); });
    return std::clamp(valeur, 0, 255);
}

MAJ::MAJ(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MAJ"));
    setWindowTitle(QStringLiteral("Mise à jour du logiciel Velorine"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Label1 is created last so that it lies above its shadow.
    label2_ = titre(this, "Label2", QColor(0, 0, 0));
    label1_ = titre(this, "Label1", QColor(255, 255, 255));
}

void MAJ::charger(QDialog& premiere)
{
    gardien([&] {
        ignorer([&] {
            if (const QScreen* ecran = screen())
                setGeometry(ecran->geometry());
        });
        setWindowState(windowState() | Qt::WindowMaximized);
        label2_->move(label1_->x() + 3, label1_->y() + 3);
        update();
        show();
        premiere.exec();
    });
}

void MAJ::paintEvent(QPaintEvent*)
{
    QPainter peintre(this);
    const double hauteur = height();
    if (hauteur <= 0)
        return;
    const int derniere = std::min<int>(static_cast<int>(hauteur), 32767);
    for (int y = 0; y <= derniere; ++y) {
        peintre.setPen(QColor(0, 0, bleu(y, height())));
        peintre.drawLine(0, y, width(), y);
    }
}

} // namespace velorine
