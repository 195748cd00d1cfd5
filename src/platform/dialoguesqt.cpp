#include "platform/dialoguesqt.h"

#include "platform/fenetres.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <algorithm>

namespace velorine {
namespace {

// The window the box must stay in front of: the modal dialog in use, or else
// the active window.
QWidget* fenetreactive()
{
    if (QWidget* modale = QApplication::activeModalWidget())
        return modale;
    return QApplication::activeWindow();
}

// Plain text buttons, without the icons some styles add.
void nommer(QMessageBox& boite, QMessageBox::StandardButton bouton, const QString& texte)
{
    QAbstractButton* b = boite.button(bouton);
    b->setText(texte);
    b->setIcon(QIcon());
}

// The box is at least as wide as its title needs in the window manager's
// title bar: the title in the title font, in bold, beside the bar's icon,
// its close box and margins. The window manager's own font is out of the
// program's reach: the desktop's title font stands for it, never below 10
// points, the size of the usual themes' largest.
void assezlargepourletitre(QMessageBox& boite)
{
    QFont police = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    police.setBold(true);
    if (police.pointSizeF() < 10)
        police.setPointSizeF(10);
    const QFontMetrics mesure(police);
    const int largeur = mesure.horizontalAdvance(boite.windowTitle()) + 6 * mesure.height();
    // A spacer as wide as that across the top row: the box's own sizing,
    // which goes by its layout, keeps it.
    if (auto* grille = qobject_cast<QGridLayout*>(boite.layout()))
        grille->addItem(new QSpacerItem(largeur, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), 0, 0, 1,
                        std::max(1, grille->columnCount()));
}

// A box as the windows show it: modal to the whole program, fixed in size,
// wide enough for its title.
void preparer(QMessageBox& boite)
{
    // The modality first: a message box given it drops custom title bar hints.
    boite.setWindowModality(Qt::ApplicationModal);
    fenetrefixe(&boite);
    assezlargepourletitre(boite);
}

QMessageBox::Icon icone(Icone i)
{
    switch (i) {
    case Icone::Erreur:
        return QMessageBox::Critical;
    case Icone::Information:
        return QMessageBox::Information;
    case Icone::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void DialoguesQt::message(Icone i, const QString& titre, const QString& texte)
{
    QMessageBox boite(icone(i), titre, texte, QMessageBox::Ok, fenetreactive());
    preparer(boite);
    nommer(boite, QMessageBox::Ok, QStringLiteral("OK"));
    boite.exec();
}

bool DialoguesQt::question(const QString& titre, const QString& texte)
{
    QMessageBox boite(QMessageBox::Question, titre, texte, QMessageBox::Yes | QMessageBox::No, fenetreactive());
    preparer(boite);
    nommer(boite, QMessageBox::Yes, QStringLiteral("Oui"));
    nommer(boite, QMessageBox::No, QStringLiteral("Non"));
    boite.setDefaultButton(QMessageBox::Yes);
    return boite.exec() == QMessageBox::Yes;
}

void DialoguesQt::bip()
{
    QApplication::beep();
}

} // namespace velorine
